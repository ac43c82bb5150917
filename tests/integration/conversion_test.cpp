// Whole jobs with the real encoder, in real time.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IntegrationSupport.h"

namespace {

namespace fs = std::filesystem;

struct TypeCase {
    const char* Name;
    int Type;
    const char* Ext;
};

class ConversionTest : public ::testing::TestWithParam<TypeCase> {
protected:
    ConversionRig rig;
};

TEST_P(ConversionTest, ThreeSourcesOneTrimmed) {
    const TypeCase c = GetParam();
    const std::string video = rig.Media("clip.mp4");
    const std::string song = rig.Media("song.mp3");
    const std::string tone = rig.Media("tone.wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i testsrc=duration=4:size=160x120:rate=10 -f lavfi -i "
                    "sine=frequency=330:duration=4 -shortest -c:v mpeg4 -c:a aac " +
                    Quote(video)),
              0);
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=550:duration=5 -ac 2 -c:a libmp3lame "
                    "-b:a 128k " +
                    Quote(song)),
              0);
    ASSERT_EQ(
        Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=6 -ac 2 -ar 44100 " + Quote(tone)),
        0);
    rig.AddRow(video, "00:00:00", "00:00:04");
    rig.AddRow(song, "00:00:00", "00:00:05");
    rig.AddRow(tone, "00:00:01", "00:00:04", "True", "00:00:06"); // trimmed to 3 s
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.SelectType(c.Type);

    // Per file (DoneCount): the highest file bar position and its maximum.
    std::map<int, std::pair<int, int>> fileBars;
    int jobBarHighest = 0;
    rig.form.ProgressBar1.OnModelChanged = [&] {
        auto& bar = fileBars[rig.proc.DoneCount];
        bar.first = std::max(bar.first, rig.form.ProgressBar1.Position());
        bar.second = rig.form.ProgressBar1.Max();
    };
    rig.form.pbTotal.OnModelChanged = [&] {
        jobBarHighest = std::max(jobBarHighest, rig.form.pbTotal.Position());
    };

    rig.Convert();

    EXPECT_EQ(rig.proc.DoneCount, 3);
    EXPECT_EQ(rig.proc.TotalCount, 3);
    EXPECT_TRUE(rig.dialogs.Messages.empty());
    EXPECT_TRUE(rig.proc.FailedFiles.empty());
    EXPECT_EQ(rig.LogCount("parameter: "), 3);
    EXPECT_FALSE(rig.form.Visible);
    EXPECT_TRUE(rig.mainForm.Enabled);
    EXPECT_FALSE(rig.OwnEncoderLeft());

    const std::vector<std::pair<std::string, double>> expected = {
        {"clip", 4.0}, {"song", 5.0}, {"tone", 3.0}};
    for (const auto& [name, seconds] : expected) {
        const std::string path = out + "/" + name + c.Ext;
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_NEAR(DecodedSeconds(path), seconds, 0.1) << path;
    }
    // Nothing but the three outputs: no temporary files are left.
    EXPECT_EQ(FolderEntries(out).size(), 3u);

    // The file bar reached the end of every file; the job bar reached the
    // end of every file but the last, which it shows only one refresh later.
    const int lengths[] = {4, 5, 3};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(fileBars[k].second, lengths[k]) << "file " << k;
        EXPECT_EQ(fileBars[k].first, lengths[k]) << "file " << k;
    }
    EXPECT_EQ(rig.form.pbTotal.Max(), 300);
    EXPECT_GE(jobBarHighest, 200);
}

INSTANTIATE_TEST_SUITE_P(Types, ConversionTest,
                         ::testing::Values(TypeCase{"MP3", oftMP3, ".mp3"},
                                           TypeCase{"AMR", oftAMR, ".amr"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ConversionStopTest, StopInTheMiddleLeavesNothingBehind) {
    ConversionRig rig;
    const std::string longFile = rig.Media("long.wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=900 -ac 1 -ar 8000 " +
                    Quote(longFile)),
              0);
    rig.AddRow(longFile, "00:00:00", "00:15:00");
    rig.AddRow(rig.Media("never.wav"), "00:00:00", "00:00:05");
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.mainForm.chkShowOutputDirectory.SetChecked(true);
    rig.SelectType(oftMP3);

    bool pressed = false;
    rig.pump.OnEvents = [&] {
        // Stop once the encoder is well into the file.
        if (!pressed && rig.proc.RefreshCount >= 2 && rig.form.ProgressBar1.Position() >= 3) {
            pressed = true;
            rig.dialogs.QuestionAnswers.push_back(true);
            rig.form.btnStop.Click();
        }
    };
    rig.Convert();

    ASSERT_TRUE(pressed);
    EXPECT_EQ(rig.dialogs.Questions, std::vector<std::string>{"确定停止转换吗? "});
    EXPECT_EQ(rig.proc.DoneCount, 1);
    EXPECT_EQ(rig.LogCount("parameter: "), 1);
    EXPECT_FALSE(rig.OwnEncoderLeft());
    // No output and no temporary file.
    EXPECT_TRUE(FolderEntries(out).empty())
        << (FolderEntries(out).empty() ? "" : FolderEntries(out)[0]);
    EXPECT_TRUE(rig.platform.OpenedFolders.empty());
    EXPECT_TRUE(rig.dialogs.Messages.empty());
    EXPECT_FALSE(rig.form.Visible);
    EXPECT_TRUE(rig.mainForm.Enabled);
    EXPECT_FALSE(rig.proc.StopRequested);
}

TEST(ConversionFailureTest, RejectedFileIsListed) {
    ConversionRig rig;
    const std::string good = rig.Media("good.wav");
    const std::string bad = rig.Media("broken.wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=3 " + Quote(good)), 0);
    {
        std::ofstream f(bad, std::ios::binary);
        f << "this is not a sound file\n";
    }
    rig.AddRow(bad, "00:00:00", "00:00:03");
    rig.AddRow(good, "00:00:00", "00:00:03");
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.SelectType(oftMP3);

    rig.Convert();

    ASSERT_EQ(rig.dialogs.Messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.Messages[0].Kind, mkWarning);
    EXPECT_EQ(rig.dialogs.Messages[0].Title, "Velmora");
    EXPECT_EQ(rig.dialogs.Messages[0].Text, "以下文件转换失败:\n" + bad);
    EXPECT_EQ(rig.proc.DoneCount, 2);
    EXPECT_EQ(FolderEntries(out), std::vector<std::string>{"good.mp3"});
    EXPECT_EQ(rig.LogCount("Convert file error. ->" + bad), 1);
    EXPECT_TRUE(fs::exists(bad)); // the source is never touched
}

TEST(ConversionLengthTest, AnUntouchedEndKeepsTheTailATrimmedEndCutsWholeSeconds) {
    ConversionRig rig;
    const std::string source = rig.Media("whole.wav");
    ASSERT_EQ(
        Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=10.7 -ac 2 " + Quote(source)), 0);
    struct Case {
        const char* name;
        const char* start;
        const char* end;
        double seconds;
    };
    // The grid shows the 10.7 s file as 00:00:10.
    const Case cases[] = {{"whole", "00:00:00", "00:00:10", 10.7},
                          {"late", "00:00:03", "00:00:10", 7.7},
                          {"cut", "00:00:02", "00:00:08", 6.0}};
    for (const Case& c : cases) {
        const std::string path = rig.Media(std::string(c.name) + "_src.wav");
        fs::copy_file(source, path);
        rig.AddRow(path, c.start, c.end, "True", "00:00:10");
    }
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.SelectType(oftMP3);

    rig.Convert();

    EXPECT_TRUE(rig.proc.FailedFiles.empty());
    for (const Case& c : cases) {
        const std::string path = out + "/" + c.name + "_src.mp3";
        EXPECT_NEAR(DecodedSeconds(path), c.seconds, 0.06) << path;
    }
}

TEST(ConversionNamesTest, NamesThatDifferOnlyInCaseKeepTheirOwnTrim) {
    ConversionRig rig;
    const std::string upper = rig.Media("Tone.wav");
    const std::string lower = rig.Media("tone.wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=20 " + Quote(upper)), 0);
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=660:duration=5 " + Quote(lower)), 0);
    rig.AddRow(upper, "00:00:02", "00:00:20");
    rig.AddRow(lower, "00:00:00", "00:00:05");
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.SelectType(oftMP3);

    rig.Convert();

    EXPECT_TRUE(rig.proc.FailedFiles.empty());
    EXPECT_EQ(FolderEntries(out), (std::vector<std::string>{"Tone.mp3", "tone.mp3"}));
    EXPECT_NEAR(DecodedSeconds(out + "/Tone.mp3"), 18.0, 0.06);
    EXPECT_NEAR(DecodedSeconds(out + "/tone.mp3"), 5.0, 0.06);
}

TEST(ConversionNamesTest, ANameThatIsNotUtf8ReachesTheEncoderAsItsBytes) {
    ConversionRig rig;
    const std::string gbk = "\xb2\xe2\xca\xd4"; // a GBK name, not UTF-8
    const std::string source = rig.Media(gbk + ".wav");
    ASSERT_EQ(Shell("ffmpeg -y -f lavfi -i sine=frequency=440:duration=2 " + Quote(source)), 0);
    rig.AddRow(source, "00:00:00", "00:00:02");
    const std::string out = rig.mediaDir.Folder() + "out";
    rig.mainForm.edtOutputFolder.SetText(out);
    rig.SelectType(oftWAV);

    rig.Convert();

    EXPECT_TRUE(rig.proc.FailedFiles.empty());
    EXPECT_EQ(FolderEntries(out), std::vector<std::string>{gbk + ".wav"});
    EXPECT_NEAR(DecodedSeconds(out + "/" + gbk + ".wav"), 2.0, 0.06);
}

} // namespace
