// The hotspot row, the hotspot editor and the hand-off back to the main window, the whole way a
// user goes: select a slot, Edit, change fields, OK / Delete / Cancel, and the main window again.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/forms.h"
#include "app/main_window.h"
#include "hotspot/hand_off.h"
#include "hotspot/ui/hotspot_editor.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/window_fixture.h"
#include "toolkit/file_picker.h"
#include "toolkit/widgets.h"

using torvana::toolkit::Answer;

class HotspotEditorTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;
    TForm2* e = nullptr;

    void openProject(int hotspots) {
        torvana::Project d;
        d.hotspotCount = hotspots;
        d.stagingFolder = fx.path("stage");
        d.backgroundImage = "/art/back.gif";
        for (int i = 1; i <= hotspots; ++i)
            d.hotspots.push_back({"/apps/tool" + std::to_string(i) + ".exe", "/art/r" + std::to_string(i) + ".gif",
                                  std::to_string(10 * i), std::to_string(20 * i), "", ""});
        torvana::writeProjectFile(fx.path("p.cdrom"), d);
        fx.hook.chooseFile(fx.path("p.cdrom"));
        f->Open1Click();
        f->show();
    }

    // Moves the track bar the way a user does, with the arrow keys.
    void selectSlot(int slot) {
        while (f->TrackBar1->value() < slot) QTest::keyClick(f->TrackBar1, Qt::Key_Right);
        while (f->TrackBar1->value() > slot) QTest::keyClick(f->TrackBar1, Qt::Key_Left);
    }

    void openEditor(int slot) {
        selectSlot(slot);
        f->BitBtn3->click();
        QVERIFY(e->isVisible());
        QVERIFY(!f->isVisible());
    }

    // After the editor leaves, the main window shows again and applies the hand-off.
    void waitForMainWindow() {
        QTRY_VERIFY(f->isVisible());
        QTRY_VERIFY(!torvana::fileExists(torvana::acceptFilePath()) && !torvana::fileExists(torvana::deleteFilePath()));
        QTRY_VERIFY(!e->isVisible());
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
        e = forms().Form2;
    }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void trackBarShowsTheSlotAndItsFileName() {
        openProject(3);
        selectSlot(3);
        QCOMPARE(f->Edit5->text(), QString("3"));
        QCOMPARE(f->Edit5->toolTip(), QString("tool3.exe"));
        selectSlot(4);  // the free slot after the last
        QCOMPARE(f->Edit5->text(), QString("4"));
        QCOMPARE(f->Edit5->toolTip(), QString());
        QCOMPARE(f->TrackBar1->maximum(), 4);
    }

    void editingAHotspotAndAccepting() {
        openProject(3);
        fx.document().undoStack()->setClean();
        openEditor(2);
        QCOMPARE(e->Label1->text(), QString("Editing HotSpot: 2"));
        QCOMPARE(e->Edit1->text(), QString("/apps/tool2.exe"));
        QCOMPARE(e->Edit2->text(), QString("/art/r2.gif"));
        QCOMPARE(e->Edit5->text(), QString("20"));
        QCOMPARE(e->Edit6->text(), QString("40"));
        e->Edit5->setText("123");
        QTest::keyClick(e->Edit5, Qt::Key_Return);  // Enter presses OK
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotX[2], std::string("123"));
        QCOMPARE(fx.state().hotspotCount, 3);
        QCOMPARE(f->TrackBar1->maximum(), 4);
        QCOMPARE(f->TrackBar1->value(), 2);
        QCOMPARE(fx.state().editedHotspot, 2);
        QVERIFY(!fx.state().projectSaved);  // an accepted hotspot is a change the next Save must write
    }

    void addingAHotspotInTheFreeSlot() {
        openProject(3);
        openEditor(4);
        QCOMPARE(e->Label1->text(), QString("Editing HotSpot: 4"));
        for (QLineEdit* field : {e->Edit1, e->Edit2, e->Edit3, e->Edit4, e->Edit5, e->Edit6})
            QVERIFY(field->text().isEmpty());
        e->Edit1->setText("exit");
        e->Edit2->setText("/art/quit.gif");
        e->Edit5->setText(" 7");  // passes and is handed on as typed
        e->Edit6->setText("$10");
        e->BitBtn1->click();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotCount, 4);
        QCOMPARE(f->TrackBar1->maximum(), 5);
        QCOMPARE(fx.state().hotspotX[4], std::string(" 7"));
        QCOMPARE(fx.state().hotspotY[4], std::string("$10"));
        QCOMPARE(f->Edit5->toolTip(), QString("exit"));
    }

    void deletingAHotspot() {
        openProject(3);
        openEditor(2);
        fx.hook.answer(Answer::Yes);
        fx.hook.answer(Answer::Ok);
        e->BitBtn3->click();
        waitForMainWindow();
        QCOMPARE(fx.hook.boxes[0].text, std::string("Do you sure you want to delete HotSpot \"2\" ?"));
        QCOMPARE(fx.hook.boxes[0].kind, std::string("Warning"));
        QCOMPARE(fx.hook.boxes[1].text, std::string("HotSpot \"2\" deleted."));
        QCOMPARE(fx.hook.boxes[1].kind, std::string("Information"));
        QCOMPARE(fx.hook.beeps, 2);
        QCOMPARE(fx.state().hotspotCount, 2);
        QCOMPARE(fx.state().hotspotApplication[2], std::string("/apps/tool3.exe"));
        QCOMPARE(f->TrackBar1->maximum(), 3);
        QCOMPARE(f->TrackBar1->value(), 2);
        QCOMPARE(f->Edit5->text(), QString("2"));
        QCOMPARE(f->Edit5->toolTip(), QString("tool3.exe"));
    }

    void deleteAnsweredNoKeepsTheEditorOpen() {
        openProject(1);
        openEditor(1);
        fx.hook.answer(Answer::No);
        e->BitBtn3->click();
        QVERIFY(e->isVisible());
        QVERIFY(!torvana::fileExists(torvana::deleteFilePath()));
        QCOMPARE(e->Edit1->text(), QString("/apps/tool1.exe"));
        e->BitBtn2->click();
        waitForMainWindow();
    }

    void deletingTheOnlyHotspotAndTheFreeSlot() {
        openProject(1);
        openEditor(2);  // the free slot: asked, written, reported, and nothing changes
        fx.hook.answer(Answer::Yes);
        fx.hook.answer(Answer::Ok);
        e->BitBtn3->click();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotCount, 1);
        QCOMPARE(f->TrackBar1->maximum(), 2);
        QCOMPARE(f->TrackBar1->value(), 1);  // the selection moves to the last hotspot
        QCOMPARE(f->Edit5->text(), QString("1"));
        openEditor(1);
        fx.hook.answer(Answer::Yes);
        fx.hook.answer(Answer::Ok);
        e->BitBtn3->click();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotCount, 0);
        QCOMPARE(f->TrackBar1->maximum(), 1);
        QCOMPARE(f->TrackBar1->value(), 1);
    }

    void cancelAndTheCloseBoxChangeNothing() {
        openProject(2);
        openEditor(1);
        e->Edit1->setText("typed");
        QTest::keyClick(e->Edit2, Qt::Key_Escape);
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotApplication[1], std::string("/apps/tool1.exe"));
        // Reopened, the editor shows the slot, not the earlier typing.
        openEditor(1);
        QCOMPARE(e->Edit1->text(), QString("/apps/tool1.exe"));
        e->Edit1->setText("typed again");
        e->close();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotApplication[1], std::string("/apps/tool1.exe"));
        QCOMPARE(fx.state().hotspotCount, 2);
    }

    void validationInOrderWithFocusMoves() {
        openProject(1);
        openEditor(2);
        struct Case {
            QString app, image, x, y;
            const char* message;
            QLineEdit* focus;
        } cases[] = {
            {"", "", "", "", "Application is required.", e->Edit1},
            {"a", "", "", "", "Rollover Image is required.", e->Edit2},
            {"a", "r", "", "", "X coordinate is required.", e->Edit5},
            {"a", "r", "0", "", "X coordinate has to be from 1 to 640.", e->Edit5},
            {"a", "r", "641", "5", "X coordinate has to be from 1 to 640.", e->Edit5},
            {"a", "r", "-5", "5", "X coordinate has to be from 1 to 640.", e->Edit5},
            {"a", "r", "640", "", "Y coordinate is required.", e->Edit6},
            {"a", "r", "640", "481", "Y coordinate has to be from 1 to 480.", e->Edit6},
            {"a", "r", "1", "0", "Y coordinate has to be from 1 to 480.", e->Edit6},
        };
        e->activateWindow();
        for (const Case& c : cases) {
            e->Edit1->setText(c.app);
            e->Edit2->setText(c.image);
            e->Edit5->setText(c.x);
            e->Edit6->setText(c.y);
            e->BitBtn2->setFocus();
            fx.hook.answer(Answer::Ok);
            e->BitBtn1->click();
            const torvana::toolkit::BoxRecord& box = fx.hook.boxes.back();
            QCOMPARE(box.text, std::string(c.message));
            QCOMPARE(box.kind, std::string("Error"));
            QCOMPARE(box.caption, std::string("Error"));
            QCOMPARE(box.buttons, std::vector<std::string>{"OK"});
            QCOMPARE(e->focusWidget(), c.focus);
            QVERIFY(e->isVisible());
        }
        QCOMPARE(fx.hook.beeps, int(std::size(cases)));
        // A coordinate that does not convert: the error box names it; the focus stays.
        for (const char* bad : {"12a", "7 ", "1.5", "  "}) {
            e->Edit5->setText(bad);
            e->Edit6->setText("5");
            e->BitBtn2->setFocus();
            fx.hook.answer(Answer::Ok);
            e->BitBtn1->click();
            QCOMPARE(fx.hook.boxes.back().kind, std::string("ErrorBox"));
            QCOMPARE(fx.hook.boxes.back().text, "'" + std::string(bad) + "' is not a valid integer value.");
            QCOMPARE(e->focusWidget(), e->BitBtn2);
        }
        QVERIFY(!torvana::fileExists(torvana::acceptFilePath()));
        e->Edit5->setText("640");
        e->Edit6->setText("480");
        e->BitBtn1->click();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotCount, 2);
    }

    void hintsFollowToolTipHelp() {
        openProject(1);
        f->ToolTipHelp1->trigger();  // off
        openEditor(1);
        for (QWidget* w : e->hintControls()) QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        QCOMPARE(e->Image1->toolTip(), QString("Browse"));
        QCOMPARE(f->Edit5->toolTip(), QString("tool1.exe"));
        e->BitBtn2->click();
        waitForMainWindow();
        f->ToolTipHelp1->trigger();  // on
        openEditor(1);
        QCOMPARE(e->Edit3->toolTip(), QString("The sound when the the mouse is over this HotSpot"));
        QCOMPARE(e->BitBtn3->toolTip(), QString("Delete current HotSpot"));
        e->BitBtn2->click();
        waitForMainWindow();
    }

    void browsePicturesFillTheirFields() {
        openProject(1);
        openEditor(1);
        fx.hook.chooseFile(fx.path("any.exe"));
        e->Image1Click();
        fx.hook.chooseFile(fx.path("pic.gif"));
        e->Image4Click();
        fx.hook.chooseFile(fx.path("over.wav"));
        e->Image2Click();
        fx.hook.cancelFile();
        e->Image3Click();
        QCOMPARE(e->Edit1->text().toStdString(), fx.path("any.exe"));
        QCOMPARE(e->Edit2->text().toStdString(), fx.path("pic.gif"));
        QCOMPARE(e->Edit3->text().toStdString(), fx.path("over.wav"));
        QCOMPARE(e->Edit4->text(), QString());
        // The first dialog was the Open of the project; the editor has one of its own.
        const std::vector<torvana::toolkit::FileDialogRecord> d(fx.hook.fileDialogs.begin() + 1, fx.hook.fileDialogs.end());
        QCOMPARE(d[0].title, std::string("Any File"));
        QCOMPARE(d[0].filter, std::string("Any File (*.*) |*.*"));
        // In the dialog "*.*" lists every file, also a program without an extension.
        QCOMPARE(torvana::toolkit::qtFilterFrom(d[0].filter), std::string("Any File (*)"));
        QCOMPARE(d[1].title, std::string("Image Files"));
        QCOMPARE(d[1].filter, std::string("Image Files (*.gif;*.bmp) |*.gif;*.bmp|Pictures (*.gif;*.bmp;*.png;*.jpg;*.jpeg) |*.gif;*.bmp;*.png;*.jpg;*.jpeg"));
        // GIF and BMP first, then every picture the players show.
        QCOMPARE(torvana::toolkit::qtFilterFrom(d[1].filter),
                 std::string("Image Files (*.gif *.bmp);;Pictures (*.gif *.bmp *.png *.jpg *.jpeg)"));
        QCOMPARE(d[2].title, std::string("Any WAV File"));
        QCOMPARE(d[3].filter, std::string("WAV Files (*.wav) |*.wav"));
        QCOMPARE(d[0].startFile, std::string());
        // F4 in a field opens that field's picker.
        fx.hook.chooseFile(fx.path("click.wav"));
        QTest::keyClick(e->Edit4, Qt::Key_F4);
        QCOMPARE(e->Edit4->text().toStdString(), fx.path("click.wav"));
        QCOMPARE(fx.hook.fileDialogs.back().filter, std::string("WAV Files (*.wav) |*.wav"));
        // The WAV dialog opens where the picture was chosen last but proposes no picture; a
        // field that names a file starts at it, not at the file chosen last.
        QCOMPARE(d[2].startFile, std::string());
        QCOMPARE(d[2].startFolder, fx.dirPath().toStdString());
        fx.hook.cancelFile();
        QTest::keyClick(e->Edit2, Qt::Key_F4);
        QCOMPARE(fx.hook.fileDialogs.back().startFile, fx.path("pic.gif"));
        e->BitBtn2->click();
        waitForMainWindow();
    }

    void hostileHandOffFilesNeverReachPastTheSlots() {
        openProject(3);
        struct Case {
            std::string file;
            std::string bytes;
            std::string error;  // empty: applied without a box
        } cases[] = {
            {torvana::acceptFilePath(), "0\r\na\r\n", "The hotspot editor handed back hotspot 0, but hotspots are numbered 1 to 99; nothing was changed."},
            {torvana::acceptFilePath(), "-1\r\n", "The hotspot editor handed back hotspot -1, but hotspots are numbered 1 to 99; nothing was changed."},
            {torvana::acceptFilePath(), "100\r\n", "The hotspot editor handed back hotspot 100, but hotspots are numbered 1 to 99; nothing was changed."},
            {torvana::acceptFilePath(), "2147483647\r\n", "The hotspot editor handed back hotspot 2147483647, but hotspots are numbered 1 to 99; nothing was changed."},
            {torvana::deleteFilePath(), "0\r\n", "The hotspot editor handed back hotspot 0, but hotspots are numbered 1 to 99; nothing was changed."},
            {torvana::deleteFilePath(), "100\r\n", "The hotspot editor handed back hotspot 100, but hotspots are numbered 1 to 99; nothing was changed."},
        };
        for (const Case& c : cases) {
            torvana::replaceFileContents(c.file, c.bytes);
            fx.hook.answer(Answer::Ok);
            f->FormActivate();
            QCOMPARE(fx.hook.boxes.back().text, c.error);
            QVERIFY(!torvana::fileExists(c.file));  // removed, so it is not applied again
            QCOMPARE(fx.state().hotspotCount, 3);
            QCOMPARE(f->TrackBar1->maximum(), 4);
        }
        // Not a number, or an empty file: the conversion error, and the file stays.
        for (const std::string& bytes : {std::string("abc\r\n"), std::string()}) {
            torvana::replaceFileContents(torvana::acceptFilePath(), bytes);
            fx.hook.answer(Answer::Ok);
            f->FormActivate();
            QCOMPARE(fx.hook.boxes.back().text, "'" + bytes.substr(0, 3) + "' is not a valid integer value.");
            QVERIFY(torvana::fileExists(torvana::acceptFilePath()));
            torvana::deleteFile(torvana::acceptFilePath());
        }
        // A hand-off file of gigabytes is refused unread; it stays for the user to look at.
        torvana::replaceFileContents(torvana::acceptFilePath(), "4\r\n");
        std::filesystem::resize_file(torvana::acceptFilePath(), uint64_t{5} << 29);  // 2.5 GB, sparse
        fx.hook.answer(Answer::Ok);
        f->FormActivate();
        QCOMPARE(fx.hook.boxes.back().text, "\"" + torvana::acceptFilePath() + "\" is larger than 16 MB.");
        QCOMPARE(fx.state().hotspotCount, 3);
        torvana::deleteFile(torvana::acceptFilePath());
        // Missing lines read as empty.
        torvana::replaceFileContents(torvana::acceptFilePath(), "5\r\nonly.exe");
        f->FormActivate();
        QCOMPARE(fx.state().hotspotCount, 5);
        QCOMPARE(fx.state().hotspotApplication[5], std::string("only.exe"));
        QCOMPARE(fx.state().hotspotRolloverImage[5], std::string());
        // Both files at once: the delete first, then the accepted hotspot.
        torvana::replaceFileContents(torvana::deleteFilePath(), "1\r\n");
        torvana::replaceFileContents(torvana::acceptFilePath(), torvana::formatAcceptFile("4", {"new.exe", "n.gif", "1", "1", "", ""}));
        f->FormActivate();
        QCOMPARE(fx.state().hotspotCount, 4);
        QCOMPARE(fx.state().hotspotApplication[1], std::string("/apps/tool2.exe"));
        QCOMPARE(fx.state().hotspotApplication[4], std::string("new.exe"));
        QCOMPARE(f->TrackBar1->maximum(), 5);
    }

    void ninetyNineHotspotsCapTheTrackBar() {
        openProject(98);
        QCOMPARE(f->TrackBar1->maximum(), 99);
        torvana::replaceFileContents(torvana::acceptFilePath(), torvana::formatAcceptFile("99", {"last.exe", "l.gif", "1", "1", "", ""}));
        f->FormActivate();
        QCOMPARE(fx.state().hotspotCount, 99);
        QCOMPARE(f->TrackBar1->maximum(), 99);
        torvana::replaceFileContents(torvana::deleteFilePath(), "99\r\n");
        f->FormActivate();
        QCOMPARE(fx.state().hotspotCount, 98);
        QCOMPARE(f->TrackBar1->maximum(), 99);
        QCOMPARE(fx.state().hotspotApplication[99], std::string());
    }

    // The hand-off goes through the editor's own folder (this user's only); files of those names
    // in the folder the program started in, or in the folder of a picked file, are never read,
    // written or deleted.
    void handOffFilesElsewhereAreNeverTouched() {
        QCOMPARE(std::filesystem::status(torvana::handOffFolder()).permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_all);
        const std::string planted = torvana::formatAcceptFile("1", {"file:///C:/calc.exe", "a.gif", "1", "1", "", ""});
        torvana::replaceFileContents("config.$$$", planted);
        torvana::replaceFileContents("config.del", "1\r\n");
        openProject(2);
        openEditor(2);
        fx.hook.chooseFile(fx.path("click.wav"));
        QTest::keyClick(e->Edit4, Qt::Key_F4);  // the picked file's folder becomes current
        e->BitBtn1->click();
        waitForMainWindow();
        QCOMPARE(fx.state().hotspotCount, 2);
        QCOMPARE(fx.state().hotspotApplication[1], std::string("/apps/tool1.exe"));
        QCOMPARE(fx.state().hotspotClickWav[2], fx.path("click.wav"));
        QCOMPARE(torvana::readFileContents(fx.path("config.$$$")), planted);
        QCOMPARE(torvana::readFileContents(fx.path("config.del")), std::string("1\r\n"));
    }
};

QTEST_MAIN(HotspotEditorTest)
#include "hotspot_editor_test.moc"
