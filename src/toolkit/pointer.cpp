#include "toolkit/pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace torvana::toolkit {

namespace {
Pointer g_pointer = Pointer::Arrow;

Qt::CursorShape shapeOf(Pointer p) {
    switch (p) {
    case Pointer::Hand: return Qt::PointingHandCursor;
    case Pointer::Hourglass: return Qt::WaitCursor;
    case Pointer::Arrow: break;
    }
    return Qt::ArrowCursor;
}
}  // namespace

void setPointer(Pointer p) {
    if (p == g_pointer) return;
    // One override cursor at most stands for the program's pointer; the arrow is no override.
    if (p == Pointer::Arrow) {
        while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
    } else if (QGuiApplication::overrideCursor()) {
        QGuiApplication::changeOverrideCursor(QCursor(shapeOf(p)));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(shapeOf(p)));
    }
    g_pointer = p;
}

Pointer currentPointer() { return g_pointer; }

PointerPause::PointerPause() : active_(g_pointer != Pointer::Arrow) {
    if (active_) QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

PointerPause::~PointerPause() {
    if (active_ && QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

}  // namespace torvana::toolkit
