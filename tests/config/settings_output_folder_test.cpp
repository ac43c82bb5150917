#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/FakePlatform.h"
#include "fakes/Fakes.h"
#include "support/CommonLib.h"

namespace {

// Records the browser's title; refuses folder creation below ReadOnlyRoots.
struct BrowseDialogs : ScriptedDialogs {
    std::vector<std::string> Titles;
    bool BrowseFolder(const std::string& title, std::string& folder) override {
        Titles.push_back(title);
        return ScriptedDialogs::BrowseFolder(title, folder);
    }
};

struct ReadOnlyPlatform : FakePlatform {
    using FakePlatform::FakePlatform;
    std::vector<std::string> ReadOnlyRoots;
    bool CreateFolders(const std::string& path) override {
        for (const std::string& root : ReadOnlyRoots)
            if (path.rfind(root, 0) == 0 && !FolderExists(path))
                return false;
        return FakePlatform::CreateFolders(path);
    }
};

struct FolderWorld {
    TempDir Dir;
    std::unique_ptr<IPlatform> Real = CreateSystemPlatform();
    ReadOnlyPlatform Platform{Real.get()};
    BrowseDialogs Dialogs;
    FakeEventPump Pump;
    TAppFunc AppFunc{Dir.Folder()};
    TCommonLib Lib{Platform, Dialogs, Pump, AppFunc};

    std::string P(const std::string& rel) const { return Dir.Folder() + rel; }
    void Choose(const std::string& folder) { Dialogs.BrowseAnswers.push_back({true, folder}); }
    std::vector<std::string> Warnings() const {
        std::vector<std::string> texts;
        for (const auto& m : Dialogs.Messages) {
            EXPECT_EQ(m.Kind, mkWarning);
            EXPECT_EQ(m.Title, "Velmora");
            texts.push_back(m.Text);
        }
        return texts;
    }
};

TEST(OutputFolder, CancelKeepsTheCurrentFolderAndCreatesIt) {
    FolderWorld w;
    const std::string current = w.P("missing/out");
    EXPECT_EQ(w.Lib.SelectOutputFolder(current), current);
    EXPECT_TRUE(std::filesystem::is_directory(current));
    EXPECT_EQ(w.Dialogs.Titles, std::vector<std::string>{"Please select output folder:"});
    // Nothing is preselected in the browser.
    EXPECT_EQ(w.Dialogs.BrowseStarts, std::vector<std::string>{""});
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(OutputFolder, WritableChoiceIsTakenAndTheProbeRemoved) {
    FolderWorld w;
    std::filesystem::create_directories(w.P("chosen"));
    w.Choose(w.P("chosen"));
    EXPECT_EQ(w.Lib.SelectOutputFolder(w.P("old")), w.P("chosen"));
    EXPECT_FALSE(std::filesystem::exists(w.P("chosen/test")));
    EXPECT_TRUE(std::filesystem::is_empty(w.P("chosen")));
    EXPECT_TRUE(w.Dialogs.Messages.empty());
}

TEST(OutputFolder, RefusedChoicesKeepTheOldFolder) {
    struct Case {
        const char* name;
        std::string choice;
        const char* warning;
    };
    FolderWorld probe;
    const Case cases[] = {
        {"read-only medium", "ro/media", "这是一个只读目录."},
        {"missing folder", "nowhere/at/all", "非法路径."},
        {"empty path", "", "非法路径."},
        {"a file", "plain.txt", "非法路径."},
    };
    for (const Case& c : cases) {
        FolderWorld w;
        std::filesystem::create_directories(w.P("ro/media"));
        std::ofstream(w.P("plain.txt")) << "x";
        w.Platform.ReadOnlyRoots = {w.P("ro/")};
        w.Choose(c.choice.empty() ? "" : w.P(c.choice));
        const std::string current = w.P("keep");
        EXPECT_EQ(w.Lib.SelectOutputFolder(current), current) << c.name;
        EXPECT_EQ(w.Warnings(), std::vector<std::string>{c.warning}) << c.name;
        EXPECT_TRUE(std::filesystem::is_directory(current)) << c.name;
        EXPECT_FALSE(std::filesystem::exists(w.P(c.choice) + "/test")) << c.name;
    }
}

TEST(OutputFolder, AnExistingTestFolderIsLeftAloneAndDoesNotFakeTheProbe) {
    FolderWorld w;
    std::filesystem::create_directories(w.P("ro/media/test"));
    std::filesystem::create_directories(w.P("ok/test"));
    w.Platform.ReadOnlyRoots = {w.P("ro/")};
    // Read-only although a "test" folder exists there.
    w.Choose(w.P("ro/media"));
    EXPECT_EQ(w.Lib.SelectOutputFolder(w.P("keep")), w.P("keep"));
    EXPECT_EQ(w.Warnings(), std::vector<std::string>{"这是一个只读目录."});
    // Writable: accepted, and the user's own empty "test" folder survives.
    w.Dialogs.Messages.clear();
    w.Choose(w.P("ok"));
    EXPECT_EQ(w.Lib.SelectOutputFolder(w.P("keep")), w.P("ok"));
    EXPECT_TRUE(std::filesystem::is_directory(w.P("ok/test")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(w.P("ok")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(OutputFolder, BrowseForFolderReportsTheChoice) {
    FolderWorld w;
    std::string folder = "stale";
    EXPECT_FALSE(w.Lib.BrowseForFolder("T", folder));
    EXPECT_EQ(folder, "");
    w.Choose("/a/b");
    EXPECT_TRUE(w.Lib.BrowseForFolder("T", folder));
    EXPECT_EQ(folder, "/a/b");
}

} // namespace
