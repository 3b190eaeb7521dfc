#include "gif/qt/gif_picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include "gif/gif_messages.h"
#include "gif/qt/gif_painter.h"
#include "gif/qt/gui_call_queue.h"
#include "project/errors.h"

namespace torvana::gif {

std::string Graphic::TryDraw(QPainter& painter, const QRect& target) {
    try {
        Draw(painter, target);
    } catch (const GifOutOfMemory&) {
        return kNotEnoughMemory;
    } catch (const torvana::Error& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return kNotEnoughMemory;
    }
    return {};
}

void StillPicture::Draw(QPainter& painter, const QRect& target) {
    if (!image_.isNull()) painter.drawImage(target, image_);
}

GifPicture::GifPicture() : model_(std::make_unique<GifImage>()) {
    // Every wholesale change of the model (a load, Clear) first stops the painters reading it.
    model_->OnClearing = [this] {
        if (!painters_.empty()) StopAllPainters();
        FreeDisplayBitmap();
        palette_.reset();
        paletteModified = false;
    };
    // With renderOnLoad, each frame is rendered for drawing as soon as it has been read.
    model_->OnFrameRead = [this](GifFrame& frame) { FrameBitmap(*this, frame); };
}

GifPicture::~GifPicture() {
    if (!painters_.empty()) {
        StopAllPainters();
        for (const auto& painter : painters_) painter->image_ = nullptr;
        painters_.clear();
    }
    model_->OnClearing = nullptr;
    model_->OnFrameRead = nullptr;
}

void GifPicture::AssertGuiThread() const { torvana::gif::AssertGuiThread("Drawing a GIF picture or managing its painters"); }

void GifPicture::LoadFromFile(const std::string& path) {
    try {
        model_->LoadFromFile(path);
    } catch (...) {
        Changed();
        throw;
    }
    Changed();
}

void GifPicture::LoadFromData(const QByteArray& data) {
    GifMemoryStream stream(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
    try {
        model_->LoadFromStream(stream);
    } catch (...) {
        Changed();
        throw;
    }
    Changed();
}

void GifPicture::Clear() {
    model_->Clear();
    Changed();
}

void GifPicture::Changed() {
    if (OnChange) OnChange();
}

size_t GifPicture::PainterCount() {
    AssertGuiThread();
    return painters_.size();
}

void GifPicture::Remove(GifPainter* painter) {
    AssertGuiThread();
    std::erase_if(painters_, [painter](const auto& p) { return p.get() == painter; });
}

// ---------------------------------------------------------------------------------------------
// Palette

GifPalette GifPicture::Palette() {
    if (computingPalette_) throw GifError(kNoColorTable);
    if (palette_) return *palette_;
    computingPalette_ = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{computingPalette_};
    if (Dithers()) {
        palette_ = CubePalette();
        return *palette_;
    }
    const GifColorMap& global = model_->header->globalColors;
    if (global.tripleCount > 0) {
        GifPalette palette;
        for (int i = 0; i < global.tripleCount; ++i) {
            const uint8_t* e = global.Entry(i);
            palette.push_back(qRgb(e[0], e[1], e[2]));
        }
        palette_ = palette;
        return palette;
    }
    if (model_->Empty()) return {};
    return FramePalette(*this, model_->frames[0]);
}

void GifPicture::SetPalette(const GifPalette& palette) {
    if (palette_ && *palette_ == palette) return;
    palette_ = palette;
    if (displayBitmap_) DropDisplayBitmap();
    paletteModified = true;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Drawing

const QImage* GifPicture::StillBitmap() {
    if (model_->Empty()) return nullptr;
    if (displayBitmap_) return displayBitmap_.get();
    QImage* bitmap = MakeDisplayBitmap();
    try {
        QPainter painter(bitmap);
        DrawFrame(*this, model_->frames[0], painter, bitmap->rect(), false, false);
    } catch (...) {
        FreeDisplayBitmap();
        throw;
    }
    return bitmap;
}

QImage* GifPicture::MakeDisplayBitmap() {
    FreeDisplayBitmap();
    auto charge = std::make_unique<GifMemoryCharge>(model_->budget);
    charge->Add(ImageBytes(Width(), Height(), QImage::Format_ARGB32_Premultiplied));
    displayBitmap_ = std::make_unique<QImage>(Allocated(QImage(Width(), Height(), QImage::Format_ARGB32_Premultiplied)));
    displayCharge_ = std::move(charge);
    displayBitmap_->fill(Qt::transparent);
    return displayBitmap_.get();
}

void GifPicture::FreeDisplayBitmap() {
    displayBitmap_.reset();
    displayCharge_.reset();
}

void GifPicture::DrawDisplayBitmap(QPainter& painter, const QRect& target) {
    const QImage* bitmap = displayBitmap_.get();
    if (!bitmap) return;
    if (!(RenderFlags & rfTile)) {
        painter.drawImage(target, *bitmap);
        return;
    }
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    for (int x = target.left(); x < target.left() + target.width(); x += Width())
        for (int y = target.top(); y < target.top() + target.height(); y += Height())
            painter.drawImage(QPoint(x, y), *bitmap);
    painter.restore();
}

QImage GifPicture::FirstFrame() const {
    if (model_->Empty()) return QImage();
    GifCompositor::Options options;
    options.honourTransparency = RenderFlags & rfTransparent;
    GifCompositor compositor(*model_, options);
    const RgbaCanvas& canvas = compositor.Compose(0);
    // The first frame stays counted while whoever asked for it keeps it.
    auto charge = std::make_unique<GifMemoryCharge>(model_->budget);
    charge->Add(ImageBytes(canvas.width, canvas.height, QImage::Format_RGBA8888));
    return CountedImage(Allocated(CanvasImage(canvas).copy()), std::move(charge));
}

void GifPicture::Draw(QPainter& painter, const QRect& target) {
    AssertGuiThread();
    if (drawing_ || model_->Empty()) return;
    drawing_ = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{drawing_};
    if (model_->frames.Count() == 1 || !(RenderFlags & rfAnimate)) {
        DrawFrame(*this, model_->frames[0], painter, target, RenderFlags & rfTransparent, RenderFlags & rfTile);
        return;
    }
    DrawAnimated(painter, target);
}

void GifPicture::DrawAnimated(QPainter& painter, const QRect& target) {
    // Only a QImage can be painted on after this call has returned; on any other device the
    // painter composes into the display bitmap.
    QPaintDevice* device = painter.device();
    QImage* deviceImage = device && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    const bool direct = (RenderFlags & rfDirect) && deviceImage;
    if (displayBitmap_ && !direct) {
        DrawDisplayBitmap(painter, target);
        return;
    }
    if (mainPainter_ && mainPainter_->Canvas() == deviceImage && mainPainter_->Target() == target) return;
    StopMainPainter();

    GifRenderFlags flags = RenderFlags;
    QImage* canvas;
    QRect rect;
    if (direct) {
        canvas = deviceImage;
        rect = target;
    } else {
        flags &= GifRenderFlags(~rfDirect);
        MakeDisplayBitmap();
        // The bitmap starts with what lies under the picture, where that can be read.
        if (deviceImage) {
            QPainter copy(displayBitmap_.get());
            copy.setCompositionMode(QPainter::CompositionMode_Source);
            copy.drawImage(displayBitmap_->rect(), *deviceImage, target);
        }
        canvas = displayBitmap_.get();
        rect = displayBitmap_->rect();
    }
    GifPainter* started;
    try {
        started = StartPainter(&mainPainter_, canvas, flags, rect);
    } catch (...) {
        // No painter fills the bitmap: the next Draw tries again instead of showing it empty.
        if (!direct) FreeDisplayBitmap();
        throw;
    }
    if (!started) {
        // An unthreaded painter has run to its end already and left its last frame.
        if (!direct) DrawDisplayBitmap(painter, target);
        return;
    }
    started->Start();
    if (direct) return;
    // Wait for the first frame, running the painter's GUI calls meanwhile.
    GuiCallQueue::Instance().WaitUntil([this] {
        return !mainPainter_ || mainPainter_->Terminated() || mainPainter_->FrameShown();
    });
    if (StillBitmap()) DrawDisplayBitmap(painter, target);
}

// ---------------------------------------------------------------------------------------------
// Painters

GifPainter* GifPicture::StartPainter(GifPainter** ownerSlot, QImage* canvas, GifRenderFlags flags,
                                     const QRect& target) {
    AssertGuiThread();
    if (model_->Empty() || target.width() <= 0 || target.height() <= 0) {
        if (ownerSlot) *ownerSlot = nullptr;
        return nullptr;
    }
    if (model_->frames.Count() == 1) flags &= GifRenderFlags(~(rfThreaded | rfAnimate));
    auto painter = std::make_shared<GifPainter>(*this, canvas, target, flags, ownerSlot);
    painters_.push_back(painter);
    if (painter->Threaded()) return painter.get();
    painter->Run();
    painter->Finish();
    if (ownerSlot && *ownerSlot == painter.get()) *ownerSlot = nullptr;
    if (painter->PendingError()) std::rethrow_exception(painter->PendingError());
    return nullptr;
}

void GifPicture::DropDisplayBitmap() {
    AssertGuiThread();
    if (mainPainter_) mainPainter_->Stop();
    FreeDisplayBitmap();
}

void GifPicture::StopMainPainter() {
    AssertGuiThread();
    if (mainPainter_) {
        mainPainter_->Stop();
        if (mainPainter_->Threaded()) {
            // Finish clears mainPainter_ on this thread, inside the queue's calls.
            GuiCallQueue::Instance().WaitUntil([this] { return mainPainter_ == nullptr; });
        }
    }
    DropDisplayBitmap();
}

void GifPicture::StopAllPainters() {
    AssertGuiThread();
    bool anyThreaded = false;
    // A copy: a painter never started runs through its end, and leaves the list, on Stop.
    const auto painters = painters_;
    for (auto it = painters.rbegin(); it != painters.rend(); ++it) {
        (*it)->Stop();
        anyThreaded = anyThreaded || (*it)->Threaded();
    }
    if (anyThreaded) {
        GuiCallQueue::Instance().WaitUntil([this] {
            return std::none_of(painters_.begin(), painters_.end(), [](const auto& p) { return p->Threaded(); });
        });
    }
    DropDisplayBitmap();
}

// ---------------------------------------------------------------------------------------------
// Picture formats

namespace {

// What the first bytes of a file say it is: "GIF" for our reader, "bmp" or "png" for Qt's own
// readers, empty for anything else (and for a file that cannot be read).
QByteArray FormatByContent(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(8);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return QByteArrayLiteral("GIF");
    if (head.startsWith("BM")) return QByteArrayLiteral("bmp");
    if (head == QByteArrayLiteral("\x89PNG\r\n\x1a\n")) return QByteArrayLiteral("png");
    return {};
}

std::unique_ptr<Graphic> LoadGif(const std::string& path) {
    // Through QFile, so that pictures embedded as Qt resources load like files.
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) throw torvana::Error(file.errorString().toLocal8Bit().toStdString());
    auto picture = std::make_unique<GifPicture>();
    picture->LoadFromData(file.readAll());
    if (picture->Empty() || picture->Width() <= 0 || picture->Height() <= 0)
        throw torvana::Error("the GIF file holds no picture");
    return picture;
}

}  // namespace

const std::vector<PictureFormat>& PictureFormats() {
    static const std::vector<PictureFormat> formats{{"GIF", "GIF Image", LoadGif}};
    return formats;
}

const PictureFormat* FindPictureFormat(const std::string& extension) {
    const std::string wanted = QString::fromLocal8Bit(extension.c_str()).toUpper().toLocal8Bit().toStdString();
    for (const PictureFormat& format : PictureFormats()) {
        if (format.extension == wanted) return &format;
    }
    return nullptr;
}

std::unique_ptr<Graphic> LoadGraphic(const std::string& path) {
    const QString name = QString::fromLocal8Bit(path.c_str());
    const QFileInfo info(name);
    if (!info.exists()) throw torvana::Error("file not found");
    if (!info.isFile()) throw torvana::Error("not a file");
    try {
        const QByteArray content = FormatByContent(name);
        const PictureFormat* format =
            content == "GIF" ? FindPictureFormat("GIF") : FindPictureFormat(info.suffix().toLocal8Bit().toStdString());
        if (format) return format->load(path);
        QImageReader reader(name);
        if (!content.isEmpty()) {
            // A BMP or PNG file goes straight to Qt's built-in reader for it. Left to guess, the
            // reader would first load every image plugin installed (and the libraries behind
            // them) to ask each whether it reads the file: most of a picture's loading time.
            reader.setFormat(content);
            reader.setAutoDetectImageFormat(false);
        }
        // Counted before it is read, at four bytes a pixel, when the header tells the size;
        // then at what the image really takes.
        auto charge = std::make_unique<GifMemoryCharge>(&GifMemoryBudget::Program());
        const QSize size = reader.size();
        if (size.isValid()) charge->Add(ImageBytes(size.width(), size.height(), QImage::Format_ARGB32));
        QImage image = reader.read();
        if (image.isNull()) throw torvana::Error(reader.errorString().toLocal8Bit().toStdString());
        if (image.sizeInBytes() > charge->Bytes()) charge->Add(image.sizeInBytes() - charge->Bytes());
        charge->ReduceTo(image.sizeInBytes());
        return std::make_unique<StillPicture>(CountedImage(std::move(image), std::move(charge)));
    } catch (const GifOutOfMemory&) {
        throw torvana::Error(kNotEnoughMemory);
    } catch (const std::bad_alloc&) {
        throw torvana::Error(kNotEnoughMemory);
    }
}

}  // namespace torvana::gif
