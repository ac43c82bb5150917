// The updater's INI rules and the five launchers.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "shell/Launchers.h"
#include "shell/ProfileIni.h"
#include "tests/shell/ShellFixture.h"

namespace {

namespace fs = std::filesystem;

struct IniCase {
    const char* Name;
    std::string Before;
    std::string Section;
    std::string Key;
    std::string After;
};

class ProfileRules : public ::testing::TestWithParam<IniCase> {};

TEST_P(ProfileRules, ChangesOnlyWhatTheKeyNeeds) {
    const IniCase& c = GetParam();
    EXPECT_EQ(SetProfileString(c.Before, c.Section, c.Key, "true"), c.After);
}

INSTANTIATE_TEST_SUITE_P(
    Updater, ProfileRules,
    ::testing::Values(
        IniCase{"InPlace", "[AutoUpdate]\r\nUpdateModalUsr=false\r\nOther=1\r\n", "AutoUpdate",
                "UpdateModalUsr", "[AutoUpdate]\r\nUpdateModalUsr=true\r\nOther=1\r\n"},
        IniCase{"CaseInsensitiveNames", "[autoupdate]\r\nupdatemodalusr=0\r\n", "AutoUpdate",
                "UpdateModalUsr", "[autoupdate]\r\nupdatemodalusr=true\r\n"},
        IniCase{"BlanksAroundNames", "[ AutoUpdate ]\r\n  UpdateModalUsr = 0\r\n", "AutoUpdate",
                "UpdateModalUsr", "[ AutoUpdate ]\r\n  UpdateModalUsr =true\r\n"},
        IniCase{
            "MissingKeyGoesAfterTheLastKey",
            "[AutoUpdate]\r\nA=1\r\n\r\n[Next]\r\nUpdateModalUsr=keep\r\n", "AutoUpdate",
            "UpdateModalUsr",
            "[AutoUpdate]\r\nA=1\r\nUpdateModalUsr=true\r\n\r\n[Next]\r\nUpdateModalUsr=keep\r\n"},
        IniCase{"KeyInAnotherSectionIsNotTaken", "[Other]\r\nUpdateModalUsr=x\r\n", "AutoUpdate",
                "UpdateModalUsr",
                "[Other]\r\nUpdateModalUsr=x\r\n\r\n[AutoUpdate]\r\nUpdateModalUsr=true\r\n"},
        IniCase{"CommentIsNoKey", "[AutoUpdate]\r\n;UpdateModalUsr=x\r\n", "AutoUpdate",
                "UpdateModalUsr", "[AutoUpdate]\r\n;UpdateModalUsr=x\r\nUpdateModalUsr=true\r\n"},
        IniCase{"EmptyFile", "", "AutoUpdate", "UpdateModalUsr",
                "[AutoUpdate]\r\nUpdateModalUsr=true\r\n"},
        IniCase{"LineFeedFileKeepsItsEnds", "[AutoUpdate]\nX=1\n", "AutoUpdate", "UpdateModalUsr",
                "[AutoUpdate]\nX=1\nUpdateModalUsr=true\n"},
        IniCase{"NoFinalLineEnd", "[AutoUpdate]\r\nX=1", "AutoUpdate", "UpdateModalUsr",
                "[AutoUpdate]\r\nX=1\r\nUpdateModalUsr=true\r\n"},
        IniCase{"EmptySectionHeaderOnly", "[AutoUpdate]", "AutoUpdate", "UpdateModalUsr",
                "[AutoUpdate]\r\nUpdateModalUsr=true\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct LauncherWorld : ShellWorld {
    LauncherWorld() { App->FormShow(); }
    std::string Settings() const { return Folder.Folder() + "UpDateSettings.ini"; }
};

TEST(Update, WithoutTheSettingsFileStartsTheUpdaterAndCreatesNothing) {
    LauncherWorld w;
    w.App->MainForm.btnUpdate.Click();
    EXPECT_FALSE(fs::exists(w.Settings()));
    ASSERT_EQ(w.Platform.Detached.size(), 1u);
    EXPECT_EQ(w.Platform.Detached[0], std::vector<std::string>{"AutoUpDate"});
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(Update, PrefersTheUpdaterInTheProgramFolder) {
    LauncherWorld w;
    WriteFile(w.Folder.Path() / "AutoUpDate", "#!/bin/sh\n");
    w.App->MainForm.btnUpdate.Click();
    ASSERT_EQ(w.Platform.Detached.size(), 1u);
    EXPECT_EQ(w.Platform.Detached[0][0], w.Folder.Folder() + "AutoUpDate");
}

TEST(Update, RewritesTheTwoKeysEachTimeAndKeepsEverythingElse) {
    LauncherWorld w;
    const std::string before = "; updater settings\r\n[General]\r\nServer=upd.example\r\n\r\n"
                               "[AUTOUPDATE]\r\nUpdateTodayExeced=true\r\nLastRun=20260101\r\n";
    WriteFile(w.Settings(), before);
    w.App->MainForm.btnUpdate.Click();
    w.App->MainForm.btnUpdate.Click();
    const std::string expected = "; updater settings\r\n[General]\r\nServer=upd.example\r\n\r\n"
                                 "[AUTOUPDATE]\r\nUpdateTodayExeced=false\r\nLastRun=20260101\r\n"
                                 "UpdateModalUsr=true\r\n";
    EXPECT_EQ(ReadFile(w.Settings()), expected);
    EXPECT_EQ(ReadProfileString(w.Settings(), "autoupdate", "updatemodalusr", ""), "true");
    EXPECT_EQ(w.Platform.Detached.size(), 2u);
}

TEST(Update, AFailedWriteNamesTheFileAndDoesNotStartTheUpdater) {
    LauncherWorld w;
    WriteFile(w.Settings(), "[AutoUpdate]\r\n");
    // The replacement cannot be written where a folder has its name.
    fs::create_directory(w.Settings() + ".tmp-velmora");
    w.App->MainForm.btnUpdate.Click();
    ASSERT_EQ(w.Dialogs.Messages.size(), 1u);
    EXPECT_NE(w.Dialogs.Messages[0].Text.find(w.Settings()), std::string::npos);
    EXPECT_EQ(w.Dialogs.Messages[0].Kind, mkError);
    EXPECT_TRUE(w.Platform.Detached.empty());
    EXPECT_EQ(ReadFile(w.Settings()), "[AutoUpdate]\r\n");
}

TEST(Update, MissingFileIsReportedByTheWriter) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteProfileString(dir.Folder() + "none.ini", "A", "B", "C", &error));
    EXPECT_NE(error.find("none.ini"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.Path() / "none.ini"));
}

TEST(Launchers, HomePageMailAndHelpGoToTheDesktop) {
    LauncherWorld w;
    w.App->MainForm.btnHomePage.Click();
    w.App->MainForm.btnEMail.Click();
    w.App->MainForm.btnHelp.Click();
    ASSERT_EQ(w.Platform.OpenedUrls.size(), 3u);
    EXPECT_EQ(w.Platform.OpenedUrls[0], w.App->RecSoftInfo.HomePage);
    EXPECT_EQ(w.Platform.OpenedUrls[1], "mailto:" + w.App->RecSoftInfo.Email);
    EXPECT_EQ(w.Platform.OpenedUrls[2], w.Folder.Folder() + "Help.html");
}

TEST(Launchers, AnEmptyAddressStillOpensMailto) {
    LauncherWorld w;
    w.App->RecSoftInfo.Email.clear();
    w.App->MainForm.btnEMail.Click();
    ASSERT_EQ(w.Platform.OpenedUrls.size(), 1u);
    EXPECT_EQ(w.Platform.OpenedUrls[0], "mailto:");
}

TEST(Launchers, AboutLoadsFormLibraryOnlyForTheCall) {
    LauncherWorld w;
    w.Platform.LoadedLibraries.clear();
    // Without an interface the box returns at once; the library was asked for.
    w.App->MainForm.btnAbout.Click();
    ASSERT_EQ(w.Platform.LoadedLibraries.size(), 1u);
    EXPECT_EQ(w.Platform.LoadedLibraries[0], w.Folder.Folder() + "Form.so");
}

TEST(Launchers, AboutWithAMissingOrWrongLibraryDoesNothing) {
    LauncherWorld w;
    fs::remove(w.Folder.Path() / "Form.so");
    EXPECT_NO_THROW(w.App->MainForm.btnAbout.Click());
    // A library without ShowAboutForm.
    fs::copy_file(BuiltLibrary("Res.so"), w.Folder.Path() / "Form.so");
    EXPECT_NO_THROW(w.App->MainForm.btnAbout.Click());
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

} // namespace
