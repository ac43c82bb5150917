#include "fakes/CoreRig.h"

#include <fstream>
#include <iterator>

TCoreRig::TCoreRig(IPlatform& platform, IEventPump& pump, std::string appTitle)
    : AppFunc(Dir.Folder()), Lib(platform, Dialogs, pump, AppFunc, std::move(appTitle)),
      SysFunc(platform) {}

std::string TCoreRig::LogText() const {
    std::ifstream in(AppFunc.LogFolder() + "log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> TCoreRig::LogMessages() const {
    std::vector<std::string> messages;
    const std::string text = LogText();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t bar = line.find('|');
        messages.push_back(bar == std::string::npos ? line : line.substr(bar + 1));
        start = end + 2;
    }
    return messages;
}
