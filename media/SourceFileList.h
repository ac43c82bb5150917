// The source file list: adding, checking and removing the rows of the main
// window's grid, and the commands that work on it (Open, Remove, Clear, the
// grid's keys, clicks and drags, and files dropped from the desktop).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/InitDirStore.h"
#include "media/InitFileForm.h"
#include "media/MediaGraph.h"
#include "media/SourceFileGrid.h"

class TCommonLib;

// Virtual key of the Delete key.
inline constexpr int VK_DELETE = 46;

class TSourceFileList {
public:
    using TGraphFactory = std::function<std::unique_ptr<IMediaGraph>()>;

    // The warning for a file that cannot be read; the file's path follows
    // on the line below.
    static constexpr const char* OpenErrorText = "文件打开错误，请检测文件或者安装新的解码器.";
    // Longest dropped path taken (a 255-character name buffer).
    static constexpr size_t MaxDroppedPathLength = 254;

    // `initDirs` keeps the folder the open dialog starts in; `initForm` is the busy window the
    // Open command shows. `graphs` makes the temporary probing graph of each
    // AddSourceFiles call.
    TSourceFileList(TSourceFileGrid& grid, TCommonLib& lib, IInitDirStore& initDirs,
                    TFrmInitFileForm& initForm, IPreviewHooks& preview,
                    TGraphFactory graphs = CreateProbeGraph);
    TSourceFileList(const TSourceFileList&) = delete;
    TSourceFileList& operator=(const TSourceFileList&) = delete;

    TSourceFileGrid& Grid() const { return grid_; }

    // Appends a row for every new, accepted and readable path, in order.
    void AddSourceFiles(const std::vector<std::string>& paths);
    // Deletes the selected rows; the row above the focused one keeps the focus.
    void RemoveSelectedRows();
    // Deletes every row; false when the grid failed.
    bool ClearSourceFiles();

    // Commands.
    void btnOpenFileClick();
    void btnRemoveFileClick();
    void btnClearFileClick();
    void dxTreeSourceFileInfoKeyDown(int key);
    void dxTreeSourceFileInfoKeyUp(int key);
    void dxTreeSourceFileInfoClick();
    void dxTreeSourceFileInfoDblClick() {}
    // Rows dragged over the grid itself are always accepted.
    bool dxTreeSourceFileInfoDragOver() const { return true; }
    // End of a row drag; `overGrid` when released over the grid itself.
    void dxTreeSourceFileInfoEndDrag(bool overGrid);
    // Files and folders dropped from the desktop, in the drop's order. A
    // folder adds the accepted files inside it (see FolderFiles.h), under the
    // busy window, since a large tree takes a while to probe.
    void FormDropFiles(const std::vector<std::string>& names);
    // The paths with every folder replaced by the accepted files inside it.
    std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

    // The path of the first file chosen in the last confirmed open dialog.
    const std::string& DialogFileName() const { return dialogFileName_; }

    // Lower-cased extension with its dot ("" when the name has none).
    static std::string LowerExtension(const std::string& path);
    static bool IsAcceptedExtension(const std::string& lowerExt);
    // The 23 extensions of the list, and the two more the open dialog offers.
    static const std::vector<std::string>& AcceptedExtensions();
    // "Description|patterns", in the open dialog's order.
    static const std::vector<std::string>& OpenDialogFilters();
    // Number of characters (UTF-8 code points) of a text.
    static size_t CharacterCount(const std::string& text);

private:
    int FindRow(const std::string& fileName) const;
    void ShowOpenError(const std::string& path) const;
    void StoreInitDir();

    TSourceFileGrid& grid_;
    TCommonLib& lib_;
    IInitDirStore& initDirs_;
    TFrmInitFileForm& initForm_;
    IPreviewHooks& preview_;
    TGraphFactory graphs_;
    std::string dialogFileName_;
    // Whether the busy window's run follows a confirmed dialog.
    bool storeFolder_ = false;
};
