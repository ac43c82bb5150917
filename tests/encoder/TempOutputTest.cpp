#include "encoder/TempOutput.h"

#include "encoder/Errors.h"

#include "EvcTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& p) {
    std::ifstream in(p);
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

} // namespace
