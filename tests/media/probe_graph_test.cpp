// The FFmpeg probing graph and ProbeDuration against real files made with the
// ffmpeg CLI once for the whole suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "MediaTestKit.h"

using namespace media_test;

namespace {

struct MediaCase {
    const char* Name;
    std::string Args; // ffmpeg input and codec options
    bool Renders;
    std::int64_t Seconds;
};

const std::vector<MediaCase>& Cases() {
    static const std::vector<MediaCase> cases = {
        {"tone.wav", Tone(3.7), true, 3},
        {"tone.mp3", Tone(3.7) + " -c:a libmp3lame", true, 3},
        {"cbr_noinfo.mp3", Tone(5.5) + " -c:a libmp3lame -b:a 128k -write_xing 0", true, 5},
        {"tone.ogg", Tone(2.5) + " -c:a libvorbis", true, 2},
        {"tone.m4a", Tone(3.7) + " -c:a aac", true, 3},
        {"tone.aac", Tone(4.2) + " -c:a aac", true, 4},
        {"tone.ac3", Tone(3.7) + " -c:a ac3", true, 3},
        {"tone.mp2", Tone(3.7) + " -c:a mp2", true, 3},
        {"tone.wma", Tone(3.7) + " -c:a wmav2", true, 3},
        {"tone.tta", Tone(3.7) + " -c:a tta", true, 3},
        {"clip.mp4", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg4 -c:a aac", true, 4},
        {"clip.avi", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg4 -c:a libmp3lame", true, 4},
        {"clip.3gp", Video(4.6) + " " + Tone(4.6) + " -c:v h263 -c:a aac -ar 16000 -ac 1", true, 4},
        {"clip.3g2", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg4 -c:a aac", true, 4},
        {"clip.m4v", Video(4.6) + " " + Tone(4.6) + " -f mp4 -c:v mpeg4 -c:a aac", true, 4},
        {"clip.mov", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg4 -c:a aac", true, 4},
        {"clip.mpeg", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg1video -c:a mp2", true, 4},
        {"clip.mpg", Video(4.6) + " " + Tone(4.6) + " -c:v mpeg2video -c:a mp2", true, 4},
        {"clip.vob", Video(4.6) + " " + Tone(4.6) + " -f vob -c:v mpeg2video -c:a ac3", true, 4},
        {"clip.asf", Video(4.6) + " " + Tone(4.6) + " -c:v wmv2 -c:a wmav2", true, 4},
        {"clip.wmv", Video(4.6) + " " + Tone(4.6) + " -c:v wmv2 -c:a wmav2", true, 4},
        {"clip.rm", Video(4.6) + " " + Tone(4.6) + " -c:v rv10 -c:a ac3", true, 4},
        {"clip.rmvb", Video(4.6) + " " + Tone(4.6) + " -f rm -c:v rv20 -c:a ac3", true, 4},
        {"clip.flv", Video(4.6) + " " + Tone(4.6) + " -c:v flv1 -c:a libmp3lame", true, 4},
        // SWF states no length at all; it is read from the packets.
        {"clip.swf", Video(4.6) + " " + Tone(4.6) + " -c:v flv1 -c:a libmp3lame", true, 4},
        {"short.wav", Tone(0.9), true, 0},
        {"short.mp3", Tone(0.36) + " -c:a libmp3lame", true, 0},
        {"onehalf.wav", Tone(1.5), true, 1},
        {"silent_video.avi", Video(3.0) + " -c:v mpeg4", false, 0},
        {"silent_video.mp4", Video(3.0) + " -c:v mpeg4", false, 0},
    };
    return cases;
}

class ProbeGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        for (const auto& c : Cases())
            made_[c.Name] = CachedFfmpeg(c.Args, Path(c.Name));
        for (const char* name : {"long.wav", "long.mp3", "long.m4a", "long.ogg"}) {
            std::string ext = std::filesystem::path(name).extension().string();
            std::string codec = ext == ".mp3"   ? " -c:a libmp3lame"
                                : ext == ".m4a" ? " -c:a aac"
                                : ext == ".ogg" ? " -c:a libvorbis"
                                                : "";
            made_[name] = CachedFfmpeg(Tone(59.999) + codec, Path(name));
        }
        // An ID3 tag larger than one read block in front of the first frame.
        made_["tagged.mp3"] = CachedFfmpeg(
            Tone(3.7) + " -c:a libmp3lame -metadata comment=" + std::string(90000, 'c'),
            Path("tagged.mp3"));
        WriteText(Path("text.mp3"), "This is a text file, not an MP3 at all.\r\n");
        WriteText(Path("empty.wav"), "");
        std::filesystem::create_directory(Path("folder.mp3"));
        // Opening a pipe for reading blocks until a writer comes: never probe one.
        std::system(("mkfifo '" + Path("fifo.wav") + "'").c_str());
        if (made_["clip.mp4"]) {
            // The moov box of ffmpeg's MP4s is at the end: a cut file has none.
            std::ifstream in(Path("clip.mp4"), std::ios::binary);
            std::string head(4096, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            WriteText(Path("cut.mp4"), head);
        }
        if (made_["long.wav"]) {
            // A copy cut short: the header promises 60 s, the data holds 22.6 s.
            std::ifstream in(Path("long.wav"), std::ios::binary);
            std::string head(2000000, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            WriteText(Path("cut.wav"), head);
        }
        if (made_["long.mp3"]) {
            // Cut to half and to 1700 bytes: the Info frame still counts a minute of frames.
            for (auto [name, bytes] :
                 {std::pair{"cut.mp3", std::filesystem::file_size(Path("long.mp3")) / 2},
                  std::pair{"cut1700.mp3", std::uintmax_t{1700}}}) {
                std::ifstream in(Path("long.mp3"), std::ios::binary);
                std::string head(bytes, '\0');
                in.read(head.data(), static_cast<std::streamsize>(head.size()));
                WriteText(Path(name), head);
            }
        }
        if (made_["tone.wav"]) {
            // A script that would read another file, named like an MP3.
            std::filesystem::create_directory(Path("private"));
            std::filesystem::copy_file(Path("tone.wav"), Path("private/secret.wav"));
            WriteText(Path("concat.mp3"), "ffconcat version 1.0\nfile private/secret.wav\n");
            std::filesystem::copy_file(Path("tone.wav"), Path("名字 with: colon.wav"));
            std::filesystem::copy_file(Path("tone.wav"), Path("a:b.wav"));
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string Path(const std::string& name) { return dir_->Folder() + name; }
    static bool Made(const std::string& name) { return made_[name]; }

    static TempDir* dir_;
    static std::map<std::string, bool> made_;
};

TempDir* ProbeGraphTest::dir_ = nullptr;
std::map<std::string, bool> ProbeGraphTest::made_;

TEST_F(ProbeGraphTest, EveryAcceptedContainerRendersWithItsLength) {
    auto graph = CreateProbeGraph();
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(Made(c.Name)) << "ffmpeg could not make the test file";
        graph->Clear();
        graph->Activate();
        int r = graph->RenderFile(Path(c.Name));
        EXPECT_EQ(r == 0, c.Renders) << "render result " << r;
        const std::optional<std::int64_t> probed =
            c.Renders ? std::optional<std::int64_t>(c.Seconds) : std::nullopt;
        EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path(c.Name), graph.get()), probed);
    }
}

TEST_F(ProbeGraphTest, FileOfJustUnderAMinuteProbesAs59Seconds) {
    auto graph = CreateProbeGraph();
    for (const char* name : {"long.wav", "long.mp3", "long.m4a", "long.ogg"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Made(name));
        EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path(name), graph.get()), 59);
        graph->Clear();
        graph->Activate();
        ASSERT_EQ(graph->RenderFile(Path(name)), 0);
        // The encoder's padding is not sound: at most a few ms short of 59999.
        EXPECT_LE(graph->DurationMs(), 59999);
        EXPECT_GE(graph->DurationMs(), 59990);
    }
}

TEST_F(ProbeGraphTest, CutWavCountsOnlyTheSamplesPresent) {
    ASSERT_TRUE(std::filesystem::exists(Path("cut.wav")));
    auto graph = CreateProbeGraph();
    EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path("cut.wav"), graph.get()), 22);
}

TEST_F(ProbeGraphTest, CutMp3CountsOnlyTheFramesPresent) {
    auto graph = CreateProbeGraph();
    graph->Activate();
    ASSERT_EQ(graph->RenderFile(Path("cut.mp3")), 0);
    EXPECT_NEAR(graph->DurationMs(), 30000, 500);
    ASSERT_EQ(graph->RenderFile(Path("cut1700.mp3")), 0);
    EXPECT_LT(graph->DurationMs(), 1000);
}

TEST_F(ProbeGraphTest, WavLengthIsExactToTheMillisecond) {
    auto graph = CreateProbeGraph();
    graph->Clear();
    graph->Activate();
    ASSERT_EQ(graph->RenderFile(Path("long.wav")), 0);
    EXPECT_EQ(graph->DurationMs(), 59999);
}

TEST_F(ProbeGraphTest, BadInputProbesAsUnreadableWithoutError) {
    auto graph = CreateProbeGraph();
    for (const char* name : {"text.mp3", "empty.wav", "folder.mp3", "fifo.wav", "cut.mp4",
                             "missing.wav", "silent_video.avi", "concat.mp3"}) {
        SCOPED_TRACE(name);
        graph->Clear();
        graph->Activate();
        EXPECT_NE(graph->RenderFile(Path(name)), 0);
        EXPECT_EQ(graph->DurationMs(), 0);
        EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path(name), graph.get()), std::nullopt);
    }
}

TEST_F(ProbeGraphTest, FailedRenderDoesNotKeepThePreviousLength) {
    auto graph = CreateProbeGraph();
    graph->Activate();
    ASSERT_EQ(graph->RenderFile(Path("tone.wav")), 0);
    ASSERT_GT(graph->DurationMs(), 0);
    EXPECT_NE(graph->RenderFile(Path("text.mp3")), 0);
    EXPECT_EQ(graph->DurationMs(), 0);
    ASSERT_EQ(graph->RenderFile(Path("tone.wav")), 0);
    graph->Clear();
    EXPECT_EQ(graph->DurationMs(), 0);
}

TEST_F(ProbeGraphTest, RenderingNeedsAnActiveGraph) {
    auto graph = CreateProbeGraph();
    EXPECT_FALSE(graph->Active());
    EXPECT_NE(graph->RenderFile(Path("tone.wav")), 0);
    graph->Activate();
    EXPECT_TRUE(graph->Active());
    EXPECT_EQ(graph->RenderFile(Path("tone.wav")), 0);
    graph->Deactivate();
    EXPECT_FALSE(graph->Active());
    // Probing leaves the graph inactive, as it found it.
    EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path("tone.wav"), graph.get()), 3);
    EXPECT_FALSE(graph->Active());
}

TEST_F(ProbeGraphTest, NamesAreFilePathsNotUrls) {
    auto graph = CreateProbeGraph();
    for (const char* name : {"名字 with: colon.wav", "a:b.wav"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TFrmInitFileForm::ProbeDuration(Path(name), graph.get()), 3);
    }
    // Relative to the working folder, a "scheme:" prefix must not select a protocol.
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir_->Path());
    EXPECT_EQ(TFrmInitFileForm::ProbeDuration("a:b.wav", graph.get()), 3);
    std::filesystem::current_path(old);
}

TEST_F(ProbeGraphTest, LargeTagInFrontOfTheFirstFrame) {
    ASSERT_TRUE(Made("tagged.mp3"));
    ASSERT_GT(std::filesystem::file_size(Path("tagged.mp3")), 90000u);
    auto graph = CreateProbeGraph();
    graph->Activate();
    ASSERT_EQ(graph->RenderFile(Path("tagged.mp3")), 0);
    EXPECT_GE(graph->DurationMs(), 3690);
    EXPECT_LE(graph->DurationMs(), 3700);
}

} // namespace
