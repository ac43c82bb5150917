#include "support/DataFolders.h"

#include "support/CommonLib.h"
#include "support/platform/SystemIO.h"

namespace {

// XDG base folders must be absolute; anything else is ignored.
std::string BaseFolder(const std::string& value, const std::string& home, const char* fallback) {
    if (!value.empty() && value.front() == PathDelim)
        return WithTrailingDelim(value);
    return WithTrailingDelim(home) + fallback;
}

} // namespace

TDataFolders PortableDataFolders(const std::string& programFolder) {
    const std::string folder = WithTrailingDelim(programFolder);
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
