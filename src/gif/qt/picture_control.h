#pragma once
// A picture control: shows a Graphic (a GIF picture, animated when it has several frames, or
// a still picture of another format) at its natural size at the control's top-left corner,
// and repaints whenever the picture reports a change.

#include <QWidget>
#include <memory>

#include "gif/qt/gif_picture.h"

namespace torvana::gif {

class PictureControl : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);
    ~PictureControl() override;

    void setGraphic(std::shared_ptr<Graphic> graphic);
    Graphic* graphic() const { return graphic_.get(); }
    // The picture as a GIF picture; null when it is something else.
    GifPicture* gifPicture() const { return dynamic_cast<GifPicture*>(graphic_.get()); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<Graphic> graphic_;
};

}  // namespace torvana::gif
