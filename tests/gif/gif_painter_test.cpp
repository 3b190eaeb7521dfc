// The painter and the picture's animation control, timed with a clock of the test's own:
// delays, speed and the wait compensation, loop passes, disposal, stopping and destruction,
// and the first Draw of an animated picture.

#include <QPainter>
#include <QTest>

#include "fake_clock.h"
#include "gif/qt/gif_painter.h"
#include "gif/qt/gif_picture.h"
#include "gif/qt/gui_call_queue.h"
#include "gif_writer.h"

using namespace torvana::gif;
using giftest::Bytes;
using giftest::GifBuilder;

namespace {

const std::vector<giftest::Rgb> kColours{{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

struct FrameSpec {
    int delay = 5;
    int disposal = 1;
    int colour = 1;
    int loop = -1;  // a NETSCAPE2.0 extension with this count before the frame
    QRect area = QRect(0, 0, 4, 4);
    int transparent = -1;
};

std::unique_ptr<GifPicture> Animation(const std::vector<FrameSpec>& frames, int background = 0) {
    GifBuilder gif;
    gif.Header(4, 4, kColours, background);
    for (const FrameSpec& f : frames) {
        if (f.loop >= 0) gif.Loop(f.loop);
        gif.Gce(f.disposal, f.delay, f.transparent);
        gif.Image(f.area.x(), f.area.y(), f.area.width(), f.area.height(),
                  Bytes(size_t(f.area.width() * f.area.height()), uint8_t(f.colour)), 2);
    }
    gif.Trailer();
    auto picture = std::make_unique<GifPicture>();
    picture->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
    return picture;
}

// Runs a painter on a canvas of the picture's size to its end; returns the frames it showed.
struct Run {
    std::vector<int> frames;
    std::vector<int64_t> times;  // the clock when each frame was about to be shown
    int loopStarts = 0;
    int paintEnds = 0;
};

Run Play(GifPicture& picture, FakeClock& clock, QImage& canvas, int stopAfter = 0) {
    Run run;
    picture.OnFramePaint = [&](GifPainter* p) {
        run.frames.push_back(p->activeFrame);
        run.times.push_back(clock.NowMs());
        if (stopAfter && int(run.frames.size()) == stopAfter) p->Stop();
    };
    picture.OnLoopStart = [&](GifPainter*) { ++run.loopStarts; };
    picture.OnPaintEnd = [&](GifPainter*) { ++run.paintEnds; };
    GifPainter* slot = nullptr;
    GifPainter* painter = picture.StartPainter(&slot, &canvas, picture.RenderFlags, canvas.rect());
    if (painter) {
        painter->Start();
        GuiCallQueue::Instance().WaitUntil([&] { return picture.PainterCount() == 0; });
    }
    return run;
}

std::vector<int64_t> Gaps(const std::vector<int64_t>& times) {
    std::vector<int64_t> gaps;
    for (size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    return gaps;
}

QImage Canvas(QColor fill = Qt::black) {
    QImage image(4, 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

}  // namespace

class GifPainterTest : public QObject {
    Q_OBJECT

private slots:
    void delaysWithTheMinimumTheDefaultAndTheMaximum() {
        auto picture = Animation({{0}, {1}, {2}, {5000}, {5}, {5}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas = Canvas();
        Run threaded = Play(*picture, *clock, canvas);
        QCOMPARE(threaded.frames, (std::vector<int>{0, 1, 2, 3, 4, 5}));
        QCOMPARE(Gaps(threaded.times), (std::vector<int64_t>{120, 36, 36, 60000, 60}));
        QCOMPARE(clock->Waits(), (std::vector<int64_t>{120, 36, 36, 60000, 60}));

        // Without a thread the delay is capped at 1000 units (12 s), waited in slices of at
        // most 100 ms; the first frame waits one unit.
        auto slow = std::make_shared<FakeClock>();
        picture->Clock = slow;
        picture->RenderFlags &= ~rfThreaded;
        Run unthreaded = Play(*picture, *slow, canvas);
        QCOMPARE(Gaps(unthreaded.times), (std::vector<int64_t>{120, 36, 36, 12000, 60}));
        QCOMPARE(unthreaded.times.front() - 1000, 12);
        for (int64_t s : slow->Sleeps()) QVERIFY(s > 0 && s <= 100);

        // Speed 200 halves every wait.
        auto fast = std::make_shared<FakeClock>();
        picture->Clock = fast;
        picture->RenderFlags |= rfThreaded;
        picture->SpeedPercent = 200;
        QCOMPARE(Gaps(Play(*picture, *fast, canvas).times), (std::vector<int64_t>{60, 18, 18, 30000, 30}));
    }

    void theWaitTakesOffHalfOfTheTimeSpentOutsideIt() {
        auto picture = Animation({{5}, {5}, {5}, {5}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        // Each shown frame costs 10 ms, then 7 ms: 60 - 10/2 = 55, 60 - 7/2 = 57 (truncated).
        int shown = 0;
        picture->OnFramePainted = [&](GifPainter*) { clock->Advance(++shown == 1 ? 10 : 7); };
        QImage canvas = Canvas();
        Play(*picture, *clock, canvas);
        QCOMPARE(clock->Waits(), (std::vector<int64_t>{55, 57, 57}));
    }

    void loopPassesStartAtTheFrameWithTheExtension() {
        auto picture = Animation({{5, 1, 1}, {5, 1, 2, 3}, {5, 1, 3}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas = Canvas();
        Run run = Play(*picture, *clock, canvas);
        QCOMPARE(run.frames, (std::vector<int>{0, 1, 2, 1, 2, 1, 2}));
        QCOMPARE(run.loopStarts, 2);
        QCOMPARE(run.paintEnds, 1);

        // ANIMEXTS1.0 counts as well.
        GifBuilder gif;
        gif.Header(4, 4, kColours).Loop(2, "ANIMEXTS1.0").Gce(1, 5).Image(0, 0, 4, 4, Bytes(16, 1), 2)
            .Gce(1, 5).Image(0, 0, 4, 4, Bytes(16, 2), 2).Trailer();
        GifPicture other;
        other.LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
        other.Clock = clock;
        QCOMPARE(Play(other, *clock, canvas).frames.size(), size_t(4));

        // Without rfLoop one pass.
        picture->RenderFlags &= ~rfLoop;
        QCOMPARE(Play(*picture, *clock, canvas).frames.size(), size_t(3));
    }

    void loopCountZeroAndLoopForever() {
        auto picture = Animation({{5, 1, 1, 0}, {5, 1, 2}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas = Canvas();
        // Threaded: without limit (stopped by the test after 9 frames).
        Run endless = Play(*picture, *clock, canvas, 9);
        QCOMPARE(endless.frames.size(), size_t(9));
        QCOMPARE(endless.paintEnds, 0);
        // Unthreaded: once.
        picture->RenderFlags &= ~rfThreaded;
        QCOMPARE(Play(*picture, *clock, canvas).frames.size(), size_t(2));
        // rfLoopForever: without limit in both modes.
        picture->RenderFlags |= rfLoopForever;
        QCOMPARE(Play(*picture, *clock, canvas, 7).frames.size(), size_t(7));
        picture->RenderFlags |= rfThreaded;
        QCOMPARE(Play(*picture, *clock, canvas, 8).frames.size(), size_t(8));
    }

    void withoutALoopExtensionPlaysOnceAndKeepsTheLastFrame() {
        auto picture = Animation({{5, 1, 1}, {5, 1, 2}, {5, 1, 3, -1, QRect(1, 1, 2, 2)}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas = Canvas();
        Run run = Play(*picture, *clock, canvas);
        QCOMPARE(run.frames, (std::vector<int>{0, 1, 2}));
        QCOMPARE(run.paintEnds, 1);
        QCOMPARE(canvas.pixelColor(1, 1), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(0, 0), QColor(Qt::green));
    }

    void disposalRestoresOnlyTheFrameArea() {
        // Frame 1 (disposal 2) covers the middle; the next frame is fully transparent, so what
        // the canvas shows then is the composite after the restore.
        auto make = [] {
            return Animation({{5, 1, 1}, {5, 2, 2, -1, QRect(1, 1, 2, 2)}, {5, 1, 0, -1, QRect(0, 0, 1, 1), 0}}, 3);
        };
        auto clock = std::make_shared<FakeClock>();
        auto picture = make();
        picture->Clock = clock;
        QImage canvas = Canvas(Qt::transparent);
        Play(*picture, *clock, canvas);
        // rfTransparent: back to what lay under the picture (here: transparent).
        QCOMPARE(canvas.pixelColor(1, 1).alpha(), 0);
        QCOMPARE(canvas.pixelColor(0, 0), QColor(Qt::red));
        // Without transparency: back to the background colour (index 3, blue).
        auto opaque = make();
        opaque->Clock = clock;
        opaque->RenderFlags &= ~rfTransparent;
        QImage canvas2 = Canvas(Qt::transparent);
        std::vector<QColor> middle;
        opaque->OnFramePainted = [&](GifPainter*) { middle.push_back(canvas2.pixelColor(1, 1)); };
        Play(*opaque, *clock, canvas2);
        QCOMPARE(middle[1], QColor(Qt::green));
        QCOMPARE(canvas2.pixelColor(3, 3), QColor(Qt::red));
        QCOMPARE(canvas2.pixelColor(0, 0), QColor(Qt::white));  // frame 2 opaque at (0,0)
        // After frame 2 is shown the composite has blue where frame 1 was.
        QCOMPARE(canvas2.pixelColor(1, 1), QColor(Qt::blue));
    }

    void disposalThreeAfterOneIsDrawnOnTheTargetOnly() {
        auto picture = Animation({{5, 1, 1}, {5, 3, 2, -1, QRect(0, 0, 2, 2)}, {5, 1, 0, -1, QRect(3, 3, 1, 1), 0}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas = Canvas();
        std::vector<QColor> corner;
        picture->OnFramePainted = [&](GifPainter*) { corner.push_back(canvas.pixelColor(0, 0)); };
        Play(*picture, *clock, canvas);
        QCOMPARE(corner, (std::vector<QColor>{Qt::red, Qt::green, Qt::red}));
    }

    void aPainterStoppedWhileWaitingEndsAtOnce() {
        // Waits of a second or more block until the painter is woken: a Stop that did not
        // wake it would hang here.
        auto clock = std::make_shared<FakeClock>(1000);
        auto picture = Animation({{5000}, {5}});
        picture->Clock = clock;
        int shown = 0, ended = 0;
        picture->OnFramePainted = [&](GifPainter*) { ++shown; };
        picture->OnPaintEnd = [&](GifPainter*) { ++ended; };
        QImage target(8, 8, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::black);
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());  // waits for the first frame
        }
        QVERIFY(picture->MainPainter());
        QTRY_VERIFY_WITH_TIMEOUT(!clock->Waits().empty(), 30000);
        QCOMPARE(shown, 1);
        QCOMPARE(clock->Waits(), std::vector<int64_t>{60000});
        picture->StopMainPainter();
        QCOMPARE(picture->MainPainter(), nullptr);
        QCOMPARE(picture->PainterCount(), size_t(0));
        QCOMPARE(shown, 1);
        QCOMPARE(ended, 0);
        QCOMPARE(GifPainter::LiveThreads(), 0);
    }

    void destroyingAPictureWhileItsPainterWaitsLeavesNoThread() {
        auto clock = std::make_shared<FakeClock>(1000);
        auto picture = Animation({{5000}, {5}});
        picture->Clock = clock;
        int ended = 0;
        picture->OnPaintEnd = [&](GifPainter*) { ++ended; };
        QImage target(4, 4, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!clock->Waits().empty(), 30000);
        QCOMPARE(GifPainter::LiveThreads(), 1);
        picture.reset();
        QCOMPARE(GifPainter::LiveThreads(), 0);
        QCOMPARE(ended, 0);

        // Speed 0: the first frame, then a wait without limit until stopped.
        auto still = Animation({{5}, {5}});
        auto unlimited = std::make_shared<FakeClock>();
        still->Clock = unlimited;
        still->SpeedPercent = 0;
        {
            QPainter p(&target);
            still->Draw(p, target.rect());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!unlimited->Waits().empty(), 30000);
        QCOMPARE(unlimited->Waits(), std::vector<int64_t>{-1});
        still.reset();
        QCOMPARE(GifPainter::LiveThreads(), 0);
    }

    void drawShowsTheDisplayBitmapAndStartsOnePainter() {
        auto picture = Animation({{5, 1, 1}, {5, 1, 2}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        int starts = 0;
        picture->OnPaintStart = [&](GifPainter*) { ++starts; };
        QImage target(4, 4, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::black);
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());
        }
        QVERIFY(target.pixelColor(0, 0) == QColor(Qt::red) || target.pixelColor(0, 0) == QColor(Qt::green));
        GuiCallQueue::Instance().WaitUntil([&] { return picture->PainterCount() == 0; });
        // The animation has ended: Draw shows the last composed frame and starts nothing.
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());
        }
        QCOMPARE(target.pixelColor(0, 0), QColor(Qt::green));
        QCOMPARE(starts, 1);
        QCOMPARE(picture->PainterCount(), size_t(0));
        // A new picture starts again from the first frame.
        std::vector<int> frames;
        picture->OnFramePaint = [&](GifPainter* p) { frames.push_back(p->activeFrame); };
        GifBuilder gif;
        gif.Header(4, 4, kColours).Gce(1, 5).Image(0, 0, 4, 4, Bytes(16, 3), 2).Gce(1, 5).Image(0, 0, 4, 4, Bytes(16, 1), 2).Trailer();
        picture->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
        QCOMPARE(picture->DisplayBitmap(), nullptr);
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());
        }
        QCOMPARE(frames.front(), 0);
        QCOMPARE(starts, 2);
    }

    void directPaintingIntoTheSameTargetStartsNothingNew() {
        auto clock = std::make_shared<FakeClock>(1000);
        auto picture = Animation({{5}, {5000}, {5}});
        picture->Clock = clock;
        picture->RenderFlags |= rfDirect;
        int starts = 0;
        picture->OnPaintStart = [&](GifPainter*) { ++starts; };
        QImage target(4, 4, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::black);
        {
            QPainter p(&target);
            picture->Draw(p, target.rect());
            QVERIFY(picture->MainPainter());
            GifPainter* first = picture->MainPainter();
            picture->Draw(p, target.rect());
            QCOMPARE(picture->MainPainter(), first);
            picture->Draw(p, QRect(0, 0, 2, 2));
            QVERIFY(picture->MainPainter());
            QCOMPARE(picture->MainPainter()->Target(), QRect(0, 0, 2, 2));
        }
        // The second painter draws straight onto the target, into its rectangle only.
        QTRY_VERIFY_WITH_TIMEOUT(picture->MainPainter() && picture->MainPainter()->FrameShown(), 30000);
        QCOMPARE(target.pixelColor(1, 1), QColor(Qt::red));
        QVERIFY(starts >= 1);
        QCOMPARE(picture->DisplayBitmap(), nullptr);
        picture->StopAllPainters();
        QCOMPARE(picture->PainterCount(), size_t(0));
    }

    void checkCanvasEndsPaintingOnceTheTargetIsGone() {
        auto picture = Animation({{5, 1, 1}, {5, 2, 2}, {5, 1, 3}});
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        picture->RenderFlags |= rfCheckCanvas;
        QImage canvas = Canvas();
        picture->OnFramePainted = [&](GifPainter*) { canvas = QImage(); };
        Run run = Play(*picture, *clock, canvas);
        QCOMPARE(run.frames, (std::vector<int>{0, 1}));  // frame 1 found no canvas to show on
        QCOMPARE(run.paintEnds, 0);
    }

    void errorsEndThePainterAndAreRaisedAgain() {
        // No colour table anywhere: rendering the second frame fails.
        GifBuilder gif;
        gif.Header(2, 2).Gce(1, 5).Image(0, 0, 2, 2, Bytes(4, 0), 2).Gce(1, 5).Image(0, 0, 2, 2, Bytes(4, 1), 2).Trailer();
        auto picture = std::make_unique<GifPicture>();
        picture->LoadFromData(QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size())));
        auto clock = std::make_shared<FakeClock>();
        picture->Clock = clock;
        QImage canvas(2, 2, QImage::Format_ARGB32_Premultiplied);
        Play(*picture, *clock, canvas);
        QVERIFY(picture->LastPainterError());
        QCOMPARE(picture->PainterCount(), size_t(0));
        // Unthreaded, the error reaches the caller.
        picture->RenderFlags &= ~rfThreaded;
        GifPainter* slot = nullptr;
        QVERIFY_THROWS_EXCEPTION(GifError, picture->StartPainter(&slot, &canvas, picture->RenderFlags, canvas.rect()));
        QCOMPARE(slot, nullptr);
        QCOMPARE(picture->PainterCount(), size_t(0));
    }
};

QTEST_MAIN(GifPainterTest)
#include "gif_painter_test.moc"
