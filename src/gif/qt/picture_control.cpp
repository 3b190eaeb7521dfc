#include "gif/qt/picture_control.h"

#include <QPainter>

namespace torvana::gif {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent) {}

PictureControl::~PictureControl() {
    if (graphic_) graphic_->OnChange = nullptr;
}

void PictureControl::setGraphic(std::shared_ptr<Graphic> graphic) {
    if (graphic_) graphic_->OnChange = nullptr;
    graphic_ = std::move(graphic);
    if (graphic_) graphic_->OnChange = [this] { update(); };
    updateGeometry();
    update();
}

QSize PictureControl::sizeHint() const {
    if (!graphic_ || graphic_->Empty()) return QWidget::sizeHint();
    return {graphic_->Width(), graphic_->Height()};
}

void PictureControl::paintEvent(QPaintEvent*) {
    if (!graphic_ || graphic_->Empty()) return;
    QPainter painter(this);
    // A picture that cannot be drawn (no memory for its bitmaps) leaves the control empty.
    graphic_->TryDraw(painter, QRect(0, 0, graphic_->Width(), graphic_->Height()));
}

}  // namespace torvana::gif
