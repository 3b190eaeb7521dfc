// File > Check Disc and File > Make Disc Image... in the main window, on generated projects with
// real files: the findings window, going to what a finding concerns, removing leftovers only
// after a yes, and images written, refused and cancelled.

#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/forms.h"
#include "app/main_window.h"
#include "disc/ui/disc_check_window.h"
#include "disc/disc_project.h"
#include "hotspot/ui/hotspot_editor.h"
#include "test_support/window_fixture.h"
#include "toolkit/progress.h"
#include "toolkit/widgets.h"

namespace fs = std::filesystem;
using torvana::toolkit::Answer;

class DiscWindowTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;
    std::unique_ptr<disctest::DiscProject> p;

    void openProject() {
        p->save();
        fx.hook.chooseFile(p->state.projectPath);
        f->Open1Click();
        fx.document().setProgramFolder(p->state.programFolder);
    }

    // Opens Check Disc and hands its window to `act` once it shows.
    void checkDisc(std::function<void(TDiscCheckForm*)> act) {
        std::string failure;
        whenModal("TDiscCheckForm", [act](QWidget* w) { act(static_cast<TDiscCheckForm*>(w)); }, &failure);
        f->CheckDisc1->trigger();
        QVERIFY2(failure.empty(), failure.c_str());
    }

    static QStringList rows(TDiscCheckForm* w) {
        QStringList out;
        for (int i = 0; i < w->ListView1->topLevelItemCount(); ++i)
            out << w->ListView1->topLevelItem(i)->text(0) + " | " + w->ListView1->topLevelItem(i)->text(2);
        return out;
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
        p = std::make_unique<disctest::DiscProject>();
    }
    void cleanup() {
        torvana::toolkit::ProgressWindow::setShowAfter(500);
        p.reset();
        VERIFY_NO_PROBLEMS(fx);
    }

    void withoutAProjectBothCommandsAskForOne() {
        for (QAction* item : {f->CheckDisc1, f->MakeDiscImage1}) {
            fx.hook.answer(Answer::Ok);
            item->trigger();
            QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
            QCOMPARE(fx.hook.boxes.back().text, std::string("Please select or open a project file from the \"File\" menu."));
        }
        QVERIFY(fx.hook.fileDialogs.empty());
    }

    void findingsInOrderLeftoversRemovedAfterYesAndAFieldOpened() {
        openProject();
        f->Edit3->setText(QString::fromStdString(p->art + "/gone.bmp"));  // as typed, not yet saved
        fs::create_directories(p->stage);
        torvana::replaceFileContents(p->stage + "/old.cdrom", "1");
        checkDisc([&](TDiscCheckForm* w) {
            QCOMPARE(rows(w), QStringList({"error | gone.bmp", "note | old.cdrom"}));
            QVERIFY(w->Label1->text().endsWith("1 error, 0 warnings, 1 note."));
            QVERIFY(w->Label2->text().startsWith("The background picture \""));
            QVERIFY(w->Button1->isEnabled());
            fx.hook.answer(Answer::No);
            w->Button1->click();
            QVERIFY(fs::exists(p->stage + "/old.cdrom"));
            fx.hook.answer(Answer::Yes);
            w->Button1->click();
            QCOMPARE(fx.hook.boxes.back().kind, std::string("Warning"));
            QVERIFY(!fs::exists(p->stage + "/old.cdrom"));
            QCOMPARE(rows(w), QStringList({"error | gone.bmp"}));  // checked again
            QVERIFY(!w->Button1->isEnabled());
            // Enter on the finding opens it, as a double click does.
            w->ListView1->setFocus();
            QTest::keyClick(w->ListView1, Qt::Key_Return);
        });
        QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->Edit3));
    }

    void aHotspotFindingOpensTheHotspotEditor() {
        p->addHotspot("EXIT", "");
        openProject();
        checkDisc([&](TDiscCheckForm* w) {
            QCOMPARE(rows(w), QStringList({"warning | "}));
            emit w->ListView1->itemDoubleClicked(w->ListView1->topLevelItem(0), 1);
        });
        QVERIFY(forms().Form2->isVisible());
        QCOMPARE(f->TrackBar1->position(), 2);
        forms().Form2->BitBtn2Click();
    }

    void makeDiscImageBuildsThenWritesIt() {
        openProject();
        const std::string image = fx.path("summer.iso");
        fx.hook.chooseFile(image);
        fx.hook.answer(Answer::Ok);
        f->MakeDiscImage1->trigger();
        QCOMPARE(fx.hook.fileDialogs.back().title, std::string("Make Disc Image"));
        QVERIFY(fx.hook.fileDialogs.back().save);
        QCOMPARE(fx.hook.boxes.size(), size_t(1));  // one closing message, for the build and the image
        const torvana::toolkit::BoxRecord& box = fx.hook.boxes.back();
        QCOMPARE(box.kind, std::string("Information"));
        QVERIFY2(box.text.rfind("All Files copied over to \"" + p->stage + "\", and the disc image \"" + image +
                                    "\" is written (",
                                0) == 0,
                 box.text.c_str());
        QVERIFY(fs::file_size(image) > 16 * 2048);
        QVERIFY(f->BitBtn4->isEnabled());
        // The CD title's image beside the staging folder was proposed.
        QCOMPARE(fx.hook.fileDialogs.back().startFile, p->dir.file("Summer Photos.iso"));
        // An image over the project file is refused before anything is built.
        fx.hook.chooseFile(p->state.projectPath);
        fx.hook.answer(Answer::Ok);
        const std::string project = torvana::readFileContents(p->state.projectPath);
        f->MakeDiscImage1->trigger();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Error"));
        QCOMPARE(fx.hook.boxes.back().text,
                 "The disc image cannot be written to \"" + p->state.projectPath + "\": it is the project file.");
        QCOMPARE(torvana::readFileContents(p->state.projectPath), project);
    }

    void noImageFromAnIncompleteBuildOrACancel() {
        p->hotspot(1).clickWav = p->art + "/gone.wav";
        openProject();
        const std::string image = fx.path("disc.iso");
        fx.hook.chooseFile(image);
        fx.hook.answer(Answer::Ok);  // the copy rule's warning
        fx.hook.answer(Answer::Ok);
        f->MakeDiscImage1->trigger();
        QCOMPARE(fx.hook.boxes.size(), size_t(2));
        QCOMPARE(fx.hook.boxes[1].kind, std::string("Error"));
        QCOMPARE(fx.hook.boxes[1].text,
                 std::string("The disc image was not made, since files could not be copied into the staging folder."));
        QVERIFY(!fs::exists(image));

        // Cancel in the progress window: no file, no message.
        fx.changeHotspot(1, [](torvana::Hotspot& h) { h.clickWav.clear(); });
        disctest::DiscProject& q = *p;
        torvana::replaceFileContents(q.art + "/big.exe", "");
        fs::resize_file(q.art + "/big.exe", 96u << 20);
        fx.changeHotspot(1, [&](torvana::Hotspot& h) { h.application = q.art + "/big.exe"; });
        torvana::toolkit::ProgressWindow::setShowAfter(0);
        QTimer cancel;
        cancel.setInterval(1);
        int cancels = 0;
        connect(&cancel, &QTimer::timeout, [&] {
            for (QProgressDialog* d : f->findChildren<QProgressDialog*>())
                if (d->isVisible() && d->labelText().startsWith("Writing disc.iso")) {
                    d->cancel();
                    ++cancels;
                }
        });
        cancel.start();
        fx.hook.chooseFile(image);
        f->MakeDiscImage1->trigger();
        cancel.stop();
        QVERIFY(cancels > 0);
        QCOMPARE(fx.hook.boxes.size(), size_t(2));
        QVERIFY(!fs::exists(image));
        for (const auto& e : fs::directory_iterator(fx.dirPath().toStdString()))
            QVERIFY2(e.path().extension() != ".tmp", e.path().c_str());
    }
};

QTEST_MAIN(DiscWindowTest)
#include "disc_window_test.moc"
