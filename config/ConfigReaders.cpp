#include <string>
#include <vector>

#include "config/ConfigReaders.h"
#include "config/IniFiles32.h"
#include "support/CommonLib.h"

std::vector<std::string> ReadConfigSections(const TCommonLib& lib, const std::string& fileName) {
    TIniFile32 ini(lib.AppFunc().ConfigFolder() + fileName);
    std::vector<std::string> sections;
    ini.ReadSections(&sections);
    return sections;
}

std::string ReadConfigValue(const TCommonLib& lib, const std::string& fileName,
                            const std::string& name) {
    TIniFile32 ini(lib.AppFunc().ConfigFolder() + fileName);
    return ini.ReadString(name, name, "");
}
