// Save, Test Run and the pickers from the main window, with real files and a real started
// program.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <functional>
#include <vector>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "disc/ui/disc_check_window.h"
#include "hotspot/hand_off.h"
#include "hotspot/ui/hotspot_editor.h"
#include "disc/ui/burn_dialog.h"
#include "staging/ui/signing_dialog.h"
#include "staging/ui/staging_folder_dialog.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/linux_player.h"
#include "disc/disc_project.h"
#include "test_support/window_fixture.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/progress.h"

using torvana::toolkit::Answer;

class SaveTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;
    std::string stage;

    // Player stand-ins: the Windows player the build copies, and the Linux player Test Run
    // starts, a real program that leaves a mark in the folder it was started in.
    void makePlayer() {
        QDir(fx.dirPath()).mkdir("program");
        torvana::replaceFileContents(fx.path("program/autorun.exe"), "MZ");
        makeLinuxPlayerStandIn(fx.path("program"));
        const std::string player = fx.path("program/torvana-player");
        torvana::replaceFileContents(player, "#!/bin/sh\necho started > started.txt\n");
        QFile::setPermissions(QString::fromStdString(player), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        fx.document().setProgramFolder(fx.path("program") + "/");
    }

    void openProject(int hotspots) {
        torvana::replaceFileContents(fx.path("back.gif"), disctest::gifBytes(640, 480));
        torvana::replaceFileContents(fx.path("r.gif"), disctest::gifBytes(20, 10));
        torvana::Project d;
        d.hotspotCount = hotspots;
        d.stagingFolder = stage;
        d.backgroundImage = fx.path("back.gif");
        for (int i = 1; i <= hotspots; ++i) d.hotspots.push_back({"exit", fx.path("r.gif"), "1", "1", "", ""});
        torvana::writeProjectFile(fx.path("menu.cdrom"), d);
        fx.hook.chooseFile(fx.path("menu.cdrom"));
        f->Open1Click();
        makePlayer();
    }

    std::string successText() const {
        return "All Files copied over to \"" + stage + "\", and can to be copied to a CDROM.";
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
        stage = fx.path("stage");
    }
    void cleanup() {
        for (long long pid : fx.hook.startedProcesses) ::kill(static_cast<pid_t>(pid), SIGTERM);
        VERIFY_NO_PROBLEMS(fx);
    }

    void saveFromTheButtonTheMenuAndEnter() {
        openProject(2);
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, successText());
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Information"));
        QVERIFY(f->BitBtn4->isEnabled());
        QVERIFY(fx.state().projectSaved);
        QCOMPARE(torvana::toolkit::currentPointer(), torvana::toolkit::Pointer::Arrow);
        QVERIFY(torvana::fileExists(stage + "/menu.cdrom"));
        QVERIFY(torvana::fileExists(stage + "/index.html"));
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (menu.cdrom)"));  // Save keeps the caption
        // The menu item and Enter run the same build; a saved project asks nothing on Close.
        fx.hook.answer(Answer::Ok);
        f->Save1->trigger();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        fx.hook.answer(Answer::Ok);
        QTest::keyClick(f->Edit1, Qt::Key_Return);
        QCOMPARE(fx.hook.boxes.size(), size_t(3));
        // A saved project asks nothing; any change after the Save makes it unsaved again.
        f->Close1Click();
        QVERIFY(!fx.state().projectOpen());
        for (const auto& change : std::vector<std::function<void()>>{
                 [&] { QTest::keyClick(f->Edit1, Qt::Key_A); },
                 [&] { f->Edit3->setText("picked.gif"); },
                 [&] { QTest::keyClick(f->CheckBox2, Qt::Key_Space); }}) {
            openProject(2);
            fx.hook.answer(Answer::Ok);
            f->BitBtn1->click();
            change();
            fx.hook.answer(Answer::No);
            f->Close1Click();
            QVERIFY2(fx.hook.boxes.back().text == "Warning!  Current project is not saved.  Close file?", fx.hook.boxes.back().text.c_str());
            QVERIFY(fx.state().projectOpen());
            fx.hook.answer(Answer::Yes);
            f->Close1Click();
        }
        QVERIFY(!fx.state().projectOpen());
        QVERIFY(f->BitBtn4->isEnabled());  // Test Run stays enabled after Close
        // Close, then Save: only a beep.
        const int beeps = fx.hook.beeps;
        const size_t boxes = fx.hook.boxes.size();
        f->BitBtn1->click();
        QCOMPARE(fx.hook.beeps, beeps + 1);
        QCOMPARE(fx.hook.boxes.size(), boxes);
        // A new project, whose one slot holds no hotspot yet: Save only beeps and writes nothing.
        whenModal("TForm3", [&](QWidget* d) {
            auto* dialog = static_cast<TForm3*>(d);
            dialog->DirectoryListBox1->openFolder(fx.dirPath().toStdString());
            dialog->Edit1->setText("new");
            dialog->BitBtn1->click();
        });
        f->New1Click();
        QCOMPARE(fx.state().projectPath, fx.path("new.cdrom"));
        f->BitBtn1->click();
        QCOMPARE(fx.hook.beeps, beeps + 2);
        QCOMPARE(fx.hook.boxes.size(), boxes);
        QVERIFY(!torvana::fileExists(fx.path("new.cdrom")));
    }

    // Settings > Add a web page menu switched off: Save writes no index.html.
    void withoutTheWebMenuSettingSaveWritesNoPage() {
        openProject(1);
        f->WebMenu1->trigger();
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, successText());
        QVERIFY(torvana::fileExists(stage + "/autorun.inf"));
        QVERIFY(!torvana::fileExists(stage + "/index.html"));
    }

    void savedHotspotsReachTheProjectFile() {
        openProject(1);
        fx.changeHotspot(1, [](torvana::Hotspot& h) { h.x = "123"; });
        f->CheckBox1->setChecked(true);
        f->Edit1->setText("Disc title");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        const torvana::Project d = torvana::readProjectFile(fx.path("menu.cdrom"));
        QCOMPARE(d.hotspots[0].x, std::string("123"));
        QVERIFY(d.showBrowse);
        QCOMPARE(d.cdTitle, std::string("Disc title"));
    }

    // Open + Save gives back every field the user did not change byte for byte, one in
    // Windows-1252 (an older project file's title or file name) too, also through the hotspot
    // editor's OK; the field shows its text.
    void unchangedFieldsKeepTheirBytes_data() {
        QTest::addColumn<int>("field");
        QTest::newRow("CD Title") << 0;
        QTest::newRow("Staging Folder") << 1;
        QTest::newRow("Background Image") << 2;
        QTest::newRow("Opening WAV") << 3;
        QTest::newRow("Rollover Image through the hotspot editor") << 4;
    }
    void unchangedFieldsKeepTheirBytes() {
        QFETCH(int, field);
        torvana::Project d;
        d.hotspotCount = 1;
        d.stagingFolder = stage;
        d.backgroundImage = fx.path("back.gif");
        d.hotspots.push_back({"exit", fx.path("r.gif"), "1", "1", "", ""});
        std::string* const values[] = {&d.cdTitle, &d.stagingFolder, &d.backgroundImage, &d.openingWav,
                                       &d.hotspots[0].rolloverImage};
        const char* const latin[] = {"Caf\xE9 Fotos", "St\xE4ge", "B\xE4" "ck.gif", "\xD6" "ffnen.wav", "\xDC" "ber.gif"};
        *values[field] = field == 0 ? latin[0] : fx.dirPath().toStdString() + "/" + latin[field];
        for (const std::string* file : {&d.backgroundImage, &d.hotspots[0].rolloverImage})
            torvana::replaceFileContents(*file, disctest::gifBytes(20, 10));
        if (!d.openingWav.empty()) torvana::replaceFileContents(d.openingWav, disctest::wavBytes());
        torvana::writeProjectFile(fx.path("menu.cdrom"), d);
        const std::string before = torvana::readFileContents(fx.path("menu.cdrom"));
        fx.hook.chooseFile(fx.path("menu.cdrom"));
        f->Open1Click();
        makePlayer();
        if (field == 0) QCOMPARE(f->Edit1->text(), QString::fromUtf8("Caf\xC3\xA9 Fotos"));
        if (field == 4) {
            f->BitBtn3->click();
            forms().Form2->BitBtn1->click();
            QTRY_VERIFY(f->isVisible() && !torvana::fileExists(torvana::acceptFilePath()));
        }
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Information"));
        QCOMPARE(torvana::readFileContents(fx.path("menu.cdrom")), before);
    }

    void refusalsMoveTheFocus() {
        openProject(1);
        f->show();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->Edit2->setText("");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("Staging Folder is required."));
        QCOMPARE(QApplication::focusWidget(), f->Edit2);
        f->Edit2->setText("/ab");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("Staging Folder cannot be on the root folder."));
        f->Edit2->setText(QString::fromStdString(stage));
        f->Edit3->setText("");
        f->BitBtn1->setFocus();
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("Background Image is required."));
        QCOMPARE(QApplication::focusWidget(), f->Edit3);
        QVERIFY(!torvana::folderExists(stage));
        QVERIFY(!f->BitBtn4->isEnabled());
    }

    void aFailedCopyKeepsTestRunAsItWas() {
        openProject(1);
        fx.changeHotspot(1, [&](torvana::Hotspot& h) {
            h.application = "http://example.org";  // a web address is not copied
            h.rolloverImage = fx.path("gone.gif");
        });
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, "File: \"" + fx.path("gone.gif") + "\" does not exist.");
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
        QVERIFY(!f->BitBtn4->isEnabled());
        QVERIFY(fx.state().projectSaved);
        QVERIFY(fx.state().copyFailed);
        QCOMPARE(torvana::toolkit::currentPointer(), torvana::toolkit::Pointer::Arrow);
        // Two different pictures of one name meet in images/: a failed copy as well.
        QDir(fx.dirPath()).mkdir("other");
        torvana::replaceFileContents(fx.path("other/r.gif"), disctest::gifBytes(30, 10));
        fx.changeHotspot(1, [&](torvana::Hotspot& h) { h.rolloverImage = fx.path("other/r.gif"); });
        fx.document().acceptHotspot({2, {"exit", fx.path("r.gif"), "1", "1", "", ""}});
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, "Files: \"" + fx.path("other/r.gif") + "\" and \"" + fx.path("r.gif") +
                                                "\" are both copied to \"" + stage + "/images/r.gif\", which can hold only one of them.");
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
        QVERIFY(!f->BitBtn4->isEnabled());
    }

    void aLongBuildShowsItsProgress() {
        openProject(1);
        torvana::toolkit::ProgressWindow::setShowAfter(0);
        const int before = torvana::toolkit::ProgressWindow::timesShown();
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        torvana::toolkit::ProgressWindow::setShowAfter(500);
        QCOMPARE(torvana::toolkit::ProgressWindow::timesShown(), before + 1);
        QCOMPARE(fx.hook.boxes.back().text, successText());
        QVERIFY(!QApplication::activeModalWidget());  // the progress window is gone
    }

    void testRunStartsThePlayerInTheStagingFolder() {
        openProject(1);
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QVERIFY(f->BitBtn4->isEnabled());
        f->BitBtn4->click();
        QCOMPARE(fx.hook.startedProcesses.size(), size_t(1));
        QTRY_VERIFY(torvana::fileExists(stage + "/started.txt"));
        // The staging folder is now current: the hand-off files go there.
        QCOMPARE(QDir::currentPath(), QString::fromStdString(stage));
    }

    void testRunFromARelativeStagingFolder() {
        openProject(1);  // the picked project's folder is current
        f->Edit2->setText("stage");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("All Files copied over to \"stage\", and can to be copied to a CDROM."));
        // Twice: the second press means the same folder, though it is now the current one.
        for (size_t run = 1; run <= 2; ++run) {
            QFile::remove(QString::fromStdString(stage + "/started.txt"));
            f->BitBtn4->click();
            QCOMPARE(fx.hook.boxes.size(), size_t(1));
            QCOMPARE(fx.hook.startedProcesses.size(), run);
            QTRY_VERIFY(torvana::fileExists(stage + "/started.txt"));
            QCOMPARE(QDir::currentPath(), QString::fromStdString(stage));
        }
        // Save reads the same text as the same folder, not as stage/stage from inside it, and
        // leaves the staging folder current.
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Information"));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(stage + "/stage")));
        QCOMPARE(QDir::currentPath(), QString::fromStdString(stage));
        // Typed anew, a relative folder is read from the folder current now.
        f->Edit2->setText("inner");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QVERIFY(torvana::fileExists(stage + "/inner/menu.cdrom"));
    }

    void testRunFailures() {
        openProject(1);
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        // The field changed after the build, to a folder without the player.
        QDir(fx.dirPath()).mkdir("elsewhere");
        f->Edit2->setText(QString::fromStdString(fx.path("elsewhere")));
        const int beeps = fx.hook.beeps;
        fx.hook.answer(Answer::Ok);
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("ERROR! Could not launch file: \"autorun.exe\"."));
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Error"));
        QCOMPARE(fx.hook.beeps, beeps + 1);
        // An empty field: the change of folder fails and nothing starts.
        f->Edit2->setText("");
        fx.hook.answer(Answer::Ok);
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("ErrorBox"));
        QCOMPARE(fx.hook.boxes.back().text, std::string("File not found."));
        QVERIFY(fx.hook.startedProcesses.empty());
    }

    void everyFieldStaysOnOneLine() {
        // Every single-line field of every window, however the text arrives: set by the
        // program, pasted, or inserted as typed.
        TDiscCheckForm discCheck(f);
        QList<QLineEdit*> fields;
        for (QWidget* window : QApplication::topLevelWidgets()) fields += window->findChildren<QLineEdit*>();
        QVERIFY(fields.size() >= 13);  // main window 5, hotspot editor 6, both folder dialogs 1 each
        for (QLineEdit* field : fields) {
            const QByteArray name = field->window()->objectName().toUtf8() + "." + field->objectName().toUtf8();
            field->setText("Summer\r\nPhotos\x1a!");
            QVERIFY2(field->text() == "Summer  Photos !", name);
            field->clear();
            QGuiApplication::clipboard()->setText("setup.exe\n-s");
            field->paste();
            QVERIFY2(field->text() == "setup.exe -s", name);
            field->insert("\r");
            QVERIFY2(field->text() == "setup.exe -s ", name);
        }
    }

    void lineBreaksNeverReachTheProjectFile() {
        openProject(1);
        const QString background = f->Edit3->text();
        // A picked file whose name holds a line break: a blank in its place would name another
        // file, so it is refused and the field keeps its text.
        fx.hook.chooseFile(fx.path("a\nb.gif"));
        fx.hook.answer(Answer::Ok);
        f->Image2Click();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
        QCOMPARE(fx.hook.boxes.back().text,
                 "File: \"" + fx.path("a\\x0Ab.gif") + "\" cannot be used: its name holds a line break or a Ctrl+Z.");
        QCOMPARE(f->Edit3->text(), background);
        // The same in the hotspot editor's pickers.
        TForm2* editor = forms().Form2;
        fx.hook.chooseFile(fx.path("setup\r.exe"));
        fx.hook.answer(Answer::Ok);
        editor->Image1Click();
        QCOMPARE(editor->Edit1->text(), QString());
        QCOMPARE(fx.hook.boxes.size(), size_t(2));
        // A value that got into a hotspot some other way is refused by Save before anything is
        // written: the project file keeps its old bytes and no staging folder is made.
        const std::string before = torvana::readFileContents(fx.path("menu.cdrom"));
        fx.changeHotspot(1, [](torvana::Hotspot& h) { h.rolloverWav = "over\x1a.wav"; });
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("ErrorBox"));
        QCOMPARE(fx.hook.boxes.back().text,
                 std::string("HotSpot 1, Rollover WAV \"over\\x1A.wav\" holds a line break or a Ctrl+Z, which the "
                             "project file cannot keep; nothing was written."));
        QCOMPARE(torvana::readFileContents(fx.path("menu.cdrom")), before);
        QVERIFY(!torvana::folderExists(stage));
        QVERIFY(!fx.state().projectSaved);
    }

    void pickersNeedAProject() {
        for (int i = 0; i < 3; ++i) fx.hook.answer(Answer::Ok);
        f->Image1Click();
        f->Image2Click();
        f->Image3Click();
        QCOMPARE(fx.hook.boxes.size(), size_t(3));
        for (const auto& box : fx.hook.boxes) {
            QCOMPARE(box.text, std::string("Please select or open a project file from the \"File\" menu."));
            QCOMPARE(box.kind, std::string("Warning"));
        }
        QCOMPARE(fx.hook.beeps, 3);
        QVERIFY(fx.hook.fileDialogs.empty());
    }

    void pictureAndSoundPickers() {
        openProject(1);
        fx.hook.chooseFile(fx.path("pic.bmp"));
        f->Image2Click();
        fx.hook.cancelFile();
        f->Image3Click();
        QCOMPARE(f->Edit3->text().toStdString(), fx.path("pic.bmp"));
        QCOMPARE(f->Edit4->text(), QString());
        const auto& d = fx.hook.fileDialogs;
        QCOMPARE(d[1].title, std::string("Image Files"));
        QCOMPARE(d[1].filter, std::string("Image Files (*.gif;*.bmp) |*.gif;*.bmp|Pictures (*.gif;*.bmp;*.png;*.jpg;*.jpeg) |*.gif;*.bmp;*.png;*.jpg;*.jpeg"));
        QCOMPARE(d[1].startFile, fx.path("back.gif"));  // the field's file
        QCOMPARE(d[2].title, std::string("Any WAV File"));
        QCOMPARE(d[2].filter, std::string("WAV Files (*.wav) |*.wav"));
        // The one dialog, shared with Open, opens where the picture was chosen but never proposes
        // it for the sound.
        QCOMPARE(d[2].startFile, std::string());
        QCOMPARE(d[2].startFolder, fx.dirPath().toStdString());
        // From the keyboard: F4 or Alt+Down in a path field opens its picker.
        fx.hook.chooseFile(fx.path("open.wav"));
        QTest::keyClick(f->Edit4, Qt::Key_F4);
        QCOMPARE(f->Edit4->text().toStdString(), fx.path("open.wav"));
        bool folderDialogShown = false;
        whenModal("TForm4", [&](QWidget* w) {
            folderDialogShown = true;
            w->close();
        });
        QTest::keyClick(f->Edit2, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(folderDialogShown);
        QCOMPARE(fx.hook.fileDialogs.size(), size_t(4));
    }

    void stagingFolderPicker() {
        openProject(1);
        QDir(fx.dirPath()).mkpath("work/old");
        TForm4* dialog = forms().Form4;
        whenModal("TForm4", [&](QWidget*) {
            QVERIFY(dialog->DirectoryListBox1->openFolder(fx.path("work")));
            dialog->Edit1->setText("Menu");
            dialog->BitBtn1->click();
        });
        f->Image1Click();
        QCOMPARE(f->Edit2->text().toStdString(), fx.path("work") + "/Menu");
        QCOMPARE(QDir::currentPath().toStdString(), fx.path("work"));
        // A name typed before the folder changes is emptied; Cancel keeps the field.
        whenModal("TForm4", [&](QWidget*) {
            QCOMPARE(dialog->Edit1->text(), QString("Menu"));
            QVERIFY(dialog->DirectoryListBox1->openFolder(fx.path("work/old")));
            QCOMPARE(dialog->Edit1->text(), QString());
            dialog->BitBtn2->click();
        });
        f->Image1Click();
        QCOMPARE(f->Edit2->text().toStdString(), fx.path("work") + "/Menu");
        // An empty name gives the folder with a trailing separator.
        whenModal("TForm4", [&](QWidget*) { dialog->BitBtn1->click(); });
        f->Image1Click();
        QCOMPARE(f->Edit2->text().toStdString(), fx.path("work/old") + "/");
    }

    // Settings > Sign the Windows player keeps the certificate (a missing file is refused); each
    // Save asks the password, a cancelled prompt builds nothing, and a failed signing is a failed
    // copy with the tool's reason.
    void signingAsksThePasswordAtEachSave() {
        openProject(1);
        const std::string cert = fx.path("cert.p12");
        torvana::replaceFileContents(cert, "not a certificate");
        whenModal("TSigningForm", [&](QWidget* w) {
            auto* d = static_cast<TSigningForm*>(w);
            d->Edit1->setText("missing.p12");
            fx.hook.answer(Answer::Ok);
            d->BitBtn1->click();
            QVERIFY(d->isVisible());
            d->Edit1->setText(QString::fromStdString(cert));
            d->BitBtn1->click();
        });
        f->SignPlayer1->trigger();
        QCOMPARE(fx.hook.boxes.back().text, std::string("The certificate file \"missing.p12\" does not exist."));
        QVERIFY(torvana::readFileContents(fx.settingsPath()).find("signcertificate=" + cert + "\n") != std::string::npos);

        // Cancel keeps the project and says the disc's files wait.
        fx.hook.cancelPassword();
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.passwordPrompts.back(),
                 "The password of \"" + cert + "\", to sign the Windows player autorun.exe:");
        QCOMPARE(fx.hook.boxes.back().text,
                 std::string("The project is saved, but the staging folder was not built: autorun.exe is signed with "
                             "every build, and no password was given. Save again to build it, or switch off signing "
                             "in Settings > Sign the Windows player."));
        QVERIFY(!fx.document().modified());
        QVERIFY(!torvana::fileExists(stage + "/autorun.exe"));
        fx.hook.enterPassword("wrong");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        const std::string said = "Error signing file: \"" + stage + "/autorun.exe\": osslsigncode could not sign it: ";
        QCOMPARE(fx.hook.boxes.back().text.substr(0, said.size()), said);
        QVERIFY(!f->BitBtn4->isEnabled());
    }

    // File > Burn Disc... to a file standing in for a blank disc, its address typed and confirmed
    // with Enter: built, burned, read back and checked, with nothing left beside the staging
    // folder. A file that holds bytes is replaced only after Yes; the project file never is; a
    // refused or declined burn builds nothing.
    void burnDiscToAFile_data() {
        QTest::addColumn<QString>("target");  // in the folder of the project
        QTest::addColumn<QString>("before");  // what it holds before, if anything
        QTest::addColumn<int>("answer");      // to the question whether to replace it; -1: none asked
        QTest::addColumn<QString>("said");    // the last box's text after "stdio:TARGET"; empty: none
        const QString burned = "\" is burned and holds the image exactly.";
        QTest::newRow("a new file") << "disc.iso" << "" << -1 << burned;
        QTest::newRow("a file of the user's, No") << "mine.iso" << "keep me" << int(Answer::No) << "";
        QTest::newRow("a file of the user's, Yes") << "mine.iso" << "keep me" << int(Answer::Yes) << burned;
        QTest::newRow("the project file") << "menu.cdrom" << "" << -1 << "\": it is the project file.";
    }
    void burnDiscToAFile() {
        QFETCH(QString, target);
        QFETCH(QString, before);
        QFETCH(int, answer);
        QFETCH(QString, said);
        openProject(1);
        const std::string disc = fx.path(target), project = torvana::readFileContents(fx.path("menu.cdrom"));
        if (!before.isEmpty()) torvana::replaceFileContents(disc, before.toStdString());
        whenModal("TBurnForm", [&](QWidget* w) {
            auto* d = static_cast<TBurnForm*>(w);
            QVERIFY(d->CheckBox1->isChecked());
            QTest::keyClicks(d->ComboBox1->lineEdit(), QString::fromStdString("stdio:" + disc));
            QTest::keyClick(d->ComboBox1->lineEdit(), Qt::Key_Return);
        });
        if (answer >= 0) fx.hook.answer(Answer(answer));
        if (!said.isEmpty()) fx.hook.answer(Answer::Ok);
        f->BurnDisc1->trigger();
        if (answer >= 0)
            QCOMPARE(fx.hook.boxes.front().text, "\"" + disc + "\" is a file of 7 bytes. Burning the disc to it replaces "
                                                 "everything it holds. Burn to it anyway?");
        const bool burned = said.endsWith("exactly.");
        const std::string lead = burned ? "The disc in \"stdio:" : "The disc cannot be burned to \"stdio:";
        if (!said.isEmpty()) QCOMPARE(fx.hook.boxes.back().text, lead + disc + said.toStdString());
        QCOMPARE(QDir(QString::fromStdString(stage)).exists(), burned);
        QCOMPARE(torvana::fileSize(disc) > 16 * 2048, burned);
        QVERIFY(burned || torvana::readFileContents(fx.path("menu.cdrom")) == project);
        QVERIFY(burned || before.isEmpty() || torvana::readFileContents(disc) == before.toStdString());
        QCOMPARE(QDir(fx.dirPath()).entryList(QStringList{".torvana-burn*"}, QDir::Hidden | QDir::Files), QStringList());
    }
};

QTEST_MAIN(SaveTest)
#include "save_test.moc"
