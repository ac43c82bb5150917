#include <gtest/gtest.h>

#include "options_fixture.h"

namespace {

TEST(OptionsStartUp, DefaultSelectionsAfterFillAndApply) {
    ProcWorld w;
    w.StartUp();
    struct Case {
        const char* list;
        const SelectionList* control;
        const char* text;
    };
    const Case cases[] = {
        {"output type", &w.Main.cbbOutputFiletype, "AMR Audio Files (*.amr)"},
        {"profile", &w.Main.cbbProfile, "标准效果"},
        {"audio bitrate", &w.Options.cbbAudioBitrate, "128"},
        {"channels", &w.Options.cbbAudioChannels, "2 channels, Stereo"},
        {"sample rate", &w.Options.cbbAudioSample, "44100"},
        {"volume", &w.Options.cbbAudioVolumeGain, "200"},
        {"video size", &w.Options.cbbVideoSize, "176x144"},
        {"video bitrate", &w.Options.cbbVideoBitrate, "128"},
        {"frame rate", &w.Options.cbbFramerate, "15"},
        {"aspect ratio", &w.Options.cbbAspectratio, "4:3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.control->Text(), c.text) << c.list;
    EXPECT_TRUE(w.Main.cbbProfile.Enabled);
    EXPECT_TRUE(w.Main.btnOptions.Enabled);
}

TEST(OptionsStartUp, ListsHoldExactlyTheirItems) {
    ProcWorld w;
    w.Proc.FillOptionLists();
    EXPECT_EQ(w.Main.cbbOutputFiletype.Items,
              (std::vector<std::string>{"AMR Audio Files (*.amr)", "AAC Audio Files (*.aac)",
                                        "MP3 Audio Files (*.mp3)", "AC3 Audio Files (*.ac3)",
                                        "M4A MPEG4 Audio Files (*.m4a)", "OGG Audio Files (*.ogg)",
                                        "WAV Audio Files"}));
    EXPECT_EQ(w.Main.cbbProfile.Items,
              (std::vector<std::string>{"最差效果", "可接受的效果", "标准效果", "稍高于标准的品质",
                                        "最好效果"}));
    // The default index entry never shows as an item.
    const std::pair<const SelectionList*, int> counts[] = {
        {&w.Options.cbbAudioBitrate, 9},  {&w.Options.cbbAudioSample, 4},
        {&w.Options.cbbAudioChannels, 2}, {&w.Options.cbbVideoSize, 5},
        {&w.Options.cbbVideoBitrate, 5},  {&w.Options.cbbFramerate, 2},
        {&w.Options.cbbAspectratio, 2}};
    for (const auto& [list, count] : counts)
        EXPECT_EQ(list->Count(), count) << list->ItemText(0);
    // 0 to 500 in steps of 25: the list starts at 0, not 25.
    ASSERT_EQ(w.Options.cbbAudioVolumeGain.Count(), 21);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(w.Options.cbbAudioVolumeGain.ItemText(i), std::to_string(i * 25));
    EXPECT_EQ(w.Options.cbbCustomProfile.Count(), 0);
}

TEST(OptionsStartUp, DefaultIndexesBeforeAnyPresetIsApplied) {
    ProcWorld w;
    w.Proc.FillOptionLists();
    const std::pair<const SelectionList*, const char*> cases[] = {
        {&w.Main.cbbOutputFiletype, "AMR Audio Files (*.amr)"},
        {&w.Main.cbbProfile, "标准效果"},
        {&w.Options.cbbAudioBitrate, "48"},
        {&w.Options.cbbAudioSample, "44100"},
        {&w.Options.cbbAudioChannels, "2 channels, Stereo"},
        {&w.Options.cbbAudioVolumeGain, "200"},
        {&w.Options.cbbVideoSize, "176x144"},
        {&w.Options.cbbVideoBitrate, "128"},
        {&w.Options.cbbFramerate, "15"},
        {&w.Options.cbbAspectratio, "4:3"},
    };
    for (const auto& [list, text] : cases)
        EXPECT_EQ(list->Text(), text);
}

TEST(OptionsStartUp, FillingTwiceDoesNotDoubleTheEntries) {
    ProcWorld w;
    w.Proc.FillOptionLists();
    w.Proc.FillOptionLists();
    EXPECT_EQ(w.Main.cbbOutputFiletype.Count(), 7);
    EXPECT_EQ(w.Main.cbbProfile.Count(), 5);
    EXPECT_EQ(w.Options.cbbAudioVolumeGain.Count(), 21);
}

TEST(OptionsFillList, AppendsAndSelectsTheLastEntryAsIndex) {
    ProcWorld w;
    struct Case {
        std::vector<std::string_view> constants;
        std::vector<std::string> before;
        std::vector<std::string> items;
        int selected;
    };
    const Case cases[] = {
        {{"a", "b", "c", "1"}, {}, {"a", "b", "c"}, 1},
        {{"a", "b", "0"}, {"x"}, {"x", "a", "b"}, 0}, // appended, index counts from the list start
        {{"a", "b", "7"}, {}, {"a", "b"}, -1},        // beyond the end: no selection
        {{"a", "b", "x"}, {}, {"a", "b"}, -1},        // no number: no selection
        {{"2"}, {}, {}, -1},
        {{}, {"keep"}, {"keep"}, -1},
    };
    for (const Case& c : cases) {
        SelectionList list;
        for (const auto& b : c.before)
            list.Add(b);
        w.Proc.FillList(list, c.constants);
        EXPECT_EQ(list.Items, c.items);
        EXPECT_EQ(list.ItemIndex(), c.selected) << c.items.size();
    }
}

// The audio and video values every preset gives, per output type, written as
// values rather than indexes.
struct PresetValues {
    const char* bitrate;
    const char* channels;
    const char* rate;
};

TEST(OptionsPresets, EveryTypeAndPresetSetsTheTabledAudioValues) {
    const PresetValues stereoFamily[5] = {{"48", "1 channel, Mono", "22050"},
                                          {"80", "2 channels, Stereo", "32000"},
                                          {"128", "2 channels, Stereo", "44100"},
                                          {"192", "2 channels, Stereo", "44100"},
                                          {"224", "2 channels, Stereo", "48000"}};
    const PresetValues monoFamily[5] = {{"48", "1 channel, Mono", "22050"},
                                        {"80", "1 channel, Mono", "22050"},
                                        {"128", "1 channel, Mono", "22050"},
                                        {"192", "1 channel, Mono", "22050"},
                                        {"224", "1 channel, Mono", "22050"}};
    const PresetValues* byType[7] = {stereoFamily, monoFamily, stereoFamily, monoFamily,
                                     stereoFamily, monoFamily, stereoFamily};
    for (int t = 0; t < 7; ++t)
        for (int p = 0; p < 5; ++p) {
            ProcWorld w;
            w.StartUp();
            w.Main.cbbOutputFiletype.SetItemIndex(t);
            w.ChooseProfile(p);
            EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), byType[t][p].bitrate) << t << "/" << p;
            EXPECT_EQ(w.Options.cbbAudioChannels.Text(), byType[t][p].channels) << t << "/" << p;
            EXPECT_EQ(w.Options.cbbAudioSample.Text(), byType[t][p].rate) << t << "/" << p;
            // Volume and aspect ratio are never part of a preset.
            EXPECT_EQ(w.Options.cbbAudioVolumeGain.Text(), "200");
            EXPECT_EQ(w.Options.cbbAspectratio.Text(), "4:3");
        }
}

TEST(OptionsPresets, VideoPartOfTheAmrMp3M4aAacAc3Presets) {
    const char* rates[5] = {"11", "11", "15", "15", "15"};
    const char* bitrates[5] = {"40", "80", "128", "256", "512"};
    for (int t : {oftAMR, oftAAC, oftMP3, oftAC3, oftM4A})
        for (int p = 0; p < 5; ++p) {
            ProcWorld w;
            w.StartUp();
            w.Options.cbbVideoSize.SetItemIndex(0);
            w.Main.cbbOutputFiletype.SetItemIndex(t);
            w.ChooseProfile(p);
            EXPECT_EQ(w.Options.cbbVideoSize.Text(), "176x144") << t << "/" << p;
            EXPECT_EQ(w.Options.cbbFramerate.Text(), rates[p]) << t << "/" << p;
            EXPECT_EQ(w.Options.cbbVideoBitrate.Text(), bitrates[p]) << t << "/" << p;
        }
}

TEST(OptionsPresets, OggAndWavLeaveTheVideoSelections) {
    for (int t : {oftOGG, oftWAV}) {
        ProcWorld w;
        w.StartUp();
        w.Options.cbbVideoSize.SetItemIndex(4);
        w.Options.cbbFramerate.SetItemIndex(0);
        w.Options.cbbVideoBitrate.SetItemIndex(-1);
        w.ChooseOutputType(t);
        EXPECT_EQ(w.Options.cbbVideoSize.Text(), "160x120") << t;
        EXPECT_EQ(w.Options.cbbFramerate.Text(), "11") << t;
        EXPECT_FALSE(w.Options.cbbVideoBitrate.HasSelection()) << t;
    }
}

TEST(OptionsPresets, OggDisablesProfileAndOptionsAndOthersEnableThemAgain) {
    ProcWorld w;
    w.StartUp();
    w.Main.cbbOutputFiletype.SetItemIndex(oftMP3);
    w.ChooseProfile(3);
    w.ChooseOutputType(oftOGG);
    EXPECT_FALSE(w.Main.cbbProfile.Enabled);
    EXPECT_FALSE(w.Main.btnOptions.Enabled);
    // The OGG preset at the index that was selected: 192, mono, 22050.
    EXPECT_EQ(w.Main.cbbProfile.ItemIndex(), 3);
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "192");
    EXPECT_EQ(w.Options.cbbAudioChannels.Text(), "1 channel, Mono");
    EXPECT_EQ(w.Options.cbbAudioSample.Text(), "22050");
    for (int t : {oftAMR, oftAAC, oftMP3, oftAC3, oftM4A, oftWAV}) {
        w.ChooseOutputType(oftOGG);
        w.ChooseOutputType(t);
        EXPECT_TRUE(w.Main.cbbProfile.Enabled) << t;
        EXPECT_TRUE(w.Main.btnOptions.Enabled) << t;
    }
}

TEST(OptionsPresets, NoProfileOrTypeSelectedChangesNothingAndDoesNotCrash) {
    ProcWorld w;
    w.StartUp();
    const auto before = w.ProfileTexts();
    w.ChooseProfile(-1);
    EXPECT_EQ(w.ProfileTexts(), before);
    w.Main.cbbProfile.SetItemIndex(0);
    w.ChooseOutputType(-1);
    EXPECT_EQ(w.ProfileTexts(), before);
}

// User profiles applied through the profile box.
struct UserProfileCase {
    const char* stored;
    std::vector<std::string> expected; // texts in field order after applying
};

TEST(OptionsUserProfile, StoredStringsApplyFieldByField) {
    // Start-up values: 176x144, 15, 128, 128, stereo, 44100.
    const std::vector<std::string> startUp{"176x144", "15", "128", "128", "2 channels, Stereo",
                                           "44100"};
    const UserProfileCase cases[] = {
        {"0|1|4|8|1|3", {"352x288", "15", "512", "224", "2 channels, Stereo", "48000"}},
        {"3|0|0|0|0|0", {"320x240", "11", "40", "16", "1 channel, Mono", "22050"}},
        {"0|1|4|8|1", startUp},     // five fields
        {"0|1|4|8|1|3|0", startUp}, // seven fields
        {"0|1|4|8|1|", startUp},    // a trailing separator leaves five parts
        {"1||2|5|1|2", {"176x144", "15", "128", "128", "2 channels, Stereo", "44100"}},
        {"0||0|0|0|0", {"352x288", "15", "40", "16", "1 channel, Mono", "22050"}},
        {"1|0|2|5|1|9", {"176x144", "11", "128", "128", "2 channels, Stereo", ""}},
        {"-1|1|2|5|1|2", {"", "15", "128", "128", "2 channels, Stereo", "44100"}},
    };
    for (const UserProfileCase& c : cases) {
        ProcWorld w;
        w.WriteConfig("UserProfileInfo.ini", std::string("\r\n[P]\r\nP=") + c.stored + "\r\n");
        w.StartUp();
        w.Options.cbbCustomProfile.SetItemIndex(0);
        w.Proc.ApplyUserProfile();
        EXPECT_EQ(w.ProfileTexts(), c.expected) << c.stored;
    }
}

TEST(OptionsUserProfile, EmptyOrMissingProfileChangesNothing) {
    for (const char* file : {"\r\n[P]\r\nP=\r\n", "\r\n[P]\r\n", "\r\n[P]\r\nQ=0|0|0|0|0|0\r\n"}) {
        ProcWorld w;
        w.WriteConfig("UserProfileInfo.ini", file);
        w.StartUp();
        const auto before = w.ProfileTexts();
        w.Options.cbbCustomProfile.SetItemIndex(0);
        EXPECT_EQ(w.Proc.ReadUserProfile(), "");
        w.Proc.ApplyUserProfile();
        EXPECT_EQ(w.ProfileTexts(), before) << file;
    }
}

TEST(OptionsUserProfile, FieldThatIsNoNumberStopsThereAndIsReported) {
    ProcWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[P]\r\nP=0|x|4|8|1|3\r\n");
    w.StartUp();
    w.Options.cbbCustomProfile.SetItemIndex(0);
    EXPECT_THROW(w.Proc.ApplyUserProfile(), EConvertError);
    // The field before the bad one is applied, the ones after are not.
    EXPECT_EQ(w.ProfileTexts(), (std::vector<std::string>{"352x288", "15", "128", "128",
                                                          "2 channels, Stereo", "44100"}));
}

TEST(OptionsUserProfile, NothingSelectedInTheBoxReadsNothing) {
    ProcWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[P]\r\nP=0|0|0|0|0|0\r\n");
    w.StartUp();
    w.Options.cbbCustomProfile.UserEdit("P"); // typed, not chosen
    EXPECT_EQ(w.Proc.ReadUserProfile(), "");
}

TEST(OptionsUserProfile, ChosenInTheMainWindowBeforeTheDialogWasOpened) {
    ProcWorld w;
    w.WriteConfig("UserProfileInfo.ini",
                  "\r\n[A]\r\nA=0|0|0|0|0|0\r\n\r\n[B]\r\nB=0|1|4|8|1|3\r\n");
    w.StartUp();
    EXPECT_EQ(w.Main.cbbProfile.Count(), 7);
    EXPECT_EQ(w.Main.cbbProfile.ItemText(6), "B");
    w.ChooseProfile(6);
    EXPECT_EQ(w.Options.cbbCustomProfile.Text(), "B");
    EXPECT_EQ(w.ProfileTexts(), (std::vector<std::string>{"352x288", "15", "512", "224",
                                                          "2 channels, Stereo", "48000"}));
}

TEST(OptionsUserProfile, TypeChangeWithUserProfileReappliesItAndKeepsFlags) {
    ProcWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|1|4|8|1|3\r\n");
    w.StartUp();
    w.ChooseOutputType(oftOGG); // preset: disables both
    ASSERT_FALSE(w.Main.btnOptions.Enabled);
    w.ChooseProfile(5);
    w.Options.cbbAudioBitrate.SetItemIndex(0);
    w.ChooseOutputType(oftMP3);
    EXPECT_FALSE(w.Main.cbbProfile.Enabled);
    EXPECT_FALSE(w.Main.btnOptions.Enabled);
    EXPECT_EQ(w.Options.cbbAudioBitrate.Text(), "224");
}

TEST(OptionsUserProfile, UnreadableProfileFileListsOnlyThePresets) {
    ProcWorld w;
    std::filesystem::create_directories(w.Config() + "UserProfileInfo.ini");
    w.StartUp();
    EXPECT_EQ(w.Main.cbbProfile.Count(), 5);
    EXPECT_EQ(w.Main.cbbProfile.Text(), "标准效果");
}

TEST(OptionsRefill, RefillingSelectsTheDefaultPresetWithoutApplyingIt) {
    ProcWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[A]\r\nA=0|1|4|8|1|3\r\n");
    w.StartUp();
    w.ChooseProfile(0);
    w.Options.cbbAudioBitrate.SetItemIndex(8);
    const auto before = w.ProfileTexts();
    w.Proc.RefillMainProfileList();
    EXPECT_EQ(w.Main.cbbProfile.Count(), 6);
    EXPECT_EQ(w.Main.cbbProfile.ItemIndex(), 2);
    EXPECT_EQ(w.ProfileTexts(), before);
}

} // namespace
