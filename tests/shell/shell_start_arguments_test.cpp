#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/Fakes.h"
#include "shell/ProgramLayout.h"
#include "shell/SoftInfo.h"
#include "shell/StartArguments.h"

namespace {

namespace fs = std::filesystem;
using Action = TStartArguments::TAction;

struct ArgsCase {
    std::vector<std::string> args;
    Action action;
    std::vector<std::string> files;
};

TEST(StartArguments, FilesHelpVersionAndErrors) {
    const std::string gbk = "/m/\xb8\xe8.mp3"; // not UTF-8: kept byte for byte
    const std::vector<ArgsCase> cases{
        {{}, Action::Run, {}},
        {{"/a/b.wav", "c d.mp3", "./x/../e.ogg"},
         Action::Run,
         {"/a/b.wav", "/work/here/c d.mp3", "/work/here/e.ogg"}},
        {{gbk, gbk}, Action::Run, {gbk, gbk}},
        {{"--help"}, Action::Help, {}},
        {{"/a.wav", "-h"}, Action::Help, {}},
        {{"--version", "--bogus"}, Action::Version, {}},
        {{"--bogus", "/a.wav"}, Action::Error, {"/a.wav"}},
        {{"--", "--help", "-x.mp3"}, Action::Run, {"/work/here/--help", "/work/here/-x.mp3"}},
        {{"", "/a.wav"}, Action::Run, {"/a.wav"}},
    };
    for (const auto& c : cases) {
        const TStartArguments parsed = ParseStartArguments(c.args, "/work/here");
        const std::string what = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(parsed.Action, c.action) << what;
        if (c.action == Action::Run || c.action == Action::Error) {
            EXPECT_EQ(parsed.Files, c.files) << what;
        }
    }
    EXPECT_EQ(ParseStartArguments({"-q"}, "/").Error, "unknown option -q");
}

TEST(ProgramLayout, PortableFolderOrInstallation) {
    TempDir dir;
    auto touch = [&](const std::string& rel) {
        fs::create_directories((dir.Path() / rel).parent_path());
        std::ofstream(dir.Path() / rel) << "x";
    };
    touch(std::string("portable/") + ResLibraryName);
    touch(std::string("usr/lib/velmora/") + ResLibraryName);
    fs::create_directories(dir.Path() / "usr/bin");
    fs::create_directories(dir.Path() / "broken/bin");
    std::unique_ptr<IPlatform> platform = CreatePosixPlatform();
    struct LayoutCase {
        std::string exe;
        std::string program;
        bool installed;
    };
    const std::string d = dir.Folder();
    const std::vector<LayoutCase> cases{
        {d + "portable/", d + "portable/", false},
        {d + "usr/bin/", d + "usr/lib/velmora/", true},
        {d + "usr/bin", d + "usr/lib/velmora/", true},
        // Nothing anywhere: the executable's folder, so start-up names what is missing.
        {d + "broken/bin/", d + "broken/bin/", false},
    };
    for (const auto& c : cases) {
        const TProgramLayout layout = FindProgramLayout(c.exe, *platform);
        EXPECT_EQ(layout.ProgramFolder, c.program) << c.exe;
        EXPECT_EQ(layout.Installed, c.installed) << c.exe;
        EXPECT_EQ(layout.ExecutableFolder.back(), '/') << c.exe;
    }
}

} // namespace
