// Sources of every kind the program accepts, tags, and the progress the program reads.
#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

class EvcMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite() { media_ = std::make_unique<evctest::TempDir>(); }
    static void TearDownTestSuite() { media_.reset(); }
    static std::string Media(const std::string& name) { return media_->File(name); }
    static std::unique_ptr<evctest::TempDir> media_;
    evctest::TempDir out_;
};

std::unique_ptr<evctest::TempDir> EvcMedia::media_;

struct SourceCase {
    const char* name;                // file name, its extension is the container
    std::vector<std::string> encode; // ffmpeg output options
    bool video;
};

const std::vector<std::string> kVideoIn = {"-f", "lavfi", "-i", "testsrc=size=128x96:rate=25:d=2",
                                           "-f", "lavfi", "-i", "sine=f=500:d=2"};
const std::vector<std::string> kAudioIn = {"-f", "lavfi", "-i", "sine=f=500:d=2"};

class EvcSources : public EvcMedia, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(EvcSources, ConvertsTheAudioOfEachAcceptedContainer) {
    const SourceCase& c = GetParam();
    std::vector<std::string> args = c.video ? kVideoIn : kAudioIn;
    args.insert(args.end(), c.encode.begin(), c.encode.end());
    const std::string src = Media(c.name);
    evctest::MakeMedia(args, src);
    const std::string out = out_.File("from.mp3");
    const auto r = evctest::RunEvc({"-y", "-i", src, "-acodec", "mp3", "-vn", "-ab", "64", "-vol",
                                    "200", "-ac", "2", "-ar", "44100", out});
    ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
    const auto info = evctest::ReadAudio(out);
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 44100);
    // Two seconds of sound, give or take a codec frame of the source.
    EXPECT_NEAR(info.Seconds(), 2.0, 0.1) << c.name;
    EXPECT_GT(info.rms, 0.05) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Containers, EvcSources,
    ::testing::Values(
        SourceCase{"v.3gp", {"-c:v", "h263", "-c:a", "aac", "-ar", "22050", "-ac", "1"}, true},
        SourceCase{"v.3g2", {"-c:v", "h263", "-c:a", "aac", "-ar", "22050"}, true},
        SourceCase{"v.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, true},
        SourceCase{"v.m4v", {"-f", "mp4", "-c:v", "mpeg4", "-c:a", "aac"}, true},
        SourceCase{"v.mp4", {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, true},
        SourceCase{"v.mpeg", {"-f", "mpeg", "-c:v", "mpeg1video", "-c:a", "mp2"}, true},
        SourceCase{"v.mpg", {"-c:v", "mpeg2video", "-c:a", "mp2"}, true},
        SourceCase{"v.asf", {"-c:v", "wmv2", "-c:a", "wmav2"}, true},
        SourceCase{"v.wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}, true},
        SourceCase{"v.mov", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}, true},
        SourceCase{"v.vob", {"-f", "vob", "-c:v", "mpeg2video", "-c:a", "ac3"}, true},
        SourceCase{"v.rm", {"-c:v", "rv10", "-c:a", "ac3"}, true},
        SourceCase{"v.rmvb", {"-f", "rm", "-c:v", "rv10", "-c:a", "ac3"}, true},
        SourceCase{"v.flv", {"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "44100"}, true},
        SourceCase{"v.swf", {"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "22050"}, true},
        SourceCase{"a.aac", {"-c:a", "aac"}, false}, SourceCase{"a.ac3", {"-c:a", "ac3"}, false},
        SourceCase{"a.m4a", {"-c:a", "aac"}, false}, SourceCase{"a.mp2", {"-c:a", "mp2"}, false},
        SourceCase{"a.mp3", {"-c:a", "libmp3lame"}, false},
        SourceCase{"a.ogg", {"-c:a", "libvorbis"}, false},
        SourceCase{"a.tta", {"-c:a", "tta"}, false}, SourceCase{"a.wav", {}, false},
        SourceCase{"a.wma", {"-c:a", "wmav2"}, false}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n) {
            if (ch == '.') {
                ch = '_';
            }
        }
        return n;
    });

TEST_F(EvcMedia, AmrOutputReadsBackAsSource) {
    evctest::MakeMedia(kAudioIn, Media("s.wav"));
    const std::string amr = out_.File("s.amr");
    ASSERT_EQ(evctest::RunEvc({"-y", "-i", Media("s.wav"), "-acodec", "amr_nb", amr}).exitCode, 0);
    const std::string back = out_.File("back.m4a");
    const auto r = evctest::RunEvc({"-y", "-i", amr, "-acodec", "aac", "-ar", "44100", back});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NEAR(evctest::ReadAudio(back).Seconds(), 2.0, 0.05);
}

struct LayoutCase {
    const char* ext;
    const char* codec;
    int wantRate; // for -ar 22050
    int wantChannels;
};

class EvcLayouts : public EvcMedia, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(EvcLayouts, SurroundHighRateAndNarrowbandSources) {
    const LayoutCase& c = GetParam();
    evctest::MakeMedia({"-f", "lavfi", "-i", "sine=f=300:sample_rate=96000:d=1", "-af",
                        "pan=5.1|FL=c0|FR=c0|FC=c0|LFE=c0|BL=c0|BR=c0", "-c:a", "pcm_s16le"},
                       Media("surround.wav"));
    evctest::MakeMedia(
        {"-f", "lavfi", "-i", "sine=f=300:sample_rate=8000:d=1", "-c:a", "pcm_s16le"},
        Media("narrow.wav"));
    // 24-bit and float samples, with a volume change on the way.
    evctest::MakeMedia({"-f", "lavfi", "-i", "sine=f=300:d=1", "-c:a", "pcm_s24le"},
                       Media("deep.wav"));
    evctest::MakeMedia({"-f", "lavfi", "-i", "sine=f=300:d=1", "-c:a", "pcm_f32le"},
                       Media("float.wav"));
    for (const char* src : {"surround.wav", "narrow.wav", "deep.wav", "float.wav"}) {
        const std::string out = out_.File(std::string("l") + c.ext);
        const auto r = evctest::RunEvc({"-y", "-i", Media(src), "-acodec", c.codec, "-ab", "128",
                                        "-vol", "300", "-ac", "2", "-ar", "22050", out});
        ASSERT_EQ(r.exitCode, 0) << src << " to " << c.ext << ": " << r.err;
        const auto info = evctest::ReadAudio(out);
        EXPECT_EQ(info.sampleRate, c.wantRate) << src;
        EXPECT_EQ(info.channels, c.wantChannels) << src;
        EXPECT_NEAR(info.Seconds(), 1.0, 0.1) << src;
        EXPECT_GT(info.rms, 0.02) << src;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, EvcLayouts,
    ::testing::Values(LayoutCase{".amr", "amr_nb", 8000, 1}, LayoutCase{".aac", "aac", 22050, 2},
                      LayoutCase{".mp3", "mp3", 22050, 2}, LayoutCase{".ac3", "ac3", 32000, 2},
                      LayoutCase{".m4a", "aac", 22050, 2}, LayoutCase{".ogg", "vorbis", 22050, 2},
                      LayoutCase{".wav", "pcm_s16le", 22050, 2}),
    [](const auto& info) { return std::string(info.param.ext + 1); });

struct TagCase {
    const char* ext;
    const char* codec;
    std::vector<std::string> keys; // descriptive keys the container keeps
};

class EvcTags : public EvcMedia, public ::testing::WithParamInterface<TagCase> {};

// A tagged MP3, and a phone's video with its position, device and app keys beside the
// descriptive ones.
TEST_P(EvcTags, DescriptiveTagsAreCarriedAndNothingElse) {
    const TagCase& c = GetParam();
    const std::map<std::string, std::string> want = {{"title", "Tïtle Ünicode"},
                                                     {"artist", "The Artist"},
                                                     {"album", "An Album"},
                                                     {"album_artist", "Band"},
                                                     {"composer", "Writer"},
                                                     {"date", "2019"},
                                                     {"genre", "Jazz"},
                                                     {"track", "7"},
                                                     {"disc", "2"},
                                                     {"comment", "Nice"},
                                                     {"copyright", "(c) Owner"}};
    const std::vector<std::string> unwanted = {
        "location=-15.8355-048.0153/", "com.android.version=Android-13-x", "make=PhoneMaker",
        "model=PhoneModel-X1", "encoder=PhoneCam 1.0"};
    std::vector<std::string> tags;
    for (const auto& [key, value] : want) {
        tags.insert(tags.end(), {"-metadata", key + "=" + value});
    }
    std::vector<std::string> mp3 = kAudioIn;
    mp3.insert(mp3.end(), {"-c:a", "libmp3lame"});
    mp3.insert(mp3.end(), tags.begin(), tags.end());
    evctest::MakeMedia(mp3, Media("tagged.mp3"));
    std::vector<std::string> phone = kVideoIn;
    phone.insert(phone.end(), {"-c:v", "mpeg4", "-c:a", "aac", "-fflags", "+bitexact", "-movflags",
                               "use_metadata_tags"});
    phone.insert(phone.end(), tags.begin(), tags.end());
    for (const auto& tag : unwanted) {
        phone.insert(phone.end(), {"-metadata", tag});
    }
    evctest::MakeMedia(phone, Media("phone.mp4"));

    for (const char* source : {"tagged.mp3", "phone.mp4"}) {
        SCOPED_TRACE(source);
        const std::string out = out_.File(std::string("t") + c.ext);
        const auto r = evctest::RunEvc({"-y", "-i", Media(source), "-acodec", c.codec, out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto info = evctest::ReadAudio(out);
        for (const auto& key : c.keys) {
            const auto it = info.tags.find(key);
            ASSERT_NE(it, info.tags.end()) << c.ext << " lacks " << key;
            EXPECT_EQ(it->second.substr(0, want.at(key).size()), want.at(key))
                << c.ext << " " << key;
        }
        for (const auto& [key, value] : info.tags) {
            for (const auto& tag : unwanted) {
                EXPECT_NE(tag.substr(tag.find('=') + 1), value) << c.ext << " carries " << key;
            }
        }
    }
}

const std::vector<std::string> kAllTags = {"title",    "artist",  "album",    "album_artist",
                                           "composer", "date",    "genre",    "track",
                                           "disc",     "comment", "copyright"};

INSTANTIATE_TEST_SUITE_P(
    Containers, EvcTags,
    ::testing::Values(TagCase{".mp3", "mp3", kAllTags}, TagCase{".m4a", "aac", kAllTags},
                      TagCase{".ogg", "vorbis", kAllTags}, TagCase{".aac", "aac", kAllTags},
                      TagCase{".wav",
                              "pcm_s16le",
                              {"title", "artist", "album", "genre", "comment", "copyright"}}),
    [](const auto& info) { return std::string(info.param.ext + 1); });

struct CoverCase {
    const char* ext;
    const char* codec;
    bool keeps; // the type has a place for a cover
};

class EvcCover : public EvcMedia, public ::testing::WithParamInterface<CoverCase> {};

// The front cover of an MP3 that also holds a back cover, and the covr of an M4A, read back
// by mutagen.
TEST_P(EvcCover, FrontCoverGoesWhereTheTypeKeepsOne) {
    const CoverCase& c = GetParam();
#ifdef _WIN32
    if (std::string(c.ext) != ".ogg" && c.keeps) {
        GTEST_SKIP() << "the Windows FFmpeg build has no picture decoders to size the cover";
    }
#endif
    evctest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"},
                       Media("front.jpg"));
    evctest::MakeMedia({"-f", "lavfi", "-i", "testsrc2=size=32x32", "-frames:v", "1"},
                       Media("back.png"));
    std::vector<std::string> mp3 = kAudioIn;
    mp3.insert(mp3.end(), {"-i",
                           Media("back.png"),
                           "-i",
                           Media("front.jpg"),
                           "-map",
                           "0",
                           "-map",
                           "1",
                           "-map",
                           "2",
                           "-c:a",
                           "libmp3lame",
                           "-c:v",
                           "copy",
                           "-disposition:v",
                           "attached_pic",
                           "-metadata:s:v:0",
                           "comment=Cover (back)",
                           "-metadata:s:v:1",
                           "comment=Cover (front)"});
    evctest::MakeMedia(mp3, Media("covers.mp3"));
    std::vector<std::string> m4a = kAudioIn;
    m4a.insert(m4a.end(), {"-i", Media("front.jpg"), "-map", "0", "-map", "1", "-c:a", "aac",
                           "-c:v", "copy", "-disposition:v", "attached_pic"});
    evctest::MakeMedia(m4a, Media("cover.m4a"));

    for (const char* source : {"covers.mp3", "cover.m4a"}) {
        SCOPED_TRACE(source);
        const std::string out = out_.File(std::string("c") + c.ext);
        const auto r = evctest::RunEvc({"-y", "-i", Media(source), "-acodec", c.codec, out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string picture = out_.File("picture");
        const auto read = evctest::RunBuildTool("/usr/bin/python3", {COVER_READER, out, picture});
        ASSERT_EQ(read.exitCode, 0) << read.err;
        if (!c.keeps) {
            EXPECT_EQ(read.out, "none\n");
            continue;
        }
        EXPECT_EQ(read.out, "3 image/jpeg 1\n");
        EXPECT_EQ(evctest::ReadAll(picture), evctest::ReadAll(Media("front.jpg")));
    }
}

INSTANTIATE_TEST_SUITE_P(Types, EvcCover,
                         ::testing::Values(CoverCase{".mp3", "mp3", true},
                                           CoverCase{".m4a", "aac", true},
                                           CoverCase{".ogg", "vorbis", true},
                                           CoverCase{".aac", "aac", false},
                                           CoverCase{".wav", "pcm_s16le", false}),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

} // namespace
