#include "encoder/TempOutput.h"

#include "encoder/Errors.h"
#include "encoder/System.h"

#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& p) {
    std::ifstream in(evc::PathFromUtf8(p));
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TempOutput, LivesBesideTheOutputAndGoesAwayUnlessCommitted) {
    evctest::TempDir dir;
    const std::string out = dir.File("song.mp3");
    std::string temp;
    {
        evc::TempOutput t(out);
        temp = t.path();
        EXPECT_EQ(fs::path(temp).parent_path(), dir.path());
        EXPECT_TRUE(fs::exists(temp));
        EXPECT_EQ(temp.rfind(evc::TempPrefixFor(out), 0), 0u);
        EXPECT_NE(fs::path(temp).stem(), fs::path(out).stem());
    }
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(TempOutput, CommitMovesTheContent) {
    evctest::TempDir dir;
    const std::string out = dir.File("a.wav");
    {
        evc::TempOutput t(out);
        std::ofstream(t.path()) << "data";
        t.Commit(false);
    }
    EXPECT_EQ(Slurp(out), "data");
    EXPECT_EQ(dir.Entries().size(), 1u);
}

TEST(TempOutput, CommitKeepsAFileThatAppearedUnlessOverwriting) {
    evctest::TempDir dir;
    const std::string out = dir.File("a.wav");
    {
        evc::TempOutput t(out);
        std::ofstream(t.path()) << "new";
        std::ofstream(out) << "someone else's";
        EXPECT_THROW(t.Commit(false), evc::EncodeError);
    }
    EXPECT_EQ(Slurp(out), "someone else's");
    EXPECT_EQ(dir.Entries().size(), 1u);
    {
        evc::TempOutput t(out);
        std::ofstream(t.path()) << "new";
        t.Commit(true);
    }
    EXPECT_EQ(Slurp(out), "new");
}

TEST(TempOutput, TwoAtOnceGetDifferentNames) {
    evctest::TempDir dir;
    evc::TempOutput a(dir.File("x.ogg"));
    evc::TempOutput b(dir.File("x.ogg"));
    EXPECT_NE(a.path(), b.path());
}

TEST(TempOutput, MissingFolderIsAClearError) {
    evctest::TempDir dir;
    try {
        evc::TempOutput t(dir.File("no/such/x.mp3"));
        FAIL() << "created " << t.path();
    } catch (const evc::EncodeError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot write to the output folder"),
                  std::string::npos)
            << e.what();
    }
}

// Output names of 233 to 255 bytes: "." + name + ".evc-" + 12 digits + ".part" is longer.
TEST(TempOutput, NameFitsWheneverTheOutputNameFits) {
    std::string chinese;
    for (int i = 0; i < 83; ++i) {
        chinese += "音";
    }
    evctest::TempDir dir;
    for (const std::string& name : {std::string(229, 'a') + ".mp3", chinese + "a.wav",
                                    chinese + "ab.wav", std::string(251, 'b') + ".ogg"}) {
        SCOPED_TRACE(name.size());
        ASSERT_LE(name.size(), 255u);
        const std::string out = dir.File(name);
        {
            evc::TempOutput t(out);
            const std::string temp = evc::Utf8FromPath(evc::PathFromUtf8(t.path()).filename());
            EXPECT_LE(temp.size(), 255u);
            EXPECT_TRUE(evc::IsTempOutputName(temp)) << temp;
            const size_t kept = temp.size() - 22 - 1;
            EXPECT_EQ(temp.compare(1, kept, name, 0, kept), 0) << temp;
            // Cut between characters, never inside one.
            EXPECT_TRUE(kept == name.size() ||
                        (static_cast<unsigned char>(name[kept]) & 0xC0) != 0x80)
                << kept;
            std::ofstream(evc::PathFromUtf8(t.path())) << "x";
            t.Commit(false);
        }
        EXPECT_EQ(Slurp(out), "x");
    }
    EXPECT_EQ(dir.Entries().size(), 4u);
}

TEST(TempOutput, StaleCleanupTakesOnlyOldFilesOfItsOwnPattern) {
    const struct {
        const char* name;
        int ageMinutes;
        bool removed;
    } cases[] = {
        {".a.mp3.evc-0123456789ab.part", 61, true},
        {".b.mp3.evc-0123456789ab.part", 59, false},   // may still be written
        {"c.mp3.evc-0123456789ab.part", 120, false},   // not hidden
        {".d.mp3.evc-0123456789AB.part", 120, false},  // not its digits
        {".e.mp3.evc-0123456789a.part", 120, false},   // too few
        {".f.mp3.evc-0123456789ab.part2", 120, false}, // other end
        {".evc-0123456789ab.part", 120, false},        // no name
        {"g.mp3", 120, false},
    };
    evctest::TempDir dir;
    const auto now = fs::file_time_type::clock::now();
    for (const auto& c : cases) {
        std::ofstream(dir.File(c.name)) << "x";
        fs::last_write_time(dir.File(c.name), now - std::chrono::minutes(c.ageMinutes));
    }
    const std::string folder = dir.File(".h.mp3.evc-0123456789ab.part");
    fs::create_directory(folder);
    // msvcrt cannot set a folder's time; there the folder is merely new.
    std::error_code ec;
    fs::last_write_time(folder, now - std::chrono::hours(5), ec);
    evc::RemoveStaleTempOutputs(dir.path().string(), std::chrono::hours(1));
    for (const auto& c : cases) {
        EXPECT_NE(fs::exists(dir.File(c.name)), c.removed) << c.name;
    }
    EXPECT_TRUE(fs::is_directory(folder));
}

} // namespace
