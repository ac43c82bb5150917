// The desktop hand-offs of the real platform, run against stand-in tools: the
// search path holds only a folder of our own scripts, so no real file manager,
// browser or power-off can ever be reached from here.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fakes/Fakes.h"
#include "support/platform/Platform.h"

namespace {

namespace fs = std::filesystem;

class DesktopTools : public ::testing::Test {
protected:
    TempDir dir;
    std::unique_ptr<IPlatform> platform = CreatePosixPlatform();
    std::string savedPath;
    std::string record = dir.Folder() + "args.txt";

    void SetUp() override {
        const char* p = std::getenv("PATH");
        savedPath = p ? p : "";
        fs::create_directory(dir.Path() / "bin");
        ::setenv("PATH", (dir.Folder() + "bin").c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }

    // A tool that writes each argument on a line of its own, then "END", and
    // exits with `code`. Only shell built-ins: nothing else is on the path.
    void Tool(const std::string& name, int code) {
        fs::path p = dir.Path() / "bin" / name;
        std::ofstream(p) << "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; "
                            "printf 'END\\n'; } > '"
                         << record << "'\nexit " << code << "\n";
        fs::permissions(p, fs::perms::owner_all);
    }

    // The recorded arguments, waiting for a detached tool to finish.
    std::vector<std::string> Recorded() {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            std::ifstream in(record);
            std::vector<std::string> args;
            std::string line;
            while (std::getline(in, line))
                args.push_back(line);
            if (!args.empty() && args.back() == "END") {
                args.pop_back();
                return args;
            }
            if (std::chrono::steady_clock::now() > until)
                return {"(no complete record)"};
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
};

TEST_F(DesktopTools, FolderGoesToTheOpenerAsOneArgument) {
    Tool("xdg-open", 0);
    const std::string folder = "/home/用户/My Music \"live\" $HOME;ls/";
    EXPECT_TRUE(platform->OpenFolder(folder));
    EXPECT_EQ(Recorded(), (std::vector<std::string>{folder}));
}

TEST_F(DesktopTools, LeadingDashIsNeverReadAsAnOption) {
    Tool("xdg-open", 0);
    EXPECT_TRUE(platform->OpenFolder("-rf folder"));
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"./-rf folder"}));
}

TEST_F(DesktopTools, UrlsGoToTheOpener) {
    Tool("xdg-open", 0);
    EXPECT_TRUE(platform->OpenUrl("mailto:support@example.com?subject=Velmora 1.3"));
    EXPECT_EQ(Recorded(),
              (std::vector<std::string>{"mailto:support@example.com?subject=Velmora 1.3"}));
}

TEST_F(DesktopTools, MissingOpenerIsReported) {
    EXPECT_FALSE(platform->OpenFolder("/tmp"));
    EXPECT_FALSE(platform->OpenUrl("https://example.com/"));
}

TEST_F(DesktopTools, PowerOffAsksTheServiceManager) {
    Tool("systemctl", 0);
    EXPECT_TRUE(platform->PowerOff());
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"poweroff"}));
}

TEST_F(DesktopTools, RefusedPowerOffIsNotReportedAsAccepted) {
    Tool("systemctl", 1);
    EXPECT_FALSE(platform->PowerOff());
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"poweroff"}));
}

TEST_F(DesktopTools, PowerOffFallsBackToTheLoginManager) {
    Tool("loginctl", 0);
    EXPECT_TRUE(platform->PowerOff());
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"poweroff"}));
}

TEST_F(DesktopTools, NoToolNoPowerOff) {
    EXPECT_FALSE(platform->PowerOff());
}

} // namespace
