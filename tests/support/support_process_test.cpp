#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "SupportChild.h"
#include "fakes/AsUser.h"
#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "support/CommonLib.h"

namespace {

namespace fs = std::filesystem;

// Log lines whose message (the text after the first "|") is `message`.
int CountLines(const std::string& logFile, const std::string& message) {
    std::ifstream in(logFile, std::ios::binary);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t bar = line.find('|');
        if (bar != std::string::npos && line.substr(bar + 1) == message)
            ++n;
    }
    return n;
}

// Helpers against a scripted process list.
class ScriptedProcesses : public ::testing::Test {
protected:
    FakePlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TempDir& dir = core.Dir;
    TCommonLib& lib = core.Lib;
    TSysFunc& sys = core.SysFunc;
    std::string Log() const { return dir.Folder() + "log.txt"; }
};

TEST_F(ScriptedProcesses, LastMatchWinsIgnoringAsciiCase) {
    platform.Processes = {{10, "evc"}, {11, "bash"}, {12, "EVC"}, {13, "evc2"}, {14, "/opt/evc"}};
    EXPECT_EQ(sys.FindProcessByName("evc"), 12u);
    EXPECT_EQ(sys.FindProcessByName("Evc"), 12u);
    EXPECT_EQ(sys.FindProcessByName("/opt/EVC"), 14u);
    EXPECT_EQ(sys.FindProcessByName("ev"), 0u);
    EXPECT_EQ(sys.FindProcessByName(""), 0u);
    EXPECT_EQ(lib.GetProcessIdByName("evc"), 12u);
    EXPECT_FALSE(fs::exists(Log())) << "a found process is not an error";
}

TEST_F(ScriptedProcesses, OnlyAsciiLettersFold) {
    platform.Processes = {{20, "转换器"}, {21, "ÉVC"}};
    EXPECT_EQ(sys.FindProcessByName("转换器"), 20u);
    EXPECT_EQ(sys.FindProcessByName("évc"), 0u);
    EXPECT_EQ(sys.FindProcessByName("ÉvC"), 21u);
}

TEST_F(ScriptedProcesses, NothingFoundIsLogged) {
    platform.Processes = {{10, "bash"}};
    EXPECT_EQ(lib.GetProcessIdByName("evc"), 0u);
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 1);
    EXPECT_EQ(sys.FindProcessByName("evc"), 0u);
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 1) << "only GetProcessIdByName logs";
}

TEST_F(ScriptedProcesses, TerminateMatchesFileNamePartOrWholeText) {
    platform.Processes = {{1, "/usr/lib/velmora/evc"}, {2, "evc"}, {3, "evcx"}, {4, "other"}};
    EXPECT_TRUE(lib.TerminateProcessByName("EVC"));
    EXPECT_EQ(platform.Terminated, (std::vector<std::uint32_t>{1, 2}));
    ASSERT_EQ(platform.Processes.size(), 2u);
    EXPECT_EQ(platform.Privileges.front(),
              (std::pair<std::string, bool>{"SeDebugPrivilege", true}));
    platform.Processes = {{5, "/usr/lib/velmora/evc"}};
    EXPECT_TRUE(lib.TerminateProcessByName("/usr/lib/velmora/evc"));
    EXPECT_FALSE(fs::exists(Log()));
}

struct LastAttemptCase {
    std::vector<std::uint32_t> order;
    std::set<std::uint32_t> unkillable;
    bool result;
};

void PrintTo(const LastAttemptCase& c, std::ostream* os) {
    for (auto id : c.order)
        *os << id << (c.unkillable.count(id) ? "stuck_" : "_");
}

class TerminateLastAttempt : public ::testing::TestWithParam<LastAttemptCase> {};

TEST_P(TerminateLastAttempt, OnlyTheLastAttemptCounts) {
    FakePlatform platform;
    FakeEventPump pump;
    TCoreRig core{platform, pump};
    TCommonLib& lib = core.Lib;
    for (auto id : GetParam().order)
        platform.Processes.push_back({id, "evc"});
    platform.Unkillable = GetParam().unkillable;
    EXPECT_EQ(lib.TerminateProcessByName("evc"), GetParam().result);
    EXPECT_EQ(platform.Terminated, GetParam().order) << "every match is attempted";
    EXPECT_EQ(CountLines(core.Folder() + "log.txt", "Terminate process error."),
              GetParam().result ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Table, TerminateLastAttempt,
                         ::testing::Values(LastAttemptCase{{1, 2}, {}, true},
                                           LastAttemptCase{{1, 2}, {2}, false},
                                           LastAttemptCase{{1, 2}, {1}, true},
                                           LastAttemptCase{{1}, {1}, false},
                                           LastAttemptCase{{}, {}, false}));

TEST_F(ScriptedProcesses, KillFullPathThenEveryEncoder) {
    platform.Processes = {{1, "evc"}, {2, "bash"}, {3, "Evc"}, {4, "revc"}};
    lib.KillProcessByName("/opt/velmora/bin/evc");
    ASSERT_EQ(platform.Processes.size(), 2u);
    EXPECT_EQ(platform.Processes[0].ExeText, "bash");
    EXPECT_EQ(platform.Processes[1].ExeText, "revc");
    EXPECT_EQ(sys.FindProcessByName("evc"), 0u);
    // Each loop ends with one search that finds nothing.
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 2);
}

TEST_F(ScriptedProcesses, KillWithNothingRunningLogsTwoFailedSearches) {
    platform.Processes = {{2, "bash"}};
    lib.KillProcessByName("evc");
    EXPECT_TRUE(platform.Terminated.empty());
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 2);
    EXPECT_EQ(CountLines(Log(), "Terminate process error."), 0);
    EXPECT_TRUE(pump.Pauses.empty());
}

TEST_F(ScriptedProcesses, KillOtherNameAlsoSweepsTheEncoder) {
    platform.Processes = {{7, "revc"}, {8, "evc"}};
    lib.KillProcessByName("revc");
    EXPECT_TRUE(platform.Processes.empty());
    EXPECT_EQ(platform.Terminated, (std::vector<std::uint32_t>{7, 8}));
}

TEST_F(ScriptedProcesses, KillPausesAndLetsEventsRunBetweenAttempts) {
    platform.Processes = {{1, "evc"}};
    int eventsWhileKilling = 0;
    pump.OnEvents = [&] { ++eventsWhileKilling; };
    lib.KillProcessByName("evc");
    EXPECT_EQ(pump.Pauses, (std::vector<int>{100}));
    EXPECT_GE(eventsWhileKilling, 2);
}

TEST_F(ScriptedProcesses, KillOfAnUnstoppableProcessGivesUpAndLogs) {
    platform.Processes = {{1, "evc"}, {2, "stuck"}};
    platform.Unkillable = {1, 2};
    lib.KillProcessByName("stuck");
    // About five seconds of 100 ms attempts per loop, then on.
    EXPECT_EQ(pump.Pauses.size(), 100u);
    EXPECT_EQ(pump.NowMs, 10000);
    EXPECT_EQ(CountLines(Log(), "Kill process timeout. ->stuck"), 1);
    EXPECT_EQ(CountLines(Log(), "Kill process timeout. ->evc"), 1);
    EXPECT_EQ(platform.Processes.size(), 2u);
}

TEST_F(ScriptedProcesses, KillBoundFollowsKillTimeoutMs) {
    platform.Processes = {{2, "stuck"}};
    platform.Unkillable = {2};
    lib.KillTimeoutMs = 300;
    lib.KillProcessByName("stuck");
    EXPECT_EQ(pump.Pauses.size(), 3u);
}

TEST_F(ScriptedProcesses, EncoderNameCanBeChangedForTests) {
    platform.Processes = {{1, "evc"}, {2, "evc-test-42"}};
    lib.EncoderName = "evc-test-42";
    lib.KillProcessByName("nothing");
    EXPECT_EQ(platform.Terminated, (std::vector<std::uint32_t>{2}));
}

// Helpers against real children started here; the fake narrows the real
// process list to them, so nothing else on the machine is ever touched.
class RealProcesses : public ::testing::Test {
protected:
    std::unique_ptr<IPlatform> real = CreatePosixPlatform();
    FakePlatform platform{real.get()};
    ChildCopies copies;
    ScriptedDialogs dialogs;
    FakeEventPump pump;
    TAppFunc app{copies.Dir().Folder()};
    TCommonLib lib{platform, dialogs, pump, app};
    TSysFunc sys{platform};
    std::vector<std::unique_ptr<IChildProcess>> children;

    void SetUp() override {
        platform.UseRealProcesses = true;
        lib.EncoderName = copies.Name("enc");
    }
    IChildProcess& Start(const std::string& path, std::vector<std::string> args = {}) {
        args.insert(args.begin(), path);
        std::string error;
        auto c = platform.Spawn(args, "", &error);
        EXPECT_TRUE(c) << error;
        children.push_back(std::move(c));
        return *children.back();
    }
    std::string Log() const { return copies.Dir().Folder() + "log.txt"; }
};

TEST_F(RealProcesses, FindsOwnChildByExecutableName) {
    const std::string path = copies.Copy("find");
    IChildProcess& c = Start(path, {"--sleep", "20"});
    EXPECT_EQ(sys.FindProcessByName(copies.Name("find")), c.Id());
    EXPECT_EQ(sys.FindProcessByName(path), 0u) << "the list holds names, not paths";
}

TEST_F(RealProcesses, CaseVariantsLastInTheListWins) {
    IChildProcess& a = Start(copies.Copy("case"), {"--sleep", "20"});
    IChildProcess& b = Start(copies.Copy("CASE"), {"--sleep", "20"});
    std::uint32_t later = 0;
    for (const auto& p : platform.ListProcesses())
        if (p.Id == a.Id() || p.Id == b.Id())
            later = p.Id;
    ASSERT_NE(later, 0u);
    EXPECT_EQ(sys.FindProcessByName(copies.Name("Case")), later);
}

TEST_F(RealProcesses, KillByFullPathStopsEveryCopy) {
    const std::string path = copies.Copy("kill");
    IChildProcess& a = Start(path, {"--sleep", "20"});
    IChildProcess& b = Start(path, {"--ignore-term", "--print", "ready", "--sleep", "20"});
    // Only once it said so is SIGTERM really ignored.
    ASSERT_TRUE(WaitForOutput(b, "ready"));
    IChildProcess& enc = Start(copies.Copy("enc"), {"--sleep", "20"});
    IChildProcess& bystander = Start(copies.Copy("keep"), {"--sleep", "20"});
    lib.KillProcessByName(path);
    ASSERT_TRUE(WaitExit(a));
    ASSERT_TRUE(WaitExit(b));
    ASSERT_TRUE(WaitExit(enc));
    EXPECT_EQ(a.Exit().How, ChildExit::Signaled);
    EXPECT_EQ(b.Exit().Code, SIGKILL);
    EXPECT_EQ(sys.FindProcessByName(copies.Name("kill")), 0u);
    EXPECT_TRUE(bystander.IsRunning());
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 2);
}

TEST_F(RealProcesses, KillOfANameThatIsGone) {
    const std::string path = copies.Copy("gone");
    IChildProcess& c = Start(path, {"--exit", "0"});
    ASSERT_TRUE(WaitExit(c));
    EXPECT_FALSE(lib.TerminateProcessByName(copies.Name("gone")));
    EXPECT_EQ(CountLines(Log(), "Terminate process error."), 1);
    lib.KillProcessByName(path);
    EXPECT_TRUE(pump.Pauses.empty());
    EXPECT_EQ(CountLines(Log(), "Get Process id error."), 2);
}

TEST_F(RealProcesses, NeverStopsAProcessItDidNotStart) {
    // Our own test program is running, but it is not one of the fake's children.
    std::string self;
    for (const auto& p : real->ListProcesses())
        if (p.Id == static_cast<std::uint32_t>(::getpid()))
            self = p.ExeText;
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(sys.FindProcessByName(self), 0u);
    EXPECT_FALSE(lib.TerminateProcessByName(self));
}

} // namespace

namespace {

// Another user's process cannot be stopped: the kill loop must give up, and
// the process list must still name it (from its command name, since its
// executable link is hidden from us).
TEST(OtherUsersProcess, KillLoopGivesUpAndLogs) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process of another user";
    std::unique_ptr<IPlatform> real = CreatePosixPlatform();
    ChildCopies copies;
    std::filesystem::permissions(copies.Dir().Path(), std::filesystem::perms::all);
    const std::string path = copies.Copy("st");
    std::string error;
    auto child = real->Spawn({path, "--sleep", "20"}, "", &error);
    ASSERT_TRUE(child) << error;
    const std::uint32_t id = child->Id();

    const std::string text = AsUnprivilegedUser([&] {
        std::string out;
        FakePlatform platform(real.get());
        platform.UseRealProcesses = true;
        platform.OwnIds = {id};
        ScriptedDialogs dialogs;
        FakeEventPump pump;
        TAppFunc app(copies.Dir().Folder());
        TCommonLib lib(platform, dialogs, pump, app);
        lib.KillTimeoutMs = 500;
        lib.EncoderName = copies.Name("enc");
        TSysFunc sys(platform);
        out += sys.FindProcessByName(copies.Name("st")) == id ? "found;" : "not found;";
        lib.KillProcessByName(path);
        out += std::to_string(pump.Pauses.size()) + ";";
        out += std::to_string(CountLines(app.GetAppFolder() + "log.txt",
                                         "Kill process timeout. ->" + copies.Name("st")));
        out += ";" + std::to_string(
                         CountLines(app.GetAppFolder() + "log.txt", "Terminate process error."));
        return out;
    });

    // Attempts stop at the bound of virtual time or earlier when real time
    // runs out first on a loaded machine; every attempt failed and was logged.
    int pauses = -1, timeouts = -1, failures = -1;
    char found[16] = {};
    ASSERT_EQ(std::sscanf(text.c_str(), "%15[a-z ];%d;%d;%d", found, &pauses, &timeouts, &failures),
              4)
        << text;
    EXPECT_STREQ(found, "found");
    EXPECT_GE(pauses, 1);
    EXPECT_LE(pauses, 5);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(failures, pauses);
    EXPECT_TRUE(child->IsRunning()) << "the other user's process must survive";
    EXPECT_TRUE(real->TerminateProcess(id));
}

} // namespace
