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
        (void)AppendToFile(GetAppFolder() + "log.txt", line);
    } catch (...) {
    }
}
