// The HotSpot Layout window as a user works with it: the mouse drags hotspots, the arrow keys
// nudge them, Ctrl+Z and Ctrl+Shift+Z take moves back and forth, a click selects on the main
// window's track bar, a double-click opens the hotspot editor, and the window follows the
// project through the editor's hand-off, the background field, New, Open and Close.

#include <QCheckBox>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>
#include <functional>
#include <map>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "gif/gif_writer.h"
#include "gif/qt/gif_picture.h"
#include "hotspot/hand_off.h"
#include "hotspot/ui/hotspot_editor.h"
#include "hotspot/ui/hotspot_layout.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/window_fixture.h"
#include "toolkit/widgets.h"

namespace {

const QColor kBlue(20, 40, 160);
const QColor kGreen(0, 200, 0);
const QColor kMagenta(220, 0, 220);
const QColor kRed(230, 0, 0);

}  // namespace

class HotspotLayoutTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;
    THotspotLayout* L = nullptr;

    std::string picture(const char* name, int w, int h, const QColor& color) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(color);
        const std::string path = fx.path(name);
        image.save(QString::fromLocal8Bit(path.c_str()), "BMP");
        return path;
    }

    // Three hotspots: 1 with a 60 x 40 green picture at 100, 100; 2 with an 80 x 30 magenta one
    // at 200, 150; 3 without a picture at 400, 300.
    void openProject(std::vector<torvana::Hotspot> extra = {}) {
        torvana::Project d;
        d.stagingFolder = fx.path("stage");
        d.backgroundImage = picture("back.bmp", 640, 480, kBlue);
        d.hotspots = {{"/apps/one.exe", picture("r1.bmp", 60, 40, kGreen), "100", "100", "", ""},
                      {"/apps/two.exe", picture("r2.bmp", 80, 30, kMagenta), "200", "150", "", ""},
                      {"exit", fx.path("gone.gif"), "400", "300", "", ""}};
        for (const auto& h : extra) d.hotspots.push_back(h);
        d.hotspotCount = int(d.hotspots.size());
        torvana::writeProjectFile(fx.path("p.cdrom"), d);
        fx.hook.chooseFile(fx.path("p.cdrom"));
        f->Open1Click();
        f->show();
        showLayout();
    }

    void showLayout() {
        f->BitBtn5->click();
        QVERIFY(QTest::qWaitForWindowExposed(L));
        L->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(L));
        L->refreshNow();
    }

    // A point of the stage in the layout window's coordinates, where the mouse goes.
    QPoint at(QPoint stagePoint) const {
        return L->LayoutView->viewport()->mapTo(L, L->LayoutView->mapFromScene(stagePoint));
    }
    QColor pixel(QPoint stagePoint) const {
        const QImage shot = L->LayoutView->viewport()->grab().toImage();
        return shot.pixelColor(L->LayoutView->mapFromScene(stagePoint));
    }

    void drag(QPoint from, QPoint by) {
        QWindow* w = L->windowHandle();
        QTest::mousePress(w, Qt::LeftButton, {}, at(from));
        QTest::mouseMove(w, at(from) + by / 2);
        QTest::mouseMove(w, at(from) + by);
        QTest::mouseRelease(w, Qt::LeftButton, {}, at(from) + by);
    }

    QPoint slot(int n) const {
        return {std::stoi(fx.state().hotspotX[n]), std::stoi(fx.state().hotspotY[n])};
    }

    void select(int n) {
        f->TrackBar1->setPosition(n);
        f->showSelectedSlot();
    }

    // What both windows show of the project, and the file Save would write of it.
    QString shown() const {
        L->refreshNow();
        QStringList s{f->Edit1->text(), f->CheckBox2->isChecked() ? "Exit" : "no Exit",
                      QString::number(f->TrackBar1->maximum()), f->Edit5->text(), f->Edit5->toolTip(),
                      L->LabelEdit->text()};
        for (int n = 1; n <= 4; ++n) {
            const QRect r = L->hotspotArea(n);
            s << QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        }
        s << QString::fromStdString(torvana::formatProjectFile(fx.document().project()));
        return s.join('|');
    }

    // Ctrl+`key` where the keyboard is in `window`.
    void press(QWidget* window, Qt::Key key) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key, Qt::ControlModifier);
    }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
        L = forms().Layout;
    }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void draggingMovesTheHotspotByTheDistanceAndUndoTakesItBack() {
        openProject();
        fx.document().undoStack()->setClean();
        QCOMPARE(L->hotspotArea(2), QRect(200, 150, 80, 30));
        QWindow* w = L->windowHandle();
        QTest::mousePress(w, Qt::LeftButton, {}, at({240, 165}));
        QTest::mouseMove(w, at({240, 165}) + QPoint(15, 6));
        QTest::mouseMove(w, at({240, 165}) + QPoint(30, 12));
        QCOMPARE(L->StatusLine->text(), QString("HotSpot 2: X 230, Y 162"));  // shown while dragging
        QCOMPARE(fx.state().hotspotX[2], std::string("200"));                   // written when let go
        QTest::mouseRelease(w, Qt::LeftButton, {}, at({240, 165}) + QPoint(30, 12));
        QCOMPARE(slot(2), QPoint(230, 162));
        QCOMPARE(L->hotspotArea(2), QRect(230, 162, 80, 30));
        QVERIFY(!fx.state().projectSaved);  // the next Save must write the move
        QCOMPARE(fx.document().undoStack()->count(), 1);  // one drag, one step
        QCOMPARE(L->UndoButton->toolTip(), QString("Undo Move HotSpot 2 (Ctrl+Z)"));
        QCOMPARE(f->TrackBar1->position(), 2);

        // The hotspot editor shows what the drag wrote.
        f->BitBtn3Click();
        QCOMPARE(forms().Form2->Edit5->text(), QString("230"));
        QCOMPARE(forms().Form2->Edit6->text(), QString("162"));
        forms().Form2->BitBtn2Click();
        QVERIFY(QTest::qWaitForWindowActive(f));  // the main window comes back in front
        L->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(L));

        // Dragged far past the edges, it stops at 640, 480 and at 1, 1.
        drag({250, 170}, {900, 700});
        QCOMPARE(slot(2), QPoint(640, 480));
        drag({650, 490}, {-1000, -1000});
        QCOMPARE(slot(2), QPoint(1, 1));

        // At 200 % the mouse travels twice as far for the same move.
        L->setZoom(2.0);
        L->LayoutView->centerOn(QPoint(100, 100));
        drag({20, 10}, {40, 20});
        QCOMPARE(slot(2), QPoint(21, 11));
        QCOMPARE(fx.document().undoStack()->count(), 4);

        QTest::keyClick(L->LayoutView, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(L->LayoutView, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(slot(2), QPoint(640, 480));
        QTest::keyClick(L->LayoutView, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(slot(2), QPoint(1, 1));
        L->UndoButton->click();
        L->UndoButton->click();
        L->UndoButton->click();
        // Back to the texts as they were stored, exactly.
        QCOMPARE(fx.state().hotspotX[2], std::string("200"));
        QCOMPARE(fx.state().hotspotY[2], std::string("150"));
        QCOMPARE(L->hotspotArea(2), QRect(200, 150, 80, 30));
        QVERIFY(!L->UndoButton->isEnabled());
        L->RedoButton->click();
        QCOMPARE(slot(2), QPoint(230, 162));
    }

    // Every change, made in the main window, the hotspot editor or the layout, is one step that
    // Ctrl+Z takes back and Ctrl+Y makes again from either window, the keyboard in a text field
    // included; the project counts as changed exactly when it differs from the step saved last.
    void undoAndRedoWalkTheOneHistory_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("keysIn");  // where Ctrl+Z and Ctrl+Y are pressed
        QTest::newRow("typed title, keys in the layout") << "title" << "layout";
        QTest::newRow("check box, keys in the title field") << "checkbox" << "title";
        QTest::newRow("accepted hotspot, keys in the main window") << "accept" << "main";
        QTest::newRow("deleted hotspot, keys in the layout") << "delete" << "layout";
        QTest::newRow("drag, keys in the title field") << "drag" << "title";
        QTest::newRow("label, keys in the label field") << "label" << "layout";
    }
    void undoAndRedoWalkTheOneHistory() {
        QFETCH(QString, change);
        QFETCH(QString, keysIn);
        openProject();
        select(change == "accept" ? 4 : 2);
        fx.document().undoStack()->setClean();  // as after a Save
        TForm2* e = forms().Form2;
        const std::map<QString, std::function<void()>> changes{
            {"title", [&] { QTest::keyClicks(f->Edit1, "Disc"); }},
            {"checkbox", [&] { QTest::mouseClick(f->CheckBox2, Qt::LeftButton, {}, {6, f->CheckBox2->height() / 2}); }},
            {"accept", [&] {
                 f->BitBtn3Click();
                 e->Edit1->setText("new.exe");
                 e->Edit2->setText(QString::fromLocal8Bit(fx.path("r1.bmp").c_str()));
                 e->Edit5->setText("500");
                 e->Edit6->setText("20");
                 e->BitBtn1->click();
             }},
            {"delete", [&] {
                 f->BitBtn3Click();
                 fx.hook.answer(torvana::toolkit::Answer::Yes);
                 fx.hook.answer(torvana::toolkit::Answer::Ok);
                 e->BitBtn3->click();
             }},
            {"drag", [&] { drag({240, 165}, {30, 12}); }},
            {"label", [&] {
                 QTest::keyClicks(L->LabelEdit, "Install it");
                 QTest::keyClick(L->LabelEdit, Qt::Key_Return);
             }},
        };
        const QString before = shown();
        changes.at(change)();
        QTRY_VERIFY(!e->isVisible() && !torvana::fileExists(torvana::acceptFilePath()) &&
                    !torvana::fileExists(torvana::deleteFilePath()));
        QTRY_VERIFY(shown() != before);
        const QString after = shown();
        QCOMPARE(fx.document().undoStack()->count(), 1);  // one change, one step
        QVERIFY(fx.document().modified());

        QWidget* window = keysIn == "layout" ? static_cast<QWidget*>(L) : f;
        if (keysIn == "title") f->Edit1->setFocus();
        press(window, Qt::Key_Z);
        QCOMPARE(shown(), before);
        QVERIFY(!fx.document().modified());  // back at the saved step
        press(window, Qt::Key_Y);
        QCOMPARE(shown(), after);
        QVERIFY(fx.document().modified());
    }

    // New starts a new history: nothing of the project before can be taken back.
    void newStartsANewHistory() {
        openProject();
        QTest::mouseClick(f->CheckBox1, Qt::LeftButton, {}, {6, f->CheckBox1->height() / 2});
        L->moveHotspot(1, 50, 60);
        QCOMPARE(fx.document().undoStack()->count(), 2);
        fx.hook.answer(torvana::toolkit::Answer::Yes);  // not saved
        whenModal("TForm3", [](QWidget* w) {
            static_cast<TForm3*>(w)->Edit1->setText("fresh");
            static_cast<TForm3*>(w)->BitBtn1->click();
        });
        f->New1Click();
        QCOMPARE(fx.state().projectName, std::string("fresh.cdrom"));
        QVERIFY(!fx.document().undoStack()->canUndo());
        press(f, Qt::Key_Z);
        QVERIFY(!f->CheckBox1->isChecked());
        QCOMPARE(fx.state().hotspotX[1], std::string());
        QVERIFY(fx.document().modified());  // a new project is not saved yet
    }

    void arrowKeysMoveTheSelectedHotspotWithinTheStage() {
        openProject({{"/apps/four.exe", "", " 7", "$1DE", "", ""}});  // typed with a blank and in hex
        f->TrackBar1->setPosition(4);
        f->showSelectedSlot();
        QCOMPARE(L->hotspotArea(4), QRect(7, 478, 32, 32));
        struct Step { Qt::Key key; Qt::KeyboardModifiers mods; QPoint expected; };
        const Step steps[] = {
            {Qt::Key_Right, Qt::NoModifier, {8, 478}},
            {Qt::Key_Left, Qt::ShiftModifier, {1, 478}},    // 10 to the left stops at 1
            {Qt::Key_Left, Qt::NoModifier, {1, 478}},       // nothing left to move: no step
            {Qt::Key_Down, Qt::ShiftModifier, {1, 480}},    // stops at 480
            {Qt::Key_Up, Qt::ShiftModifier, {1, 470}},
            {Qt::Key_Right, Qt::ShiftModifier, {11, 470}},
        };
        for (const Step& s : steps) {
            QTest::keyClick(L->LayoutView, s.key, s.mods);
            QCOMPARE(slot(4), s.expected);
        }
        QCOMPARE(fx.document().undoStack()->count(), 5);
        QCOMPARE(slot(1), QPoint(100, 100));  // the others stay
        for (int i = 0; i < 5; ++i) QTest::keyClick(L->LayoutView, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(fx.state().hotspotX[4], std::string(" 7"));
        QCOMPARE(fx.state().hotspotY[4], std::string("$1DE"));
        QTest::keyClick(L->LayoutView, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(slot(4), QPoint(8, 478));

        // Tab goes on to the next hotspot (round to the first), Shift+Tab back; Enter edits it.
        QTest::keyClick(L->LayoutView, Qt::Key_Tab);
        QCOMPARE(f->TrackBar1->position(), 1);
        QCOMPARE(f->Edit5->text(), QString("1"));
        QTest::keyClick(L->LayoutView, Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(L->LayoutView, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(f->TrackBar1->position(), 3);
        QTest::keyClick(L->LayoutView, Qt::Key_Return);
        QTRY_VERIFY(forms().Form2->isVisible());
        QCOMPARE(forms().Form2->Label1->text(), QString("Editing HotSpot: 3"));
        forms().Form2->BitBtn2Click();
    }

    void pointingShowsTheRolloverAndClicksSelectAndEdit() {
        openProject();
        QWindow* w = L->windowHandle();
        QVERIFY(pixel({130, 120}) != kGreen);  // not pointed: the picture is not drawn
        QTest::mouseMove(w, at({130, 120}));
        QCOMPARE(L->pointedHotspot(), 1);
        QCOMPARE(pixel({130, 120}), kGreen);
        QCOMPARE(L->StatusLine->text(), QString("HotSpot 1: X 100, Y 100, 60 x 40 - one.exe"));
        QTest::mouseMove(w, at({20, 20}));
        QCOMPARE(L->pointedHotspot(), 0);
        QCOMPARE(pixel({20, 20}), kBlue);

        // A click selects on the main window's track bar and number box.
        QTest::mouseClick(w, Qt::LeftButton, {}, at({410, 310}));
        QCOMPARE(f->TrackBar1->position(), 3);
        QCOMPARE(f->Edit5->text(), QString("3"));
        QCOMPARE(f->Edit5->toolTip(), QString("exit"));
        QCOMPARE(slot(3), QPoint(400, 300));  // a click is no move
        QCOMPARE(fx.document().undoStack()->count(), 0);

        // A double-click opens the hotspot editor for that hotspot; nothing moves meanwhile.
        QTest::mouseDClick(w, Qt::LeftButton, {}, at({240, 165}));
        TForm2* e = forms().Form2;
        QTRY_VERIFY(e->isVisible());
        QCOMPARE(e->Label1->text(), QString("Editing HotSpot: 2"));
        QCOMPARE(e->Edit1->text(), QString("/apps/two.exe"));
        QCOMPARE(e->Edit5->text(), QString("200"));
        QTest::keyClick(L->LayoutView, Qt::Key_Right);
        drag({240, 165}, {50, 50});
        QCOMPARE(slot(2), QPoint(200, 150));

        // The editor accepts a change: the layout redraws the hotspot there, with its new picture.
        e->Edit5->setText("300");
        e->Edit2->setText(QString::fromLocal8Bit(fx.path("r1.bmp").c_str()));
        e->BitBtn1->click();
        QTRY_VERIFY(!torvana::fileExists(torvana::acceptFilePath()));
        QTRY_COMPARE(L->hotspotArea(2), QRect(300, 150, 60, 40));
        QTest::mouseMove(w, at({330, 170}));
        QCOMPARE(L->pointedHotspot(), 2);
        QCOMPARE(pixel({330, 170}), kGreen);
    }

    void theStageFollowsTheProject() {
        QCOMPARE(L->notes(), QStringList());
        showLayout();
        QCOMPARE(L->StatusLine->text(), QString("No project is open."));
        QCOMPARE(L->hotspotArea(1), QRect());

        openProject({{"/apps/bad.exe", "", "12a", "5", "", ""}});
        QCOMPARE(L->hotspotArea(1), QRect(100, 100, 60, 40));
        QCOMPARE(L->hotspotArea(3), QRect(400, 300, 32, 32));  // no picture: 32 x 32
        QCOMPARE(L->hotspotArea(4), QRect());
        QCOMPARE(L->notes().size(), 2);
        QVERIFY(L->notes()[0].startsWith("Rollover Image \"" + QString::fromLocal8Bit(fx.path("gone.gif").c_str()) +
                                         "\" of HotSpot 3 not shown: "));
        QCOMPARE(L->notes()[1], QString("HotSpot 4 left out: '12a' is not a valid integer value."));
        QCOMPARE(pixel({20, 20}), kBlue);

        // A background of another size lies at the top-left corner on black, as the player shows it.
        f->Edit3->setText(QString::fromLocal8Bit(picture("small.bmp", 320, 200, kRed).c_str()));
        QTRY_COMPARE(pixel({20, 20}), kRed);
        QCOMPARE(pixel({500, 20}), QColor(Qt::black));
        QCOMPARE(pixel({20, 450}), QColor(Qt::black));

        // Hidden, it draws nothing; shown again, it shows the project as it is then.
        L->hide();
        f->Edit3->setText(QString::fromLocal8Bit(fx.path("back.bmp").c_str()));
        QCoreApplication::processEvents();  // a redraw the change had scheduled would run here
        QCOMPARE(pixel({20, 20}), kRed);
        f->BitBtn5->click();
        QCOMPARE(pixel({20, 20}), kBlue);

        // A hotspot deleted through the editor's hand-off: the rest move down a slot.
        L->moveHotspot(1, 50, 60);
        QCOMPARE(fx.document().undoStack()->count(), 1);
        f->TrackBar1->setPosition(1);
        f->showSelectedSlot();
        f->BitBtn3Click();
        fx.hook.answer(torvana::toolkit::Answer::Yes);
        fx.hook.answer(torvana::toolkit::Answer::Ok);
        forms().Form2->BitBtn3->click();
        QTRY_COMPARE(L->hotspotArea(1), QRect(200, 150, 80, 30));
        QCOMPARE(fx.document().undoStack()->count(), 2);  // the move, then the delete

        fx.hook.answer(torvana::toolkit::Answer::Yes);  // the project is not saved
        f->Close1Click();
        QTRY_COMPARE(L->StatusLine->text(), QString("No project is open."));
        QCOMPARE(L->hotspotArea(1), QRect());
        QCOMPARE(pixel({20, 20}), QColor(Qt::black));
    }

    // The Label field edits the selected hotspot's label, one undo step per edit.
    void theLabelFieldLabelsTheSelectedHotspot() {
        openProject({{"/apps/four.exe", "", "500", "400", "", "", "Read me"}});
        QCOMPARE(fx.state().hotspotLabel[4], std::string("Read me"));  // Open reads the labels
        fx.document().undoStack()->setClean();
        QTest::mouseClick(L->windowHandle(), Qt::LeftButton, {}, at({240, 165}));
        QTest::keyClick(L->LayoutView, Qt::Key_L, Qt::AltModifier);
        QTest::keyClicks(L->LabelEdit, "Install it");
        QTest::keyClick(L->LabelEdit, Qt::Key_Return);
        QCOMPARE(fx.state().hotspotLabel[2], std::string("Install it"));
        QVERIFY(!fx.state().projectSaved);
        QCOMPARE(L->LayoutView->accessibleName() + "|" + f->Edit5->accessibleName(),
                 QString("HotSpot 2: Install it|HotSpot 2: Install it"));
        L->UndoButton->click();
        QCOMPARE(fx.state().hotspotLabel[2] + L->LabelEdit->text().toStdString(), std::string());
        L->RedoButton->click();
        QCOMPARE(fx.state().hotspotLabel[2], std::string("Install it"));
    }

    void anAnimatedRolloverPlaysWhilePointed() {
        // Red, then a green square in the middle after 50 ms.
        giftest::GifBuilder gif;
        gif.Header(40, 40, {{230, 0, 0}, {0, 200, 0}}).Loop(0);
        gif.Gce(1, 5).Image(0, 0, 40, 40, giftest::Bytes(1600, 0), 2);
        gif.Gce(1, 5).Image(10, 10, 20, 20, giftest::Bytes(400, 1), 2).Trailer();
        torvana::replaceFileContents(fx.path("spin.gif"), gif.str());
        openProject({{"/apps/spin.exe", fx.path("spin.gif"), "500", "50", "", ""}});
        auto* picture = dynamic_cast<torvana::gif::GifPicture*>(L->rolloverPicture(4));
        QVERIFY(picture);
        QCOMPARE(L->hotspotArea(4), QRect(500, 50, 40, 40));
        QTest::mouseMove(L->windowHandle(), at({505, 55}));
        QVERIFY(QTest::qWaitFor([&] { return pixel({520, 70}) == kGreen; }, 5000));
        QCOMPARE(pixel({535, 85}), kRed);
        QTest::mouseMove(L->windowHandle(), at({300, 400}));
        QCOMPARE(picture->PainterCount(), size_t(0));  // nothing animates what is not shown
    }

    void theMainWindowOpensItAndTheViewZooms() {
        // The Layout button's hint follows "ToolTip Help" like the other buttons'.
        QVERIFY(f->BitBtn5->toolTip().startsWith("See the HotSpots"));
        f->ToolTipHelp1->trigger();
        QCOMPARE(f->BitBtn5->toolTip(), QString());
        f->show();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f, Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(L->isVisible());
        QCOMPARE(L->windowTitle(), QString("HotSpot Layout"));
        L->close();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f, Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(L->isVisible());
        L->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(L));

        QCOMPARE(L->zoom(), 1.0);
        QTest::keyClick(L->LayoutView, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(L->zoom(), 1.5);
        QCOMPARE(L->ActualSizeButton->text(), QString("150%"));
        QTest::keyClick(L->LayoutView, Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(L->LayoutView, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(L->zoom(), 0.75);
        QWidget* viewport = L->LayoutView->viewport();
        const QPointF middle(viewport->width() / 2, viewport->height() / 2);
        QWheelEvent wheel(middle, viewport->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        QCOMPARE(L->zoom(), 1.0);
        QCOMPARE(L->LayoutView->transform().m11(), 1.0);
        for (int i = 0; i < 10; ++i) L->ZoomInButton->click();
        QCOMPARE(L->zoom(), 4.0);
        QVERIFY(!L->ZoomInButton->isEnabled());
        QTest::keyClick(L->LayoutView, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(L->zoom(), 1.0);
        QTest::keyClick(L->LayoutView, Qt::Key_Escape);
        QVERIFY(!L->isVisible());
    }
};

QTEST_MAIN(HotspotLayoutTest)
#include "hotspot_layout_test.moc"
