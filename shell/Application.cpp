#include "shell/Application.h"

#include <exception>
#include <utility>

#include "plugins/PluginApi.h"
#include "shell/JpegImage.h"
#include "shell/Version.h"

namespace {

// Cut to the string table's buffer without splitting a UTF-8 character.
std::string TakeResString(const char* text) {
    if (!text)
        return {};
    std::string s(text);
    if (s.size() <= MaxResStringLength)
        return s;
    size_t cut = MaxResStringLength;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return s.substr(0, cut);
}

} // namespace

TApplication::TApplication(IPlatform& platform, IDialogs& dialogs, IEventPump& pump,
                           IUiDispatcher& dispatcher, IMediaGraph& playerGraph,
                           std::string programFolder, TSourceFileList::TGraphFactory probeGraphs)
    : Platform(platform), Dialogs(dialogs), Pump(pump), Dispatcher(dispatcher),
      PlayerGraph(playerGraph), AppFunc(programFolder),
      Lib(platform, dialogs, pump, AppFunc, Title), SysFunc(platform), MainForm(),
      CustomProc(Lib, FileFunc, SysFunc, MainForm), ConvertingForm(CustomProc, dispatcher),
      OptionForm(), InitFileForm(pump), Preview(MainForm, Lib, playerGraph),
      SourceList(MainForm.dxTreeSourceFileInfo, Lib, CustomProc, InitFileForm, Preview,
                 std::move(probeGraphs)),
      Launchers(Lib, RecSoftInfo), ExecutableFile(platform.RunningExecutable()) {
    RecSoftInfo.ProgramFolder = programFolder;
    MainForm.CustomProc = &CustomProc;
    MainForm.Lib = &Lib;
    MainForm.Launchers = &Launchers;
    MainForm.PlayerGraph = &PlayerGraph;
    CustomProc.ConvertingForm = &ConvertingForm;
    CustomProc.AttachOptionForm(OptionForm);
    MainForm.OpenCommand = [this] { SourceList.btnOpenFileClick(); };
    MainForm.RemoveCommand = [this] { SourceList.btnRemoveFileClick(); };
    MainForm.ClearCommand = [this] { SourceList.btnClearFileClick(); };
    MainForm.ShowOptionsCommand = [this] {
        // Already open: only brought forward, its state stays.
        if (OptionForm.Visible)
            OptionForm.Show();
        else
            OptionForm.ShowOptions();
    };
    MainForm.StopPreviewCommand = [this] { Preview.ClosePlayer(); };
    MainForm.WireCommands();
    // Runs from the window's creation to the end of the process.
    MainForm.tmrClearMemory.SetEnabled(true);
}

TApplication::~TApplication() = default;

void TApplication::UseProgramLayout(const TProgramLayout& layout, TDataFolders folders) {
    AppFunc.UseDataFolders(std::move(folders));
    Lib.EncoderFolder = layout.ExecutableFolder;
    ExecutableFile = layout.ExecutableFolder + ProgramExeName;
}

std::string TApplication::NotFoundText(const std::string& fileName) {
    return "'" + fileName + "' is not found. Please reinstall this program.";
}

void TApplication::ShowMessageBox(const std::string& text) {
    Dialogs.MessageBox(Title, text, mkInformation);
}

void TApplication::RunGuarded(const char* what, const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        AppFunc.WriteLog(std::string(what) + ": " + e.what());
        Lib.ShowMsg(e.what(), mkError);
    }
}

void TApplication::FormShow() {
    if (shown_)
        return;
    shown_ = true;
    ShowSplash();
    if (terminated_)
        return;
    RunGuarded("FillOptionLists", [this] { CustomProc.FillOptionLists(); });
    RunGuarded("LoadUserSettings", [this] { CustomProc.LoadUserSettings(); });
    dropTarget_ = true;
    RunGuarded("ApplyProfile", [this] { CustomProc.ApplyProfile(); });
}

void TApplication::HandOverFiles(const std::vector<std::string>& paths) {
    handedFiles_.insert(handedFiles_.end(), paths.begin(), paths.end());
}

bool TApplication::TakeHandedFiles(bool viewBusy) {
    if (handedFiles_.empty())
        return true;
    if (viewBusy || !dropTarget_ || terminated_ || !MainForm.Enabled || CustomProc.JobRunning ||
        InitFileForm.Visible)
        return false;
    // Taken out first: the adding lets events run, and they may hand over more.
    std::vector<std::string> paths;
    paths.swap(handedFiles_);
    SourceList.FormDropFiles(paths);
    return handedFiles_.empty();
}

void TApplication::ShowSplash() {
    flash_ = std::make_unique<TFrmFlashForm>(Pump);
    std::string folder = RecSoftInfo.ProgramFolder;
    std::string error;
    std::unique_ptr<ILibrary> res;
    if (Platform.FileExists(folder + ResLibraryName))
        res = Platform.LoadLibrary(folder + ResLibraryName, &error);
    bool havePicture = false;
    if (res) {
        auto find =
            reinterpret_cast<VelmoraFindResourceFn>(res->Symbol(VELMORA_FIND_RESOURCE_SYMBOL));
        const unsigned char* data = nullptr;
        size_t size = 0;
        if (find && find("ImgFlash", "jpeg", &data, &size))
            havePicture = DecodeJpeg(data, size, flash_->Picture, &error);
        if (!havePicture)
            AppFunc.WriteLog("Splash picture: " + (error.empty() ? "ImgFlash not found" : error));
    }
    flash_->OnStartUp = [this] { RunStartUpSequence(); };
    if (havePicture) {
        if (ShowSplashModal) {
            ShowSplashModal(*flash_);
        } else {
            flash_->FormShow();
            flash_->Timer1.Tick();
        }
    } else {
        // Without its picture the splash is not shown; the start-up still runs
        // and reports the missing library, and the program ends.
        // A missing file is reported by the check below; a file that is
        // there but unusable gets the same message here.
        if (Platform.FileExists(folder + ResLibraryName))
            ShowMessageBox(NotFoundText(ResLibraryName));
        RunStartUpSequence();
        Terminate();
    }
    res.reset();
    flash_.reset();
}

void TApplication::RunStartUpSequence() {
    if (startUpRuns_ > 0)
        return;
    ++startUpRuns_;
    // The shared objects exist since the application object was built: the
    // windows hold references to them.
    CheckResourceLibraries();
    Pump.ProcessMessages();
    LoadSoftInfo();
    std::string caption = RecSoftInfo.ProductName + " " + RecSoftInfo.Version;
    MainForm.SetCaption(caption);
    MainForm.lblTitle.SetCaption(caption);
}

void TApplication::CheckResourceLibraries() {
    // Looked up beside the program, where they are loaded from.
    for (const char* name : {FormLibraryName, ResLibraryName}) {
        if (!Platform.FileExists(RecSoftInfo.ProgramFolder + name)) {
            ShowMessageBox(NotFoundText(name));
            Terminate();
        }
    }
}

void TApplication::LoadSoftInfo() {
    std::string error;
    std::unique_ptr<ILibrary> res;
    if (Platform.FileExists(RecSoftInfo.ProgramFolder + ResLibraryName))
        res = Platform.LoadLibrary(RecSoftInfo.ProgramFolder + ResLibraryName, &error);
    VelmoraLoadStringFn load = nullptr;
    if (res)
        load = reinterpret_cast<VelmoraLoadStringFn>(res->Symbol(VELMORA_LOAD_STRING_SYMBOL));
    auto str = [&](unsigned id) { return load ? TakeResString(load(id)) : std::string(); };
    RecSoftInfo.MakerName = str(0);
    RecSoftInfo.ProductName = str(1);
    RecSoftInfo.ResText2 = str(2);
    (void)str(3); // the version always comes from the executable
    RecSoftInfo.Version = GetFileVersionText(ExecutableFile);
    RecSoftInfo.HomePage = str(4);
    RecSoftInfo.Email = str(5);
    RecSoftInfo.ResText7 = str(7);
}
