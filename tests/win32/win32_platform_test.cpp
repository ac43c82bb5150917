// The Win32 platform and file services, run under Windows or wine: children on
// pipes, the process list, Chinese paths for files and programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <process.h>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

#include "config/IniFiles32.h"
#include "fakes/Fakes.h"
#include "support/DataFolders.h"
#include "support/SupportChild.h"
#include "support/platform/Platform.h"
#include "support/platform/SystemIO.h"

namespace {

namespace fs = std::filesystem;

fs::path U8(const std::string& s) {
    return fs::path(std::u8string(s.begin(), s.end()));
}

std::string Str(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

class Win32Test : public ::testing::Test {
protected:
    std::unique_ptr<IPlatform> platform = CreateSystemPlatform();
    TempDir dir;
    std::string prefix = "vlm" + std::to_string(std::random_device{}() % 1000000);

    // A copy of the child program under `name` in `folder` (made when missing).
    std::string Child(const std::string& folder, const std::string& name) {
        fs::create_directories(U8(folder));
        const fs::path to = U8(folder) / U8(name);
        fs::copy_file(U8(platform->ExecutableFolder() + "velmora_win32_child.exe"), to,
                      fs::copy_options::overwrite_existing);
        return Str(to);
    }
    std::string Temp() const { return Str(dir.Path()); }

    std::unique_ptr<IChildProcess> Run(std::vector<std::string> args, const std::string& work = "",
                                       std::string program = "") {
        if (program.empty())
            program = Child(Temp(), prefix + "child.exe");
        args.insert(args.begin(), program);
        std::string error;
        auto c = platform->Spawn(args, work, &error);
        EXPECT_TRUE(c) << error;
        return c;
    }

    bool Listed(std::uint32_t id, const std::string& exe) {
        for (const ProcessEntry& e : platform->ListProcesses())
            if (e.Id == id && e.ExeText == exe)
                return true;
        return false;
    }
};

TEST_F(Win32Test, ArgumentsReachTheChildUnchanged) {
    const std::vector<std::string> args = {
        "plain",     "with blank", "quote\"in", "trailing\\",   "a\\\\\"b",     "",
        "中文 参数", "tab\there",  "-dash",     "\\\\server\\", "C:\\a b\\c\\", "x\"\"y"};
    std::vector<std::string> all = {"--args"};
    all.insert(all.end(), args.begin(), args.end());
    auto c = Run(all);
    ASSERT_TRUE(c);
    std::string expected;
    for (const std::string& a : args)
        expected += a + "\n";
    EXPECT_EQ(ReadToEnd(*c), expected);
}

TEST_F(Win32Test, StdoutAndStderrShareOnePipeAndExitCodesAreKept) {
    struct Case {
        int code;
    };
    // 259 is also the "still active" status: only the wait tells them apart.
    for (Case k : {Case{0}, Case{3}, Case{259}}) {
        auto c = Run(
            {"--print", "a", "--print-err", "b", "--print", "c", "--exit", std::to_string(k.code)});
        ASSERT_TRUE(c);
        EXPECT_EQ(ReadToEnd(*c), "abc");
        ASSERT_TRUE(WaitExit(*c)) << k.code;
        EXPECT_EQ(c->Exit().How, ChildExit::Exited);
        EXPECT_EQ(c->Exit().Code, k.code);
    }
}

TEST_F(Win32Test, ReadNeverBlocksAndClosingInputGivesEndOfFile) {
    auto c = Run({"--echo", "--exit", "0"});
    ASSERT_TRUE(c);
    char buf[16];
    EXPECT_EQ(c->BytesAvailable(), 0u);
    EXPECT_EQ(c->Read(buf, sizeof buf), 0);
    EXPECT_FALSE(c->WaitReadable(50));
    EXPECT_TRUE(c->IsRunning());
    c->CloseInput();
    EXPECT_EQ(ReadToEnd(*c), "eof\n");
    EXPECT_TRUE(WaitExit(*c));
}

TEST_F(Win32Test, ChineseProgramPathAndWorkingFolder) {
    const std::string folder = Temp() + "\\工作 目录";
    const std::string program = Child(folder, prefix + "转换器.exe");
    auto c = Run({"--pwd", "--exit", "0"}, folder, program);
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadToEnd(*c), folder + "\n");
    // A relative program path is taken from the working folder.
    auto r = Run({"--print", "ok", "--exit", "0"}, Temp(), "工作 目录\\" + prefix + "转换器.exe");
    ASSERT_TRUE(r);
    EXPECT_EQ(ReadToEnd(*r), "ok");
}

TEST_F(Win32Test, MissingProgramIsReported) {
    std::string error;
    EXPECT_FALSE(platform->Spawn({Temp() + "\\没有.exe"}, "", &error));
    EXPECT_NE(error.find("没有.exe"), std::string::npos) << error;
    EXPECT_FALSE(platform->Spawn({}, "", &error));
    EXPECT_FALSE(platform->StartDetached({Temp() + "\\没有.exe"}, ""));
}

TEST_F(Win32Test, ProcessListNamesAndTerminate) {
    const std::string name = prefix + "进程.exe";
    auto c = Run({"--sleep", "30"}, "", Child(Temp(), name));
    ASSERT_TRUE(c);
    EXPECT_TRUE(Listed(c->Id(), name));
    EXPECT_TRUE(platform->TerminateProcess(c->Id()));
    ASSERT_TRUE(WaitExit(*c));
    EXPECT_EQ(c->Exit().Code, 1) << "a stopped child does not read as a success";
    EXPECT_FALSE(Listed(c->Id(), name));
    // Nothing to stop is not a failure; nobody stops the idle process or us.
    EXPECT_TRUE(platform->TerminateProcess(c->Id()));
    EXPECT_FALSE(platform->TerminateProcess(0));
    EXPECT_FALSE(platform->TerminateProcess(static_cast<std::uint32_t>(_getpid())));
}

TEST_F(Win32Test, DestroyingARunningChildEndsIt) {
    const std::string name = prefix + "left.exe";
    auto c = Run({"--sleep", "30"}, "", Child(Temp(), name));
    ASSERT_TRUE(c);
    const std::uint32_t id = c->Id();
    c.reset();
    EXPECT_FALSE(Listed(id, name));
}

TEST_F(Win32Test, StartDetachedRunsTheProgram) {
    const std::string folder = Temp() + "\\分离";
    const std::string program = Child(folder, prefix + "detached.exe");
    ASSERT_TRUE(platform->StartDetached({program, "--exit", "0"}, folder));
    EXPECT_FALSE(platform->StartDetached({program}, Temp() + "\\missing"));
}

TEST_F(Win32Test, FoldersAndFilesWithChineseNames) {
    const std::string deep = Temp() + "\\输出\\子 目录";
    EXPECT_TRUE(platform->CreateFolders(deep));
    EXPECT_TRUE(platform->FolderExists(deep));
    EXPECT_FALSE(platform->FileExists(deep));
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(deep + "\\歌.wav", "12345", error)) << error;
    EXPECT_TRUE(platform->FileExists(deep + "\\歌.wav"));
    EXPECT_EQ(platform->FileSize(deep + "\\歌.wav"), 5);
    EXPECT_EQ(platform->FileSize(deep + "\\无.wav"), -1);
    EXPECT_EQ(FolderEntryNames(deep, false), std::vector<std::string>{"歌.wav"});
    EXPECT_FALSE(platform->RemoveFolder(deep));
    fs::remove(U8(deep + "\\歌.wav"));
    EXPECT_TRUE(platform->RemoveFolder(deep));
    EXPECT_FALSE(platform->FolderExists(deep));
}

TEST_F(Win32Test, AFolderHasOneIdentityHoweverItIsWritten) {
    // The folder walk knows a folder again by it: junctions and links are
    // invisible to the C++ library here.
    const std::string folder = Temp() + "\\歌\\cd1";
    ASSERT_TRUE(platform->CreateFolders(folder));
    ASSERT_TRUE(platform->CreateFolders(Temp() + "\\歌\\cd2"));
    std::string slashed = folder;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::string key = FolderIdentity(folder);
    ASSERT_FALSE(key.empty());
    for (const std::string& same :
         {folder + "\\", slashed + "/", Temp() + "\\歌\\cd2\\..\\cd1", Temp() + "\\歌\\CD1"})
        EXPECT_EQ(FolderIdentity(same), key) << same;
    EXPECT_NE(FolderIdentity(Temp() + "\\歌\\cd2"), key);
    EXPECT_EQ(FolderIdentity(Temp() + "\\歌\\cd3"), "");
}

TEST_F(Win32Test, HiddenAttributeOrDotHidesAFolderEntry) {
    std::string error;
    for (const char* name : {"shown.wav", "hidden.wav", ".dot.wav"})
        ASSERT_TRUE(WriteFileAtomically(Temp() + "\\" + name, "x", error)) << error;
    ASSERT_TRUE(
        ::SetFileAttributesW(FilePath(Temp() + "\\hidden.wav").c_str(), FILE_ATTRIBUTE_HIDDEN));
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ReadFolderEntries(Temp(), entries, error)) << error;
    std::string shown;
    for (const FolderEntry& e : entries)
        if (!e.Hidden)
            shown += e.Name + ";";
    EXPECT_EQ(shown, "shown.wav;");
}

TEST_F(Win32Test, FilePathsKeepUtf8NamesForStreamsAndFilesystem) {
    // The narrow std::filesystem::path constructor would read these in the ANSI code page.
    for (const std::string leaf : {"plain.mp3", "歌 曲.wav", "3GPMP4文件输出", "é ü ñ.ogg"}) {
        SCOPED_TRACE(leaf);
        const std::string name = Temp() + "\\" + leaf;
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(name, leaf, error)) << error;
        std::ifstream in(FilePath(name), std::ios::binary);
        const std::string read((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        EXPECT_EQ(read, leaf);
        EXPECT_EQ(PathText(FilePath(Temp()) / FilePath(leaf)), name);
        EXPECT_EQ(PathText(FilePath(name).filename()), leaf);
    }
}

TEST_F(Win32Test, LibrariesSymbolsAndProgramFolder) {
    std::string error;
    auto lib = platform->LoadLibrary("kernel32.dll", &error);
    ASSERT_TRUE(lib) << error;
    EXPECT_NE(lib->Symbol("GetTickCount"), nullptr);
    EXPECT_EQ(lib->Symbol("NoSuchSymbol"), nullptr);
    EXPECT_FALSE(platform->LoadLibrary(Temp() + "\\没有.dll", &error));
    EXPECT_NE(error.find("没有.dll"), std::string::npos) << error;
    const std::string folder = platform->ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(platform->FileExists(folder + "velmora_win32_child.exe"));
    EXPECT_FALSE(platform->SetPrivilege("SeNoSuchPrivilege", true));
}

// The system's known folders decide, not the right to write (wine grants it
// everywhere): under Program Files the user's application data, elsewhere a
// writable copy keeps its own folder.
TEST_F(Win32Test, DataFoldersFollowTheKnownFolders) {
    const TKnownFolders known = KnownFolders();
    ASSERT_FALSE(known.ProgramFiles.empty());
    const std::string program = known.ProgramFiles.front() + "\\" + prefix + "\\";
    std::error_code ec;
    fs::create_directory(U8(program), ec);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> removed(
        &program, [](const std::string* p) {
            std::error_code ignored;
            fs::remove(U8(*p), ignored);
        });
    ASSERT_TRUE(FolderTakesNewFiles(program)) << "Program Files is not writable here: " << program;
    const TDataFolders installed = DecideDataFolders(GatherDataFolderFacts(program, false));
    EXPECT_EQ(installed.Config, LongPathText(EnvironmentText("APPDATA")) + "\\Velmora\\Config\\");
    EXPECT_EQ(installed.Log, LongPathText(EnvironmentText("LOCALAPPDATA")) + "\\Velmora\\");
    const TDataFolders portable = DecideDataFolders(GatherDataFolderFacts(dir.Folder(), false));
    EXPECT_EQ(portable.Config, PortableDataFolders(LongPathText(dir.Folder())).Config);
}

TEST_F(Win32Test, SleepInhibitorMayBeReleasedFromAnyThread) {
    auto held = platform->InhibitSleep("converting");
    ASSERT_TRUE(held);
    std::thread([&held] { held.reset(); }).join();
    EXPECT_FALSE(held);
    EXPECT_TRUE(platform->InhibitSleep("again"));
}

TEST_F(Win32Test, FileServicesKeepBytesAndReportErrors) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    bytes += "\r\n\r\n\n\r";
    const std::string file = Temp() + "\\配置 文件.ini";
    std::string error;
    std::string data;
    EXPECT_EQ(ReadWholeFile(file, data, error), ReadFileResult::Missing);
    EXPECT_EQ(ReadWholeFile(Temp() + "\\无\\x.ini", data, error), ReadFileResult::Missing);
    ASSERT_TRUE(WriteFileAtomically(file, "old", error)) << error;
    ASSERT_TRUE(WriteFileAtomically(file, bytes, error)) << error;
    ASSERT_EQ(ReadWholeFile(file, data, error), ReadFileResult::Ok) << error;
    EXPECT_EQ(data, bytes);
    EXPECT_EQ(FolderEntryNames(Temp(), true), std::vector<std::string>{"配置 文件.ini"})
        << "temporary file left behind";

    fs::permissions(U8(file), fs::perms::owner_read);
    EXPECT_FALSE(WriteFileAtomically(file, "new", error));
    EXPECT_EQ(error, "Permission denied");
    fs::permissions(U8(file), fs::perms::owner_all);
    ASSERT_EQ(ReadWholeFile(file, data, error), ReadFileResult::Ok);
    EXPECT_EQ(data, bytes);

    const std::string folder = Temp() + "\\文件夹";
    EXPECT_TRUE(EnsureFolder(folder, error)) << error;
    EXPECT_TRUE(EnsureFolder(folder + "\\", error)) << error;
    EXPECT_FALSE(EnsureFolder(file, error));
    EXPECT_EQ(error, "Not a directory");
    EXPECT_EQ(ReadWholeFile(folder, data, error), ReadFileResult::Failed);
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(WriteFileAtomically(folder, "x", error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(WriteFileAtomically(Temp() + "\\无\\x.ini", "x", error));
    EXPECT_EQ(error, "No such file or directory");

    const std::string log = Temp() + "\\日志.txt";
    EXPECT_TRUE(AppendToFile(log, "a\r\n"));
    EXPECT_TRUE(AppendToFile(log, "中\r\n"));
    ASSERT_EQ(ReadWholeFile(log, data, error), ReadFileResult::Ok);
    EXPECT_EQ(data, "a\r\n中\r\n");
    EXPECT_FALSE(AppendToFile(folder, "x"));
}

TEST_F(Win32Test, IniStoreMakesItsConfigFolderUnderChinesePaths) {
    const std::string file = Temp() + "\\程序 目录\\Config\\UserSettings.ini";
    fs::create_directory(U8(Temp() + "\\程序 目录"));
    {
        TIniFile32 ini(file);
        ini.WriteString("USRInfo", "OutDir", "C:\\3GPMP4文件输出");
    }
    std::string data;
    std::string error;
    ASSERT_EQ(ReadWholeFile(file, data, error), ReadFileResult::Ok) << error;
    EXPECT_EQ(data, "\r\n[USRInfo]\r\nOutDir=C:\\3GPMP4文件输出\r\n");
    EXPECT_EQ(TIniFile32(file).ReadString("USRInfo", "OutDir", ""), "C:\\3GPMP4文件输出");
}

TEST_F(Win32Test, ReadersSeeTheOldOrTheNewFileNeverATornOne) {
    const std::string file = Temp() + "\\替换.ini";
    const std::string a(20000, 'a');
    const std::string b(30000, 'b');
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(file, a, error)) << error;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        std::string data;
        std::string e;
        while (!done) {
            ReadFileResult r = ReadWholeFile(file, data, e);
            if (r != ReadFileResult::Ok || (data != a && data != b))
                ++torn;
            std::this_thread::yield();
        }
    });
    int failed = 0;
    for (int i = 0; i < 200; ++i)
        failed += WriteFileAtomically(file, i % 2 ? a : b, error) ? 0 : 1;
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(failed, 0) << error;
}

} // namespace
