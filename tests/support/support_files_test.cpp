#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "fakes/Fakes.h"
#include "support/CommonLib.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kFoldsCase = true;
#else
constexpr bool kFoldsCase = false;
#endif

// Test names carry the case in plain ASCII.
std::string Escaped(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '_' || c == '-' || c == '+' || c == ':' || c == '|' || c == '=')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

void Touch(const fs::path& p) {
    std::ofstream(p) << "x";
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(GetBaseName, Table) {
    TFileFunc f;
    const std::vector<std::pair<std::string, std::string>> table{{"/music/song.mp3", "song"},
                                                                 {"/music/a.b.c", "a.b"},
                                                                 {"/music/.mp3", ""},
                                                                 {"/music/name.", "name"},
                                                                 {"/music/name", ""},
                                                                 {"song.wav", "song"},
                                                                 {"/a.dir/file", ""},
                                                                 {"/a.dir/file.ogg", "file"},
                                                                 {"/歌/我的 歌.flac", "我的 歌"},
                                                                 {"/x/\"q\".mp3", "\"q\""},
                                                                 {"", ""},
                                                                 {"/music/", ""}};
    for (const auto& [path, base] : table)
        EXPECT_EQ(f.GetBaseName(path), base) << path;
}

TEST(GetFileFolder, Table) {
    TFileFunc f;
    const std::vector<std::pair<std::string, std::string>> table{
        {"/music/song.mp3", "/music/"},
        {"/song.mp3", "/"},
        {"song.mp3", ""},
        {"/a/b/", "/a/b/"},
        {"", ""},
        {"/我的 音乐/x.mp3", "/我的 音乐/"}};
    for (const auto& [path, folder] : table)
        EXPECT_EQ(f.GetFileFolder(path), folder) << path;
}

TEST(ListFiles, EveryFileButNoPlainFolders) {
    TempDir d;
    Touch(d.Path() / "a.mp3");
    Touch(d.Path() / ".hidden");
    Touch(d.Path() / "b.MP3");
    fs::create_directory(d.Path() / "sub.mp3");
    const std::string f = d.Folder();
    TFileFunc ff;
    EXPECT_EQ(Sorted(ff.ListFiles(f, "")), Sorted({f + ".hidden", f + "a.mp3", f + "b.MP3"}));
}

TEST(ListFiles, ExtensionFilterIsExactAndCaseSensitive) {
    TempDir d;
    for (const char* n : {"a.mp3", "b.MP3", "c.mp3.bak", "d.mp", "mp3", "e.x.mp3"})
        Touch(d.Path() / n);
    const std::string f = d.Folder();
    TFileFunc ff;
    EXPECT_EQ(Sorted(ff.ListFiles(f, ".mp3")), Sorted({f + "a.mp3", f + "e.x.mp3"}));
    EXPECT_TRUE(ff.ListFiles(f, ".wav").empty());
}

TEST(ListFiles, MissingOrNonFolderGivesNothing) {
    TempDir d;
    Touch(d.Path() / "file");
    TFileFunc ff;
    EXPECT_TRUE(ff.ListFiles(d.Folder() + "missing/", "").empty());
    EXPECT_TRUE(ff.ListFiles(d.Folder() + "file/", "").empty());
    EXPECT_TRUE(ff.ListFiles("", "").empty());
}

struct UniqueCase {
    std::vector<std::string> existing;
    std::string wanted;
    std::string result;
};

void PrintTo(const UniqueCase& c, std::ostream* os) {
    *os << Escaped(c.wanted) << "_" << c.existing.size();
}

class MakeUniqueFileNameTest : public ::testing::TestWithParam<UniqueCase> {};

TEST_P(MakeUniqueFileNameTest, NextFreeName) {
    TempDir d;
    for (const std::string& n : GetParam().existing)
        Touch(d.Path() / n);
    TFileFunc ff;
    EXPECT_EQ(ff.MakeUniqueFileName(d.Folder() + GetParam().wanted),
              d.Folder() + GetParam().result);
    EXPECT_EQ(ff.StartBaseName, ff.GetBaseName(d.Folder() + GetParam().wanted));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MakeUniqueFileNameTest,
    ::testing::Values(
        UniqueCase{{}, "song.mp3", "song.mp3"}, UniqueCase{{"song.wav"}, "song.mp3", "song_1.mp3"},
        UniqueCase{{"song.wav", "song_1.aac", "song_2.txt"}, "song.mp3", "song_3.mp3"},
        UniqueCase{{"track_7.mp3"}, "track_7.mp3", "track_7_1.mp3"},
        UniqueCase{{"track_7.mp3", "track_7_1.mp3"}, "track_7.mp3", "track_7_2.mp3"},
        // Where names differ only in case, they are one file on Windows.
        UniqueCase{{"Song.wav"}, "song.mp3", kFoldsCase ? "song_1.mp3" : "song.mp3"},
        UniqueCase{{"song"}, "song.mp3", "song.mp3"},
        UniqueCase{{"song.mp3.bak"}, "song.mp3", "song.mp3"},
        UniqueCase{{"song_1.mp3"}, "song.mp3", "song.mp3"},
        UniqueCase{{"song.mp3", "song_1.mp3", "song_2.mp3", "song_3.mp3", "song_4.mp3",
                    "song_5.mp3", "song_6.mp3", "song_7.mp3", "song_8.mp3", "song_9.mp3"},
                   "song.mp3",
                   "song_10.mp3"},
        UniqueCase{{"我的 歌.wav"}, "我的 歌.mp3", "我的 歌_1.mp3"},
        UniqueCase{{"a \"b\".ogg"}, "a \"b\".ogg", "a \"b\"_1.ogg"}));

TEST(MakeUniqueFileName, FolderOfTheSameNameIsTaken) {
    TempDir d;
    fs::create_directory(d.Path() / "song.mp3");
    TFileFunc ff;
    EXPECT_EQ(ff.MakeUniqueFileName(d.Folder() + "song.mp3"), d.Folder() + "song_1.mp3");
}

TEST(MakeUniqueFileName, MissingFolderKeepsTheName) {
    TempDir d;
    TFileFunc ff;
    EXPECT_EQ(ff.MakeUniqueFileName(d.Folder() + "new/song.mp3"), d.Folder() + "new/song.mp3");
}

TEST(MakeUniqueFileName, StartBaseNameFollowsTheLatestCall) {
    TempDir d;
    Touch(d.Path() / "a.wav");
    TFileFunc ff;
    ff.MakeUniqueFileName(d.Folder() + "a.mp3");
    EXPECT_EQ(ff.StartBaseName, "a");
    ff.MakeUniqueFileName(d.Folder() + "b_2.mp3");
    EXPECT_EQ(ff.StartBaseName, "b_2");
}

} // namespace
