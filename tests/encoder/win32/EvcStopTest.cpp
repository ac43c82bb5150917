// evc ended the way the job ends it on Windows, and the next run tidying up after a hard kill.
#include "EvcTestSupport.h"

#include "support/platform/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The platform's stop asks evc first: it ends with a failure code and leaves neither output
// nor temporary file.
TEST(EvcStop, StoppedRunEndsItselfAndLeavesNothing) {
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
    EXPECT_EQ(child->Exit().How, ChildExit::Exited);
    EXPECT_NE(child->Exit().Code, 0);
    EXPECT_EQ(out.Entries(), std::vector<std::string>{});
}

// What a hard kill leaves is removed by a later run once it is an hour old; a younger one (a
// run still writing) is left alone.
TEST(EvcStop, NextRunRemovesAnHourOldTemporaryFile) {
    evctest::TempDir media;
    evctest::TempDir out;
    evctest::MakeMedia({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "pcm_s16le"},
                       media.File("one.wav"));
    const std::string old = out.File(".k.mp3.evc-ba9876543210.part");
    const std::string young = out.File(".other.mp3.evc-0123456789ab.part");
    std::ofstream(old) << "left by a killed run";
    std::ofstream(young) << "still being written";
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(old, now - std::chrono::minutes(61));
    fs::last_write_time(young, now - std::chrono::minutes(59));
    const evctest::RunResult r =
        evctest::RunEvc({"-y", "-i", media.File("one.wav"), out.File("next.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(out.File("next.wav")));
}

} // namespace
