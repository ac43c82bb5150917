#include "support/DataFolders.h"

#include <algorithm>
#include <string_view>

#include "support/CommonLib.h"
#include "support/platform/SystemIO.h"

namespace {

// XDG base folders must be absolute; anything else is ignored.
std::string BaseFolder(const std::string& value, const std::string& home,
                       const std::string& fallback) {
    if (!value.empty() && value.front() == PathDelim)
        return WithTrailingDelim(value);
    return WithTrailingDelim(home) + fallback;
}

bool IsSeparator(char c) {
    return c != '\0' && std::string_view(PathSeparators).find(c) != std::string_view::npos;
}

// "C:\..." or "\\server\...": Windows' known folders come in one of these.
bool IsWindowsAbsolute(const std::string& path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return (path.size() >= 3 && letter(path[0]) && path[1] == ':' && IsSeparator(path[2])) ||
           (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

char FoldedPathChar(char c) {
    if (IsSeparator(c))
        return '/';
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows names are blind to ASCII case and to the kind of separator.
bool LiesUnder(const std::string& folder, const std::string& parent) {
    if (!IsWindowsAbsolute(parent))
        return false;
    const std::string f = WithTrailingDelim(folder);
    const std::string p = WithTrailingDelim(parent);
    return f.size() >= p.size() && std::equal(p.begin(), p.end(), f.begin(), [](char a, char b) {
               return FoldedPathChar(a) == FoldedPathChar(b);
           });
}

} // namespace

TDataFolders PortableDataFolders(const std::string& programFolder) {
    const std::string folder = WithTrailingDelim(programFolder);
    return {folder + "Config" + PathDelim, folder};
}

bool IsInstalledProgram(const TDataFolderFacts& facts) {
    return facts.Installed ||
           std::any_of(facts.ProgramFiles.begin(), facts.ProgramFiles.end(),
                       [&](const std::string& p) { return LiesUnder(facts.ProgramFolder, p); });
}

TDataFolders DecideDataFolders(const TDataFolderFacts& facts) {
    if (!IsInstalledProgram(facts) && facts.ProgramFolderWritable)
        return PortableDataFolders(facts.ProgramFolder);
    if (IsWindowsAbsolute(facts.AppData) && IsWindowsAbsolute(facts.LocalAppData))
        return {WithTrailingDelim(facts.AppData) + "Velmora" + PathDelim + "Config" + PathDelim,
                WithTrailingDelim(facts.LocalAppData) + "Velmora" + PathDelim};
    const bool haveConfig =
        !facts.XdgConfigHome.empty() && facts.XdgConfigHome.front() == PathDelim;
    const bool haveState = !facts.XdgStateHome.empty() && facts.XdgStateHome.front() == PathDelim;
    const bool haveHome = !facts.Home.empty() && facts.Home.front() == PathDelim;
    // Nowhere else to go: the program folder, whatever becomes of the writes.
    if (!haveHome && (!haveConfig || !haveState))
        return PortableDataFolders(facts.ProgramFolder);
    const std::string config =
        BaseFolder(facts.XdgConfigHome, facts.Home, std::string(".config") + PathDelim);
    const std::string state = BaseFolder(facts.XdgStateHome, facts.Home,
                                         std::string(".local") + PathDelim + "state" + PathDelim);
    return {config + "velmora" + PathDelim + "Config" + PathDelim, state + "velmora" + PathDelim};
}

TDataFolderFacts GatherDataFolderFacts(const std::string& programFolder, bool installed) {
    TDataFolderFacts facts;
    facts.ProgramFolder = LongPathText(programFolder);
    facts.Installed = installed;
    facts.XdgConfigHome = EnvironmentText("XDG_CONFIG_HOME");
    facts.XdgStateHome = EnvironmentText("XDG_STATE_HOME");
    facts.Home = HomeFolder();
    TKnownFolders known = KnownFolders();
    facts.ProgramFiles = std::move(known.ProgramFiles);
    facts.AppData = std::move(known.AppData);
    facts.LocalAppData = std::move(known.LocalAppData);
    facts.ProgramFolderWritable = !IsInstalledProgram(facts) && FolderTakesNewFiles(programFolder);
    return facts;
}
