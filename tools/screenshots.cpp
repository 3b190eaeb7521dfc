// Renders every window of the editor to a PNG file, to look at what a user sees.
// Usage: torvana-screenshots DIR (run it on an X server, e.g. under xvfb-run);
//        torvana-screenshots --window ID FILE saves the X window ID of another program (the
//        player's) as it is on the screen.

#include <QApplication>
#include <QGraphicsView>
#include <QMouseEvent>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "app/startup_chooser.h"
#include "staging/ui/staging_folder_dialog.h"
#include "example_project.h"
#include "hotspot/ui/hotspot_editor.h"
#include "hotspot/ui/hotspot_layout.h"
#include "project/project_file.h"
#include "disc/ui/build_user.h"
#include "disc/ui/burn_dialog.h"
#include "disc/ui/disc_check_window.h"
#include "staging/ui/signing_dialog.h"
#include "project/file_io.h"
#include "toolkit/artwork.h"
#include "toolkit/text.h"
#include <QLineEdit>
#include "toolkit/test_hook.h"
#include "toolkit/widgets.h"
#include "settings/ui/about_box.h"

namespace {

bool save(QWidget* w, const QDir& dir, const char* name) {
    w->show();
    w->raise();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    const QString path = dir.filePath(QString(name) + ".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), w->width(), w->height());
    w->hide();
    return ok;
}

// The program's icon as the desktop shows it at one size, on the window background.
bool saveIcon(const QDir& dir, int size) {
    QPixmap picture(size, size);
    picture.fill(QApplication::palette().color(QPalette::Window));
    QPainter(&picture).drawPixmap(0, 0, torvana::toolkit::programIcon().pixmap(size, size));
    const QString path = dir.filePath(QString("icon-%1.png").arg(size));
    const bool ok = picture.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), size, size);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Torvana");
    if (argc == 4 && QByteArray(argv[1]) == "--window") {
        bool number = false;
        const WId window = QByteArray(argv[2]).toULongLong(&number);
        const QPixmap shot = number ? QGuiApplication::primaryScreen()->grabWindow(window) : QPixmap();
        const bool ok = !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[3]));
        std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", argv[3], shot.width(), shot.height());
        return ok ? 0 : 1;
    }
    if (argc >= 4 && QByteArray(argv[1]) == "--row") {
        // The pictures side by side, top-aligned, on black with a gap between them.
        std::vector<QImage> pictures;
        int width = 0, height = 0;
        for (int i = 3; i < argc; ++i) {
            QImage picture(QString::fromLocal8Bit(argv[i]));
            if (picture.isNull()) continue;
            width += picture.width() + (pictures.empty() ? 0 : 16);
            height = std::max(height, picture.height());
            pictures.push_back(picture);
        }
        QImage row(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
        row.fill(Qt::black);
        QPainter painter(&row);
        int x = 0;
        for (const QImage& picture : pictures) {
            painter.drawImage(x, 0, picture);
            x += picture.width() + 16;
        }
        painter.end();
        const bool ok = !pictures.empty() && row.save(QString::fromLocal8Bit(argv[2]));
        std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", argv[2], row.width(), row.height());
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 2;
    }
    // A settings file of its own, so the pictures show the defaults.
    QTemporaryDir settings;
    createForms(QDir(settings.path()).filePath("torvana.ini").toLocal8Bit().toStdString());
    Forms& f = forms();
    bool ok = true;
    ok &= save(f.Form1, dir, "main-window");
    ok &= save(f.Form5, dir, "startup-chooser");
    ok &= save(f.Form3, dir, "new-project-dialog");
    ok &= save(f.Form2, dir, "hotspot-editor");
    ok &= save(f.Form4, dir, "staging-folder-dialog");
    f.AboutBox->setVersion(f.Document->state().versionText);
    ok &= save(f.AboutBox, dir, "about-box");
    ok &= saveIcon(dir, 48);
    ok &= saveIcon(dir, 256);
    f.Layout->showLayout();
    ok &= save(f.Layout, dir, "hotspot-layout-no-project");

    // The windows as they look with a project open: a project written into the settings
    // folder, opened through the File menu's Open, and its second hotspot in the editor.
    const std::string project = QDir(settings.path()).filePath("photos.cdrom").toLocal8Bit().toStdString();
    torvana::Project d;
    d.hotspotCount = 3;
    d.showBrowse = true;
    d.cdTitle = "Summer Photos";
    d.stagingFolder = "/home/ann/discs/summer";
    d.backgroundImage = "/home/ann/art/background.bmp";
    d.openingWav = "/home/ann/art/opening.wav";
    for (int i = 1; i <= 3; ++i)
        d.hotspots.push_back({"/home/ann/art/slides" + std::to_string(i) + ".exe", "/home/ann/art/over.gif",
                              std::to_string(100 * i), "240", "/home/ann/art/hover.wav", ""});
    torvana::writeProjectFile(project, d);
    torvana::toolkit::TestHook hook;  // stands in for the Open dialog
    torvana::toolkit::installTestHook(&hook);
    hook.chooseFile(project);
    f.Form1->Open1Click();
    torvana::toolkit::installTestHook(nullptr);
    f.Form1->TrackBar1->setPosition(2);
    f.Form1->showSelectedSlot();
    ok &= save(f.Form1, dir, "main-window-project");
    f.Form1->fillReopenMenu();
    ok &= save(f.Form1->File1, dir, "file-menu");
    ok &= save(f.Form1->Reopen1, dir, "reopen-menu");
    ok &= save(f.Form1->Settings1, dir, "settings-menu");
    f.Form1->BitBtn3Click();
    ok &= save(f.Form2, dir, "hotspot-editor-filled");
    f.Form2->BitBtn2Click();

    // The layout window with the example project: hotspot 2 selected, the mouse over hotspot 3.
    hook.answer(torvana::toolkit::Answer::Yes);  // leave the unsaved project
    hook.chooseFile(writeExampleProject(QDir(settings.path()).filePath("example")).toLocal8Bit().toStdString());
    torvana::toolkit::installTestHook(&hook);
    f.Form1->Open1Click();
    torvana::toolkit::installTestHook(nullptr);
    f.Form1->TrackBar1->setPosition(2);
    f.Form1->showSelectedSlot();
    f.Layout->showLayout();
    f.Layout->refreshNow();
    QWidget* stage = f.Layout->LayoutView->viewport();
    const QPoint over = f.Layout->LayoutView->mapFromScene(f.Layout->hotspotArea(3).center());
    QMouseEvent move(QEvent::MouseMove, over, stage->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(stage, &move);
    ok &= save(f.Layout, dir, "hotspot-layout");
    f.Layout->hide();

    // The disc check of the example project, with a leftover of an earlier build in its staging
    // folder and a rollover moved off the screen.
    const std::string staging = torvana::toolkit::toLocalString(f.Form1->Edit2->text());
    QDir().mkpath(torvana::toolkit::toQString(staging));
    torvana::replaceFileContents(staging + "/old-menu.cdrom", "1\r\n");
    f.Document->moveHotspot(2, {"600", f.Document->state().hotspotY[2]});
    {
        TDiscCheckForm check(f.Form1);
        check.check(f.Document->state(), f.Document->project(), f.Form1->buildSettings());
        ok &= save(&check, dir, "check-disc");
    }

    // Burning: the dialog on a computer without a drive, Settings > Sign the Windows player, and
    // the progress window partway through a burn.
    {
        TBurnForm burn(f.Form1);
        burn.setDrives({});
        ok &= save(&burn, dir, "burn-disc");
        TSigningForm sign(f.Form1);
        sign.setValues("/home/ann/certificates/publisher.p12", "http://timestamp.example.com");
        ok &= save(&sign, dir, "sign-player");
        torvana::toolkit::ProgressWindow::setShowAfter(0);
        torvana::staging::BurnProgressWindow progress(f.Form1, "/dev/sr0");
        progress.update({torvana::BurnProgress::Writing, uint64_t{231} << 20, uint64_t{512} << 20, 5.4 * (1 << 20)});
        QWidget* window = f.Form1->findChild<QWidget*>("ProgressWindow");
        ok = window && save(window, dir, "burn-progress") && ok;
    }
    destroyForms();
    return ok ? 0 : 1;
}
