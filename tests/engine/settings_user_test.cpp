#include <gtest/gtest.h>

#include "options_fixture.h"

namespace {

const std::string kDefaultOut = "3GPMP4文件输出";

TEST(UserSettings, FirstRunWithoutFileGivesTheHomeDefaults) {
    ProcWorld w;
    w.StartUp();
    EXPECT_EQ(w.Main.edtOutputFolder.Text, w.Home() + kDefaultOut);
    EXPECT_FALSE(w.Main.chkShowOutputDirectory.Checked);
    EXPECT_FALSE(w.Main.chkShutdown.Checked);
    EXPECT_EQ(w.Proc.LoadInitDir(), w.Home());
    // Loading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(w.Config() + "UserSettings.ini"));
}

TEST(UserSettings, TheFieldsInitialTextIsTheDefault) {
    ProcWorld w;
    w.Main.edtOutputFolder.SetText("/initial/text");
    w.WriteConfig("UserSettings.ini", "\r\n[USRInfo]\r\nOutDir=\r\n");
    w.Proc.LoadUserSettings();
    EXPECT_EQ(w.Main.edtOutputFolder.Text, "/initial/text");
}

struct FileCase {
    const char* name;
    std::string file;
    bool show;
    bool shutdown;
    std::string outDir; // empty: the default folder
};

TEST(UserSettings, FileContentsAndWhatTheyGive) {
    const FileCase cases[] = {
        {"typical", "\r\n[USRInfo]\r\nInitDir=/m/\r\nSHWDDir=1\r\nSHUTDOWN=1\r\nOutDir=/o/x\r\n",
         true, true, "/o/x"},
        {"empty OutDir", "\r\n[USRInfo]\r\nSHWDDir=1\r\nOutDir=\r\n", true, false, ""},
        {"SHWDDir true", "[USRInfo]\nSHWDDir=true\nSHUTDOWN=yes\n", false, false, ""},
        {"SHWDDir 01", "[USRInfo]\nSHWDDir=01\nSHUTDOWN=0\n", false, false, ""},
        {"blanks around 1", "[USRInfo]\n  SHWDDir =  1  \n", true, false, ""},
        {"lower-case section", "[usrinfo]\r\nSHUTDOWN=1\r\n", false, true, ""},
        {"lower-case key", "[USRInfo]\r\nshutdown=1\r\n", false, false, ""},
        {"other section", "[Other]\r\nSHWDDir=1\r\nOutDir=/no\r\n", false, false, ""},
        {"blanks in the folder", "[USRInfo]\r\nOutDir= /a b/c d \r\n", false, false, "/a b/c d"},
        {"garbage", std::string("\x01\xff\xfe[[=]]\r\n=\r\n\0[USRInfo]\r\nSHWDDir=1", 34), false,
         false, ""},
        {"no line end", "[USRInfo]\r\nOutDir=/last", false, false, "/last"},
    };
    for (const FileCase& c : cases) {
        ProcWorld w;
        w.WriteConfig("UserSettings.ini", c.file);
        w.Proc.LoadUserSettings();
        EXPECT_EQ(w.Main.chkShowOutputDirectory.Checked, c.show) << c.name;
        EXPECT_EQ(w.Main.chkShutdown.Checked, c.shutdown) << c.name;
        EXPECT_EQ(w.Main.edtOutputFolder.Text, c.outDir.empty() ? w.Home() + kDefaultOut : c.outDir)
            << c.name;
    }
}

TEST(UserSettings, SavedFileHasTheKeysInOrder) {
    ProcWorld w;
    w.StartUp();
    w.Main.chkShowOutputDirectory.SetChecked(true);
    w.Main.edtOutputFolder.SetText("/o/中文 out");
    w.Proc.SaveUserSettings();
    EXPECT_EQ(w.ReadConfig("UserSettings.ini"),
              "\r\n[USRInfo]\r\nSHWDDir=1\r\nSHUTDOWN=0\r\nOutDir=/o/中文 out\r\n");
    // And back.
    ProcWorld again;
    std::filesystem::create_directories(again.Config());
    std::filesystem::copy_file(w.Config() + "UserSettings.ini",
                               again.Config() + "UserSettings.ini");
    again.Proc.LoadUserSettings();
    EXPECT_TRUE(again.Main.chkShowOutputDirectory.Checked);
    EXPECT_FALSE(again.Main.chkShutdown.Checked);
    EXPECT_EQ(again.Main.edtOutputFolder.Text, "/o/中文 out");
}

TEST(UserSettings, SavingKeepsTheInitDirLineAndCreatesTheConfigFolder) {
    ProcWorld w;
    ASSERT_FALSE(std::filesystem::exists(w.Config()));
    w.Proc.SaveInitDir("/m/a/song.mp3");
    w.Main.chkShutdown.SetChecked(true);
    w.Main.edtOutputFolder.SetText("/o");
    w.Proc.SaveUserSettings();
    EXPECT_EQ(w.ReadConfig("UserSettings.ini"),
              "\r\n[USRInfo]\r\nInitDir=/m/a/\r\nSHWDDir=0\r\nSHUTDOWN=1\r\nOutDir=/o\r\n");
}

TEST(UserSettings, InitDirFollowsTheLastChosenFile) {
    ProcWorld w;
    // No file chosen yet: nothing is written.
    w.Proc.SaveInitDir("");
    EXPECT_FALSE(std::filesystem::exists(w.Config() + "UserSettings.ini"));
    w.Proc.SaveInitDir("/first/a.mp3");
    EXPECT_EQ(w.Proc.LoadInitDir(), "/first/");
    w.Proc.SaveInitDir("/second/dir/b.wav");
    EXPECT_EQ(w.Proc.LoadInitDir(), "/second/dir/");
    // A cancelled dialog hands over the same last file again.
    w.Proc.SaveInitDir("/second/dir/b.wav");
    EXPECT_EQ(w.Proc.LoadInitDir(), "/second/dir/");
    // A folder with its separator is taken as it is.
    w.Proc.SaveInitDir("/third/");
    EXPECT_EQ(w.Proc.LoadInitDir(), "/third/");
}

TEST(UserSettings, UnwritableConfigIsReportedNotThrown) {
    ProcWorld w;
    // A plain file where the Config folder should be: nothing below it can be written.
    std::ofstream(w.Dir.Folder() + "Config") << "not a folder";
    w.Main.edtOutputFolder.SetText("/o");
    EXPECT_NO_THROW(w.Proc.SaveUserSettings());
    ASSERT_EQ(w.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(w.Dialogs.Messages[0].Kind, mkError);
    EXPECT_EQ(w.Dialogs.Messages[0].Title, "Velmora");
    EXPECT_NE(w.Dialogs.Messages[0].Text.find("Config/UserSettings.ini"), std::string::npos);
    EXPECT_NO_THROW(w.Proc.SaveInitDir("/m/a.mp3"));
    EXPECT_NO_THROW(w.Proc.LoadUserSettings());
    EXPECT_EQ(w.Main.edtOutputFolder.Text, "/o");
}

TEST(UserSettings, UnreadableFileGivesTheDefaults) {
    ProcWorld w;
    std::filesystem::create_directories(w.Config() + "UserSettings.ini");
    EXPECT_NO_THROW(w.Proc.LoadUserSettings());
    EXPECT_EQ(w.Main.edtOutputFolder.Text, w.Home() + kDefaultOut);
    EXPECT_EQ(w.Proc.LoadInitDir(), w.Home());
}

} // namespace
