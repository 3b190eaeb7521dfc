#include "toolkit/widgets.h"

#include <QMouseEvent>

#include "toolkit/artwork.h"

namespace toolkit {

TrackBar::TrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
    setPageStep(1);
    connect(this, &QSlider::valueChanged, this, [this](int v) {
        if (!programmatic_) emit userMoved(v);
    });
}

void TrackBar::setPosition(int position) {
    programmatic_ = true;
    setValue(position);
    programmatic_ = false;
}

void TrackBar::setMax(int maximum) {
    programmatic_ = true;
    setMaximum(maximum);
    programmatic_ = false;
}

BrowsePicture::BrowsePicture(QWidget* parent) : QLabel(parent) {
    setPixmap(browseBitmap());
    setAlignment(Qt::AlignCenter);
    setFixedSize(25, 25);
    setMouseTracking(true);
    setToolTip(QStringLiteral("Browse"));
}

void BrowsePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void setHint(QWidget* control, const QString& hint) {
    control->setProperty("hint", hint);
    control->setToolTip(control->property("hintShown").toBool() ? hint : QString());
}

void showHint(QWidget* control, bool shown) {
    control->setProperty("hintShown", shown);
    control->setToolTip(shown ? hintOf(control) : QString());
}

QString hintOf(const QWidget* control) { return control->property("hint").toString(); }

}  // namespace toolkit
