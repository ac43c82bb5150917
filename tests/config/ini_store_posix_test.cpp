// INI store cases that only POSIX systems can stage: quotes in file names,
// fifos, file size limits, symbolic links and mode bits.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "IniStoreFixture.h"
#include "config/IniFiles32.h"

namespace {

using namespace inistore;

TEST_F(IniTest, NamesWithBlanksQuotesAndChinese) {
    fs::path folder = dir.Path() / "我的 \"配置\"";
    fs::create_directory(folder);
    std::string path = (folder / "用户 设置.ini").string();
    {
        TIniFile32 ini(path);
        ini.WriteString("USRInfo", "OutDir", "/home/用户/3GPMP4文件输出/");
    }
    TIniFile32 again(path);
    EXPECT_EQ(again.ReadString("USRInfo", "OutDir", ""), "/home/用户/3GPMP4文件输出/");
}

TEST_F(IniTest, PipeAsFileIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf([&] { TIniFile32 ini(name); }),
              "Cannot open file \"" + name + "\". Invalid argument");
}

TEST_F(IniTest, InterruptedWriteKeepsTheOldFile) {
    const std::string original = "[S]\r\nk=original\r\n";
    WriteAll(file, original);
    TIniFile32 ini(name);
    // Any write beyond 16 bytes now fails, as on a full disk.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error = ErrorOf([&] { ini.WriteString("S", "k", std::string(4000, 'n')); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "Cannot create file \"" + name + "\". File too large");
    EXPECT_EQ(Disk(), original);
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1) << "temporary file left behind";
}

TEST_F(IniTest, ReplaceKeepsPermissionsAndFollowsLinks) {
    fs::path real = dir.Path() / "real.ini";
    WriteAll(real, "[S]\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, file);
    TIniFile32 ini(name);
    ini.WriteString("S", "k", "v");
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadAll(real), "[S]\r\nk=v\r\n");
    EXPECT_EQ(fs::status(real).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

} // namespace
