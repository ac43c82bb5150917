#include "config/UserProfiles.h"

#include <limits>

#include "config/IniFiles32.h"
#include "support/CommonLib.h"
#include "support/Text.h"

std::string MakeProfileString(const std::array<int, 6>& positions) {
    std::string text;
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i > 0)
            text += '|';
        text += std::to_string(positions[i]);
    }
    return text;
}

bool SameProfileName(const std::string& a, const std::string& b) {
    return SameTextAscii(a, b);
}

std::string CleanProfileName(const std::string& name) {
    std::string cleaned = TrimControls(name);
    for (char c : cleaned)
        if (c == '=' || static_cast<unsigned char>(c) < 32 || c == 127)
            return std::string();
    return cleaned;
}

TUserProfileFiles::TUserProfileFiles(std::string configFolder) : folder_(std::move(configFolder)) {}

std::string TUserProfileFiles::InfoFile() const {
    return folder_ + UserProfileInfoFileName;
}

std::string TUserProfileFiles::CountFile() const {
    return folder_ + UserProfileCountFileName;
}

std::vector<std::string> TUserProfileFiles::Names() const {
    TIniFile32 ini(InfoFile());
    std::vector<std::string> names;
    ini.ReadSections(&names);
    return names;
}

std::string TUserProfileFiles::FindName(const std::string& name) const {
    for (const std::string& listed : Names())
        if (SameProfileName(listed, name))
            return listed;
    return std::string();
}

void TUserProfileFiles::Write(const std::string& name, const std::string& profile) {
    TIniFile32 ini(InfoFile());
    ini.WriteString(name, name, profile);
}

bool TUserProfileFiles::Erase(const std::string& name) {
    TIniFile32 ini(InfoFile());
    std::vector<std::string> names;
    ini.ReadSections(&names);
    bool found = false;
    for (const std::string& listed : names)
        found = found || SameProfileName(listed, name);
    if (found)
        ini.EraseSection(name);
    return found;
}

std::int32_t TUserProfileFiles::AdvanceCounter() {
    TIniFile32 ini(CountFile());
    const std::int32_t count = ini.ReadInteger(UserProfileCountSection, UserProfileCountKey, 0);
    // Saturate rather than overflow on a hand-edited file.
    const std::int32_t next = count == std::numeric_limits<std::int32_t>::max() ? count : count + 1;
    ini.WriteInteger(UserProfileCountSection, UserProfileCountKey, next);
    return next;
}
