// evc ended the way the job ends it on Windows: TerminateProcess gives it no chance to tidy up.
#include "EvcTestSupport.h"

#include "encoder/TempOutput.h"
#include "support/platform/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// No output appears; the temporary file stays until a later run in the folder finds it an hour
// old, and a younger one (a run still writing) is left alone.
TEST(EvcStop, TerminatedRunLeavesNoOutputAndTheNextRunTidiesUp) {
    evctest::TempDir media;
    evctest::TempDir out;
    // An hour at 8 kHz: small on disk, and far longer to encode than the wait for the first
    // bytes, so evc is always still running when it is stopped.
    evctest::MakeMedia(
        {"-f", "lavfi", "-i", "sine=d=3600:sample_rate=8000", "-ac", "1", "-c:a", "pcm_s16le"},
        media.File("long.wav"));
    const auto platform = CreateSystemPlatform();
    std::string error;
    const auto child = platform->Spawn(
        {evctest::EvcPath(), "-y", "-i", media.File("long.wav"), "-ab", "32", out.File("k.mp3")},
        "", &error);
    ASSERT_TRUE(child) << error;
    bool writing = false;
    for (int i = 0; i < 2000 && !writing && child->IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (const auto& e : fs::directory_iterator(out.path())) {
            std::error_code ec;
            writing = writing || fs::file_size(e.path(), ec) > 0;
        }
    }
    ASSERT_TRUE(writing) << "no temporary file appeared";
    ASSERT_TRUE(child->IsRunning()) << "evc ended before it was stopped";
    ASSERT_TRUE(platform->TerminateProcess(child->Id()));
    while (child->IsRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto left = out.Entries();
    ASSERT_EQ(left.size(), 1u);
    ASSERT_TRUE(evc::IsTempOutputName(left[0])) << left[0];

    const std::string young = out.File(".other.mp3.evc-0123456789ab.part");
    std::ofstream(young) << "still being written";
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(out.File(left[0]), now - std::chrono::minutes(61));
    fs::last_write_time(young, now - std::chrono::minutes(59));
    const evctest::RunResult r =
        evctest::RunEvc({"-y", "-i", media.File("long.wav"), "-t", "1", out.File("next.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(out.File(left[0])));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(out.File("next.wav")));
    EXPECT_FALSE(fs::exists(out.File("k.mp3")));
}

} // namespace
