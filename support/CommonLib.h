// The shared helper singletons: log, text, numbers, time and size texts, file
// names, message boxes and process helpers. Created once at start-up and passed
// by reference; tests make their own with a temporary program folder.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/Controls.h"
#include "support/DataFolders.h"
#include "support/Toolkit.h"
#include "support/platform/Platform.h"
#include "support/platform/SystemIO.h"

// The one path separator of this platform, and the executable names of the
// encoder and of its old name (process names compare without ASCII case).
#ifdef _WIN32
inline constexpr char PathDelim = '\\';
inline constexpr const char* EncoderExeName = "evc.exe";
inline constexpr const char* EncoderAltExeName = "revc.exe";
#else
inline constexpr char PathDelim = '/';
inline constexpr const char* EncoderExeName = "evc";
inline constexpr const char* EncoderAltExeName = "revc";
#endif

// The folder with a separator at its end; one already there (either kind on
// Windows) is kept.
inline std::string WithTrailingDelim(std::string folder) {
    if (folder.empty() ||
        std::string_view(PathSeparators).find(folder.back()) == std::string_view::npos)
        folder += PathDelim;
    return folder;
}

// A text that TextToNumber could not read as a number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Log, program folder and the folders the program writes to.
class TAppFunc {
public:
    // Settings and log inside the program folder (a portable folder).
    explicit TAppFunc(std::string appFolder)
        : appFolder_(std::move(appFolder)), folders_(PortableDataFolders(appFolder_)) {}
    TAppFunc(std::string appFolder, TDataFolders folders)
        : appFolder_(std::move(appFolder)), folders_(std::move(folders)) {}
    // Appends "Dravik Soft <date> <time>|<message>\r\n" to log.txt in the
    // log folder. Never throws.
    void WriteLog(const std::string& message) const;
    // The program folder with a trailing separator.
    std::string GetAppFolder() const { return appFolder_; }
    // Where the INI files live, with a trailing separator.
    const std::string& ConfigFolder() const { return folders_.Config; }
    // Where log.txt lives, with a trailing separator.
    const std::string& LogFolder() const { return folders_.Log; }
    // Start-up decides once, before anything is written.
    void UseDataFolders(TDataFolders folders) { folders_ = std::move(folders); }

private:
    std::string appFolder_;
    TDataFolders folders_;
};

// Process search used by the job.
class TSysFunc {
public:
    explicit TSysFunc(IPlatform& platform) : platform_(platform) {}
    // Id of the last process whose executable text equals `name` (ASCII
    // case-insensitive), 0 when none.
    std::uint32_t FindProcessByName(const std::string& name) const;

private:
    IPlatform& platform_;
};

class TStrFunc {
public:
    // Text after the last `delimiter`; the whole text when it does not occur.
    std::string TextAfterLast(const std::string& text, char delimiter) const;
};

class TFileFunc {
public:
    // Base name the latest MakeUniqueFileName started from.
    std::string StartBaseName;

    // Full paths of the folder's entries (folder ends with a separator);
    // `extension` with its point filters exactly, empty lists everything.
    std::vector<std::string> ListFiles(const std::string& folder,
                                       const std::string& extension) const;
    std::string GetBaseName(const std::string& path) const;
    std::string GetFileFolder(const std::string& path) const;
    // A path in the same folder whose base name no entry of the folder has.
    std::string MakeUniqueFileName(const std::string& path);
};

// Clears the list, then adds every non-empty part of `text` between separators.
void SplitToList(const std::string& text, char separator, std::vector<std::string>& list);

// The pieces of the encoder command line built last.
struct TConvertParameterStruct {
    std::string EncoderPath;
    std::string SourceFile;
    std::string CodecParam;
    std::string VideoBitrateParam;
    std::string VideoSizeParam;
    std::string AudioBitrateParam;
    std::string VolumeParam;
    std::string ChannelsParam;
    std::string SampleRateParam;
    std::string TrimParam;
    std::string OutputDir;
    std::string OutputName;
    std::string OutputExt;
};

class TCommonLib {
public:
    TCommonLib(IPlatform& platform, IDialogs& dialogs, IEventPump& pump, TAppFunc& appFunc,
               std::string appTitle = "Velmora");

    // Program folder with a trailing separator.
    std::string AppPath;
    // Folder of evc when it is not the program folder (an installation's bin).
    std::string EncoderFolder;
    std::string EncoderFolderInUse() const {
        return EncoderFolder.empty() ? AppPath : EncoderFolder;
    }
    // Title of every message box.
    std::string AppTitle;
    // Name KillProcessByName always sweeps after its target. Tests that run a
    // uniquely named encoder copy set it so they never touch other encoders.
    std::string EncoderName = EncoderExeName;
    TConvertParameterStruct ConvertParam;

    IPlatform& Platform() const { return platform_; }
    IDialogs& Dialogs() const { return dialogs_; }
    IEventPump& Pump() const { return pump_; }
    TAppFunc& AppFunc() const { return appFunc_; }

    // Text helpers.
    std::vector<std::string> SplitText(const std::string& text, char delimiter) const;
    // Throws EConvertError when the kept characters are not a number.
    double TextToNumber(const std::string& text) const;
    // Decimal separator of size texts; empty means the C locale's (or ".").
    std::string DecimalSeparator;
    std::string SizeToText(std::int64_t bytes) const;
    std::string SecondsToTimeText(std::int64_t seconds) const;
    std::string PadNumber(std::int64_t width, std::int64_t divisor, std::int64_t value) const;

    // Message boxes. A kind outside 0..3 shows nothing and gives false.
    bool ShowMsg(const std::string& text, int kind) const;
    bool ShowInvalidPathMsg() const;
    bool ShowReadOnlyDirMsg() const;
    bool ShowNoFilesMsg() const;

    // System helpers.
    void TrimWorkingSet() const;
    void EnableShutdownPrivilege() const;
    bool PowerOffComputer() const;
    void ShutdownComputer() const;
    void OpenFolderInExplorer(const std::string& folder) const;
    std::uint32_t GetProcessIdByName(const std::string& name) const;
    bool TerminateProcessByName(const std::string& name) const;
    bool SetTokenPrivilege(int token, const std::string& privilege, bool enable) const;
    bool EnableDebugPrivilege() const;
    // Stops every process of that name, then every encoder (EncoderName).
    // Each sweep gives up after KillTimeoutMs of attempts and logs it.
    void KillProcessByName(const std::string& nameOrPath) const;
    int KillTimeoutMs = 5000;

    // Output folder (implemented with the user settings).
    std::string SelectOutputFolder(const std::string& currentFolder);
    bool BrowseForFolder(const std::string& title, std::string& folder);

    // Command-line fragments (implemented with the command line builder).
    std::string GetVideoBitrateParam(const SelectionList& list, int index) const;
    std::string GetVideoSizeParam(const SelectionList& list, int index) const;
    std::string GetAudioBitrateParam(const SelectionList& list, int index) const;
    std::string GetVolumeParam(const SelectionList& list, int index) const;
    std::string GetChannelsParam(const SelectionList& list, int index) const;
    std::string GetSampleRateParam(const SelectionList& list, int index) const;
    std::string GetCodecParam(int outputType) const;
    std::string GetExtParam(int outputType) const;

private:
    IPlatform& platform_;
    IDialogs& dialogs_;
    IEventPump& pump_;
    TAppFunc& appFunc_;
};
