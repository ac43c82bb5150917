// Header-level length reading of raw MP3 and ADTS streams, on byte streams
// built in the test.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "media/AudioFrameScan.h"

namespace {

using Bytes = std::string;

Bytes Id3(size_t payload, bool footer = false) {
    Bytes b = "ID3";
    b += '\x04';
    b += '\x00';
    b += static_cast<char>(footer ? 0x10 : 0x00);
    b += static_cast<char>((payload >> 21) & 0x7F);
    b += static_cast<char>((payload >> 14) & 0x7F);
    b += static_cast<char>((payload >> 7) & 0x7F);
    b += static_cast<char>(payload & 0x7F);
    b += Bytes(payload + (footer ? 10 : 0), '\0');
    return b;
}

// One ADTS frame of `length` bytes (header included), sample rate index and
// raw data block count.
Bytes Adts(size_t length, int rateIndex = 4, int blocks = 1, bool crc = false) {
    Bytes b(length, '\x55');
    b[0] = '\xFF';
    b[1] = static_cast<char>(crc ? 0xF0 : 0xF1);
    b[2] = static_cast<char>(0x40 | (rateIndex << 2));
    b[3] = static_cast<char>(0x80 | ((length >> 11) & 3));
    b[4] = static_cast<char>((length >> 3) & 0xFF);
    b[5] = static_cast<char>(((length & 7) << 5) | 0x1F);
    b[6] = static_cast<char>(0xFC | (blocks - 1));
    return b;
}

std::optional<TSampleCount> ScanAdts(const Bytes& b) {
    std::istringstream in(b);
    return AdtsLength(in);
}

std::optional<TSampleCount> ScanMp3(const Bytes& b) {
    std::istringstream in(b);
    return Mp3TaggedLength(in);
}

struct AdtsCase {
    const char* What;
    Bytes Data;
    bool Found;
    std::int64_t Samples;
    int Rate;
};

TEST(AdtsLengthTest, CountsFramesAndBlocks) {
    Bytes three = Adts(300) + Adts(417) + Adts(7);
    Bytes many;
    for (int i = 0; i < 3000; ++i)
        many += Adts(200 + i % 50); // spans many read blocks
    const AdtsCase cases[] = {
        {"three frames", three, true, 3 * 1024, 44100},
        {"behind two ID3 tags", Id3(20) + Id3(5, true) + three, true, 3 * 1024, 44100},
        {"large tag", Id3(200000) + three, true, 3 * 1024, 44100},
        {"two blocks per frame", Adts(300, 3, 2) + Adts(300, 3, 2), true, 4096, 48000},
        {"with CRC", Adts(300, 11, 1, true), true, 1024, 8000},
        {"cut-off last frame", three + Adts(500).substr(0, 200), true, 3 * 1024, 44100},
        {"ID3v1 tag at the end", three + "TAG" + Bytes(125, ' '), true, 3 * 1024, 44100},
        {"rate change ends the stream", three + Adts(300, 3), true, 3 * 1024, 44100},
        {"thousands of frames", many, true, 3000 * 1024, 44100},
        {"not ADTS", Bytes("RIFF....WAVEfmt ") + Bytes(100, '\0'), false, 0, 0},
        {"empty", Bytes(), false, 0, 0},
        {"frame length below header", Adts(300).replace(4, 2, "\x00\x1F", 2), false, 0, 0},
        {"reserved rate index", Adts(300, 13), false, 0, 0},
        {"tag claims more than the file", Id3(1000).substr(0, 100), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        auto got = ScanAdts(c.Data);
        ASSERT_EQ(got.has_value(), c.Found);
        if (got) {
            EXPECT_EQ(got->Samples, c.Samples);
            EXPECT_EQ(got->SampleRate, c.Rate);
        }
    }
}

// An MPEG audio frame header, then an Info/Xing tag at the side-info offset.
Bytes Mp3InfoFrame(int version, bool mono, std::uint32_t frames, const char* encoder, int delay,
                   int padding, std::uint32_t flags = 0x0F, const char* magic = "Info") {
    Bytes b(1200, '\0');
    b[0] = '\xFF';
    int versionBits = version == 1 ? 3 : version == 2 ? 2 : 0;
    b[1] = static_cast<char>(0xE0 | (versionBits << 3) | (1 << 1) | 1); // layer III
    b[2] = static_cast<char>(0x90);                                     // bitrate 9, rate 0
    b[3] = static_cast<char>(mono ? 0xC0 : 0x00);
    size_t side = version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    size_t p = 4 + side;
    b.replace(p, 4, magic);
    b[p + 4] = static_cast<char>(flags >> 24);
    b[p + 5] = static_cast<char>(flags >> 16);
    b[p + 6] = static_cast<char>(flags >> 8);
    b[p + 7] = static_cast<char>(flags);
    size_t q = p + 8;
    if (flags & 1) {
        b[q] = static_cast<char>(frames >> 24);
        b[q + 1] = static_cast<char>(frames >> 16);
        b[q + 2] = static_cast<char>(frames >> 8);
        b[q + 3] = static_cast<char>(frames);
        q += 4;
    }
    if (flags & 2)
        q += 4;
    if (flags & 4)
        q += 100;
    if (flags & 8)
        q += 4;
    b.replace(q, 9, Bytes(encoder).append(9, '\0').substr(0, 9));
    b[q + 21] = static_cast<char>(delay >> 4);
    b[q + 22] = static_cast<char>(((delay & 0x0F) << 4) | (padding >> 8));
    b[q + 23] = static_cast<char>(padding & 0xFF);
    return b;
}

struct Mp3Case {
    const char* What;
    Bytes Data;
    bool Found;
    std::int64_t Samples;
    int Rate;
};

TEST(Mp3TaggedLengthTest, FramesLessDelayAndPadding) {
    const Mp3Case cases[] = {
        {"LAME tag, MPEG-1 stereo", Mp3InfoFrame(1, false, 2298, "LAME3.100", 576, 764), true,
         2298 * 1152 - 576 - 764, 44100},
        {"Lavc tag, MPEG-1 mono", Mp3InfoFrame(1, true, 100, "Lavc59.37", 576, 1000), true,
         100 * 1152 - 1576, 44100},
        {"MPEG-2 mono, 576 samples a frame", Mp3InfoFrame(2, true, 100, "LAME3.99r", 576, 0), true,
         100 * 576 - 576, 22050},
        {"MPEG-2.5 stereo", Mp3InfoFrame(25, false, 10, "LAME", 0, 0), true, 10 * 576, 11025},
        {"Xing without encoder tag keeps every sample",
         Mp3InfoFrame(1, false, 50, "Unknown", 576, 764, 0x0F, "Xing"), true, 50 * 1152, 44100},
        {"only the frame count field", Mp3InfoFrame(1, false, 50, "LAME", 100, 200, 0x01), true,
         50 * 1152 - 300, 44100},
        {"padding beyond the frames is ignored", Mp3InfoFrame(1, false, 1, "LAME", 4000, 4000),
         true, 1152, 44100},
        {"behind an ID3 tag", Id3(70000) + Mp3InfoFrame(1, false, 10, "LAME", 576, 0), true,
         10 * 1152 - 576, 44100},
        {"behind a few stray bytes", Bytes(3, '\0') + Mp3InfoFrame(1, false, 10, "LAME", 0, 0),
         true, 10 * 1152, 44100},
        {"no frame count", Mp3InfoFrame(1, false, 10, "LAME", 0, 0, 0x0E), false, 0, 0},
        {"plain first frame", Mp3InfoFrame(1, false, 10, "LAME", 0, 0, 0x0F, "Abcd"), false, 0, 0},
        {"not MPEG audio", Bytes(5000, 'x'), false, 0, 0},
        {"empty", Bytes(), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        auto got = ScanMp3(c.Data);
        ASSERT_EQ(got.has_value(), c.Found);
        if (got) {
            EXPECT_EQ(got->Samples, c.Samples);
            EXPECT_EQ(got->SampleRate, c.Rate);
        }
    }
}

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes a frame, 418 with the padding bit.
Bytes Mp3Frame(bool padded = false) {
    Bytes b(padded ? 418 : 417, '\x11');
    b[0] = '\xFF';
    b[1] = '\xFB';
    b[2] = static_cast<char>(padded ? 0x92 : 0x90);
    b[3] = '\x00';
    return b;
}

Bytes Mp3File(std::uint32_t tagFrames, int frames, const Bytes& tail = "") {
    Bytes b = Mp3InfoFrame(1, false, tagFrames, "LAME3.100", 576, 1000).substr(0, 417);
    for (int i = 0; i < frames; ++i)
        b += Mp3Frame(i % 3 == 1);
    return b + tail;
}

TEST(Mp3TaggedLengthTest, CountsTheFramesACutFileStillHolds) {
    const std::int64_t full = 10 * 1152 - 576 - 1000;
    const Mp3Case cases[] = {
        {"all frames there", Mp3File(10, 10), true, full, 44100},
        {"cut at a frame boundary", Mp3File(100, 10), true, 10 * 1152 - 576, 44100},
        {"cut inside a frame", Mp3File(11, 10, Mp3Frame().substr(0, 200)), true, 10 * 1152 - 576,
         44100},
        {"cut inside the first header", Mp3File(11, 0, "\xFF\xFB"), true, 0, 44100},
        {"ID3v1 tag at the end", Mp3File(10, 10, "TAG" + Bytes(125, ' ')), true, full, 44100},
        {"APE tag at the end", Mp3File(10, 10, "APETAGEX" + Bytes(24, '\0')), true, full, 44100},
        {"more frames than counted", Mp3File(5, 10), true, 5 * 1152 - 1576 + 5 * 1152, 44100},
        // Junk between frames: only decoding could tell, so the count stands.
        {"junk after the frames", Mp3File(100, 10, Bytes(500, 'x') + Mp3Frame()), true,
         100 * 1152 - 1576, 44100},
        {"other sample rate after the frames", Mp3File(100, 10, Mp3Frame().replace(2, 1, "\x94")),
         true, 100 * 1152 - 1576, 44100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        auto got = ScanMp3(c.Data);
        ASSERT_EQ(got.has_value(), c.Found);
        EXPECT_EQ(got->Samples, c.Samples);
        EXPECT_EQ(got->SampleRate, c.Rate);
    }
}

TEST(SampleCountTest, MillisecondsTruncate) {
    const struct {
        std::int64_t Samples;
        int Rate;
        std::int64_t Ms;
    } cases[] = {{2645956, 44100, 59999},
                 {44099, 44100, 999},
                 {44100, 44100, 1000},
                 {1, 8000, 0},
                 {100, 0, 0},
                 {48000LL * 3600 * 30, 48000, 108000000}};
    for (const auto& c : cases)
        EXPECT_EQ((TSampleCount{c.Samples, c.Rate}.Milliseconds()), c.Ms) << c.Samples;
}

} // namespace
