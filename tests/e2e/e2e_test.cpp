// The whole program: a conversion to MP3 with the real encoder through the
// real windows, and the built program started as a process.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "shell/ShellFixture.h"
#include "ui/Program.h"

namespace {

namespace fs = std::filesystem;

std::string RunCommand(const std::string& cmd) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    std::array<char, 512> buf{};
    while (fgets(buf.data(), buf.size(), pipe.get()))
        out += buf.data();
    return out;
}

double DurationOf(const std::string& path) {
    std::string out =
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 \"" + path + "\"");
    return out.empty() ? -1.0 : std::atof(out.c_str());
}

// Screenshots go to the test's output folder and to the shared folder.
void Keep(const QImage& image, const std::string& name) {
    fs::create_directories(VELMORA_E2E_OUTPUT);
    image.save(QString::fromStdString(std::string(VELMORA_E2E_OUTPUT) + "/" + name));
    std::error_code ec;
    fs::create_directories("/work/screens", ec);
    if (!ec)
        image.save(QString::fromStdString("/work/screens/" + name));
}

void KeepFile(const std::string& from, const std::string& name) {
    QImage image(QString::fromStdString(from));
    if (!image.isNull())
        Keep(image, name);
}

// A program folder: the program, the encoder, the libraries, the help page.
void MakeProgramFolder(const fs::path& folder, bool withForm) {
    for (const char* name : {"velmora", "evc", "Res.so", "Form.so", "Help.html"}) {
        if (!withForm && std::string(name) == "Form.so")
            continue;
        fs::copy_file(std::string(VELMORA_BIN_DIR) + "/" + name, folder / name);
    }
    fs::create_directory(folder / "Config");
}

void Generate(const std::string& cmd) {
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

TEST(WholeProgram, DropConvertToMp3AndCloseThroughTheWindows) {
    TempDir folder;
    MakeProgramFolder(folder.Path(), true);
    TempDir media;
    const std::string tone = media.Folder() + "tone.wav";
    const std::string clip = media.Folder() + "clip.avi";
    Generate("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=4 \"" + tone + "\"");
    Generate("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=15:duration=3 -f lavfi "
             "-i sine=frequency=660:duration=3 -c:v mpeg4 -c:a libmp3lame -shortest \"" +
             clip + "\"");
    const std::string out = media.Folder() + "out";

    std::unique_ptr<IPlatform> platform = CreatePosixPlatform();
    ScriptedDialogs dialogs;
    QtEventPump pump;
    QtDispatcher dispatcher;
    QtMediaGraph player;
    TApplication app(*platform, dialogs, pump, dispatcher, player, folder.Folder());
    app.CustomProc.DefaultHome = [&] { return media.Folder(); };
    int exits = 0;
    MainWindow window(app, player.VideoWidget());
    ConvertingDialog converting(app.ConvertingForm, &window);
    OptionsDialog options(app.OptionForm);
    BusyWindow busy(app.InitFileForm, &window);
    app.MainForm.ExitProcess = [&] { ++exits; };
    app.CustomProc.ExitProcess = [] { FAIL() << "the job must not end the program"; };
    auto* qapp = qobject_cast<VelmoraApp*>(QCoreApplication::instance());
    ASSERT_NE(qapp, nullptr);
    qapp->KeyPreviewWindow = &window;
    app.ShowSplashModal = [](TFrmFlashForm& model) {
        SplashWindow splash(model);
        QTimer::singleShot(700, &splash,
                           [&splash] { Keep(splash.grab().toImage(), "splash.png"); });
        splash.RunModal();
    };

    ASSERT_TRUE(window.RunShowHandling());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Velmora 1.3");
    EXPECT_TRUE(dialogs.Messages.empty());

    // Files dropped from a file manager onto the list.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(tone)),
                  QUrl::fromLocalFile(QString::fromStdString(clip))});
    QWidget* viewport = window.Grid()->viewport();
    QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(40, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    ASSERT_EQ(app.MainForm.dxTreeSourceFileInfo.RowCount(), 2);

    // MP3, and the output folder through Ctrl+B and the folder browser.
    emit window.OutputTypeBox()->activated(2);
    fs::create_directory(out);
    dialogs.BrowseAnswers.push_back({true, out});
    QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(app.MainForm.edtOutputFolder.Text, out);
    QTest::qWait(200);
    Keep(window.grab(QRect(0, 0, 686, 486)).toImage(), "main_window.png");

    // The About box from Form.so: modal, closed by the user.
    QString aboutTitle;
    QTimer::singleShot(500, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            aboutTitle = box->windowTitle();
            Keep(box->grab().toImage(), "about_box.png");
            box->close();
        }
    });
    QTest::mouseClick(window.ButtonFor(app.MainForm.btnAbout), Qt::LeftButton);
    EXPECT_EQ(aboutTitle, "About Velmora");

    // The options dialog through Ctrl+I; Esc puts every list back.
    const int bitrate = app.OptionForm.cbbAudioBitrate.ItemIndex();
    QTest::keyClick(&window, Qt::Key_I, Qt::ControlModifier);
    ASSERT_TRUE(options.isVisible());
    emit options.ListFor(app.OptionForm.cbbAudioBitrate)->activated(0);
    QTest::qWait(100);
    Keep(options.grab().toImage(), "options_dialog.png");
    QTest::keyClick(&options, Qt::Key_Escape);
    EXPECT_FALSE(options.isVisible());
    EXPECT_EQ(app.OptionForm.cbbAudioBitrate.ItemIndex(), bitrate);

    // The converting dialog, photographed once the file bar has moved.
    bool photographed = false;
    int dialogShows = 0;
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (converting.isVisible())
            ++dialogShows;
        if (!photographed && converting.isVisible() &&
            app.ConvertingForm.ProgressBar1.Position() >= 1) {
            Keep(converting.grab().toImage(), "converting_dialog.png");
            photographed = true;
        }
    });
    watch.start();
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier); // returns when the job is done
    watch.stop();

    EXPECT_GT(dialogShows, 0);
    EXPECT_TRUE(photographed);
    EXPECT_FALSE(converting.isVisible());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(app.CustomProc.DoneCount, 2);
    for (const auto& m : dialogs.Messages)
        ADD_FAILURE() << "unexpected message: " << m.Text;
    EXPECT_NEAR(DurationOf(out + "/tone.mp3"), 4.0, 0.3);
    EXPECT_NEAR(DurationOf(out + "/clip.mp3"), 3.0, 0.3);
    std::string log = ReadFile(folder.Path() / "log.txt");
    size_t lines = 0;
    for (size_t at = log.find("parameter: "); at != std::string::npos;
         at = log.find("parameter: ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u);

    // Closing the window saves the settings and ends the program.
    window.close();
    EXPECT_EQ(exits, 1);
    std::string ini = ReadFile(folder.Path() / "Config" / "UserSettings.ini");
    EXPECT_NE(ini.find("[USRInfo]\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("OutDir=" + out + "\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SHWDDir=0\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SHUTDOWN=0\r\n"), std::string::npos) << ini;
    qapp->KeyPreviewWindow = nullptr;
}

TEST(WholeProgram, TheBuiltProgramStartsFromItsFolderAndKeepsItsSettingsWhenEnded) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    TempDir folder;
    MakeProgramFolder(folder.Path(), true);
    const std::string shot = folder.Folder() + "shot.png";
    std::string result = RunCommand(std::string("sh ") + VELMORA_E2E_SCRIPT + " \"" +
                                    folder.Folder() + "\" \"Velmora 1.3\" \"" + shot + "\"");
    EXPECT_EQ(result.find("nowindow"), std::string::npos) << result;
    EXPECT_EQ(result.find("hung"), std::string::npos) << result;
    EXPECT_NE(result.find("exit=0"), std::string::npos) << result;
    EXPECT_TRUE(fs::exists(shot));
    KeepFile(shot, "program_started.png");
    std::string windows = ReadFile(folder.Path() / "windows.txt");
    EXPECT_NE(windows.find("Velmora 1.3: viewable"), std::string::npos) << windows;
    std::string ini = ReadFile(folder.Path() / "Config" / "UserSettings.ini");
    EXPECT_NE(ini.find("[USRInfo]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("OutDir="), std::string::npos) << ini;
}

TEST(WholeProgram, WithoutFormLibraryOneMessageAndTheMainWindowNeverShows) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    TempDir folder;
    MakeProgramFolder(folder.Path(), false);
    const std::string shot = folder.Folder() + "shot.png";
    std::string result = RunCommand(std::string("sh ") + VELMORA_E2E_SCRIPT + " \"" +
                                    folder.Folder() + "\" \"Velmora\" \"" + shot + "\"");
    EXPECT_EQ(result.find("nowindow"), std::string::npos) << result;
    EXPECT_NE(result.find("exit=0"), std::string::npos) << result;
    std::string windows = ReadFile(folder.Path() / "windows.txt");
    EXPECT_NE(windows.find("Velmora: viewable"), std::string::npos) << windows;
    EXPECT_EQ(windows.find("Velmora 1.3: viewable"), std::string::npos) << windows;
    KeepFile(shot, "missing_form.png");
    // Ended before its settings were loaded: nothing was written over them.
    EXPECT_FALSE(fs::exists(folder.Path() / "Config" / "UserSettings.ini"));
}

} // namespace
