#include "media/SourceFileList.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>

#include "media/FolderFiles.h"
#include "support/CommonLib.h"
#include "support/Text.h"

namespace {

constexpr const char* kZeroTime = "00:00:00";

// Keeps the grid's repainting suspended for a scope, whatever happens in it.
class UpdateLock {
public:
    explicit UpdateLock(TSourceFileGrid& grid) : grid_(grid), was_(grid.UpdatesLocked) {
        grid_.UpdatesLocked = true;
    }
    ~UpdateLock() {
        grid_.UpdatesLocked = was_;
        grid_.Changed();
    }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

private:
    TSourceFileGrid& grid_;
    bool was_;
};

} // namespace

TSourceFileList::TSourceFileList(TSourceFileGrid& grid, TCommonLib& lib, IInitDirStore& initDirs,
                                 TFrmInitFileForm& initForm, IPreviewHooks& preview,
                                 TGraphFactory graphs)
    : grid_(grid), lib_(lib), initDirs_(initDirs), initForm_(initForm), preview_(preview),
      graphs_(std::move(graphs)) {
    initForm_.OnAddFiles = [this](const std::vector<std::string>& paths) {
        AddSourceFiles(ExpandFolders(paths));
    };
    initForm_.OnStoreFolder = [this] { StoreInitDir(); };
}

const std::vector<std::string>& TSourceFileList::AcceptedExtensions() {
    // The dialog offers .mp4 and .amr too, and the encoder reads both, so a
    // file the user picked there is not dropped without a word.
    static const std::vector<std::string> kExtensions = {
        ".3gp", ".3g2", ".avi",  ".m4v", ".mpeg", ".mpg", ".asf", ".mov", ".wmv",
        ".vob", ".rm",  ".rmvb", ".flv", ".swf",  ".aac", ".ac3", ".m4a", ".mp2",
        ".mp3", ".ogg", ".tta",  ".wav", ".wma",  ".mp4", ".amr"};
    return kExtensions;
}

const std::vector<std::string>& TSourceFileList::OpenDialogFilters() {
    static const std::vector<std::string> kFilters = {
        "Supported Files|*.3gp;*.mp4;*.m4v;*.mpeg;*.3g2;*.mpg;*.avi;*.asf;*.mov;*.wmv;*.flv;*.swf;"
        "*.rm;*.rmvb;*.vob;*.aac;*.ac3;*.m4a;*.mp2;*.mp3;*.ogg;*.tta;*.wav;*.wma;*.amr;",
        "3GP, 3G2 Files (*.3gp,*.3g2)|*.3gp",
        "AVI Files (*.avi)|*.avi",
        "ASF Files (*.asf)|*.asf",
        "MOV Files (*.mov)|*.mov",
        "FLV ,SWF Flash Video (*.flv,swf)|*.flv;*.swf",
        "MP4 File (*.mp4,*.m4v)|*.mp4;*.m4v",
        "MPEG Files (*.mpeg,*.mpg)|*.mpeg;*.mpg",
        "RM, RMVB (*.rm,*.rmvb)|*.rm;*.rmvb",
        "VOB Video Files (*.vob)|*.vob",
        "WMV Video Files (*.wmv)|*.wmv",
        "AAC Audio Files (*.aac)|*.aac",
        "AC3 Audio Files (*.ac3)|*.ac3",
        "M4A Audio Files (*.m4a)|*.m4a",
        "MP2, MP3 Audio Files (*.mp2, mp3)|*.mp2;*.mp3;",
        "OGG Audio Files (*.ogg)|*.ogg",
        "TTA Audio Files (*.tta)|*.tta",
        "WAV Audio Files (*.wav)|*.wav",
        "WMA Audio Files (*.wma)|*.wma",
        "AMR Audio files(*.amr)|*.amr",
    };
    return kFilters;
}

std::string TSourceFileList::LowerExtension(const std::string& path) {
    size_t nameStart = path.find_last_of(PathDelim);
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return std::string();
    return LowerAscii(path.substr(dot));
}

bool TSourceFileList::IsAcceptedExtension(const std::string& lowerExt) {
    const auto& list = AcceptedExtensions();
    return std::find(list.begin(), list.end(), lowerExt) != list.end();
}

size_t TSourceFileList::CharacterCount(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

int TSourceFileList::FindRow(const std::string& fileName) const {
    for (int r = 0; r < grid_.RowCount(); ++r)
        if (grid_.Rows[static_cast<size_t>(r)][sfFileName] == fileName)
            return r;
    return -1;
}

void TSourceFileList::ShowOpenError(const std::string& path) const {
    // One box per file; the name below the text tells which of many it is.
    lib_.ShowMsg(std::string(OpenErrorText) + "\n" + path, mkWarning);
}

void TSourceFileList::AddSourceFiles(const std::vector<std::string>& paths) {
    std::unique_ptr<IMediaGraph> graph = graphs_ ? graphs_() : nullptr;
    bool first = true;
    for (const std::string& path : paths) {
        // Between files, so the busy window spins and a long list of files
        // never freezes the window.
        if (!first)
            lib_.Pump().ProcessMessages();
        first = false;

        std::string ext = LowerExtension(path);
        if (FindRow(path) >= 0)
            continue;
        if (!IsAcceptedExtension(ext))
            continue;
        const std::optional<std::int64_t> seconds =
            TFrmInitFileForm::ProbeDuration(path, graph.get());
        if (!seconds) {
            ShowOpenError(path);
            continue;
        }
        // A file under a second shows 00:00:00 and is converted whole.
        const std::string duration = lib_.SecondsToTimeText(*seconds);
        std::int64_t size = 0;
        try {
            size = TFrmInitFileForm::ReadFileSize(path);
        } catch (const std::exception& e) {
            // Probed, yet gone or locked by now: the encoder could not read it
            // either, so it is reported like any unreadable file.
            lib_.AppFunc().WriteLog(e.what());
            ShowOpenError(path);
            continue;
        }
        // A re-entrant event during the warning box may have added it.
        if (FindRow(path) >= 0)
            continue;
        TSourceFileRow row;
        row[sfCheck] = "True";
        row[sfFileName] = path;
        row[sfSize] = lib_.SizeToText(size);
        row[sfDuration] = duration;
        row[sfStartTime] = kZeroTime;
        row[sfEndTime] = row[sfDuration];
        row[sfCutTime] = row[sfDuration];
        grid_.AppendRow(std::move(row));
    }
    graph.reset();
    if (grid_.RowCount() > 0) {
        grid_.SetSelected(0, true);
        preview_.PlaceMarkers();
    }
}

void TSourceFileList::RemoveSelectedRows() {
    if (grid_.SelectedCount() == 0)
        return;
    lib_.Pump().ProcessMessages();
    // Rows are keyed by their unique path, so the anchor survives rows that
    // events change while messages are handled.
    std::string anchor;
    bool hasAnchor = false;
    if (grid_.Focused > 0 && grid_.ValidRow(grid_.Focused - 1)) {
        anchor = grid_.Field(grid_.Focused - 1, sfFileName);
        hasAnchor = true;
    }
    {
        UpdateLock lock(grid_);
        while (grid_.SelectedCount() > 0) {
            lib_.Pump().ProcessMessages();
            int r = grid_.FirstSelected();
            if (r < 0)
                break;
            if (hasAnchor && grid_.Field(r, sfFileName) == anchor)
                hasAnchor = false;
            grid_.DeleteRow(r);
        }
        if (hasAnchor) {
            int r = FindRow(anchor);
            if (r >= 0) {
                grid_.SetFocused(r);
                grid_.SetSelected(r, true);
            }
        }
    }
}

bool TSourceFileList::ClearSourceFiles() {
    try {
        grid_.ClearRows();
        return true;
    } catch (const std::exception& e) {
        lib_.AppFunc().WriteLog(std::string("ClearSourceFiles: ") + e.what());
        return false;
    }
}

void TSourceFileList::btnRemoveFileClick() {
    RemoveSelectedRows();
    if (grid_.RowCount() == 0)
        preview_.ResetTrimBar();
    preview_.StopPlay();
    preview_.PlaceMarkers();
}

void TSourceFileList::btnClearFileClick() {
    ClearSourceFiles();
    preview_.StopPlay();
    preview_.ResetTrimBar();
}

void TSourceFileList::dxTreeSourceFileInfoKeyDown(int key) {
    preview_.PlaceMarkers();
    if (key != VK_DELETE)
        return;
    RemoveSelectedRows();
    preview_.StopPlay();
    if (grid_.RowCount() == 0)
        preview_.ResetTrimBar();
}

void TSourceFileList::dxTreeSourceFileInfoKeyUp(int) {
    preview_.PlaceMarkers();
}

void TSourceFileList::dxTreeSourceFileInfoClick() {
    preview_.PlaceMarkers();
}

void TSourceFileList::dxTreeSourceFileInfoEndDrag(bool overGrid) {
    if (!overGrid)
        btnRemoveFileClick();
}

void TSourceFileList::FormDropFiles(const std::vector<std::string>& names) {
    std::vector<std::string> taken;
    taken.reserve(names.size());
    for (const std::string& name : names) {
        if (CharacterCount(name) <= MaxDroppedPathLength) {
            taken.push_back(name);
            continue;
        }
        // A cut name would point at another file or none; the file is left
        // out, and said so when it is one the list would have taken.
        lib_.AppFunc().WriteLog("Dropped path too long, not added: " + name);
        if (IsAcceptedExtension(LowerExtension(name)) && FindRow(name) < 0)
            ShowOpenError(name);
    }
    const bool folders = std::any_of(taken.begin(), taken.end(), IsFolderPath);
    if (!folders || initForm_.Visible) {
        AddSourceFiles(ExpandFolders(taken));
        return;
    }
    // A drop stores no open-dialog folder.
    storeFolder_ = false;
    initForm_.PendingFiles = std::move(taken);
    initForm_.ShowModal();
}

std::vector<std::string> TSourceFileList::ExpandFolders(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (!IsFolderPath(path)) {
            files.push_back(path);
            continue;
        }
        TFolderListing listing = ListFolderFiles(
            path, [](const std::string& name) { return IsAcceptedExtension(LowerExtension(name)); },
            [this] { lib_.Pump().ProcessMessages(); });
        for (const std::string& unreadable : listing.Unreadable)
            lib_.AppFunc().WriteLog("Folder not read: " + unreadable);
        files.insert(files.end(), std::make_move_iterator(listing.Files.begin()),
                     std::make_move_iterator(listing.Files.end()));
    }
    return files;
}

void TSourceFileList::btnOpenFileClick() {
    // Files of the previous Open are still being added.
    if (initForm_.Visible)
        return;
    std::string initDir = initDirs_.LoadInitDir();
    std::vector<std::string> chosen;
    bool confirmed = lib_.Dialogs().OpenFiles(std::string(), initDir, OpenDialogFilters(), chosen);
    std::vector<std::string> paths;
    if (confirmed) {
        for (const std::string& p : chosen)
            if (std::find(paths.begin(), paths.end(), p) == paths.end())
                paths.push_back(p);
        if (!chosen.empty())
            dialogFileName_ = chosen.front();
    }
    storeFolder_ = confirmed;
    initForm_.PendingFiles = std::move(paths);
    initForm_.ShowModal();
}

void TSourceFileList::StoreInitDir() {
    // A cancelled dialog leaves the stored folder as it was.
    if (!storeFolder_)
        return;
    size_t slash = dialogFileName_.find_last_of(PathDelim);
    if (slash == std::string::npos)
        return;
    initDirs_.SaveInitDir(dialogFileName_.substr(0, slash + 1));
}
