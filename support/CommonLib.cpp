// TCommonLib: message boxes, system and process helpers; TSysFunc's search.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/CommonLib.h"
#include "support/TextCompare.h"

namespace {

std::string FileNamePart(const std::string& path) {
    size_t pos = path.rfind(PathDelim);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::uint32_t LastMatch(IPlatform& platform, const std::string& name) {
    std::uint32_t id = 0;
    for (const ProcessEntry& p : platform.ListProcesses())
        if (SameTextAscii(p.ExeText, name))
            id = p.Id;
    return id;
}

} // namespace

std::uint32_t TSysFunc::FindProcessByName(const std::string& name) const {
    return LastMatch(platform_, name);
}

TCommonLib::TCommonLib(IPlatform& platform, IDialogs& dialogs, IEventPump& pump, TAppFunc& appFunc,
                       std::string appTitle)
    : AppPath(appFunc.GetAppFolder()), AppTitle(std::move(appTitle)), platform_(platform),
      dialogs_(dialogs), pump_(pump), appFunc_(appFunc) {}

bool TCommonLib::ShowMsg(const std::string& text, int kind) const {
    if (kind < mkError || kind > mkInformation)
        return false;
    return dialogs_.MessageBox(AppTitle, text, static_cast<TMsgKind>(kind));
}

bool TCommonLib::ShowInvalidPathMsg() const {
    return ShowMsg("非法路径.", mkWarning);
}

bool TCommonLib::ShowReadOnlyDirMsg() const {
    return ShowMsg("这是一个只读目录.", mkWarning);
}

bool TCommonLib::ShowNoFilesMsg() const {
    return ShowMsg("请增加您想转换的视频或者音频文件.", mkWarning);
}

void TCommonLib::TrimWorkingSet() const {
    if (platform_.IsNTPlatform())
        platform_.TrimWorkingSet();
}

void TCommonLib::EnableShutdownPrivilege() const {
    (void)SetTokenPrivilege(0, "SeShutdownPrivilege", true);
}

bool TCommonLib::PowerOffComputer() const {
    (void)SetTokenPrivilege(0, "SeShutdownPrivilege", true);
    return platform_.PowerOff();
}

void TCommonLib::ShutdownComputer() const {
    EnableShutdownPrivilege();
    (void)PowerOffComputer();
}

void TCommonLib::OpenFolderInExplorer(const std::string& folder) const {
    (void)platform_.OpenFolder(folder);
}

std::uint32_t TCommonLib::GetProcessIdByName(const std::string& name) const {
    std::uint32_t id = LastMatch(platform_, name);
    if (id == 0)
        appFunc_.WriteLog("Get Process id error.");
    return id;
}

bool TCommonLib::TerminateProcessByName(const std::string& name) const {
    (void)EnableDebugPrivilege();
    bool matched = false;
    bool ok = false;
    for (const ProcessEntry& p : platform_.ListProcesses()) {
        if (SameTextAscii(FileNamePart(p.ExeText), name) || SameTextAscii(p.ExeText, name)) {
            matched = true;
            // Only the last attempt counts.
            ok = platform_.TerminateProcess(p.Id);
        }
    }
    if (!matched || !ok) {
        appFunc_.WriteLog("Terminate process error.");
        return false;
    }
    return true;
}

bool TCommonLib::SetTokenPrivilege(int token, const std::string& privilege, bool enable) const {
    (void)token;
    return platform_.SetPrivilege(privilege, enable);
}

bool TCommonLib::EnableDebugPrivilege() const {
    return SetTokenPrivilege(0, "SeDebugPrivilege", true);
}

void TCommonLib::KillProcessByName(const std::string& nameOrPath) const {
    // A process we may not stop (another user's, one stuck in the kernel)
    // would keep the window in this loop for ever: give up after a while.
    auto sweep = [this](const std::string& name) {
        const auto start = std::chrono::steady_clock::now();
        int waitedMs = 0;
        while (GetProcessIdByName(name) != 0) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
            if (waitedMs >= KillTimeoutMs || elapsed >= KillTimeoutMs) {
                appFunc_.WriteLog("Kill process timeout. ->" + name);
                return;
            }
            (void)TerminateProcessByName(name);
            pump_.Pause(100);
            pump_.ProcessMessages();
            waitedMs += 100;
        }
    };
    sweep(FileNamePart(nameOrPath));
    sweep(EncoderName);
}
