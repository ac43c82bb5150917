// The Config folder readers of TCommonLib; they live here so that the
// support library does not depend on the INI store.
#include <string>
#include <vector>

#include "config/IniFiles32.h"
#include "support/CommonLib.h"

std::vector<std::string> TCommonLib::ReadConfigSections(const std::string& fileName) const {
    TIniFile32 ini(appFunc_.ConfigFolder() + fileName);
    std::vector<std::string> sections;
    ini.ReadSections(&sections);
    return sections;
}

std::string TCommonLib::ReadConfigValue(const std::string& fileName,
                                        const std::string& name) const {
    TIniFile32 ini(appFunc_.ConfigFolder() + fileName);
    return ini.ReadString(name, name, "");
}
