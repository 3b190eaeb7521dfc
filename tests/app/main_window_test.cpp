// The main window at start-up: the chooser, captions, the settings menu, tooltips, the pointer
// rule and the keys.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/startup_chooser.h"
#include "hotspot/ui/hotspot_editor.h"
#include "settings/ui/about_box.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "settings/settings_file.h"
#include "test_support/window_fixture.h"
#include "toolkit/message_box.h"
#include "toolkit/widgets.h"

using torvana::toolkit::Pointer;

class MainWindowTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;

    // A project file with one hotspot, to open.
    std::string writeProject(const char* name = "photos.cdrom") {
        torvana::Project d;
        d.hotspotCount = 1;
        d.cdTitle = "Summer";
        d.hotspots.push_back({"/art/setup.exe", "/art/over.gif", "10", "20", "", ""});
        const std::string p = fx.path(name);
        torvana::writeProjectFile(p, d);
        return p;
    }

    void openProject(const std::string& path) {
        fx.hook.chooseFile(path);
        f->Open1Click();
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
    }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void startingShowsTheChooserAfterOneBeep() {
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5"));
        int beepsAtChooser = -1;
        QString titleAtChooser;
        std::string failure;
        whenModal("TForm5", [&](QWidget* w) {
            beepsAtChooser = fx.hook.beeps;
            titleAtChooser = w->windowTitle();
            static_cast<TForm5*>(w)->Button2->click();  // "Open an existing Project"
        }, &failure);
        fx.hook.cancelFile();
        f->showAndActivate();
        QTRY_COMPARE(fx.hook.fileDialogs.size(), size_t(1));
        QVERIFY2(failure.empty(), failure.c_str());
        QCOMPARE(beepsAtChooser, 1);
        QCOMPARE(titleAtChooser, QString("Torvana"));
        // Open ran, was cancelled, and left the window without a project.
        QCOMPARE(fx.hook.fileDialogs[0].title, std::string("Open a Torvana File"));
        QCOMPARE(fx.hook.fileDialogs[0].filter, std::string("Torvana Files (*.cdrom) |*.cdrom"));
        QVERIFY(!fx.state().projectOpen());
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5"));
        QVERIFY(!f->BitBtn3->isEnabled());
        QVERIFY(!fx.state().programFolder.empty());
        QCOMPARE(fx.state().programFolder.back(), '/');
    }

    void closingTheChooserRunsOpen() {
        const std::string project = writeProject();
        whenModal("TForm5", [](QWidget* w) { w->close(); });
        fx.hook.chooseFile(project);
        f->FormActivate();
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (photos.cdrom)"));
        QCOMPARE(fx.hook.beeps, 1);
        // With a project open, a later activation asks nothing.
        f->FormActivate();
        QCOMPARE(fx.hook.beeps, 1);
    }

    void chooserKeys() {
        // Escape does nothing (neither button is the cancel button); Enter and Space press the
        // focused button, and only that one.
        const std::string project = writeProject();
        bool stillShown = false;
        whenModal("TForm5", [&](QWidget* w) {
            auto* chooser = static_cast<TForm5*>(w);
            chooser->Button2->setFocus();
            QTest::keyClick(chooser->Button2, Qt::Key_Escape);
            QTest::keyClick(chooser, Qt::Key_Escape);
            stillShown = chooser->isVisible();
            QTest::keyClick(chooser->Button2, Qt::Key_Return);
        });
        fx.hook.chooseFile(project);
        f->FormActivate();
        QVERIFY(stillShown);
        QCOMPARE(fx.hook.fileDialogs.size(), size_t(1));  // "Open an existing Project" ran Open
        fx.hook.answer(torvana::toolkit::Answer::Yes);
        f->Close1Click();
        whenModal("TForm5", [&](QWidget* w) {
            whenModal("TForm3", [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
            auto* chooser = static_cast<TForm5*>(w);
            chooser->Button1->setFocus();
            QTest::keyClick(chooser->Button1, Qt::Key_Space);
        });
        f->FormActivate();
        QCOMPARE(fx.hook.fileDialogs.size(), size_t(1));  // New ran, not Open
        QCOMPARE(fx.hook.beeps, 3);
    }

    void creatingANewProjectFromTheChooser() {
        whenModal("TForm5", [&](QWidget* w) {
            whenModal("TForm3", [&](QWidget* d) {
                QWidget* dialog = d;
                dialog->findChild<QLineEdit*>("Edit1")->setText("photos.cdrom");
                dialog->findChild<QPushButton*>("BitBtn1")->click();
            });
            static_cast<TForm5*>(w)->Button1->click();
        });
        f->FormActivate();
        QCOMPARE(fx.state().projectName, std::string("photos.cdrom.cdrom"));
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (photos.cdrom.cdrom)"));
        QVERIFY(f->BitBtn3->isEnabled());
    }

    void captionsFollowOpenAndClose() {
        openProject(writeProject());
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (photos.cdrom)"));
        fx.hook.answer(torvana::toolkit::Answer::Yes);  // not saved yet: Close asks
        f->Close1Click();
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5"));
    }

    // What Open reads is what Save builds from the fields and tables, and the hotspot row then
    // offers the slot after the last hotspot, never past 99.
    void openedProjectReadsBackAsItWasWritten() {
        for (const int count : {0, 2, 99}) {
            torvana::Project data;
            data.hotspotCount = count;
            data.showExit = true;
            data.cdTitle = "Title";
            data.stagingFolder = "/stage";
            data.backgroundImage = "/art/back.bmp";
            data.openingWav = "/art/open.wav";
            for (int i = 1; i <= count; ++i)
                data.hotspots.push_back({"app" + std::to_string(i), "over.gif", std::to_string(i), "2", "in.wav", ""});
            data.otherBlockLines = {"Colour1=teal"};
            const std::string path = fx.path("read-back.cdrom");
            torvana::writeProjectFile(path, data);
            f->openProjectFile(path);
            QVERIFY2(fx.document().project() == data, std::to_string(count).c_str());
            QCOMPARE(f->TrackBar1->maximum(), std::min(count + 1, 99));
        }
    }

    void controlsStartAsTheUserExpects() {
        QVERIFY(!f->BitBtn3->isEnabled());
        QVERIFY(!f->BitBtn4->isEnabled());
        QVERIFY(f->BitBtn1->isEnabled());
        QCOMPARE(f->Edit5->text(), QString("1"));
        QVERIFY(f->Edit5->isReadOnly());
        QCOMPARE(f->TrackBar1->minimum(), 1);
        QCOMPARE(f->TrackBar1->maximum(), 20);
        QCOMPARE(f->TrackBar1->value(), 1);
        QVERIFY(f->Label2->font().bold());
        QVERIFY(f->Label3->font().bold());
        QVERIFY(!f->Label1->font().bold());
        QVERIFY(!f->Label4->font().bold());
        QCOMPARE(f->BitBtn1->text(), QString("&Save"));
        QCOMPARE(f->BitBtn2->text(), QString("E&xit"));
        QCOMPARE(f->BitBtn3->text(), QString("&Edit"));
        QCOMPARE(f->OnlineHelp1->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(f->ToolTipHelp1->isChecked());  // no settings file: all on
        QVERIFY(f->Warnme1->isChecked());
        QVERIFY(fx.state().warnMe);
        QCOMPARE(f->LinuxPlayer1->text(), QString("Add a Linux player"));
        QCOMPARE(f->WebMenu1->text(), QString("Add a web page menu"));
        QVERIFY(f->LinuxPlayer1->isChecked() && f->WebMenu1->isChecked());
        QVERIFY(f->buildSettings().addLinuxPlayer && f->buildSettings().addWebMenu);
        QCOMPARE(f->FolderNames1->text(), QString("Keep my folder names off the disc"));
        QVERIFY(f->FolderNames1->isChecked() && f->buildSettings().keepFolderNamesOff);
        // The window holds the whole client area at least; wider, the path fields grow with it.
        QVERIFY(f->centralWidget()->width() >= 449 && f->centralWidget()->height() >= 344);
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        for (QWidget* w : {static_cast<QWidget*>(f), static_cast<QWidget*>(forms().Form2)}) {
            QLineEdit* path = w->findChild<QLineEdit*>("Edit2");
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            const int before = path->width();
            w->resize(w->width() + 300, w->height());
            QTRY_VERIFY2(path->width() >= before + 250, qPrintable(w->objectName()));
            w->resize(10, 10);  // never below the least size
            QTRY_COMPARE(w->size(), w->minimumSize());
            w->hide();
        }
    }

    void tabOrderRunsThroughTheFieldsAndButtons() {
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->Edit1->setFocus();
        QStringList order{f->focusWidget()->objectName()};
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        // BitBtn3 and BitBtn4 are disabled at start and skipped; BitBtn5 (Layout) sits beside Edit.
        QCOMPARE(order.join(','), QString("Edit1,Edit2,Edit3,Edit4,Edit5,BitBtn5,BitBtn1,BitBtn2,TrackBar1,CheckBox1,"
                                          "CheckBox2,Edit1,Edit2"));
    }

    void tooltipsOffLeaveTheAlwaysShownHints() {
        f->hide();
        destroyForms();
        torvana::writeSetting(fx.settingsPath(), torvana::kToolTipsKey, false);
        createForms(fx.settingsPath());
        f = forms().Form1;
        QVERIFY(!f->ToolTipHelp1->isChecked());
        for (QWidget* w : f->hintControls()) QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        for (QWidget* w : {static_cast<QWidget*>(f->Image1), static_cast<QWidget*>(f->Image2),
                           static_cast<QWidget*>(f->Image3)})
            QCOMPARE(w->toolTip(), QString("Browse"));
        openProject(writeProject());
        QCOMPARE(f->Edit5->toolTip(), QString("setup.exe"));
    }

    void toolTipHelpSwitchesTheElevenControlsAndIsRemembered() {
        QCOMPARE(f->Edit1->toolTip(), QString("This text will appear on the Window bar"));
        QCOMPARE(f->BitBtn2->toolTip(), QString("Exit Torvana"));
        f->ToolTipHelp1->trigger();
        QVERIFY(!f->ToolTipHelp1->isChecked());
        for (QWidget* w : f->hintControls()) QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        QCOMPARE(f->Image2->toolTip(), QString("Browse"));
        QCOMPARE(torvana::readFileContents(fx.settingsPath()), std::string("[Options]\ntooltips=0\n"));
        f->ToolTipHelp1->trigger();
        QCOMPARE(f->TrackBar1->toolTip(), QString("Select a HotSpot"));
        QVERIFY(torvana::loadSettings(fx.settingsPath()).toolTips);
    }

    void warnMeOffIsRememberedAndSilencesTheQuestion() {
        f->Warnme1->trigger();
        QVERIFY(!fx.state().warnMe);
        QVERIFY(!torvana::loadSettings(fx.settingsPath()).warnMe);
        openProject(writeProject());
        f->Close1Click();  // not saved, but no question with "Warn Me" off
        QVERIFY(!fx.state().projectOpen());
        destroyForms();
        createForms(fx.settingsPath());
        f = forms().Form1;
        QVERIFY(!f->Warnme1->isChecked());
        QVERIFY(!fx.state().warnMe);
    }

    // What the build adds to the disc: each item switches its own key, and the build reads the
    // check marks; a restart reads them back.
    void theBuildsSettingsAreRememberedAndReachTheBuild() {
        f->WebMenu1->trigger();
        QVERIFY(!f->WebMenu1->isChecked());
        QVERIFY(!f->buildSettings().addWebMenu);
        QVERIFY(f->buildSettings().addLinuxPlayer);
        QCOMPARE(torvana::readFileContents(fx.settingsPath()), std::string("[Options]\nwebmenu=0\n"));
        f->LinuxPlayer1->trigger();
        QVERIFY(!f->buildSettings().addLinuxPlayer);
        f->WebMenu1->trigger();
        QCOMPARE(torvana::readFileContents(fx.settingsPath()), std::string("[Options]\nwebmenu=1\nlinuxplayer=0\n"));
        f->hide();
        destroyForms();
        createForms(fx.settingsPath());
        f = forms().Form1;
        QVERIFY(!f->LinuxPlayer1->isChecked());
        QVERIFY(f->WebMenu1->isChecked());
        QVERIFY(f->ToolTipHelp1->isChecked() && f->Warnme1->isChecked());
        f->FolderNames1->trigger();
        QVERIFY(!f->buildSettings().keepFolderNamesOff);
        QCOMPARE(torvana::readFileContents(fx.settingsPath()),
                 std::string("[Options]\nwebmenu=1\nlinuxplayer=0\nfoldernamesoff=0\n"));
    }

    void aSettingThatCannotBeWrittenChangesNothing() {
        QDir(fx.dirPath()).mkdir("torvana.ini");  // a folder where the file must go
        for (QAction* item : {f->ToolTipHelp1, f->Warnme1, f->LinuxPlayer1, f->WebMenu1}) {
            fx.hook.answer(torvana::toolkit::Answer::Ok);
            item->trigger();
        }
        QCOMPARE(fx.hook.boxes.size(), size_t(4));
        for (const torvana::toolkit::BoxRecord& box : fx.hook.boxes) {
            QCOMPARE(box.kind, std::string("ErrorBox"));
            QCOMPARE(box.caption, std::string("Torvana"));
            QCOMPARE(box.icon, std::string("critical"));
            QCOMPARE(box.text, "Unable to write to " + fx.settingsPath() + ".");
        }
        QVERIFY(f->ToolTipHelp1->isChecked());
        QCOMPARE(f->Edit1->toolTip(), QString("This text will appear on the Window bar"));
        QVERIFY(f->Warnme1->isChecked());
        QVERIFY(fx.state().warnMe);
        QVERIFY(f->LinuxPlayer1->isChecked() && f->WebMenu1->isChecked());
        QVERIFY(f->buildSettings().addLinuxPlayer && f->buildSettings().addWebMenu);
        QCOMPARE(fx.hook.beeps, 0);  // the error box comes without the message-box beep
    }

    // A settings file that is a pipe (it would hang a plain read) or too large: the editor
    // starts with both settings on and says why; memory running out in a command is a clear
    // box too, not the library's text.
    void unreadableSettingsAndOutOfMemoryAreClearBoxes() {
        f->hide();
        destroyForms();
        const std::string path = fx.settingsPath();
        QCOMPARE(mkfifo(path.c_str(), 0600), 0);
        fx.hook.answer(torvana::toolkit::Answer::Ok);
        createForms(path);
        f = forms().Form1;
        QVERIFY(f->ToolTipHelp1->isChecked());
        QVERIFY(f->Warnme1->isChecked());
        QCOMPARE(fx.hook.boxes.back().kind, std::string("ErrorBox"));
        QCOMPARE(fx.hook.boxes.back().text,
                 "The settings cannot be read: \"" + path + "\" is not a regular file.");
        QVERIFY(QFile::remove(QString::fromStdString(path)));

        fx.hook.answer(torvana::toolkit::Answer::Ok);
        torvana::toolkit::runCommand([] { throw std::bad_alloc(); });
        QCOMPARE(fx.hook.boxes.back().text, std::string("Out of memory."));
    }

    void pointerRule() {
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        // Mouse moves go through the window, so they reach whatever control is under them.
        auto moveTo = [this](QWidget* w, QPoint p = QPoint(-1, -1)) {
            QTest::mouseMove(f->windowHandle(), w->mapTo(f, p.x() < 0 ? w->rect().center() : p));
            QApplication::processEvents();
        };
        moveTo(f->Image1);
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Hand);
        moveTo(f->TrackBar1);
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Hand);
        moveTo(f->CheckBox1);
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Hand);
        moveTo(f->Edit2);
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Arrow);
        moveTo(f->Image3);
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Hand);
        moveTo(f->Edit1);  // the title field is not one of the path fields
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Hand);
        // The window's own background, left of the labels.
        moveTo(f->centralWidget(), QPoint(5, f->centralWidget()->height() - 5));
        QCOMPARE(torvana::toolkit::currentPointer(), Pointer::Arrow);
    }

    // What is typed into one field, until the field is left, is one step of the project's
    // history; Ctrl+Z in the field takes back a step at a time, back to the project as read.
    void typingInAFieldIsOneStepUntilTheFieldIsLeft() {
        openProject(writeProject());
        f->show();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        f->Edit1->setFocus();
        f->Edit1->end(false);
        QTest::keyClicks(f->Edit1, " sun");
        QTest::keyClick(f->Edit1, Qt::Key_Tab);
        QTest::keyClick(f->Edit2, Qt::Key_Backtab, Qt::ShiftModifier);
        f->Edit1->end(false);
        QTest::keyClicks(f->Edit1, "!");
        QCOMPARE(fx.document().undoStack()->count(), 2);
        QTest::keyClick(f->Edit1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->Edit1->text(), QString("Summer sun"));
        QTest::keyClick(f->Edit1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->Edit1->text(), QString("Summer"));
        QCOMPARE(fx.document().project(), torvana::readProjectFile(fx.path("photos.cdrom")));
    }

    void enterRunsSaveAndEscapeRunsExit() {
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        // Save without a project only beeps.
        QTest::keyClick(f->Edit1, Qt::Key_Return);
        QCOMPARE(fx.hook.beeps, 1);
        QVERIFY(fx.hook.boxes.empty());
        // Exit with an unsaved project asks; No keeps the program running.
        openProject(writeProject());
        QSignalSpy closed(f, &TForm1::closed);
        fx.hook.answer(torvana::toolkit::Answer::No);
        QTest::keyClick(f->Edit3, Qt::Key_Escape);
        QCOMPARE(fx.hook.boxes.back().text, std::string("Warning!  Current project is not saved.  Exit?"));
        QCOMPARE(closed.count(), 0);
        fx.hook.answer(torvana::toolkit::Answer::Yes);
        QTest::keyClick(f->CheckBox1, Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
    }

    void helpAndWebSiteOpenTheirTargets() {
        whenModal("TForm5", [](QWidget* w) { w->close(); });
        fx.hook.cancelFile();
        f->FormActivate();  // records the program's folder
        QDir(fx.dirPath()).mkdir("elsewhere");
        QDir::setCurrent(fx.dirPath() + "/elsewhere");
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f, Qt::Key_F1);
        f->GoToWebSite1->trigger();
        QCOMPARE(fx.hook.openedTargets.size(), size_t(2));
        const std::string help = fx.hook.openedTargets[0];
        QCOMPARE(help, QCoreApplication::applicationDirPath().toStdString() + "/torvana_help.htm");
        QVERIFY2(torvana::fileExists(help), "the help page is installed beside the program");
        QCOMPARE(fx.hook.openedTargets[1].rfind("https://", 0), size_t(0));
        // When the desktop cannot open them, an error box names the page or address.
        fx.hook.failOpenings = true;
        for (int i = 0; i < 3; ++i) fx.hook.answer(torvana::toolkit::Answer::Ok);
        f->OnlineHelp1->trigger();
        f->GoToWebSite1->trigger();
        forms().AboutBox->CommentsClick();
        QCOMPARE(fx.hook.boxes.size(), size_t(3));
        QCOMPARE(fx.hook.boxes[0].text, "ERROR! Could not open \"" + help + "\".");
        QCOMPARE(fx.hook.boxes[1].text, "ERROR! Could not open \"" + fx.hook.openedTargets[1] + "\".");
        QCOMPARE(fx.hook.boxes[2].text, fx.hook.boxes[1].text);
        QCOMPARE(fx.hook.boxes[2].kind, std::string("Error"));
    }

    void closeControlEndsWithoutTheQuestion() {
        openProject(writeProject());
        QSignalSpy closed(f, &TForm1::closed);
        f->show();
        f->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(fx.hook.boxes.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
