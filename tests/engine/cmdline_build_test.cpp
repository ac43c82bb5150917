#include <gtest/gtest.h>

#include "options_fixture.h"
#include "support/CommandLineSplit.h"

namespace {

std::string Q(const std::string& s) {
    return "\"" + s + "\"";
}

struct CmdWorld : ProcWorld {
    CmdWorld() {
        StartUp();
        Main.edtOutputFolder.SetText(Dir.Folder() + "out");
    }
    std::string Out() const { return Dir.Folder() + "out/"; }
};

TEST(CommandLine, Mp3WithStartUpSelectionsAndTrimmedRow) {
    CmdWorld w;
    const std::string src = w.Dir.Folder() + "music/song.wav";
    w.AddRow(src, "00:00:00", "00:03:25");
    w.ChooseOutputType(oftMP3);
    w.ChooseProfile(2);
    const std::string line = w.Proc.CreateConvertParameter(src);
    EXPECT_EQ(line, w.Dir.Folder() + "evc -y -i " + Q(src) +
                        " -acodec mp3 -vn -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 205 " +
                        Q(w.Out() + "song.mp3"));
    EXPECT_EQ(w.Proc.CurStartTime, "00:00:00");
    EXPECT_EQ(w.Proc.CurCutSeconds, "205");
    const TConvertParameterStruct& p = w.Lib.ConvertParam;
    EXPECT_EQ(p.EncoderPath, w.Dir.Folder() + "evc");
    EXPECT_EQ(p.SourceFile, src);
    EXPECT_EQ(p.CodecParam, " -acodec mp3 -vn");
    EXPECT_EQ(p.TrimParam, " -ss 00:00:00 -t 205");
    EXPECT_EQ(p.OutputDir, w.Out());
    EXPECT_EQ(p.OutputName, "song");
    EXPECT_EQ(p.OutputExt, ".mp3");
}

TEST(CommandLine, AmrTakesTheVideoFragmentsAndForcesMono8000) {
    CmdWorld w;
    const std::string src = w.Dir.Folder() + "song.wav";
    w.AddRow(src, "00:00:00", "00:03:25");
    const std::string line = w.Proc.CreateConvertParameter(src);
    EXPECT_EQ(line, w.Dir.Folder() + "evc -y -i " + Q(src) +
                        " -acodec amr_nb -s 176x144 -b 128 -ab 128 -vol 200 -ac 1 -ar 8000"
                        " -ss 00:00:00 -t 205 " +
                        Q(w.Out() + "song.amr"));
}

TEST(CommandLine, EveryTypeGivesItsCodecAndExtension) {
    struct Case {
        int type;
        const char* codec;
        const char* ext;
    };
    const Case cases[] = {
        {oftAMR, " -acodec amr_nb", ".amr"},       {oftAAC, " -acodec aac -vn", ".aac"},
        {oftMP3, " -acodec mp3 -vn", ".mp3"},      {oftAC3, " -acodec ac3 -vn", ".ac3"},
        {oftM4A, " -acodec aac -vn", ".m4a"},      {oftOGG, " -acodec vorbis -vn", ".ogg"},
        {oftWAV, " -acodec pcm_s16le -vn", ".wav"}};
    for (const Case& c : cases) {
        CmdWorld w;
        w.ChooseOutputType(c.type);
        const std::string line = w.Proc.CreateConvertParameter("/x/a.wav");
        EXPECT_EQ(w.Lib.ConvertParam.CodecParam, c.codec);
        EXPECT_EQ(w.Lib.ConvertParam.OutputExt, c.ext);
        // Only AMR carries video settings and a forced mono 8000 Hz.
        const bool amr = c.type == oftAMR;
        EXPECT_EQ(line.find(" -s 176x144") != std::string::npos, amr) << c.ext;
        EXPECT_EQ(line.find(" -ac 1 -ar 8000") != std::string::npos, amr) << c.ext;
        EXPECT_EQ(line.substr(line.size() - std::string(c.ext).size() - 1),
                  std::string(c.ext) + "\"");
    }
}

TEST(CommandLine, FragmentsFallBackToTheirDefaultsWithoutSelection) {
    CmdWorld w;
    SelectionList none;
    none.Items = {"x"};
    EXPECT_EQ(w.Lib.GetVideoBitrateParam(none, -1), " -b 512");
    EXPECT_EQ(w.Lib.GetVideoSizeParam(none, -1), " -s 320x240");
    EXPECT_EQ(w.Lib.GetAudioBitrateParam(none, -1), " -ab 64");
    EXPECT_EQ(w.Lib.GetVolumeParam(none, -1), " ");
    EXPECT_EQ(w.Lib.GetChannelsParam(none, -1), " -ac 2");
    EXPECT_EQ(w.Lib.GetSampleRateParam(none, 5), " -ar 44100");
    EXPECT_EQ(w.Lib.GetVolumeParam(none, 0), " -vol x");
    const SelectionList& ch = w.Options.cbbAudioChannels;
    EXPECT_EQ(w.Lib.GetChannelsParam(ch, 0), " -ac 1");
    EXPECT_EQ(w.Lib.GetChannelsParam(ch, 1), " -ac 2");
    // An unknown type falls back to AMR rather than reading past the table.
    EXPECT_EQ(w.Lib.GetCodecParam(-1), " -acodec amr_nb");
    EXPECT_EQ(w.Lib.GetExtParam(7), ".amr");
}

TEST(CommandLine, ListsWithoutSelectionUseDefaultsAndAnEmptyVolumeLeavesTwoBlanks) {
    CmdWorld w;
    w.ChooseOutputType(oftMP3);
    for (SelectionList* l : {&w.Options.cbbAudioBitrate, &w.Options.cbbAudioVolumeGain,
                             &w.Options.cbbAudioChannels, &w.Options.cbbAudioSample})
        l->SetItemIndex(-1);
    const std::string line = w.Proc.CreateConvertParameter("/x/a.wav");
    EXPECT_NE(line.find(" -acodec mp3 -vn -ab 64  -ac 2 -ar 44100 \""), std::string::npos) << line;
}

TEST(CommandLine, OutputFolderTextsGetOneTrailingSeparator) {
    struct Case {
        std::string field;
        std::string dir;
    };
    CmdWorld probe;
    const std::string base = probe.Dir.Folder();
    const Case cases[] = {{"out", "out/"}, {"out/", "out/"}, {"deep/er/out", "deep/er/out/"}};
    for (const Case& c : cases) {
        CmdWorld w;
        w.Main.edtOutputFolder.SetText(w.Dir.Folder() + c.field);
        EXPECT_EQ(w.Proc.GetOutputDir(), w.Dir.Folder() + c.dir);
        EXPECT_TRUE(std::filesystem::is_directory(w.Dir.Folder() + c.dir));
        EXPECT_EQ(w.LogMessages().back(), "Output directory " + w.Dir.Folder() + c.dir);
    }
    CmdWorld w;
    w.Main.edtOutputFolder.SetText("");
    EXPECT_EQ(w.Proc.GetOutputDir(), "/");
}

TEST(CommandLine, FolderThatCannotBeCreatedIsLoggedAndTheBuildGoesOn) {
    CmdWorld w;
    w.Platform.ReadOnlyRoots = {w.Dir.Folder() + "ro"};
    w.Main.edtOutputFolder.SetText(w.Dir.Folder() + "ro/out");
    w.ChooseOutputType(oftWAV);
    const std::string line = w.Proc.CreateConvertParameter("/x/a.mp3");
    EXPECT_EQ(w.LogMessages().back(), "Output directory error. ->" + w.Dir.Folder() + "ro/out/");
    EXPECT_EQ(w.Lib.ConvertParam.OutputDir, w.Dir.Folder() + "ro/out/");
    EXPECT_NE(line.find(Q(w.Dir.Folder() + "ro/out/a.wav")), std::string::npos);
}

TEST(CommandLine, OutputNameDropsOnlyTheLastExtension) {
    struct Case {
        const char* source;
        const char* name;
    };
    const Case cases[] = {{"/a/My.Song.wma", "My.Song"},
                          {"/a/b.c/song.mp3", "song"},
                          {"/a/x.tar.gz.avi", "x.tar.gz"}};
    for (const Case& c : cases) {
        CmdWorld w;
        w.Proc.CreateConvertParameter(c.source);
        EXPECT_EQ(w.Lib.ConvertParam.OutputName, c.name);
    }
}

TEST(CommandLine, ExistingOutputGetsAUniqueName) {
    CmdWorld w;
    std::filesystem::create_directories(w.Out());
    std::ofstream(w.Out() + "song.txt") << "x";
    std::ofstream(w.Out() + "song_1.amr") << "x";
    const std::string line = w.Proc.CreateConvertParameter("/m/song.flac");
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), Q(w.Out() + "song_2.amr"));
    // The pieces keep the wanted name; only the path in the line is unique.
    EXPECT_EQ(w.Lib.ConvertParam.OutputName, "song");
}

struct TrimCase {
    const char* start;
    const char* end;
    const char* cut;
};

TEST(CommandLine, TrimRangeFromTheRowTimes) {
    const TrimCase cases[] = {
        {"00:01:10", "00:02:00", "50"},
        {"00:02:00", "00:01:10", "-50"}, // end before start stays negative
        {"1:10", "00:02:00", "120"},     // two parts count as 0
        {"00:00:00", "", "0"},           // empty end counts as 0
        {"01:00:00", "100:00:00", "356400"},
        {"00:aa:00", "00:00:30", "30"}, // no number: that time counts as 0
        {"00:00:10", "00:00:10", "0"},
    };
    for (const TrimCase& c : cases) {
        CmdWorld w;
        w.AddRow("/m/a.wav", c.start, c.end);
        w.Proc.CreateConvertParameter("/m/a.wav");
        EXPECT_EQ(w.Proc.CurCutSeconds, c.cut) << c.start << " " << c.end;
        EXPECT_EQ(w.Lib.ConvertParam.TrimParam,
                  std::string(c.start).empty() ? ""
                                               : std::string(" -ss ") + c.start + " -t " + c.cut);
    }
}

TEST(CommandLine, AnEndAtTheFilesOwnEndReachesPastIt) {
    struct Case {
        const char* start;
        const char* end;
        const char* duration;
        const char* length; // after -t
        const char* cut;    // CurCutSeconds, what the file bar counts to
    };
    const Case cases[] = {
        {"00:00:00", "00:00:10", "00:00:10", "11", "10"},   // untouched
        {"00:00:03", "00:00:10", "00:00:10", "8", "7"},     // start moved only
        {"00:00:00", "00:00:09", "00:00:10", "9", "9"},     // trimmed end stays whole
        {"00:00:00", "00:05:03", "00:05:00", "303", "303"}, // marker dragged past the end
        {"00:00:10", "00:00:10", "00:00:10", "1", "0"},
        {"00:00:00", "00:00:10", "", "10", "10"},       // no duration known
        {"00:00:00", "00:00:00", "00:00:00", "1", "0"}, // under a second: whole
    };
    for (const Case& c : cases) {
        CmdWorld w;
        w.AddRow("/m/a.wav", c.start, c.end, c.duration);
        w.Proc.CreateConvertParameter("/m/a.wav");
        EXPECT_EQ(w.Lib.ConvertParam.TrimParam, std::string(" -ss ") + c.start + " -t " + c.length)
            << c.start << " " << c.end << " " << c.duration;
        EXPECT_EQ(w.Proc.CurCutSeconds, c.cut);
    }
}

TEST(CommandLine, SourceWithoutRowGivesNoTrim) {
    CmdWorld w;
    w.AddRow("/m/other.wav", "00:00:05", "00:00:10");
    const std::string line = w.Proc.CreateConvertParameter("/m/a.wav");
    EXPECT_EQ(w.Proc.CurStartTime, "");
    EXPECT_EQ(w.Proc.CurCutSeconds, "");
    EXPECT_EQ(w.Lib.ConvertParam.TrimParam, "");
    EXPECT_EQ(line.find(" -ss "), std::string::npos);
}

TEST(CommandLine, EmptyStartTextGivesNoTrimEvenWithALength) {
    CmdWorld w;
    w.AddRow("/m/a.wav", "", "00:00:10");
    w.Proc.CreateConvertParameter("/m/a.wav");
    EXPECT_EQ(w.Proc.CurCutSeconds, "10");
    EXPECT_EQ(w.Lib.ConvertParam.TrimParam, "");
}

TEST(CommandLine, SameFileTwiceTakesTheLaterRowForBoth) {
    CmdWorld w;
    w.AddRow("/m/a.wav", "00:00:10", "00:00:20");
    w.AddRow("/m/a.wav", "00:01:00", "00:01:30");
    for (int build = 0; build < 2; ++build) {
        w.Proc.CreateConvertParameter("/m/a.wav");
        EXPECT_EQ(w.Proc.CurStartTime, "00:01:00");
        EXPECT_EQ(w.Proc.CurCutSeconds, "30");
    }
}

TEST(CommandLine, RowsMatchByTheExactPath) {
    CmdWorld w;
    w.AddRow("/m/Song.wav", "00:00:01", "00:00:03");
    w.AddRow("/m/song.wav", "00:00:02", "00:00:09");
    const struct {
        const char* path;
        const char* start;
        const char* cut;
    } cases[] = {{"/m/Song.wav", "00:00:01", "2"},
                 {"/m/song.wav", "00:00:02", "7"},
                 {"/M/SONG.WAV", "", ""},
                 {"/m/song.wa", "", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(w.Proc.GetStartTime(c.path), c.start) << c.path;
        EXPECT_EQ(w.Proc.GetCutSeconds(c.path), c.cut) << c.path;
    }
}

TEST(CommandLine, UserProfileStillSelectedInTheDialogWinsOverThePreset) {
    CmdWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[Mine]\r\nMine=0|1|4|8|0|3\r\n");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.UserSelect(0);
    w.Options.btnOK.Click();
    w.ChooseOutputType(oftMP3);
    w.ChooseProfile(1); // a preset: 80, stereo, 32000
    ASSERT_EQ(w.Options.cbbAudioBitrate.Text(), "80");
    w.AddRow("/m/a.wav", "00:00:00", "00:00:05");
    const std::string line = w.Proc.CreateConvertParameter("/m/a.wav");
    EXPECT_NE(line.find(" -ab 224 -vol 200 -ac 1 -ar 48000 -ss"), std::string::npos) << line;
}

TEST(CommandLine, DamagedUserProfileIsShownOnceAndDoesNotStopTheBuild) {
    CmdWorld w;
    w.WriteConfig("UserProfileInfo.ini", "\r\n[Bad]\r\nBad=0|1|4|zz|0|3\r\n");
    w.Options.ShowOptions();
    w.Options.cbbCustomProfile.SetItemIndex(0);
    w.AddRow("/m/a.wav", "00:00:00", "00:00:05");
    std::string line;
    EXPECT_NO_THROW(line = w.Proc.CreateConvertParameter("/m/a.wav"));
    EXPECT_NE(line.find(" -s 352x288 -b 512 -ab 128"), std::string::npos) << line;
    // Shown once, as an error with the store's text, however many files follow.
    w.Proc.CreateConvertParameter("/m/a.wav");
    ASSERT_EQ(w.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(w.Dialogs.Messages[0].Kind, mkError);
    EXPECT_EQ(w.Dialogs.Messages[0].Text, "'zz' is not a valid integer value");
    bool logged = false;
    for (const std::string& m : w.LogMessages())
        logged = logged || m.find("'zz' is not a valid integer value") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST(CommandLine, NastyPathsStaySingleArguments) {
    const std::vector<std::string> sources = {"/m/with blank/a b.wav", "/m/quote\"inside.wav",
                                              "/m/back\\slash.wav",    "/m/trailing\\ \\\".wav",
                                              "/m/中文 歌曲.wav",      "/m/it's.wav"};
    for (const std::string& src : sources) {
        CmdWorld w;
        w.ChooseOutputType(oftMP3);
        w.Main.edtOutputFolder.SetText(w.Dir.Folder() + "out \"x\"");
        w.AddRow(src, "00:00:01", "00:00:04");
        const std::vector<std::string> argv = SplitCommandLine(w.Proc.CreateConvertParameter(src));
        ASSERT_EQ(argv.size(), 20u) << src;
        EXPECT_EQ(argv[0], w.Dir.Folder() + "evc");
        EXPECT_EQ(argv[3], src);
        EXPECT_EQ(argv[argv.size() - 5], "-ss");
        EXPECT_EQ(argv.back(),
                  w.Dir.Folder() + "out \"x\"/" + w.FileFunc.GetBaseName(src) + ".mp3");
    }
}

TEST(CommandLine, EncoderPathWithABlankIsQuoted) {
    CmdWorld w;
    w.Lib.AppPath = w.Dir.Folder() + "Program Files/Velmora/";
    const std::string line = w.Proc.CreateConvertParameter("/m/a.wav");
    EXPECT_EQ(line.rfind(Q(w.Dir.Folder() + "Program Files/Velmora/evc") + " -y -i ", 0), 0u)
        << line;
    EXPECT_EQ(SplitCommandLine(line).front(), w.Dir.Folder() + "Program Files/Velmora/evc");
}

} // namespace

TEST(CommandLine, BuiltTextSplitsBackIntoTheBuiltArguments) {
    struct Case {
        const char* exe;
        const char* source;
        const char* ext;
        const char* output;
    };
    const Case cases[] = {
        {"/opt/v/evc", "/m/a.wav", ".mp3", "/o/a.mp3"},
        {"/opt/my tools/evc", "/m/with blank.wav", ".amr", "/o/with blank.amr"},
        {"/opt/v/evc", "/m/q\"uote\\\".wav", ".ogg", "/o/tail\\"},
        {"/opt/v/evc", "/m/歌曲 一.wav", ".wav", "/o/歌曲 一.wav"},
    };
    for (const Case& c : cases) {
        TConvertParameterStruct p;
        p.EncoderPath = c.exe;
        p.SourceFile = c.source;
        p.OutputExt = c.ext;
        p.CodecParam = " -acodec mp3 -vn";
        p.VideoSizeParam = " -s 176x144";
        p.VideoBitrateParam = " -b 128";
        p.AudioBitrateParam = " -ab 64";
        p.VolumeParam = " ";
        p.ChannelsParam = " -ac 2";
        p.SampleRateParam = " -ar 44100";
        p.TrimParam = " -ss 00:00:01 -t 5";
        const TEncoderCommand command = BuildEncoderCommand(p, c.output);
        EXPECT_EQ(SplitCommandLine(command.Text), command.Arguments) << command.Text;
        EXPECT_EQ(command.Arguments.front(), c.exe);
        EXPECT_EQ(command.Arguments.back(), c.output);
    }
}
