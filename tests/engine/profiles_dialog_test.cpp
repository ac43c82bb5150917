#include <gtest/gtest.h>

#include "config/ConfigReaders.h"
#include "options_fixture.h"

namespace {

struct ProfileWorld : ProcWorld {
    ProfileWorld() { StartUp(); }
    std::string Info() const { return ReadConfig("UserProfileInfo.ini"); }
    std::string Count() const { return ReadConfig("UserProfileCount.ini"); }
    void Accept(const std::string& name) { Dialogs.PromptAnswers.push_back({true, name}); }
    void Cancel() { Dialogs.PromptAnswers.push_back({false, ""}); }
};

// Start-up positions: size 1, rate 1, video bitrate 2, audio bitrate 5, stereo, 44100.
const std::string kStartUpProfile = "1|1|2|5|1|2";

TEST(Profiles, FreshInstallProposesNamesFromTheCounterEvenWhenCancelled) {
    ProfileWorld w;
    w.Options.ShowOptions();
    EXPECT_EQ(w.Options.cbbCustomProfile.Count(), 0);
    EXPECT_EQ(w.Options.cbbCustomProfile.EditText(), "");
    w.Cancel();
    w.Options.btnAdd.Click();
    ASSERT_EQ(w.Dialogs.PromptProposals.size(), 1u);
    EXPECT_EQ(w.Dialogs.PromptProposals[0], "UserProfileInfo1");
    EXPECT_EQ(w.Dialogs.PromptCaptions[0], "Plese input a name");
    EXPECT_EQ(w.Count(), "\r\n[count]\r\ncount=1\r\n");
    EXPECT_FALSE(std::filesystem::exists(w.Config() + "UserProfileInfo.ini"));
    w.Accept("Mine");
    w.Options.btnAdd.Click();
    EXPECT_EQ(w.Dialogs.PromptProposals[1], "UserProfileInfo2");
    EXPECT_EQ(w.Count(), "\r\n[count]\r\ncount=2\r\n");
    EXPECT_EQ(w.Info(), "\r\n[Mine]\r\nMine=" + kStartUpProfile + "\r\n");
    EXPECT_EQ(w.Options.cbbCustomProfile.Items, std::vector<std::string>{"Mine"});
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "Mine");
}

TEST(Profiles, PromptCarriesTheApplicationTitle) {
    struct TitleDialogs : ScriptedDialogs {
        std::vector<std::string> Titles;
        bool Prompt(const std::string& title, const std::string& caption,
                    std::string& value) override {
            Titles.push_back(title);
            return ScriptedDialogs::Prompt(title, caption, value);
        }
    };
    ProfileWorld w;
    TitleDialogs dialogs;
    TCommonLib lib(w.Platform, dialogs, w.Pump, w.AppFunc, "Velmora");
    lib.AppPath = w.Dir.Folder();
    TCustomProc proc(lib, w.FileFunc, w.SysFunc, w.Main);
    proc.AttachOptionForm(w.Options);
    proc.AddUserProfile();
    EXPECT_EQ(dialogs.Titles, std::vector<std::string>{"Velmora"});
}

TEST(Profiles, CounterContinuesFromTheFile) {
    ProfileWorld w;
    w.WriteConfig("UserProfileCount.ini", "\r\n[count]\r\ncount=41\r\n");
    w.Cancel();
    w.Options.btnAdd.Click();
    EXPECT_EQ(w.Dialogs.PromptProposals.back(), "UserProfileInfo42");
    w.WriteConfig("UserProfileCount.ini", "\r\n[count]\r\ncount=junk\r\n");
    w.Cancel();
    w.Options.btnAdd.Click();
    EXPECT_EQ(w.Dialogs.PromptProposals.back(), "UserProfileInfo1");
}

TEST(Profiles, AddingAnExistingNameReplacesItInPlace) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini",
                  "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=1|1|1|1|1|1\r\n");
    w.Options.ShowOptions();
    w.Accept("A");
    w.Options.btnAdd.Click();
    EXPECT_EQ(w.Info(), "\r\n[A]\r\nA=" + kStartUpProfile + "\r\n\r\n[B]\r\nB=1|1|1|1|1|1\r\n");
    EXPECT_EQ(w.Options.cbbCustomProfile.Items, (std::vector<std::string>{"A", "B"}));
    // The box shows the profile just written.
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "A");
}

TEST(Profiles, NameDifferingOnlyInCaseUpdatesTheListedProfile) {
    for (bool viaSave : {false, true}) {
        ProfileWorld w;
        w.WriteConfig("UserProfileInfo.ini", "\r\n[Rock]\r\nRock=0|0|0|0|0|0\r\n");
        w.Options.ShowOptions();
        if (viaSave) {
            w.Options.cbbCustomProfile.UserEdit("ROCK");
            w.Options.btnSave.Click();
        } else {
            w.Accept("rOCK");
            w.Options.btnAdd.Click();
        }
        // One section, one key line, and the listed name reads the new values.
        EXPECT_EQ(w.Info(), "\r\n[Rock]\r\nRock=" + kStartUpProfile + "\r\n") << viaSave;
        EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "Rock"), kStartUpProfile);
        EXPECT_EQ(w.Options.cbbCustomProfile.Items, std::vector<std::string>{"Rock"});
        EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "Rock");
    }
}

TEST(Profiles, SavingATypedNewNameAppendsAndSelectsIt) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n");
    w.Options.ShowOptions();
    w.Options.cbbAudioBitrate.UserSelect(0);
    w.Options.cbbCustomProfile.UserEdit("New one");
    w.Options.btnSave.Click();
    EXPECT_EQ(w.Info(), "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[New one]\r\nNew one=1|1|2|0|1|2\r\n");
    EXPECT_EQ(w.Options.cbbCustomProfile.ItemIndex(), 1);
    EXPECT_EQ(w.Options.cbbCustomProfile.EditText(), "New one");
}

TEST(Profiles, SavingAProfileInTheMiddleUpdatesItAndKeepsItSelected) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=0|0|0|0|0|0\r\n"
                                         "\r\n[C]\r\nC=0|0|0|0|0|0\r\n");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.UserSelect(1);
    w.Options.cbbAudioBitrate.UserSelect(8);
    w.Options.btnSave.Click();
    EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "B"), "0|0|0|8|0|0");
    EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "C"), "0|0|0|0|0|0");
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "B");
    // Saving again must not touch C.
    w.Options.cbbAudioBitrate.UserSelect(7);
    w.Options.btnSave.Click();
    EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "B"), "0|0|0|7|0|0");
    EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "C"), "0|0|0|0|0|0");
}

TEST(Profiles, SavingWithAnEmptyBoxWritesNothing) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n");
    w.Options.ShowOptions();
    w.Options.btnSave.Click();
    EXPECT_EQ(w.Info(), "\r\n[A]\r\nA=0|0|0|0|0|0\r\n");
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "A"); // the last entry
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(Profiles, NamesThatCannotBeStoredAreRefused) {
    const char* names[] = {"", "   ", "a=b", "line\nbreak", "tab\tinside", "=x"};
    for (const char* name : names) {
        ProfileWorld w;
        w.Accept(name);
        EXPECT_EQ(w.Proc.AddUserProfile(), "") << name;
        EXPECT_FALSE(std::filesystem::exists(w.Config() + "UserProfileInfo.ini")) << name;
        ASSERT_EQ(w.Dialogs.Messages.size(), 1u) << name;
        EXPECT_EQ(w.Dialogs.Messages[0].Kind, mkWarning);
    }
    ProfileWorld w;
    w.Accept("  padded name \t");
    EXPECT_EQ(w.Proc.AddUserProfile(), "padded name");
    EXPECT_EQ(w.Info(), "\r\n[padded name]\r\npadded name=" + kStartUpProfile + "\r\n");
}

TEST(Profiles, DeletingTheOnlyProfileEmptiesTheBox) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.UserSelect(0);
    w.Options.btnDelete.Click();
    EXPECT_EQ(w.Options.cbbCustomProfile.Count(), 0);
    EXPECT_EQ(w.Options.cbbCustomProfile.EditText(), "");
    EXPECT_TRUE(ReadConfigSections(w.Lib, "UserProfileInfo.ini").empty());
    EXPECT_EQ(w.Count(), ""); // the counter is not touched
}

TEST(Profiles, DeletingAnUnknownTypedNameLeavesTheFile) {
    ProfileWorld w;
    const std::string file = "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=1|1|1|1|1|1\r\n";
    w.WriteConfig("UserProfileInfo.ini", file);
    const auto stamp = std::filesystem::last_write_time(w.Config() + "UserProfileInfo.ini");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.UserEdit("Nope");
    w.Options.btnDelete.Click();
    EXPECT_EQ(w.Info(), file);
    EXPECT_EQ(std::filesystem::last_write_time(w.Config() + "UserProfileInfo.ini"), stamp);
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "B");
}

TEST(Profiles, DeletingInTheMiddleKeepsTheOthers) {
    // Chosen from the list, or typed with other case and stray blanks.
    for (bool typed : {false, true}) {
        ProfileWorld w;
        w.WriteConfig("UserProfileInfo.ini",
                      "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=1|1|1|1|1|1\r\n"
                      "\r\n[C]\r\nC=0|1|0|1|0|1\r\n");
        w.Options.ShowOptions();
        if (typed)
            w.Options.cbbCustomProfile.UserEdit("  b ");
        else
            w.Options.cbbCustomProfile.UserSelect(1);
        w.Options.btnDelete.Click();
        EXPECT_EQ(w.Options.cbbCustomProfile.Items, (std::vector<std::string>{"A", "C"})) << typed;
        EXPECT_EQ(ReadConfigValue(w.Lib, "UserProfileInfo.ini", "C"), "0|1|0|1|0|1");
        EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "C");
    }
}

TEST(Profiles, UnwritableConfigShowsAnErrorInsteadOfFailing) {
    ProfileWorld w;
    std::ofstream(w.Dir.Folder() + "Config") << "a file, not a folder";
    w.Options.ShowOptions();
    w.Accept("X");
    EXPECT_NO_THROW(w.Options.btnAdd.Click());
    w.Options.cbbCustomProfile.UserEdit("Y");
    EXPECT_NO_THROW(w.Options.btnSave.Click());
    EXPECT_NO_THROW(w.Options.btnDelete.Click());
    ASSERT_EQ(w.Dialogs.Messages.size(), 2u);
    for (const auto& m : w.Dialogs.Messages) {
        EXPECT_EQ(m.Kind, mkError);
        EXPECT_NE(m.Text.find("Config/UserProfile"), std::string::npos) << m.Text;
    }
    // The counter could not be written, so nobody was asked for a name.
    EXPECT_TRUE(w.Dialogs.PromptProposals.empty());
}

TEST(OptionsDialog, ShowSelectsTheMainWindowsUserProfile) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=0|0|0|0|0|0\r\n"
                                         "\r\n[C]\r\nC=0|1|4|8|1|3\r\n");
    w.Proc.RefillMainProfileList();
    w.Main.cbbProfile.SetItemIndex(7);
    w.Options.cbbCustomProfile.SetEditText("");
    w.Options.ShowOptions();
    EXPECT_TRUE(w.Options.Visible);
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "C");
    // Selecting it there does not apply it.
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "128");
}

TEST(OptionsDialog, ShowWithAPresetOrATypedNameSelectsNothingNew) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|0|0|0|0\r\n");
    w.Options.ShowOptions();
    EXPECT_FALSE(w.Options.cbbCustomProfile.HasSelection()); // preset 2 - 5 < 0
    w.Options.cbbCustomProfile.UserEdit("typed");
    w.Options.btnOK.Click();
    w.Main.cbbProfile.SetItemIndex(5);
    w.Options.ShowOptions();
    EXPECT_FALSE(w.Options.cbbCustomProfile.HasSelection());
    EXPECT_EQ(w.Options.cbbCustomProfile.EditText(), "typed");
}

TEST(OptionsDialog, ChoosingAnEntryAppliesItTypingDoesNot) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|1|4|8|1|3\r\n");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.UserEdit("A");
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "128");
    w.Options.cbbCustomProfile.UserSelect(0);
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "224");
    EXPECT_EQ(w.Options.cbbVideoSize.Text(), "352x288");
}

TEST(OptionsDialog, CancelRestoresAllNineLists) {
    ProfileWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|0|4|8|0|3\r\n");
    w.Options.ShowOptions();
    std::vector<int> before;
    std::vector<SelectionList*> nine{
        &w.Options.cbbCustomProfile,   &w.Options.cbbAudioBitrate,  &w.Options.cbbAudioSample,
        &w.Options.cbbAudioVolumeGain, &w.Options.cbbAudioChannels, &w.Options.cbbVideoSize,
        &w.Options.cbbVideoBitrate,    &w.Options.cbbFramerate,     &w.Options.cbbAspectratio};
    for (auto* l : nine)
        before.push_back(l->ItemIndex());
    w.Options.cbbCustomProfile.UserSelect(0);
    w.Options.cbbAudioVolumeGain.UserSelect(0);
    w.Options.cbbAspectratio.UserSelect(1);
    ASSERT_EQ(w.Options.cbbFramerate.Text(), "11");
    w.Options.btnCancel.Click();
    EXPECT_FALSE(w.Options.Visible);
    for (size_t i = 0; i < nine.size(); ++i)
        EXPECT_EQ(nine[i]->ItemIndex(), before[i]) << i;
    EXPECT_EQ(w.Options.cbbFramerate.Text(), "15");
}

TEST(OptionsDialog, OkRefillsTheMainListAndKeepsTheChangedBitrate) {
    ProfileWorld w;
    w.Options.ShowOptions();
    w.Accept("Fresh");
    w.Options.btnAdd.Click();
    w.Options.cbbAudioBitrate.UserSelect(1);
    w.Main.cbbProfile.SetItemIndex(4);
    w.Options.btnOK.Click();
    EXPECT_FALSE(w.Options.Visible);
    EXPECT_EQ(w.Main.cbbProfile.Count(), 6);
    EXPECT_EQ(w.Main.cbbProfile.ItemText(5), "Fresh");
    EXPECT_EQ(w.Main.cbbProfile.ItemIndex(), 2);
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "32");
    // The next conversion uses it.
    EXPECT_NE(w.Proc.CreateConvertParameter("/m/a.wav").find(" -ab 32 "), std::string::npos);
}

} // namespace
