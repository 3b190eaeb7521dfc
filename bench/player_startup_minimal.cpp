// The baseline of the player's start-up benchmark: a Qt Widgets program that does nothing but
// show a 640 x 480 window.

#include <QApplication>
#include <QWidget>

#include "player_startup_probe.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    window.setFixedSize(640, 480);
    FirstPaintProbe probe;
    window.installEventFilter(&probe);
    window.show();
    return QApplication::exec();
}
