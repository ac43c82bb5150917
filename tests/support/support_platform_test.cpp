#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "SupportChild.h"
#include "fakes/Fakes.h"
#include "support/platform/Platform.h"

namespace {

namespace fs = std::filesystem;

class PlatformTest : public ::testing::Test {
protected:
    std::unique_ptr<IPlatform> platform = CreatePosixPlatform();
    ChildCopies copies;

    std::unique_ptr<IChildProcess> Run(const std::vector<std::string>& args,
                                       const std::string& workDir = "") {
        std::vector<std::string> argv{copies.Copy("run")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        auto child = platform->Spawn(argv, workDir, &error);
        EXPECT_TRUE(child) << error;
        return child;
    }

    bool Listed(std::uint32_t id, std::string* exe = nullptr) {
        for (const auto& p : platform->ListProcesses())
            if (p.Id == id) {
                if (exe)
                    *exe = p.ExeText;
                return true;
            }
        return false;
    }
};

TEST_F(PlatformTest, StdoutAndStderrShareOnePipeAndExitCodeIsKept) {
    auto c = Run({"--print", "to out\n", "--print-err", "to err\n", "--exit", "3"});
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), "to out\nto err\n");
    ASSERT_TRUE(WaitExit(*c));
    EXPECT_EQ(c->Exit().How, ChildExit::Exited);
    EXPECT_EQ(c->Exit().Code, 3);
    EXPECT_FALSE(c->IsRunning());
}

TEST_F(PlatformTest, ClosingInputGivesTheChildEndOfFile) {
    auto c = Run({"--wait-eof", "--exit", "0"});
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->WaitReadable(100)) << "child wrote before its input closed";
    EXPECT_TRUE(c->IsRunning());
    c->CloseInput();
    EXPECT_EQ(ReadToEnd(*c), "eof\n");
    ASSERT_TRUE(WaitExit(*c));
    EXPECT_EQ(c->Exit().Code, 0);
}

TEST_F(PlatformTest, NonBlockingReadAndBytesWaiting) {
    auto c = Run({"--print", "hello", "--sleep", "20"});
    ASSERT_TRUE(c);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (c->BytesAvailable() < 5 && std::chrono::steady_clock::now() < until)
        c->WaitReadable(50);
    EXPECT_EQ(c->BytesAvailable(), 5u);
    char buf[16] = {};
    EXPECT_EQ(c->Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "hel");
    EXPECT_EQ(c->Read(buf, sizeof buf), 2);
    // Nothing waiting while the child lives: 0 at once, not a block or an end.
    EXPECT_EQ(c->Read(buf, sizeof buf), 0);
    EXPECT_EQ(c->BytesAvailable(), 0u);
    EXPECT_TRUE(c->IsRunning());
    EXPECT_EQ(c->Exit().How, ChildExit::Running);
}

TEST_F(PlatformTest, WorkingFolderWithBlanksAndChinese) {
    fs::path work = copies.Dir().Path() / "工作 \"目录\"";
    fs::create_directory(work);
    auto c = Run({"--pwd", "--exit", "0"}, work.string());
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), work.string() + "\n");
}

TEST_F(PlatformTest, ArgumentsArePassedAsTheyAre) {
    const std::string tricky = "a \"b\" 'c' $HOME `x` \\ 歌";
    auto c = Run({"--print", tricky, "--exit", "0"});
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), tricky);
}

TEST_F(PlatformTest, ChildInheritsNoStrayDescriptors) {
    // Opened without close-on-exec, as careless code elsewhere might do.
    int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    auto c = Run({"--fds", "--exit", "0"});
    ::close(leaky);
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), "0\n1\n2\n");
}

TEST_F(PlatformTest, ChildStartsWithDefaultSignals) {
    auto oldTerm = std::signal(SIGTERM, SIG_IGN);
    auto oldPipe = std::signal(SIGPIPE, SIG_IGN);
    auto c = Run({"--signals", "--exit", "0"});
    std::signal(SIGTERM, oldTerm);
    std::signal(SIGPIPE, oldPipe);
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), "default\ndefault\n");
}

TEST_F(PlatformTest, MissingProgramIsReported) {
    std::string error;
    auto c = platform->Spawn({copies.Dir().Folder() + "no such program"}, "", &error);
    EXPECT_FALSE(c);
    EXPECT_NE(error.find("no such program"), std::string::npos) << error;
    EXPECT_FALSE(platform->Spawn({}, "", &error));
    EXPECT_FALSE(platform->Spawn({copies.Copy("w")}, copies.Dir().Folder() + "missing", &error));
}

TEST_F(PlatformTest, ProcessListShowsTheFullExecutableName) {
    // Longer than the 15 characters the kernel keeps as the command name.
    const std::string path = copies.Copy("a-rather-long-executable-name");
    std::string error;
    auto c = platform->Spawn({path, "--sleep", "20"}, "", &error);
    ASSERT_TRUE(c) << error;
    std::string exe;
    ASSERT_TRUE(Listed(c->Id(), &exe));
    EXPECT_EQ(exe, copies.Name("a-rather-long-executable-name"));
}

TEST_F(PlatformTest, DeletedExecutableKeepsItsName) {
    const std::string path = copies.Copy("gone");
    std::string error;
    auto c = platform->Spawn({path, "--sleep", "20"}, "", &error);
    ASSERT_TRUE(c) << error;
    fs::remove(path);
    std::string exe;
    ASSERT_TRUE(Listed(c->Id(), &exe));
    EXPECT_EQ(exe, copies.Name("gone"));
}

TEST_F(PlatformTest, EndedButUnreapedChildIsNotListed) {
    auto c = Run({"--exit", "0"});
    ASSERT_TRUE(c);
    const std::uint32_t id = c->Id();
    // Wait until it has ended, without reaping it.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Listed(id) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(Listed(id));
    auto kids = OwnChildren();
    EXPECT_NE(std::find(kids.begin(), kids.end(), id), kids.end()) << "already reaped";
    EXPECT_FALSE(c->IsRunning());
    kids = OwnChildren();
    EXPECT_EQ(std::find(kids.begin(), kids.end(), id), kids.end()) << "zombie left";
}

TEST_F(PlatformTest, TerminateEndsAChildAndRecordsTheSignal) {
    auto c = Run({"--sleep", "20"});
    ASSERT_TRUE(c);
    EXPECT_TRUE(platform->TerminateProcess(c->Id()));
    ASSERT_TRUE(WaitExit(*c));
    EXPECT_EQ(c->Exit().How, ChildExit::Signaled);
    EXPECT_EQ(c->Exit().Code, SIGTERM);
    EXPECT_FALSE(Listed(c->Id()));
}

TEST_F(PlatformTest, TerminateKillsAChildThatIgnoresSigterm) {
    auto c = Run({"--ignore-term", "--print", "ready", "--sleep", "20"});
    ASSERT_TRUE(c);
    // Only once it said so is SIGTERM really ignored.
    ASSERT_TRUE(WaitForOutput(*c, "ready"));
    EXPECT_TRUE(platform->TerminateProcess(c->Id()));
    ASSERT_TRUE(WaitExit(*c));
    EXPECT_EQ(c->Exit().How, ChildExit::Signaled);
    EXPECT_EQ(c->Exit().Code, SIGKILL);
}

TEST_F(PlatformTest, TerminateRefusesIdsThatAddressGroupsOrOurselves) {
    EXPECT_FALSE(platform->TerminateProcess(0));
    EXPECT_FALSE(platform->TerminateProcess(static_cast<std::uint32_t>(-1)));
    EXPECT_FALSE(platform->TerminateProcess(static_cast<std::uint32_t>(INT_MAX) + 1u));
    EXPECT_FALSE(platform->TerminateProcess(static_cast<std::uint32_t>(::getpid())));
}

TEST_F(PlatformTest, DestroyingARunningChildStopsAndReapsIt) {
    auto c = Run({"--ignore-term", "--sleep", "20"});
    ASSERT_TRUE(c);
    const std::uint32_t id = c->Id();
    c.reset();
    auto kids = OwnChildren();
    EXPECT_EQ(std::find(kids.begin(), kids.end(), id), kids.end());
    EXPECT_FALSE(fs::exists("/proc/" + std::to_string(id)));
}

TEST_F(PlatformTest, StartDetachedRunsWithoutShellAndLeavesNoZombie) {
    const std::string target = copies.Dir().Folder() + "made by \"touch\" $(x) 文件";
    ASSERT_TRUE(platform->StartDetached({"touch", target}, copies.Dir().Folder()));
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(target) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(target));
    EXPECT_TRUE(OwnChildren().empty());
    EXPECT_FALSE(platform->StartDetached({"velmora-no-such-program-x"}, ""));
    EXPECT_FALSE(platform->StartDetached({"./velmora-no-such-program-x"}, copies.Dir().Folder()));
    EXPECT_FALSE(platform->StartDetached({}, ""));
    EXPECT_FALSE(platform->StartDetached({"touch", target}, copies.Dir().Folder() + "missing/"));
}

TEST_F(PlatformTest, StartDetachedTakesRelativePathsFromTheWorkingFolder) {
    fs::path work = copies.Dir().Path() / "prog dir";
    fs::create_directory(work);
    fs::copy_file("/usr/bin/touch", work / "toucher");
    const std::string target = (work / "made").string();
    ASSERT_TRUE(platform->StartDetached({"./toucher", "made"}, work.string()));
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(target) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(target));
}

TEST_F(PlatformTest, FoldersAndFiles) {
    const std::string base = copies.Dir().Folder();
    const std::string deep = base + "a b/我的/c";
    EXPECT_FALSE(platform->FolderExists(deep));
    EXPECT_TRUE(platform->CreateFolders(deep));
    EXPECT_TRUE(platform->CreateFolders(deep + "/"));
    EXPECT_TRUE(platform->FolderExists(deep));
    EXPECT_FALSE(platform->FileExists(deep));
    std::ofstream(base + "f.bin", std::ios::binary) << std::string(1234, 'x');
    EXPECT_TRUE(platform->FileExists(base + "f.bin"));
    EXPECT_FALSE(platform->FolderExists(base + "f.bin"));
    EXPECT_EQ(platform->FileSize(base + "f.bin"), 1234);
    EXPECT_EQ(platform->FileSize(base + "missing"), -1);
    EXPECT_EQ(platform->FileSize(deep), -1);
    EXPECT_FALSE(platform->CreateFolders(base + "f.bin/sub"));
    // Only empty folders are removed.
    EXPECT_FALSE(platform->RemoveFolder(base + "a b"));
    EXPECT_TRUE(platform->FolderExists(deep));
    EXPECT_TRUE(platform->RemoveFolder(deep));
    EXPECT_FALSE(platform->FolderExists(deep));
    EXPECT_FALSE(platform->RemoveFolder(base + "f.bin"));
    EXPECT_TRUE(platform->FileExists(base + "f.bin"));
    EXPECT_FALSE(platform->FolderExists(""));
}

TEST_F(PlatformTest, LibrariesAndSymbols) {
    std::string error;
    auto lib = platform->LoadLibrary("libc.so.6", &error);
    ASSERT_TRUE(lib) << error;
    EXPECT_NE(lib->Symbol("strlen"), nullptr);
    EXPECT_EQ(lib->Symbol("velmora_no_such_symbol"), nullptr);
    EXPECT_FALSE(platform->LoadLibrary(copies.Dir().Folder() + "Res.so", &error));
    EXPECT_NE(error.find("Res.so"), std::string::npos) << error;
}

TEST_F(PlatformTest, ExecutableFolderIsTheTestsFolder) {
    EXPECT_EQ(platform->ExecutableFolder(), std::string(VELMORA_TEST_BIN_DIR) + "/");
}

TEST_F(PlatformTest, SleepInhibitorNeverHangsAndLeavesNoChild) {
    auto start = std::chrono::steady_clock::now();
    {
        auto inhibitor = platform->InhibitSleep("test");
        // Without logind there is no inhibitor; with it, one is held here.
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(OwnChildren().empty());
}

} // namespace
