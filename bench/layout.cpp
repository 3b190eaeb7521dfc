// The HotSpot Layout window with 99 hotspots, each with a picture of its own, against the same
// scene built from Qt's stock parts (a QGraphicsView of QGraphicsPixmapItems, movable by Qt
// itself), in the same run:
//   redraw  - the window takes in the project again (as after a hand-off) and paints the stage;
//             the stock scene is rebuilt from the same files and painted;
//   drag    - one mouse move of a drag, with the stage painted after it.
// Prints the median time of each and the ratio ours / stock.
// Usage: layout_bench [ROUNDS]   (offscreen unless QT_QPA_PLATFORM says otherwise)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHash>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench_files.h"
#include "app/forms.h"
#include "app/main_window.h"
#include "hotspot/ui/hotspot_layout.h"
#include "project/project_file.h"
#include "toolkit/test_hook.h"

namespace {

constexpr int kHotspots = 99;

double medianMs(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void send(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, viewport->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// A drag of the item under `from` by one pixel per step, back and forth; each step painted.
double dragMs(QGraphicsView* view, QPoint from, int rounds) {
    QWidget* viewport = view->viewport();
    const QPoint start = view->mapFromScene(from);
    send(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(viewport, QEvent::MouseMove, start + QPoint(20, 0), Qt::LeftButton);  // past the drag distance
    int step = 0;
    const double ms = medianMs(rounds, [&] {
        ++step;
        send(viewport, QEvent::MouseMove, start + QPoint(20 + step % 40, step % 30), Qt::LeftButton);
        viewport->repaint();
    });
    send(viewport, QEvent::MouseButtonRelease, start + QPoint(20 + step % 40, step % 30), Qt::NoButton);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = static_cast<int>(bench::numberArgument(argc, argv, 1, 51, 3, 100000, "layout_bench [rounds, 3 or more, default 51]"));

    // The project: a background and 99 pictures of 60 x 24, eleven to a row.
    QTemporaryDir dir;
    auto path = [&](const QString& name) { return dir.filePath(name).toLocal8Bit().toStdString(); };
    QImage background(640, 480, QImage::Format_RGB32);
    background.fill(QColor(30, 60, 140));
    background.save(QString::fromStdString(path("back.bmp")), "BMP");
    torvana::Project d;
    d.stagingFolder = path("stage");
    d.backgroundImage = path("back.bmp");
    for (int i = 0; i < kHotspots; ++i) {
        QImage picture(60, 24, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 3, 200, 230));
        QPainter(&picture).drawText(picture.rect(), Qt::AlignCenter, QString::number(i + 1));
        const std::string file = path(QString("r%1.bmp").arg(i + 1));
        picture.save(QString::fromStdString(file), "BMP");
        d.hotspots.push_back({"exit", file, std::to_string(10 + (i % 11) * 57), std::to_string(10 + (i / 11) * 50),
                              "", ""});
    }
    d.hotspotCount = kHotspots;
    torvana::writeProjectFile(path("bench.cdrom"), d);

    createForms(path("torvana.ini"));
    TForm1* main = forms().Form1;
    THotspotLayout* layout = forms().Layout;
    torvana::toolkit::TestHook hook;
    torvana::toolkit::installTestHook(&hook);
    hook.chooseFile(path("bench.cdrom"));
    main->Open1Click();
    layout->showLayout();
    layout->refreshNow();

    // The stock scene, in a view of the same size.
    QGraphicsScene scene(-24, -24, 688, 528);
    QGraphicsView stock(&scene);
    stock.resize(layout->LayoutView->size());
    stock.show();
    // Its pictures are read once, as ours are kept while their files do not change.
    QHash<std::string, QPixmap> pixmaps;
    auto pixmap = [&](const std::string& file) {
        auto found = pixmaps.find(file);
        if (found == pixmaps.end()) found = pixmaps.insert(file, QPixmap(QString::fromStdString(file)));
        return *found;
    };
    auto buildStock = [&] {
        scene.clear();
        scene.addPixmap(pixmap(d.backgroundImage));
        for (const torvana::Hotspot& h : d.hotspots) {
            QGraphicsPixmapItem* item = scene.addPixmap(pixmap(h.rolloverImage));
            item->setPos(std::stoi(h.x), std::stoi(h.y));
            item->setFlag(QGraphicsItem::ItemIsMovable);
        }
    };
    buildStock();
    QApplication::processEvents();

    const double oursRedraw = medianMs(rounds, [&] {
        layout->scheduleRefresh();
        layout->refreshNow();
        layout->LayoutView->viewport()->repaint();
    });
    const double stockRedraw = medianMs(rounds, [&] {
        buildStock();
        stock.viewport()->repaint();
    });
    const double oursDrag = dragMs(layout->LayoutView, layout->hotspotArea(50).center(), rounds * 4);
    const double stockDrag = dragMs(&stock, QPoint(10 + 6 * 57 + 30, 10 + 4 * 50 + 12), rounds * 4);

    std::printf("hotspots %d, rounds %d (medians)\n", kHotspots, rounds);
    std::printf("redraw  ours %.3f ms  stock %.3f ms  ratio %.2f\n", oursRedraw, stockRedraw, oursRedraw / stockRedraw);
    std::printf("drag    ours %.3f ms  stock %.3f ms  ratio %.2f\n", oursDrag, stockDrag, oursDrag / stockDrag);
    torvana::toolkit::installTestHook(nullptr);
    destroyForms();
    return 0;
}
