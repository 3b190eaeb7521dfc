#include "player/picture.h"

#include "project/errors.h"

namespace player {

Picture loadPicture(const QString& path, std::shared_ptr<torvana::gif::PainterClock> clock) {
    Picture picture;
    try {
        std::shared_ptr<torvana::gif::Graphic> graphic = torvana::gif::LoadGraphic(path.toLocal8Bit().toStdString());
        picture.still = graphic->FirstFrame();
        auto gif = std::dynamic_pointer_cast<torvana::gif::GifPicture>(graphic);
        if (gif && gif->Model().frames.Count() > 1) {
            gif->Clock = std::move(clock);
            picture.animation = std::move(gif);
        }
    } catch (const torvana::gif::GifOutOfMemory&) {
        picture = Picture();
        picture.error = QStringLiteral("not enough memory for the picture");
    } catch (const torvana::Error& e) {
        picture = Picture();
        picture.error = QString::fromLocal8Bit(e.what());
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = QStringLiteral("not enough memory for the picture");
    }
    return picture;
}

}  // namespace player
