// The user profile files in the Config folder: UserProfileInfo.ini holds one
// section per profile (key named like the section, the profile string);
// UserProfileCount.ini holds the counter that proposes names for new ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* UserProfileInfoFileName = "UserProfileInfo.ini";
inline constexpr const char* UserProfileCountFileName = "UserProfileCount.ini";
inline constexpr const char* UserProfileCountSection = "count";
inline constexpr const char* UserProfileCountKey = "count";
// Proposed name of a new profile: this text and the counter.
inline constexpr const char* UserProfileNamePrefix = "UserProfileInfo";

// Six positions joined by "|", -1 for a list without selection.
std::string MakeProfileString(const std::array<int, 6>& positions);

// Profile names as sections compare them: ASCII letters without case.
bool SameProfileName(const std::string& a, const std::string& b);

// A typed profile name made safe for the INI file: surrounding blanks and
// control characters removed. Empty when the name cannot be stored: nothing
// left, or an "=" or control character inside, which would make the key line
// unreadable.
std::string CleanProfileName(const std::string& name);

// Reads and writes the two files; every call opens the store afresh. Errors of
// the store (EIniFileError) reach the caller.
class TUserProfileFiles {
public:
    explicit TUserProfileFiles(std::string configFolder);

    std::string InfoFile() const;
    std::string CountFile() const;

    std::vector<std::string> Names() const;
    // The listed name that matches `name` without regard to case, or empty.
    std::string FindName(const std::string& name) const;
    void Write(const std::string& name, const std::string& profile);
    // Removes the profile of that name; false when there is none.
    bool Erase(const std::string& name);
    // Advances the counter on disk and returns the new value.
    std::int32_t AdvanceCounter();

private:
    std::string folder_;
};
