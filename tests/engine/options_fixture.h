// A complete conversion-procedures world on a temporary program folder: the
// main window and options dialog models, scripted dialogs and a platform
// whose folder creation can be refused below given folders (read-only media).
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/CustomProc.h"
#include "fakes/CoreRig.h"
#include "fakes/FakePlatform.h"
#include "shell/MainForm.h"

// Refuses to create anything below one of ReadOnlyRoots, like a read-only medium.
class ReadOnlyAwarePlatform : public FakePlatform {
public:
    using FakePlatform::FakePlatform;
    std::vector<std::string> ReadOnlyRoots;
    std::vector<std::string> Created;
    bool CreateFolders(const std::string& path) override {
        Created.push_back(path);
        for (const std::string& root : ReadOnlyRoots)
            if (path.rfind(root, 0) == 0 && !FakePlatform::FolderExists(path))
                return false;
        return FakePlatform::CreateFolders(path);
    }
};

struct ProcWorld {
    std::unique_ptr<IPlatform> Real = CreatePosixPlatform();
    ReadOnlyAwarePlatform Platform{Real.get()};
    FakeEventPump Pump;
    TCoreRig Core{Platform, Pump};
    TempDir& Dir = Core.Dir;
    ScriptedDialogs& Dialogs = Core.Dialogs;
    TAppFunc& AppFunc = Core.AppFunc;
    TCommonLib& Lib = Core.Lib;
    TFileFunc& FileFunc = Core.FileFunc;
    TSysFunc& SysFunc = Core.SysFunc;
    TFrmMainForm Main;
    TfrmOption Options;
    TCustomProc Proc{Lib, FileFunc, SysFunc, Main};

    ProcWorld() {
        Proc.AttachOptionForm(Options);
        Proc.DefaultHome = [this] { return Home(); };
    }

    std::string Home() const { return Dir.Folder() + "home/"; }
    std::string Config() const { return Dir.Folder() + "Config/"; }

    // What the main window does when it is first shown.
    void StartUp() {
        Proc.FillOptionLists();
        Proc.LoadUserSettings();
        Proc.ApplyProfile();
    }

    // The user picks an entry of a main-window list (its change event runs
    // ApplyProfile, as the main window wires it).
    void ChooseOutputType(int type) {
        Main.cbbOutputFiletype.SetItemIndex(type);
        Proc.ApplyProfile();
    }
    void ChooseProfile(int index) {
        Main.cbbProfile.SetItemIndex(index);
        Proc.ApplyProfile();
    }

    // Selected item texts in profile field order.
    std::vector<std::string> ProfileTexts() {
        std::vector<std::string> texts;
        for (SelectionList* l : Options.ProfileLists())
            texts.push_back(l->Text());
        return texts;
    }

    void WriteConfig(const std::string& name, const std::string& text) {
        std::filesystem::create_directories(Config());
        std::ofstream(Config() + name, std::ios::binary) << text;
    }
    std::string ReadConfig(const std::string& name) const { return ReadWhole(Config() + name); }

    static std::string ReadWhole(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Adds a source row as the list would hold it.
    void AddRow(const std::string& path, const std::string& start, const std::string& end,
                const std::string& duration = std::string()) {
        TSourceFileRow row;
        row[sfCheck] = "True";
        row[sfFileName] = path;
        row[sfDuration] = duration;
        row[sfStartTime] = start;
        row[sfEndTime] = end;
        Main.dxTreeSourceFileInfo.Rows.push_back(row);
    }

    std::vector<std::string> LogMessages() const { return Core.LogMessages(); }
};
