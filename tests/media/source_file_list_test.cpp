// The source file list: adding with its checks, removing with the anchor rule,
// the commands and their preview calls, drops and the Open command.
#include <gtest/gtest.h>

#include <algorithm>

#include "MediaTestKit.h"

using namespace media_test;

namespace {

const std::string kOpenError = "文件打开错误，请检测文件或者安装新的解码器.";

using Strings = std::vector<std::string>;

TEST(SourceFileListTest, NewRowFieldsInOrder) {
    ListRig rig;
    std::string path = rig.AddFile("song.mp3", 205500, 2048);
    rig.List.AddSourceFiles({path});
    ASSERT_EQ(rig.Grid.RowCount(), 1);
    const auto& row = rig.Grid.Rows[0];
    EXPECT_EQ(row[sfCheck], "True");
    EXPECT_EQ(row[sfFileName], path);
    EXPECT_EQ(row[sfSize], rig.Lib.SizeToText(2048));
    EXPECT_EQ(row[sfDuration], "00:03:25");
    EXPECT_EQ(row[sfStartTime], "00:00:00");
    EXPECT_EQ(row[sfEndTime], "00:03:25");
    EXPECT_EQ(row[sfCutTime], "00:03:25");
    EXPECT_TRUE(rig.Dialogs.Messages.empty());
}

TEST(SourceFileListTest, ExtensionsComparedInLowerCase) {
    const struct {
        const char* Name;
        bool Added;
    } cases[] = {
        {"a.mp3", true}, {"b.MP3", true},      {"c.Wav", true},         {"d.RMVB", true},
        {"e.3G2", true}, {"f.mpeg", true},     {"g.tta", true},         {"h.swf", true},
        {"i.mp4", true}, {"j.AMR", true},      {"k.txt", false},        {"l.mkv", false},
        {"m", false},    {"n.mp3.bak", false}, {"dir.mp3/file", false}, {"o.", false},
        {".mp3", true},  {"p.mp", false},      {"q.wmaa", false},       {"r.m4a", true},
        {"s.MOV", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ListRig rig;
        std::string path = rig.AddFile(c.Name, 5000);
        rig.List.AddSourceFiles({path});
        EXPECT_EQ(rig.Grid.RowCount(), c.Added ? 1 : 0);
        EXPECT_TRUE(rig.Dialogs.Messages.empty()) << "other types are skipped silently";
    }
}

TEST(SourceFileListTest, ExtensionIsTheFileNamesLastDotOn) {
    const struct {
        const char* Path;
        const char* Ext;
    } cases[] = {{"/a/b.MP3", ".mp3"},      {"/a.b/c", ""}, {"/a/b.tar.GZ", ".gz"}, {"noext", ""},
                 {"/a/.hidden", ".hidden"}, {"/a/b.", "."}, {"/a/名字.WAV", ".wav"}};
    for (const auto& c : cases)
        EXPECT_EQ(TSourceFileList::LowerExtension(c.Path), c.Ext) << c.Path;
}

TEST(SourceFileListTest, DuplicatesAreSkippedExactlyAndSilently) {
    ListRig rig;
    std::string a = rig.AddFile("Song.mp3", 5000);
    std::string upper = rig.AddFile("SONG.mp3", 5000);
    rig.List.AddSourceFiles({a, a});
    rig.List.AddSourceFiles({a});
    EXPECT_EQ(rig.Paths(), Strings({a}));
    // Another letter case is another file name.
    rig.List.AddSourceFiles({upper, a});
    EXPECT_EQ(rig.Paths(), Strings({a, upper}));
    EXPECT_TRUE(rig.Dialogs.Messages.empty());
}

TEST(SourceFileListTest, ShortFilesAreAddedUnreadableOnesNamedInTheirWarning) {
    ListRig rig;
    std::string ok1 = rig.AddFile("ok1.wav", 1500);
    std::string shortFile = rig.AddFile("short.wav", 900);
    std::string broken = rig.AddFile("broken.mp3", 0);
    rig.Durations.erase(broken); // does not render
    std::string ok2 = rig.AddFile("ok2.wav", 61000);
    std::string lost = rig.AddFile("lost.ogg", 0);
    rig.Durations.erase(lost);
    rig.List.AddSourceFiles({ok1, shortFile, broken, ok2, lost});
    EXPECT_EQ(rig.Paths(), Strings({ok1, shortFile, ok2}));
    const struct {
        int Row;
        const char* Time; // Duration, End Time and Cut Time
    } rows[] = {{0, "00:00:01"}, {1, "00:00:00"}, {2, "00:01:01"}};
    for (const auto& r : rows) {
        EXPECT_EQ(rig.Grid.Field(r.Row, sfDuration), r.Time);
        EXPECT_EQ(rig.Grid.Field(r.Row, sfStartTime), "00:00:00");
        EXPECT_EQ(rig.Grid.Field(r.Row, sfEndTime), r.Time);
        EXPECT_EQ(rig.Grid.Field(r.Row, sfCutTime), r.Time);
    }
    ASSERT_EQ(rig.Dialogs.Messages.size(), 2u);
    EXPECT_EQ(rig.Dialogs.Messages[0].Text, kOpenError + "\n" + broken);
    EXPECT_EQ(rig.Dialogs.Messages[1].Text, kOpenError + "\n" + lost);
    for (const auto& m : rig.Dialogs.Messages) {
        EXPECT_EQ(m.Kind, mkWarning);
        EXPECT_EQ(m.Title, "Velmora");
    }
}

TEST(SourceFileListTest, ProbedFileWhoseSizeCannotBeReadIsReportedNotAdded) {
    ListRig rig;
    std::string gone = rig.Media.Folder() + "gone.wav";
    rig.Durations[gone] = 5000; // probes, but no file on disk
    std::string ok = rig.AddFile("ok.wav", 5000);
    rig.List.AddSourceFiles({gone, ok});
    EXPECT_EQ(rig.Paths(), Strings({ok}));
    ASSERT_EQ(rig.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(rig.Dialogs.Messages[0].Text, kOpenError + "\n" + gone);
    for (const auto& row : rig.Grid.Rows)
        for (const auto& field : row.Fields)
            EXPECT_FALSE(field.empty()) << "no half-filled row";
}

TEST(SourceFileListTest, OneProbingGraphPerCall) {
    ListRig rig;
    Strings paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(rig.AddFile("f" + std::to_string(i) + ".wav", 3000));
    rig.List.AddSourceFiles(paths);
    EXPECT_EQ(rig.GraphsMade, 1);
    rig.List.AddSourceFiles({});
    EXPECT_EQ(rig.GraphsMade, 2);
    EXPECT_EQ(rig.Grid.RowCount(), 5);
}

TEST(SourceFileListTest, FirstRowJoinsTheSelectionAfterAdding) {
    const struct {
        const char* What;
        int Existing;     // rows before
        Strings Selected; // of the existing rows
        int Adding;       // valid files added
        std::vector<int> WantSelected;
        int WantPlaceMarkers;
    } cases[] = {
        {"into an empty list", 0, {}, 2, {0}, 1},
        {"nothing valid into an empty list", 0, {}, 0, {}, 0},
        {"keeps an existing selection", 3, {"e2"}, 1, {0, 2}, 1},
        {"first row already selected", 2, {"e0"}, 1, {0}, 1},
        {"nothing new, still selects the first row", 2, {"e1"}, 0, {0, 1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        ListRig rig;
        Strings existing;
        for (int i = 0; i < c.Existing; ++i)
            existing.push_back(rig.AddFile("e" + std::to_string(i) + ".wav", 4000));
        rig.List.AddSourceFiles(existing);
        for (int r = 0; r < rig.Grid.RowCount(); ++r)
            rig.Grid.SetSelected(r, false);
        for (const auto& name : c.Selected)
            rig.Grid.SetSelected(
                std::find(existing.begin(), existing.end(), rig.Media.Folder() + name + ".wav") -
                    existing.begin(),
                true);
        rig.Preview.Calls.clear();
        Strings adding;
        for (int i = 0; i < c.Adding; ++i)
            adding.push_back(rig.AddFile("n" + std::to_string(i) + ".wav", 4000));
        rig.List.AddSourceFiles(adding);
        EXPECT_EQ(rig.SelectedRows(), c.WantSelected);
        EXPECT_EQ(std::count(rig.Preview.Calls.begin(), rig.Preview.Calls.end(), "PlaceMarkers"),
                  c.WantPlaceMarkers);
    }
}

TEST(SourceFileListTest, EventsRunBetweenFilesWhileAdding) {
    ListRig rig;
    Strings paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(rig.AddFile("f" + std::to_string(i) + ".wav", 3000));
    std::vector<int> rowsSeen;
    rig.Pump.OnEvents = [&] { rowsSeen.push_back(rig.Grid.RowCount()); };
    rig.List.AddSourceFiles(paths);
    EXPECT_EQ(rowsSeen, (std::vector<int>{1, 2, 3}));
}

// Anchor rule: the row before the focused one stays focused and selected,
// unless it is removed itself.
TEST(SourceFileListTest, RemoveSelectedRowsAnchorRule) {
    const struct {
        const char* What;
        int Rows;
        std::vector<int> Selected;
        int Focused;
        Strings WantLeft;
        std::string WantFocused; // "" for none
        Strings WantSelected;
    } cases[] = {
        {"row above the focus not selected", 5, {3, 4}, 3, {"r0", "r1", "r2"}, "r2", {"r2"}},
        {"row above the focus selected too", 5, {2, 3}, 3, {"r0", "r1", "r4"}, "", {}},
        {"row above the focus removed too", 5, {1, 2}, 2, {"r0", "r3", "r4"}, "", {}},
        {"focus on the first row", 3, {0}, 0, {"r1", "r2"}, "", {}},
        {"no focus", 3, {1}, -1, {"r0", "r2"}, "", {}},
        {"focused row not selected", 4, {0}, 2, {"r1", "r2", "r3"}, "r1", {"r1"}},
        {"all rows", 3, {0, 1, 2}, 1, {}, "", {}},
        {"nothing selected", 3, {}, 2, {"r0", "r1", "r2"}, "r2", {}},
        {"scattered", 6, {0, 2, 5}, 5, {"r1", "r3", "r4"}, "r4", {"r4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        ListRig rig;
        Strings paths;
        for (int i = 0; i < c.Rows; ++i)
            paths.push_back(rig.AddFile("r" + std::to_string(i) + ".wav", 3000));
        rig.List.AddSourceFiles(paths);
        for (int r = 0; r < c.Rows; ++r)
            rig.Grid.SetSelected(r, false);
        for (int r : c.Selected)
            rig.Grid.SetSelected(r, true);
        rig.Grid.SetFocused(c.Focused);
        rig.List.RemoveSelectedRows();
        Strings left;
        for (const auto& p : rig.Paths())
            left.push_back(std::filesystem::path(p).stem().string());
        EXPECT_EQ(left, c.WantLeft);
        std::string focused =
            rig.Grid.ValidRow(rig.Grid.Focused)
                ? std::filesystem::path(rig.Grid.Field(rig.Grid.Focused, sfFileName))
                      .stem()
                      .string()
                : "";
        EXPECT_EQ(focused, c.WantFocused);
        Strings selected;
        for (int r : rig.SelectedRows())
            selected.push_back(left[static_cast<size_t>(r)]);
        EXPECT_EQ(selected, c.WantSelected);
        EXPECT_FALSE(rig.Grid.UpdatesLocked);
    }
}

TEST(SourceFileListTest, RemovalHandlesEventsBetweenDeletionsWithPaintingHeld) {
    ListRig rig;
    Strings paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(rig.AddFile("r" + std::to_string(i) + ".wav", 3000));
    rig.List.AddSourceFiles(paths);
    for (int r = 0; r < 4; ++r)
        rig.Grid.SetSelected(r, true);
    std::vector<std::pair<int, bool>> seen;
    rig.Pump.OnEvents = [&] { seen.emplace_back(rig.Grid.RowCount(), rig.Grid.UpdatesLocked); };
    rig.List.RemoveSelectedRows();
    // Once before the anchor is taken, then before each deletion.
    const std::vector<std::pair<int, bool>> want = {
        {4, false}, {4, true}, {3, true}, {2, true}, {1, true}};
    EXPECT_EQ(seen, want);
    EXPECT_FALSE(rig.Grid.UpdatesLocked);
}

TEST(SourceFileListTest, RemovalSurvivesAnEventThatChangesTheList) {
    ListRig rig;
    Strings paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(rig.AddFile("r" + std::to_string(i) + ".wav", 3000));
    rig.List.AddSourceFiles(paths);
    for (int r = 0; r < 5; ++r)
        rig.Grid.SetSelected(r, r >= 3);
    rig.Grid.SetFocused(3); // anchor r2
    int events = 0;
    rig.Pump.OnEvents = [&] {
        // A timer deletes the first row while the removal runs.
        if (++events == 2)
            rig.Grid.DeleteRow(0);
    };
    rig.List.RemoveSelectedRows();
    EXPECT_EQ(rig.Paths(), Strings({paths[1], paths[2]}));
    ASSERT_TRUE(rig.Grid.ValidRow(rig.Grid.Focused));
    EXPECT_EQ(rig.Grid.Field(rig.Grid.Focused, sfFileName), paths[2]);
    EXPECT_TRUE(rig.Grid.IsSelected(rig.Grid.Focused));
}

struct CommandRig : ListRig {
    explicit CommandRig(int rows, std::vector<int> selected) {
        Strings paths;
        for (int i = 0; i < rows; ++i)
            paths.push_back(AddFile("c" + std::to_string(i) + ".wav", 3000));
        List.AddSourceFiles(paths);
        for (int r = 0; r < rows; ++r)
            Grid.SetSelected(r, false);
        for (int r : selected)
            Grid.SetSelected(r, true);
        Preview.Calls.clear();
    }
};

TEST(SourceFileListTest, CommandsKeepThePreviewInStep) {
    const struct {
        const char* What;
        int Rows;
        std::vector<int> Selected;
        std::function<void(TSourceFileList&)> Run;
        int WantRows;
        Strings WantCalls;
    } cases[] = {
        {"remove some",
         3,
         {1},
         [](TSourceFileList& l) { l.btnRemoveFileClick(); },
         2,
         {"StopPlay", "PlaceMarkers"}},
        {"remove the last rows",
         2,
         {0, 1},
         [](TSourceFileList& l) { l.btnRemoveFileClick(); },
         0,
         {"ResetTrimBar", "StopPlay", "PlaceMarkers"}},
        {"remove with nothing selected",
         2,
         {},
         [](TSourceFileList& l) { l.btnRemoveFileClick(); },
         2,
         {"StopPlay", "PlaceMarkers"}},
        {"clear",
         3,
         {0},
         [](TSourceFileList& l) { l.btnClearFileClick(); },
         0,
         {"StopPlay", "ResetTrimBar"}},
        {"key down, not Delete",
         3,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoKeyDown(40); },
         3,
         {"PlaceMarkers"}},
        {"Delete key",
         3,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoKeyDown(46); },
         2,
         {"PlaceMarkers", "StopPlay"}},
        {"Delete key on the last row",
         1,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoKeyDown(VK_DELETE); },
         0,
         {"PlaceMarkers", "StopPlay", "ResetTrimBar"}},
        {"key up",
         3,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoKeyUp(46); },
         3,
         {"PlaceMarkers"}},
        {"click",
         3,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoClick(); },
         3,
         {"PlaceMarkers"}},
        {"double click",
         3,
         {0},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoDblClick(); },
         3,
         {}},
        {"drag released over the grid",
         3,
         {0, 1},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoEndDrag(true); },
         3,
         {}},
        {"drag released elsewhere",
         3,
         {0, 1},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoEndDrag(false); },
         1,
         {"StopPlay", "PlaceMarkers"}},
        {"all rows dragged out",
         2,
         {0, 1},
         [](TSourceFileList& l) { l.dxTreeSourceFileInfoEndDrag(false); },
         0,
         {"ResetTrimBar", "StopPlay", "PlaceMarkers"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        CommandRig rig(c.Rows, c.Selected);
        EXPECT_TRUE(rig.List.dxTreeSourceFileInfoDragOver());
        c.Run(rig.List);
        EXPECT_EQ(rig.Grid.RowCount(), c.WantRows);
        EXPECT_EQ(rig.Preview.Calls, c.WantCalls);
    }
}

std::string PathOfLength(const std::string& folder, size_t length, const std::string& ext,
                         const std::string& filler = "a") {
    std::string path = folder + "/";
    size_t fillerChars = TSourceFileList::CharacterCount(filler);
    // Folders of 40 characters keep every name under the system's 255 bytes.
    for (int n = 1; TSourceFileList::CharacterCount(path) + fillerChars + ext.size() <= length; ++n)
        path += n % 40 == 0 ? std::string("/") : filler;
    while (TSourceFileList::CharacterCount(path) + ext.size() < length)
        path += "b";
    return path + ext;
}

TEST(SourceFileListTest, DroppedPathsUpTo254CharactersAreAdded) {
    ListRig rig;
    std::string folder = rig.Media.Folder() + "d";
    const struct {
        const char* What;
        size_t Length;
        std::string Ext;
        std::string Filler;
        bool Added;
        bool Warned;
    } cases[] = {
        {"254 characters", 254, ".wav", "a", true, false},
        {"255 characters", 255, ".wav", "a", false, true},
        {"300 characters", 300, ".mp3", "a", false, true},
        {"254 characters of 3 bytes each", 254, ".wav", "名", true, false},
        {"too long and not a media type", 300, ".txt", "a", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::string path = PathOfLength(folder, c.Length, c.Ext, c.Filler);
        ASSERT_EQ(TSourceFileList::CharacterCount(path), c.Length);
        rig.Durations[path] = 4000;
        // No file on disk is needed for the long ones: they are never probed.
        if (c.Added) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            WriteText(path, "x");
        }
        rig.Dialogs.Messages.clear();
        rig.Grid.ClearRows();
        rig.List.FormDropFiles({path});
        EXPECT_EQ(rig.Grid.RowCount(), c.Added ? 1 : 0);
        EXPECT_EQ(rig.Dialogs.Messages.size(), c.Warned ? 1u : 0u);
        if (rig.Grid.RowCount() == 1) {
            EXPECT_EQ(rig.Grid.Field(0, sfFileName), path) << "never cut";
        }
    }
}

TEST(SourceFileListTest, DropAddsInOrderWithoutBusyWindowOrFolder) {
    ListRig rig;
    std::string b = rig.AddFile("b.wav", 3000);
    std::string a = rig.AddFile("a.wav", 3000);
    std::string text = rig.AddFile("readme.txt", 3000);
    bool shown = false;
    rig.InitForm.OnShowRequested = [&] { shown = true; };
    rig.List.FormDropFiles({b, text, a, b});
    EXPECT_EQ(rig.Paths(), Strings({b, a}));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(std::filesystem::exists(rig.App.Folder() + "Config"));
}

TEST(SourceFileListTest, DroppedFolderAddsItsFilesUnderTheBusyWindow) {
    ListRig rig;
    const std::string loose = rig.AddFile("loose.mp3", 3000);
    const std::string ten = rig.AddFile("album/10.mp3", 3000);
    const std::string two = rig.AddFile("album/2.mp3", 3000);
    const std::string deep = rig.AddFile("album/cd2/1.ogg", 3000);
    rig.AddFile("album/cover.jpg", 3000);
    rig.AddFile("album/.hidden.mp3", 3000);
    bool shownWhileEmpty = false;
    rig.InitForm.OnShowRequested = [&] { shownWhileEmpty = rig.Grid.RowCount() == 0; };
    rig.List.FormDropFiles({loose, rig.Media.Folder() + "album", loose});
    EXPECT_TRUE(shownWhileEmpty) << "the busy window shows before the adding";
    EXPECT_EQ(rig.Paths(), Strings({loose, two, ten, deep}));
    EXPECT_FALSE(rig.InitForm.Visible);
    EXPECT_FALSE(std::filesystem::exists(rig.App.Folder() + "Config")) << "no folder stored";
}

TEST(SourceFileListTest, OpenDialogFilters) {
    ListRig rig;
    rig.List.btnOpenFileClick();
    ASSERT_EQ(rig.Dialogs.OpenCalls.size(), 1u);
    const auto& filters = rig.Dialogs.OpenCalls[0].Filters;
    ASSERT_EQ(filters.size(), 20u);
    EXPECT_EQ(
        filters[0],
        "Supported Files|*.3gp;*.mp4;*.m4v;*.mpeg;*.3g2;*.mpg;*.avi;*.asf;*.mov;*.wmv;*.flv;"
        "*.swf;*.rm;*.rmvb;*.vob;*.aac;*.ac3;*.m4a;*.mp2;*.mp3;*.ogg;*.tta;*.wav;*.wma;*.amr;");
    EXPECT_EQ(filters[5], "FLV ,SWF Flash Video (*.flv,swf)|*.flv;*.swf");
    EXPECT_EQ(filters[14], "MP2, MP3 Audio Files (*.mp2, mp3)|*.mp2;*.mp3;");
    EXPECT_EQ(filters[19], "AMR Audio files(*.amr)|*.amr");
    // Every type the dialog offers is one the list takes.
    for (const auto& f : filters) {
        std::string patterns = f.substr(f.find('|') + 1);
        for (const auto& p : rig.Lib.SplitText(patterns, ';'))
            if (!p.empty()) {
                EXPECT_TRUE(TSourceFileList::IsAcceptedExtension(p.substr(1))) << p;
            }
    }
}

TEST(SourceFileListTest, OpenAddsChosenFilesOnceAndStoresTheirFolder) {
    ListRig rig;
    std::string a = rig.AddFile("sub/a.wav", 3000);
    std::string b = rig.AddFile("sub/b.mp3", 3000);
    std::string c = rig.AddFile("other/c.mp3", 3000);
    rig.Dialogs.OpenAnswers.push_back({true, {a, b, a, c, b}});
    std::vector<Strings> shown;
    rig.InitForm.OnShowRequested = [&] { shown.push_back(rig.InitForm.PendingFiles); };
    rig.List.btnOpenFileClick();
    EXPECT_EQ(shown, std::vector<Strings>({{a, b, c}}));
    EXPECT_EQ(rig.Dialogs.OpenCalls[0].InitialDir, rig.Media.Folder());
    EXPECT_EQ(rig.Paths(), Strings({a, b, c}));
    EXPECT_FALSE(rig.InitForm.Visible);
    EXPECT_EQ(rig.Proc.LoadInitDir(), rig.Media.Folder() + "sub/");
    EXPECT_EQ(rig.List.DialogFileName(), a);

    // The next dialog starts there; cancelling it changes neither list nor folder.
    rig.List.btnOpenFileClick();
    EXPECT_EQ(shown, std::vector<Strings>({{a, b, c}, {}}));
    EXPECT_EQ(rig.Dialogs.OpenCalls[1].InitialDir, rig.Media.Folder() + "sub/");
    EXPECT_EQ(rig.Paths(), Strings({a, b, c}));
    EXPECT_EQ(rig.Proc.LoadInitDir(), rig.Media.Folder() + "sub/");
}

TEST(SourceFileListTest, OpenDuringTheAddingOfAnOpenIsIgnored) {
    ListRig rig;
    Strings first, second;
    for (int i = 0; i < 4; ++i) {
        first.push_back(rig.AddFile("a" + std::to_string(i) + ".wav", 3000));
        second.push_back(rig.AddFile("b" + std::to_string(i) + ".wav", 3000));
    }
    rig.Dialogs.OpenAnswers.push_back({true, first});
    rig.Dialogs.OpenAnswers.push_back({true, second});
    bool nested = false;
    rig.Pump.OnEvents = [&] {
        // Ctrl+O pressed while the first files are being probed.
        if (rig.Grid.RowCount() == 2 && !nested) {
            nested = true;
            rig.List.btnOpenFileClick();
        }
    };
    rig.List.btnOpenFileClick();
    EXPECT_TRUE(nested);
    EXPECT_EQ(rig.Dialogs.OpenCalls.size(), 1u);
    EXPECT_EQ(rig.Paths(), first);
    // Once the window has closed, Open works again.
    rig.Pump.OnEvents = nullptr;
    rig.List.btnOpenFileClick();
    EXPECT_EQ(rig.Paths().size(), 8u);
}

TEST(SourceFileListTest, CancelledOpenStillShowsTheBusyWindowBriefly) {
    ListRig rig;
    std::int64_t shownAt = -1;
    rig.InitForm.OnShowRequested = [&] { shownAt = rig.Pump.NowMs; };
    rig.List.btnOpenFileClick();
    EXPECT_EQ(shownAt, 0);
    EXPECT_EQ(rig.Pump.NowMs, 300);
    EXPECT_FALSE(rig.InitForm.Visible);
    EXPECT_EQ(rig.Grid.RowCount(), 0);
    EXPECT_EQ(rig.Proc.LoadInitDir(), rig.Media.Folder());
    EXPECT_FALSE(std::filesystem::exists(rig.App.Folder() + "Config/UserSettings.ini"));
    EXPECT_TRUE(rig.Preview.Calls.empty());
}

// Whole path with the real probing graph: generated files of 0.36 s, 0.9 s
// and 1.5 s, and one that is no sound at all.
TEST(SourceFileListTest, RealFilesOfUnderAndOverOneSecond) {
    ListRig rig;
    rig.RealProbe = true;
    std::string effect = rig.Media.Folder() + "effect.mp3";
    std::string shortFile = rig.Media.Folder() + "short.wav";
    std::string longer = rig.Media.Folder() + "longer.WAV";
    ASSERT_TRUE(CachedFfmpeg(Tone(0.36) + " -c:a libmp3lame", effect));
    ASSERT_TRUE(CachedFfmpeg(Tone(0.9), shortFile));
    ASSERT_TRUE(CachedFfmpeg(Tone(1.5) + " -f wav", longer));
    std::string text = rig.Media.Folder() + "text.mp3";
    WriteText(text, "not sound");
    rig.List.AddSourceFiles({effect, shortFile, longer, text});
    ASSERT_EQ(rig.Paths(), Strings({effect, shortFile, longer}));
    const char* durations[] = {"00:00:00", "00:00:00", "00:00:01"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(rig.Grid.Field(r, sfDuration), durations[r]);
        EXPECT_EQ(rig.Grid.Field(r, sfEndTime), durations[r]);
        EXPECT_EQ(rig.Grid.Field(r, sfCutTime), durations[r]);
    }
    EXPECT_EQ(rig.Grid.Field(2, sfSize),
              rig.Lib.SizeToText(static_cast<std::int64_t>(std::filesystem::file_size(longer))));
    ASSERT_EQ(rig.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(rig.Dialogs.Messages[0].Text, kOpenError + "\n" + text);
}

} // namespace
