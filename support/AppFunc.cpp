// The log writer of TAppFunc.
#include <string>

#include "support/CommonLib.h"
#include "support/platform/SystemIO.h"

void TAppFunc::WriteLog(const std::string& message) const {
    // Nobody expects the log to fail: any problem just loses this line.
    try {
        std::string date;
        std::string time;
        LocalDateTimeText(date, time);
        std::string line;
        line.reserve(message.size() + 40);
        line += "Dravik Soft ";
        line += date;
        line += ' ';
        line += time;
        line += '|';
        line += message;
        line += "\r\n";
        const std::string path = LogFolder() + "log.txt";
        // A log folder of its own is made on the first line, and again
        // should somebody remove it while the program runs.
        if (!AppendToFile(path, line) && LogFolder() != GetAppFolder() &&
            EnsureFolderTree(LogFolder()))
            (void)AppendToFile(path, line);
    } catch (...) {
    }
}
