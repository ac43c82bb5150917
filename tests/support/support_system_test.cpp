#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "support/CommonLib.h"

namespace {

class SystemHelpers : public ::testing::Test {
protected:
    FakePlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TempDir& dir = core.Dir;
    ScriptedDialogs& dialogs = core.Dialogs;
    TCommonLib& lib = core.Lib;
};

TEST_F(SystemHelpers, ShowMsgKindsAndTitle) {
    for (int kind : {0, 1, 2, 3}) {
        dialogs.Messages.clear();
        EXPECT_TRUE(lib.ShowMsg("text " + std::to_string(kind), kind));
        ASSERT_EQ(dialogs.Messages.size(), 1u);
        EXPECT_EQ(dialogs.Messages[0].Title, "Velmora");
        EXPECT_EQ(dialogs.Messages[0].Text, "text " + std::to_string(kind));
        EXPECT_EQ(dialogs.Messages[0].Kind, kind);
    }
    dialogs.Messages.clear();
    for (int kind : {4, -1, 100}) {
        EXPECT_FALSE(lib.ShowMsg("x", kind));
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(SystemHelpers, TitleFollowsTheApplicationTitle) {
    lib.AppTitle = "另一个标题";
    lib.ShowMsg("m", mkInformation);
    EXPECT_EQ(dialogs.Messages.at(0).Title, "另一个标题");
}

TEST_F(SystemHelpers, FixedWarnings) {
    EXPECT_TRUE(lib.ShowInvalidPathMsg());
    EXPECT_TRUE(lib.ShowReadOnlyDirMsg());
    EXPECT_TRUE(lib.ShowNoFilesMsg());
    ASSERT_EQ(dialogs.Messages.size(), 3u);
    EXPECT_EQ(dialogs.Messages[0].Text, "非法路径.");
    EXPECT_EQ(dialogs.Messages[1].Text, "这是一个只读目录.");
    EXPECT_EQ(dialogs.Messages[2].Text, "请增加您想转换的视频或者音频文件.");
    for (const auto& m : dialogs.Messages) {
        EXPECT_EQ(m.Kind, mkWarning);
        EXPECT_EQ(m.Title, "Velmora");
    }
}

TEST_F(SystemHelpers, TrimOnlyOnTheNtFamily) {
    lib.TrimWorkingSet();
    EXPECT_EQ(platform.TrimCalls, 1);
    platform.NT = false;
    lib.TrimWorkingSet();
    EXPECT_EQ(platform.TrimCalls, 1);
}

TEST_F(SystemHelpers, ShutdownAsksForThePrivilegeThenPowersOff) {
    lib.ShutdownComputer();
    EXPECT_EQ(platform.PowerOffCalls, 1);
    ASSERT_FALSE(platform.Privileges.empty());
    for (const auto& p : platform.Privileges)
        EXPECT_EQ(p, (std::pair<std::string, bool>{"SeShutdownPrivilege", true}));
}

TEST_F(SystemHelpers, PowerOffReportsWhetherTheRequestWasAccepted) {
    EXPECT_TRUE(lib.PowerOffComputer());
    platform.PowerOffResult = false;
    EXPECT_FALSE(lib.PowerOffComputer());
    // Even a refused privilege does not keep the request back.
    platform.PrivilegeResult = false;
    platform.PowerOffResult = true;
    EXPECT_TRUE(lib.PowerOffComputer());
    EXPECT_EQ(platform.PowerOffCalls, 3);
}

TEST_F(SystemHelpers, OpenFolderPassesThePathAsOneArgument) {
    lib.OpenFolderInExplorer("/home/用户/My Music \"x\"/");
    platform.OpenResult = false;
    lib.OpenFolderInExplorer("/tmp");
    EXPECT_EQ(platform.OpenedFolders,
              (std::vector<std::string>{"/home/用户/My Music \"x\"/", "/tmp"}));
}

TEST_F(SystemHelpers, PrivilegesGoToThePlatform) {
    EXPECT_TRUE(lib.EnableDebugPrivilege());
    platform.PrivilegeResult = false;
    EXPECT_FALSE(lib.EnableDebugPrivilege());
    EXPECT_FALSE(lib.SetTokenPrivilege(0, "SeBackupPrivilege", false));
    ASSERT_EQ(platform.Privileges.size(), 3u);
    EXPECT_EQ(platform.Privileges[0].first, "SeDebugPrivilege");
    EXPECT_EQ(platform.Privileges[2], (std::pair<std::string, bool>{"SeBackupPrivilege", false}));
}

TEST_F(SystemHelpers, RealPlatformPrivilegesReportSuccess) {
    auto real = CreatePosixPlatform();
    EXPECT_TRUE(real->SetPrivilege("SeDebugPrivilege", true));
    EXPECT_TRUE(real->SetPrivilege("SeShutdownPrivilege", false));
}

TEST_F(SystemHelpers, ProgramFolderComesFromTheLogWriter) {
    EXPECT_EQ(lib.AppPath, dir.Folder());
    EXPECT_EQ(lib.AppPath.back(), PathDelim);
}

} // namespace
