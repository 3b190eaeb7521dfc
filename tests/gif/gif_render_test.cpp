// Drawing GIF frames with Qt: masks only where transparency occurs, palettes and their
// fallbacks, the cube and the ditherer, frame placement, stretching and tiling, and the
// memory drawing takes: counted in the shared budget, and a clear error when Qt has none.

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gif/qt/gif_picture.h"
#include "gif/qt/gif_render.h"
#include "gif_writer.h"

using namespace torvana::gif;
using giftest::Bytes;
using giftest::GifBuilder;

namespace {

const std::vector<giftest::Rgb> kColours{{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

std::unique_ptr<GifPicture> Load(const GifBuilder& gif) {
    auto picture = std::make_unique<GifPicture>();
    picture->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
    return picture;
}

QImage Canvas(int w, int h, QColor fill) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

std::unique_ptr<GifPicture> LoadInto(GifMemoryBudget& budget, const GifBuilder& gif) {
    auto picture = std::make_unique<GifPicture>();
    picture->Model().budget = &budget;
    picture->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
    return picture;
}

int64_t CacheBytes(GifFrame& frame) {
    const GifFrameRender& c = FrameRender(frame);
    return c.bitmap.sizeInBytes() + c.mask.sizeInBytes() + c.opaque.sizeInBytes() + c.masked.sizeInBytes();
}

// A side x side frame of index 1 with one transparent pixel (index 0) in its corner.
GifBuilder Square(int side, int frames = 1) {
    Bytes pixels(size_t(side) * side, 1);
    pixels[0] = 0;
    GifBuilder gif;
    gif.Header(side, side, kColours);
    for (int i = 0; i < frames; ++i) gif.Gce(2, 10, 0).Image(0, 0, side, side, pixels, 2);
    return gif.Trailer();
}

// Runs `step` in a child process whose address space ends `room` bytes above what it uses
// now, so that Qt's next large image cannot be allocated. The child's exit code: 0 when the
// step threw GifOutOfMemory, 3 when it did not throw, 4 for any other error; a signal when it
// crashed.
int WithLittleAddressSpace(int64_t room, const std::function<void()>& step) {
    const pid_t child = fork();
    if (child == 0) {
        int code = 3;
        QFile status("/proc/self/status");
        int64_t used = 0;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmSize:")) used = line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
        const rlimit limit{rlim_t(used + room), RLIM_INFINITY};
        if (used == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(5);
        try {
            step();
        } catch (const GifOutOfMemory&) {
            code = 0;
        } catch (...) {
            code = 4;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

class GifRenderTest : public QObject {
    Q_OBJECT

private slots:
    void maskOnlyWhenTheTransparentIndexOccurs() {
        // Transparent index 3 never occurs: no mask, drawn opaque even with transparency.
        auto absent = Load(GifBuilder().Header(4, 1, kColours).Gce(0, 0, 3).Image(0, 0, 4, 1, Bytes{0, 1, 2, 1}).Trailer());
        GifFrame& f = absent->Model().frames[0];
        QVERIFY(!MaskReady(*absent, f));
        QImage canvas = Canvas(4, 1, Qt::black);
        {
            QPainter p(&canvas);
            DrawFrame(*absent, f, p, canvas.rect(), true, false);
        }
        QCOMPARE(At(canvas, 0, 0), QColor(Qt::white));
        QCOMPARE(At(canvas, 2, 0), QColor(Qt::green));

        // Index 1 occurs: masked pixels keep the canvas; without transparency they show red.
        auto present = Load(GifBuilder().Header(4, 1, kColours).Gce(0, 0, 1).Image(0, 0, 4, 1, Bytes{0, 1, 2, 1}).Trailer());
        GifFrame& g = present->Model().frames[0];
        QVERIFY(MaskReady(*present, g));
        QCOMPARE(FrameRender(g).mask.pixelIndex(1, 0), 1);
        QCOMPARE(FrameRender(g).mask.pixelIndex(2, 0), 0);
        QImage masked = Canvas(4, 1, Qt::black), opaque = Canvas(4, 1, Qt::black);
        {
            QPainter p(&masked);
            DrawFrame(*present, g, p, masked.rect(), true, false);
            QPainter q(&opaque);
            DrawFrame(*present, g, q, opaque.rect(), false, false);
        }
        QCOMPARE(At(masked, 1, 0), QColor(Qt::black));
        QCOMPARE(At(masked, 3, 0), QColor(Qt::black));
        QCOMPARE(At(masked, 2, 0), QColor(Qt::green));
        QCOMPARE(At(opaque, 1, 0), QColor(Qt::red));

        // A frame rendered again keeps its mask.
        DiscardFrameBitmap(g);
        QVERIFY(MaskReady(*present, g));
        QVERIFY(!FrameRender(g).masked.isNull());
    }

    void emptyFrameHasNoBitmapAndDrawsNothing() {
        auto picture = Load(GifBuilder().Header(2, 2, kColours).Image(0, 0, 2, 2, Bytes{1, 1, 1, 1}, 2).Trailer());
        GifFrame& f = picture->Model().frames[0];
        f.pixels.clear();  // a frame that carries only extensions
        QVERIFY(f.IsEmptyFrame());
        QCOMPARE(FrameBitmap(*picture, f), nullptr);
        QImage canvas = Canvas(2, 2, Qt::black);
        QPainter p(&canvas);
        picture->Draw(p, canvas.rect());
        QCOMPARE(At(canvas, 0, 0), QColor(Qt::black));
    }

    void palettesFallBackInOrder() {
        // Local table first, then the global one.
        const std::vector<giftest::Rgb> local{{1, 2, 3}, {4, 5, 6}};
        auto picture = Load(GifBuilder().Header(2, 1, kColours).Image(0, 0, 2, 1, Bytes{0, 1}, 2, false, local)
                                .Image(0, 0, 2, 1, Bytes{0, 1}, 2).Trailer());
        QCOMPARE(FramePalette(*picture, picture->Model().frames[0]).at(1), qRgb(4, 5, 6));
        QCOMPARE(FramePalette(*picture, picture->Model().frames[1]).at(1), qRgb(255, 0, 0));
        QCOMPARE(picture->Palette().size(), 4);

        // Dithering (forced: rfDither without rfAutoDither) uses the cube everywhere.
        auto dithered = Load(GifBuilder().Header(2, 1, kColours).Image(0, 0, 2, 1, Bytes{0, 1}, 2).Trailer());
        dithered->RenderFlags = rfDither;
        QCOMPARE(FramePalette(*dithered, dithered->Model().frames[0]), CubePalette());

        // Neither table: the picture's palette is asked for while it is being computed.
        auto bare = Load(GifBuilder().Header(2, 1).Image(0, 0, 2, 1, Bytes{0, 1}, 2).Trailer());
        try {
            bare->Palette();
            QFAIL("no error");
        } catch (const GifError& e) {
            QCOMPARE(QString(e.what()), QString("No global or local color table defined"));
        }
        // ... and it can be asked again (the re-entry mark is cleared on the way out).
        QVERIFY_THROWS_EXCEPTION(GifError, FrameBitmap(*bare, bare->Model().frames[0]));
    }

    void replacingAFramePaletteRendersAgain() {
        auto picture = Load(GifBuilder().Header(2, 1, kColours).Image(0, 0, 2, 1, Bytes{0, 1}, 2).Trailer());
        GifFrame& f = picture->Model().frames[0];
        int changes = 0;
        picture->OnChange = [&] { ++changes; };
        QCOMPARE(FrameBitmap(*picture, f)->pixelColor(1, 0), QColor(Qt::red));
        SetFramePalette(*picture, f, {qRgb(0, 0, 0), qRgb(9, 9, 9)});
        QVERIFY(changes > 0);
        QCOMPARE(FrameBitmap(*picture, f)->pixelColor(1, 0), QColor(9, 9, 9));
    }

    void cubeAndDitherer() {
        const GifPalette cube = CubePalette();
        QCOMPARE(cube.size(), 216);
        QCOMPARE(cube[36 * 1 + 6 * 2 + 3], qRgb(51, 102, 153));
        QCOMPARE(CubeIndex(255, 0, 0), 180);
        QCOMPARE(CubeIndex(47, 48, 255), 0 + 6 * 1 + 5);  // (47+3)/51 = 0, (48+3)/51 = 1

        // A cube colour passes unchanged; a flat grey between two levels is spread so that
        // the average comes back.
        SerpentineDitherer exact(4);
        for (int i = 0; i < 4; ++i) QCOMPARE(int(exact.Next(102, 153, 204)), CubeIndex(102, 153, 204));
        const int w = 16, h = 16;
        SerpentineDitherer grey(w);
        double sum = 0;
        for (int y = 0; y < h; ++y) {
            QCOMPARE(grey.LeftToRight(), y % 2 == 0);
            for (int x = 0; x < w; ++x) sum += qRed(cube[grey.Next(128, 128, 128)]);
            grey.EndRow();
        }
        QVERIFY2(std::abs(sum / (w * h) - 128) < 2, qPrintable(QString::number(sum / (w * h))));
        // Level (value + 3) / 51: 140 goes to 102 first; its error 38 × 7/16 carried to the
        // next pixel makes it 140 + (266 + 8) / 16 = 157, which goes to 153.
        SerpentineDitherer first(3);
        QCOMPARE(qRed(cube[first.Next(140, 140, 140)]), 102);
        QCOMPARE(qRed(cube[first.Next(140, 140, 140)]), 153);
    }

    void ditheredFrameWithTransparency() {
        auto picture = Load(GifBuilder().Header(3, 1, kColours).Gce(0, 0, 0).Image(0, 0, 3, 1, Bytes{0, 1, 0}, 2).Trailer());
        picture->RenderFlags = defaultRenderFlags & ~rfAutoDither;
        GifFrame& f = picture->Model().frames[0];
        QVERIFY(MaskReady(*picture, f));
        QCOMPARE(FrameRender(f).bitmap.pixelIndex(1, 0), CubeIndex(255, 0, 0));
        QCOMPARE(FrameRender(f).bitmap.pixelIndex(0, 0), CubeIndex(255, 255, 255));  // the fill index
        QCOMPARE(FrameRender(f).mask.pixelIndex(2, 0), 1);
    }

    void mapFrameRectAndPlacement() {
        auto picture = Load(GifBuilder().Header(50, 46, kColours).Image(10, 5, 20, 10, Bytes(200, 1), 2).Trailer());
        GifFrame& f = picture->Model().frames[0];
        QCOMPARE(MapFrameRect(picture->Model(), f, QRect(0, 0, 100, 92)), QRect(QPoint(20, 10), QPoint(59, 29)));
        QCOMPARE(MapFrameRect(picture->Model(), f, QRect(7, 3, 50, 46)), QRect(17, 8, 20, 10));
        // Rounded to nearest: 10 × 33 / 50 = 6.6 → 7.
        QCOMPARE(MapFrameRect(picture->Model(), f, QRect(0, 0, 33, 46)).left(), 7);

        // One frame smaller than the screen, drawn stretched twice: red only where it lands.
        QImage canvas = Canvas(100, 92, Qt::black);
        {
            QPainter p(&canvas);
            picture->Draw(p, canvas.rect());
        }
        QCOMPARE(At(canvas, 20, 10), QColor(Qt::red));
        QCOMPARE(At(canvas, 59, 29), QColor(Qt::red));
        QCOMPARE(At(canvas, 19, 10), QColor(Qt::black));
        QCOMPARE(At(canvas, 60, 30), QColor(Qt::black));
        QCOMPARE(picture->PainterCount(), size_t(0));  // one frame: never a painter
    }

    void tilingRepeatsEveryScreenFromTheFrameOffset() {
        auto picture = Load(GifBuilder().Header(10, 10, kColours).Gce(0, 0, 0)
                                .Image(2, 3, 4, 4, Bytes{1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1}, 2).Trailer());
        GifFrame& f = picture->Model().frames[0];
        const auto tiles = TilePositions(picture->Model(), f, QRect(0, 0, 25, 25));
        QCOMPARE(tiles.size(), size_t(9));
        QCOMPARE(tiles.front(), QPoint(2, 3));
        QCOMPARE(tiles.back(), QPoint(22, 23));
        picture->RenderFlags |= rfTile;
        QImage canvas = Canvas(25, 25, Qt::black);
        {
            QPainter p(&canvas);
            picture->Draw(p, canvas.rect());
        }
        for (const QPoint& t : tiles) {
            QCOMPARE(At(canvas, t.x(), t.y()), QColor(Qt::red));
            QCOMPARE(At(canvas, t.x() + 1, t.y() + 1), QColor(Qt::black));  // transparent hole
        }
        QCOMPARE(At(canvas, 1, 3), QColor(Qt::black));
        QCOMPARE(At(canvas, 24, 23), QColor(Qt::red));  // a tile cut at the edge
        // Unmasked tiling shows the hole's colour.
        picture->RenderFlags &= ~rfTransparent;
        QImage opaque = Canvas(25, 25, Qt::black);
        {
            QPainter p(&opaque);
            picture->Draw(p, opaque.rect());
        }
        QCOMPARE(At(opaque, 13, 14), QColor(Qt::white));
    }

    void largeFramesRenderLikeSmallOnes() {
        auto pattern = [](int w, int h) {
            Bytes b(size_t(w) * h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) b[size_t(y) * w + x] = uint8_t((x / 3 + y) % 4);
            return b;
        };
        auto big = Load(GifBuilder().Header(1200, 1000, kColours).Gce(0, 0, 2).Image(0, 0, 1200, 1000, pattern(1200, 1000), 2).Trailer());
        auto small = Load(GifBuilder().Header(60, 40, kColours).Gce(0, 0, 2).Image(0, 0, 60, 40, pattern(60, 40), 2).Trailer());
        QImage a = Canvas(1200, 1000, Qt::black), b = Canvas(60, 40, Qt::black);
        {
            QPainter p(&a);
            big->Draw(p, a.rect());
            QPainter q(&b);
            small->Draw(q, b.rect());
        }
        QCOMPARE(a.copy(0, 0, 60, 40), b);
        QCOMPARE(FrameRender(big->Model().frames[0]).bitmap.format(), QImage::Format_Indexed8);
        const int index = (1199 / 3 + 999) % 4;
        const QColor expected = index == 2 ? QColor(Qt::black) : QColor(kColours[index].r, kColours[index].g, kColours[index].b);
        QCOMPARE(At(a, 1199, 999), expected);
    }

    void stillBitmapAndUnanimatedPictures() {
        // Two frames, animation off: frame 0 only, placed by MapFrameRect; no painter.
        auto picture = Load(GifBuilder().Header(4, 4, kColours).Image(1, 1, 2, 2, Bytes{2, 2, 2, 2}, 2)
                                .Image(0, 0, 4, 4, Bytes(16, 3), 2).Trailer());
        picture->RenderFlags &= ~rfAnimate;
        QImage canvas = Canvas(8, 8, Qt::black);
        {
            QPainter p(&canvas);
            picture->Draw(p, canvas.rect());
        }
        QCOMPARE(At(canvas, 2, 2), QColor(Qt::green));
        QCOMPARE(At(canvas, 0, 0), QColor(Qt::black));
        QCOMPARE(picture->PainterCount(), size_t(0));
        const QImage* still = picture->StillBitmap();
        QVERIFY(still);
        QCOMPARE(still->size(), QSize(4, 4));
        QCOMPARE(At(*still, 1, 1), QColor(Qt::green));
        QCOMPARE(picture->StillBitmap(), still);  // kept
    }

    void renderOnLoadRendersEveryFrameAsItIsRead() {
        const GifBuilder gif = GifBuilder().Header(2, 1, kColours).Image(0, 0, 2, 1, Bytes{0, 1}, 2)
                                   .Image(0, 0, 2, 1, Bytes{1, 2}, 2).Trailer();
        auto plain = Load(gif);
        QVERIFY(FrameRender(plain->Model().frames[1]).bitmap.isNull());

        struct Reset {
            ~Reset() { renderOnLoad = false; }
        } reset;
        renderOnLoad = true;
        auto rendered = std::make_unique<GifPicture>();
        std::vector<bool> redraws;
        std::vector<bool> secondReady;
        rendered->Model().OnProgress = [&](GifObject*, GifProgressStage stage, int, bool redraw, const GifRect&,
                                           const std::string& message) {
            if (stage != GifProgressStage::running || message != "Loading...") return;
            redraws.push_back(redraw);
            GifImage& model = rendered->Model();
            secondReady.push_back(model.frames.Count() == 2 && !FrameRender(model.frames[1]).bitmap.isNull());
        };
        rendered->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
        // Each frame is rendered before the progress that reports it, which asks for a redraw.
        QCOMPARE(redraws, (std::vector<bool>{true, true}));
        QCOMPARE(secondReady, (std::vector<bool>{false, true}));
        QCOMPARE(FrameRender(rendered->Model().frames[0]).bitmap.pixelColor(1, 0), QColor(Qt::red));
    }

    void picturesAreLoadedByTheirRegisteredKind() {
        QCOMPARE(PictureFormats().size(), size_t(1));
        QCOMPARE(PictureFormats()[0].extension, std::string("GIF"));
        QCOMPARE(PictureFormats()[0].description, std::string("GIF Image"));
        QCOMPARE(FindPictureFormat("gif"), &PictureFormats()[0]);
        QCOMPARE(FindPictureFormat("bmp"), nullptr);

        QTemporaryDir dir;
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write a test file");
            return dir.filePath(name).toStdString();
        };
        const GifBuilder two = GifBuilder().Header(2, 1, kColours).Gce(1, 5, 0).Image(0, 0, 2, 1, Bytes{0, 1}, 2)
                                   .Gce(1, 5).Image(0, 0, 2, 1, Bytes{2, 2}, 2).Trailer();
        const QByteArray gifBytes(reinterpret_cast<const char*>(two.bytes().data()), qsizetype(two.bytes().size()));
        // The bytes decide first: a GIF named .bmp is a GIF picture, composed with transparency.
        auto gif = LoadGraphic(write("anim.bmp", gifBytes));
        QVERIFY(dynamic_cast<GifPicture*>(gif.get()));
        QCOMPARE(gif->FirstFrame().pixelColor(0, 0).alpha(), 0);
        QCOMPARE(gif->FirstFrame().pixelColor(1, 0), QColor(Qt::red));
        // A .gif that is no GIF goes to the registered GIF reader, which says why.
        try {
            LoadGraphic(write("fake.gif", "BM not a gif at all"));
            QFAIL("no error");
        } catch (const torvana::Error& e) {
            QCOMPARE(QString(e.what()), QString("Invalid GIF signature"));
        }
        // Anything else through Qt's readers, as a still picture.
        QImage red(3, 2, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("red.png")));
        // Bytes before names here too: a PNG named .bmp and a BMP named .png.
        for (const auto& [name, format] : {std::pair{"png.bmp", "PNG"}, std::pair{"bmp.png", "BMP"}}) {
            QVERIFY(red.save(dir.filePath(name), format));
            QCOMPARE(LoadGraphic(dir.filePath(name).toStdString())->FirstFrame().pixelColor(2, 1), QColor(Qt::red));
        }
        const int64_t before = GifMemoryBudget::Program().InUse();
        auto still = LoadGraphic(dir.filePath("red.png").toStdString());
        QVERIFY(dynamic_cast<StillPicture*>(still.get()));
        QImage kept = still->FirstFrame();
        QCOMPARE(kept.size(), QSize(3, 2));
        // Its pixels count in the program's budget as long as the picture or a copy lives.
        still.reset();
        QCOMPARE(GifMemoryBudget::Program().InUse(), before + kept.sizeInBytes());
        kept = QImage();
        QCOMPARE(GifMemoryBudget::Program().InUse(), before);
        // Reasons fit for a sentence.
        auto reason = [](const std::string& path) -> QString {
            try {
                LoadGraphic(path);
            } catch (const torvana::Error& e) {
                return e.what();
            }
            return {};
        };
        QCOMPARE(reason(dir.filePath("none.gif").toStdString()), QString("file not found"));
        QCOMPARE(reason(dir.path().toStdString()), QString("not a file"));
        QCOMPARE(reason(write("header.gif", gifBytes.left(13 + 12))), QString("the GIF file holds no picture"));
    }

    void drawingTakesItsBitmapsFromTheSharedBudget() {
        const std::string refused = "Not enough memory for the picture: the pictures open would need more than ";
        {
            GifMemoryBudget budget(int64_t(6) << 20);
            auto one = LoadInto(budget, Square(500));
            const int64_t model = budget.InUse();
            GifFrame& frame = one->Model().frames[0];
            QImage canvas = Canvas(500, 500, Qt::black);
            QPainter p(&canvas);
            QCOMPARE(one->TryDraw(p, canvas.rect()), std::string());
            QVERIFY(!FrameRender(frame).masked.isNull());
            QCOMPARE(budget.InUse(), model + CacheBytes(frame));  // indices, mask, opaque and masked forms
            DiscardFrameBitmap(frame);
            QCOMPARE(budget.InUse(), model + FrameRender(frame).mask.sizeInBytes());
            QVERIFY(one->StillBitmap());
            QCOMPARE(budget.InUse(), model + CacheBytes(frame) + 500 * 500 * 4);
            const int64_t drawn = budget.InUse();
            // The first frame stays counted while any copy of it lives.
            QImage first = one->FirstFrame();
            QImage copy = first;
            QCOMPARE(budget.InUse(), drawn + 500 * 500 * 4);
            QCOMPARE(copy.pixelColor(1, 0), QColor(Qt::red));
            first = QImage();
            QCOMPARE(budget.InUse(), drawn + 500 * 500 * 4);

            // A second picture's bitmaps do not fit beside the first one's: refused, nothing
            // drawn, nothing kept; once the copy is gone they fit.
            auto two = LoadInto(budget, Square(500));
            const int64_t loaded = budget.InUse();
            QImage other = Canvas(500, 500, Qt::black);
            QPainter q(&other);
            QCOMPARE(two->TryDraw(q, other.rect()).substr(0, refused.size()), refused);
            QCOMPARE(budget.InUse(), loaded);
            QCOMPARE(At(other, 250, 250), QColor(Qt::black));
            copy = QImage();
            QCOMPARE(two->TryDraw(q, other.rect()), std::string());
            QCOMPARE(At(other, 250, 250), QColor(Qt::red));
            p.end();
            q.end();
            one.reset();
            two.reset();
            QCOMPARE(budget.InUse(), 0);
        }
        // An animation whose painter does not fit leaves no display bitmap and no painter
        // behind, and starts once there is room. (Small: Qt converts large frames on threads
        // of its own, which ThreadSanitizer cannot follow.)
        GifMemoryBudget budget(int64_t(2) << 20);
        auto big = LoadInto(budget, Square(1400));  // 1.96 MB of indices takes the room
        auto animation = LoadInto(budget, Square(120, 2));
        const int64_t loaded = budget.InUse();
        QImage canvas = Canvas(120, 120, Qt::black);
        QPainter p(&canvas);
        for (int attempt = 0; attempt < 2; ++attempt) {
            QCOMPARE(animation->TryDraw(p, canvas.rect()).substr(0, refused.size()), refused);
            QCOMPARE(animation->MainPainter(), nullptr);
            QCOMPARE(animation->DisplayBitmap(), nullptr);
            QCOMPARE(budget.InUse(), loaded);
        }
        big.reset();
        QCOMPARE(animation->TryDraw(p, canvas.rect()), std::string());
        QVERIFY(animation->MainPainter());
        QCOMPARE(At(canvas, 60, 60), QColor(Qt::red));
        p.end();
        animation.reset();
        QCOMPARE(budget.InUse(), 0);
    }

    void anImageQtCannotAllocateIsAnErrorNotACrash() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("a sanitizer's shadow memory does not fit under an address-space limit");
#endif
        // 16 MB of indices: the frame's bitmap and mask fit in the room left, its 64 MB opaque
        // form does not; the first frame's 64 MB canvas fits, its copy does not.
        auto picture = Load(Square(4096));
        GifFrame& frame = picture->Model().frames[0];
        const int64_t model = picture->Model().budget->InUse();
        QCOMPARE(WithLittleAddressSpace(int64_t(40) << 20,
                                        [&] {
                                            try {
                                                FrameBitmap(*picture, frame);
                                            } catch (const GifOutOfMemory&) {
                                                // Nothing half-made is kept, or counted.
                                                if (FrameRender(frame).bitmap.isNull() &&
                                                    picture->Model().budget->InUse() == model)
                                                    throw;
                                            }
                                        }),
                 0);
        QCOMPARE(WithLittleAddressSpace(int64_t(100) << 20, [&] { picture->FirstFrame(); }), 0);
        // Unlimited, the same frame draws.
        QVERIFY(FrameBitmap(*picture, frame));
    }
};

QTEST_MAIN(GifRenderTest)
#include "gif_render_test.moc"
