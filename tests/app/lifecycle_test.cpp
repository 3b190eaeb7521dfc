// New, Open, Close and Exit: what each does to the window and the project, and the question
// that protects an unsaved project.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "hotspot/ui/hotspot_editor.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "staging/ui/staging_folder_dialog.h"
#include "test_support/window_fixture.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/widgets.h"

using torvana::toolkit::Answer;

namespace {
constexpr const char* kContinue = "Warning!  Current project is not saved.  Continue?";
}

class LifecycleTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;

    std::string writeProject(const char* name, int hotspots) {
        torvana::Project d;
        d.hotspotCount = hotspots;
        d.showExit = true;
        d.cdTitle = "Title of " + std::string(name);
        d.stagingFolder = "/stage";
        d.backgroundImage = "/art/back.gif";
        d.openingWav = "/art/open.wav";
        for (int i = 1; i <= hotspots; ++i)
            d.hotspots.push_back({"/apps/tool" + std::to_string(i) + ".exe", "/art/r.gif", "5", "6", "", "/c.wav"});
        const std::string p = fx.path(name);
        torvana::writeProjectFile(p, d);
        return p;
    }

    void open(const std::string& path) {
        fx.hook.chooseFile(path);
        f->Open1Click();
    }

    // Runs New, filling the dialog with `name` and pressing OK (or Cancel).
    void runNew(const QString& name, bool ok = true) {
        whenModal("TForm3", [name, ok](QWidget* w) {
            auto* d = static_cast<TForm3*>(w);
            d->Edit1->setText(name);
            (ok ? d->BitBtn1 : d->BitBtn2)->click();
        });
        f->New1Click();
    }

    // What the user sees of the open project.
    QString snapshot() const {
        QStringList s{f->windowTitle(), f->Edit1->text(), f->Edit2->text(), f->Edit3->text(), f->Edit4->text(),
                      f->Edit5->text(), f->Edit5->toolTip(), QString::number(f->TrackBar1->maximum()),
                      QString::number(f->TrackBar1->value()), QString::number(f->CheckBox1->isChecked()),
                      QString::number(f->CheckBox2->isChecked()), QString::number(f->BitBtn3->isEnabled()),
                      QString::number(fx.state().hotspotCount), QString::fromStdString(fx.state().projectPath)};
        for (int slot = 1; slot <= 3; ++slot) s << QString::fromStdString(fx.state().hotspotApplication[slot]);
        return s.join('|');
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
    }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void openFillsTheWindowFromTheFile() {
        fx.changeHotspot(21, [](torvana::Hotspot& h) { h.application = "kept beyond slot 20"; });
        open(writeProject("photos.cdrom", 3));
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (photos.cdrom)"));
        QCOMPARE(fx.state().projectName, std::string("photos.cdrom"));
        QCOMPARE(f->Edit1->text(), QString("Title of photos.cdrom"));
        QCOMPARE(f->Edit4->text(), QString("/art/open.wav"));
        QVERIFY(!f->CheckBox1->isChecked());
        QVERIFY(f->CheckBox2->isChecked());
        QCOMPARE(fx.state().hotspotCount, 3);
        QCOMPARE(f->TrackBar1->maximum(), 4);
        QCOMPARE(f->TrackBar1->value(), 1);
        QCOMPARE(f->Edit5->text(), QString("1"));
        QCOMPARE(f->Edit5->toolTip(), QString("tool1.exe"));
        QCOMPARE(fx.state().hotspotClickWav[3], std::string("/c.wav"));
        QCOMPARE(fx.state().hotspotApplication[21], std::string("kept beyond slot 20"));
        QVERIFY(f->BitBtn3->isEnabled());
        QVERIFY(!fx.state().projectSaved);
        // The dialog proposed nothing the first time and made the file's folder current.
        QCOMPARE(fx.hook.fileDialogs[0].startFile, std::string());
        QCOMPARE(QDir::currentPath(), fx.dirPath());
    }

    // Values have no length limit: Open shows them whole, so Save gives back what it read, and
    // every field of every window takes text of that length.
    void longValuesAreKeptWhole() {
        const std::string longText = "/" + std::string(40000, 'a') + ".gif";
        torvana::Project d;
        d.cdTitle = longText;
        d.backgroundImage = longText;
        const std::string p = fx.path("long.cdrom");
        torvana::writeProjectFile(p, d);
        open(p);
        QCOMPARE(f->Edit1->text().toStdString(), longText);
        QCOMPARE(f->Edit3->text().toStdString(), longText);
        const QString typed = QString::fromStdString(longText);
        for (QWidget* w : std::initializer_list<QWidget*>{f, forms().Form2, forms().Form3, forms().Form4})
            for (QLineEdit* field : w->findChildren<QLineEdit*>()) {
                field->setText(typed);
                QCOMPARE(field->text().size(), typed.size());
            }
    }

    void openWithNoHotspotsAndOpeningAgainProposesTheLastFile() {
        const std::string empty = writeProject("empty.cdrom", 0);
        open(empty);
        QCOMPARE(fx.state().hotspotCount, 0);
        QCOMPARE(f->TrackBar1->maximum(), 1);
        QCOMPARE(f->Edit5->toolTip(), QString());
        fx.hook.answer(Answer::Yes);
        fx.hook.cancelFile();
        f->Open1Click();
        QCOMPARE(fx.hook.fileDialogs[1].startFile, empty);
        QCOMPARE(fx.state().projectName, std::string("empty.cdrom"));  // cancelled: nothing changed
    }

    // "torvana FILE.cdrom": the project opens without a dialog or a question, and the Open
    // dialog proposes it next.
    void aProjectNamedAtStartOpensWithoutAsking() {
        const std::string path = writeProject("named.cdrom", 2);
        f->openProjectFile(path);
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (named.cdrom)"));
        QCOMPARE(fx.state().hotspotCount, 2);
        QVERIFY(fx.hook.fileDialogs.empty() && fx.hook.boxes.empty());
        fx.hook.answer(Answer::Yes);
        fx.hook.cancelFile();
        f->Open1Click();
        QCOMPARE(fx.hook.fileDialogs[0].startFile, path);
    }

    void aFailedOpenKeepsTheProjectOnScreen() {
        open(writeProject("good.cdrom", 2));
        f->Edit1->setText("typed but not saved");
        const QString before = snapshot();

        torvana::replaceFileContents(fx.path("words.cdrom"), "two\r\nTRUE\r\n");
        torvana::replaceFileContents(fx.path("many.cdrom"), "100\r\n");
        struct Case {
            std::string path, text;
        } cases[] = {
            {fx.path("words.cdrom"), "'two' is not a valid integer value."},
            {fx.path("many.cdrom"), "The project file " + fx.path("many.cdrom") + " gives 100 hotspots; a project holds 0 to 99."},
            {fx.path("missing.cdrom"), "File not found: \"" + fx.path("missing.cdrom") + "\""},
            {fx.dirPath().toStdString(), "\"" + fx.dirPath().toStdString() + "\" is a folder, not a project file."},
        };
        for (const Case& c : cases) {
            fx.hook.answer(Answer::Yes);  // not saved: continue?
            fx.hook.answer(Answer::Ok);   // the error box
            open(c.path);
            const torvana::toolkit::BoxRecord& box = fx.hook.boxes.back();
            QCOMPARE(box.kind, std::string("ErrorBox"));
            QCOMPARE(box.caption, std::string("Torvana"));
            QCOMPARE(box.text, c.text);
            QCOMPARE(snapshot(), before);
            QCOMPARE(fx.state().projectName, std::string("good.cdrom"));
        }
    }

    void newCreatesAnEmptyProjectWithoutWriting() {
        open(writeProject("old.cdrom", 3));
        fx.document().undoStack()->setClean();  // as after a Save: New asks nothing
        runNew("photos.cdrom");
        const std::string path = fx.path("photos.cdrom.cdrom");
        QCOMPARE(fx.state().projectName, std::string("photos.cdrom.cdrom"));
        QCOMPARE(fx.state().projectPath, path);
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (photos.cdrom.cdrom)"));
        QCOMPARE(fx.state().hotspotCount, 1);
        QCOMPARE(f->TrackBar1->maximum(), 1);
        QCOMPARE(f->Edit1->text(), QString());
        QCOMPARE(f->Edit5->text(), QString("1"));
        QVERIFY(!f->CheckBox2->isChecked());
        QCOMPARE(fx.state().hotspotApplication[2], std::string());
        QVERIFY(f->BitBtn3->isEnabled());
        QVERIFY(!fx.state().projectSaved);
        QVERIFY(!torvana::fileExists(path));
        QVERIFY(fx.hook.boxes.empty());
    }

    void newThatIsAbandonedChangesNothing() {
        open(writeProject("old.cdrom", 2));
        const QString before = snapshot();
        // Empty name, Cancel, No to the question, No to the overwrite question.
        fx.hook.answer(Answer::Yes);
        runNew("");
        fx.hook.answer(Answer::Yes);
        runNew("x", false);
        fx.hook.answer(Answer::No);
        f->New1Click();
        torvana::replaceFileContents(fx.path("there.cdrom"), "0\r\n");
        fx.hook.answer(Answer::Yes);
        fx.hook.answer(Answer::No);
        runNew("there");
        QCOMPARE(fx.hook.boxes.back().text, "Do you want to overwrite file \"" + fx.path("there.cdrom") + "\" ?");
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
        QCOMPARE(snapshot(), before);
        // Yes to the overwrite question goes on, and still writes nothing.
        fx.hook.answer(Answer::Yes);
        fx.hook.answer(Answer::Yes);
        runNew("there");
        QCOMPARE(fx.state().projectName, std::string("there.cdrom"));
        QCOMPARE(torvana::readFileContents(fx.path("there.cdrom")), std::string("0\r\n"));
    }

    void theNewProjectDialogKeepsNameAndFolder() {
        QDir(fx.dirPath()).mkdir("sub");
        auto* dialog = forms().Form3;
        whenModal("TForm3", [&](QWidget*) {
            dialog->Edit1->setText("first");
            QVERIFY(dialog->DirectoryListBox1->openFolder(fx.path("sub")));
            dialog->BitBtn1->click();
        });
        f->New1Click();
        QCOMPARE(fx.state().projectPath, fx.path("sub") + "/first.cdrom");
        // Opening a folder in the dialog made it current.
        QCOMPARE(QDir::currentPath(), QString::fromStdString(fx.path("sub")));
        QString nameSeen, folderSeen;
        whenModal("TForm3", [&](QWidget*) {
            nameSeen = dialog->Edit1->text();
            folderSeen = QString::fromStdString(dialog->DirectoryListBox1->directory());
            dialog->BitBtn2->click();
        });
        fx.hook.answer(Answer::Yes);
        f->New1Click();
        QCOMPARE(nameSeen, QString("first"));
        QCOMPARE(folderSeen, QString::fromStdString(fx.path("sub")));
    }

    // Enter in the folder list presses OK with the folder that is open, not the one highlighted
    // (the list is the staging-folder dialog's too).
    void enterInTheFolderListPressesOk() {
        QDir(fx.dirPath()).mkpath("sub/inner");
        auto* dialog = forms().Form3;
        whenModal("TForm3", [&](QWidget*) {
            dialog->Edit1->setText("typed");
            QVERIFY(dialog->DirectoryListBox1->openFolder(fx.path("sub")));
            auto* list = dialog->DirectoryListBox1;
            list->setFocus();
            list->setCurrentRow(list->count() - 1);  // "inner", highlighted only
            QTest::keyClick(list, Qt::Key_Return);
            if (dialog->isVisible()) dialog->BitBtn2->click();  // Enter did not press OK
        });
        f->New1Click();
        QCOMPARE(fx.state().projectPath, fx.path("sub") + "/typed.cdrom");
    }

    void closeEmptiesTheWindowAndKeepsThePath() {
        const std::string path = writeProject("p.cdrom", 2);
        open(path);
        fx.hook.answer(Answer::No);
        f->Close1Click();
        QVERIFY(fx.state().projectOpen());
        fx.hook.answer(Answer::Yes);
        f->Close1Click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("Warning!  Current project is not saved.  Close file?"));
        QVERIFY(!fx.state().projectOpen());
        QCOMPARE(fx.state().projectPath, path);
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5"));
        QCOMPARE(fx.state().hotspotCount, 1);
        QCOMPARE(f->TrackBar1->maximum(), 1);
        QCOMPARE(f->Edit2->text(), QString());
        QVERIFY(!f->BitBtn3->isEnabled());
        QCOMPARE(fx.state().hotspotApplication[1], std::string());
    }

    // A label belongs to its project: after New, Open and Close no slot of the 99 keeps one, so a
    // hotspot accepted into a high slot of the next project does not take one on.
    void noLabelOutlivesItsProject_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("New") << 0;
        QTest::newRow("Open") << 1;
        QTest::newRow("Close") << 2;
    }
    void noLabelOutlivesItsProject() {
        QFETCH(int, command);
        open(writeProject("before.cdrom", 1));
        for (int slot = 1; slot <= torvana::kMaxHotspots; ++slot) fx.document().labelHotspot(slot, "Label " + std::to_string(slot));
        fx.document().undoStack()->setClean();
        if (command == 0) runNew("after");
        if (command == 1) open(writeProject("after.cdrom", 1));
        if (command == 2) f->Close1Click();
        for (int slot = 1; slot <= torvana::kMaxHotspots; ++slot)
            QVERIFY2(fx.state().hotspotLabel[slot].empty(), std::to_string(slot).c_str());
    }

    void theQuestionOnlyGuardsAnOpenUnsavedProject() {
        // No project open: no question, though nothing is saved.
        fx.hook.cancelFile();
        f->Open1Click();
        f->Close1Click();
        QVERIFY(fx.hook.boxes.empty());
        // Open and at once Open again: the question for Open, each with a beep.
        open(writeProject("a.cdrom", 1));
        fx.hook.answer(Answer::No);
        f->Open1Click();
        QCOMPARE(fx.hook.boxes.size(), size_t(1));
        QCOMPARE(fx.hook.boxes[0].text, std::string(kContinue));
        QCOMPARE(fx.hook.boxes[0].buttons, (std::vector<std::string>{"&Yes", "&No"}));
        QCOMPARE(fx.hook.beeps, 1);
        // After a Save nothing asks until something is edited.
        fx.document().undoStack()->setClean();
        f->Close1Click();
        QCOMPARE(fx.hook.boxes.size(), size_t(1));
    }
};

QTEST_MAIN(LifecycleTest)
#include "lifecycle_test.moc"
