#include "support/DataFolders.h"

#include <string_view>

#include "support/CommonLib.h"
#include "support/platform/SystemIO.h"

namespace {

// A folder that already ends in a separator (either one on Windows) keeps it.
std::string WithSeparator(std::string folder) {
    if (folder.empty() ||
        std::string_view(PathSeparators).find(folder.back()) == std::string_view::npos)
        folder += PathDelim;
    return folder;
}

// XDG base folders must be absolute; anything else is ignored.
std::string BaseFolder(const std::string& value, const std::string& home, const char* fallback) {
    if (!value.empty() && value.front() == PathDelim)
        return WithSeparator(value);
    return WithSeparator(home) + fallback;
}

} // namespace

TDataFolders PortableDataFolders(const std::string& programFolder) {
    const std::string folder = WithSeparator(programFolder);
    return {folder + "Config" + PathDelim, folder};
}

TDataFolders DecideDataFolders(const TDataFolderFacts& facts) {
    if (!facts.Installed && facts.ProgramFolderWritable)
        return PortableDataFolders(facts.ProgramFolder);
    const bool haveConfig =
        !facts.XdgConfigHome.empty() && facts.XdgConfigHome.front() == PathDelim;
    const bool haveState = !facts.XdgStateHome.empty() && facts.XdgStateHome.front() == PathDelim;
    const bool haveHome = !facts.Home.empty() && facts.Home.front() == PathDelim;
    // Nowhere else to go: the program folder, whatever becomes of the writes.
    if (!haveHome && (!haveConfig || !haveState))
        return PortableDataFolders(facts.ProgramFolder);
    const std::string config = BaseFolder(facts.XdgConfigHome, facts.Home, ".config/");
    const std::string state = BaseFolder(facts.XdgStateHome, facts.Home, ".local/state/");
    return {config + "velmora" + PathDelim + "Config" + PathDelim, state + "velmora" + PathDelim};
}

TDataFolderFacts GatherDataFolderFacts(const std::string& programFolder, bool installed) {
    TDataFolderFacts facts;
    facts.ProgramFolder = programFolder;
    facts.Installed = installed;
    facts.ProgramFolderWritable = !installed && FolderTakesNewFiles(programFolder);
    facts.XdgConfigHome = EnvironmentText("XDG_CONFIG_HOME");
    facts.XdgStateHome = EnvironmentText("XDG_STATE_HOME");
    facts.Home = HomeFolder();
    return facts;
}
