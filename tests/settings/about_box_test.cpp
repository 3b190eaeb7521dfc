// The About box: version at each showing, the web address link and its pointer, closing it,
// and the animated logo, which goes on while the box is hidden.

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <QFile>
#include <functional>

#include "app/forms.h"
#include "gif/fake_clock.h"
#include "gif/gif_image.h"
#include "gif/qt/gif_painter.h"
#include "gif/qt/picture_control.h"
#include "app/main_window.h"
#include "settings/ui/about_box.h"
#include "settings/web_site.h"
#include "test_support/window_fixture.h"

class AboutBoxTest : public QObject {
    Q_OBJECT
    WindowFixture fx;

private slots:
    void init() { fx.setUp(); }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void showsTheVersionEachTimeAndOkCloses() {
        TForm1* f = forms().Form1;
        TAboutBox* box = forms().AboutBox;
        for (int i = 0; i < 2; ++i) {
            QString seen;
            whenModal("TAboutBox", [&](QWidget*) {
                seen = box->Version->text();
                QTest::keyClick(box->OKButton, Qt::Key_Return);
            });
            box->Version->setText("stale");
            f->About1->trigger();
            QCOMPARE(seen, QString("Version 3.5"));
            QVERIFY(!box->isVisible());
        }
        QCOMPARE(box->windowTitle(), QString("About"));
        QCOMPARE(box->ProductName->text(), QString("Torvana"));
        QVERIFY(box->ProductName->font().bold());
        QCOMPARE(box->ProductName->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // Closing it runs no activation of the main window: no chooser appears.
        QCOMPARE(fx.hook.beeps, 0);
    }

    void theLinkOpensTheWebSiteAndKeepsTheBoxOpen() {
        TAboutBox* box = forms().AboutBox;
        QCOMPARE(box->Comments->text(), QString(torvana::kWebAddress));
        QVERIFY(box->Comments->font().underline() && box->Comments->font().bold());
        QCOMPARE(box->Comments->toolTip(), QString("Go to web site"));
        bool stillOpen = false;
        torvana::toolkit::Pointer overLink = torvana::toolkit::Pointer::Arrow, overPanel = torvana::toolkit::Pointer::Hand;
        whenModal("TAboutBox", [&](QWidget*) {
            QWindow* win = box->windowHandle();
            QTest::mouseMove(win, box->Comments->mapTo(box, box->Comments->rect().center()));
            overLink = torvana::toolkit::currentPointer();
            QTest::mouseClick(win, Qt::LeftButton, {}, box->Comments->mapTo(box, box->Comments->rect().center()));
            stillOpen = box->isVisible();
            QTest::mouseMove(win, box->Panel1->mapTo(box, QPoint(3, box->Panel1->height() - 3)));
            overPanel = torvana::toolkit::currentPointer();
            box->close();
        });
        forms().Form1->About1Click();
        QCOMPARE(fx.hook.openedTargets, std::vector<std::string>{torvana::kWebAddress});
        QVERIFY(stillOpen);
        QCOMPARE(overLink, torvana::toolkit::Pointer::Hand);
        QCOMPARE(overPanel, torvana::toolkit::Pointer::Arrow);
    }

    void theLogoIsOurAnimatedGif() {
        // The embedded logo as our reader sees it.
        QFile file(":/torvana/torvana_logo.gif");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        torvana::gif::GifImage gif;
        torvana::gif::GifMemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        gif.LoadFromStream(stream);
        QCOMPARE(gif.Width(), 50);
        QCOMPARE(gif.Height(), 46);
        QCOMPARE(gif.header->globalColors.tripleCount, 256);
        QCOMPARE(gif.frames.Count(), size_t(18));
        for (size_t i = 0; i < gif.frames.Count(); ++i) {
            const auto& frame = gif.frames[i];
            QVERIFY(frame.controlBlock && frame.hasTransparency);
            QCOMPARE(int(frame.controlBlock->delayTime), 5);
            QCOMPARE(frame.controlBlock->DisposalCode(), 2);
            QCOMPARE(int(frame.controlBlock->transparentIndex), 0);
            QCOMPARE(frame.frameWidth * frame.frameHeight, 50 * 46);
        }
        const auto* loop = dynamic_cast<const torvana::gif::GifLoopExtension*>(&gif.frames[0].extensionItems[0]);
        QVERIFY(loop);
        QCOMPARE(int(loop->loopCount), 1000);

        TAboutBox* box = forms().AboutBox;
        QVERIFY(box->Image1->gifPicture());
        QCOMPARE(box->Image1->gifPicture()->Model().frames.Count(), size_t(18));
        QCOMPARE(box->Image1->gifPicture()->RenderFlags, torvana::gif::defaultRenderFlags);
    }

    void theLogoAnimatesAndGoesOnAfterTheBoxIsOpenedAgain() {
        // The logo's time moves only when the test moves it, a frame's delay at a time.
        auto clock = std::make_shared<StepClock>();
        TAboutBox box(clock);
        const auto changesAfterTimePasses = [&](const std::function<QImage()>& look) {
            const QImage before = look();
            return QTest::qWaitFor([&] {
                clock->Advance(60);
                return look() != before;
            }, 5000);
        };
        const auto shown = [&] { return box.Image1->grab().toImage(); };

        QImage first;
        bool changed = false;
        whenModal("TAboutBox", [&](QWidget*) {
            first = shown();
            changed = changesAfterTimePasses(shown);
            QTest::keyClick(box.OKButton, Qt::Key_Return);
        });
        box.exec();
        QVERIFY(changed);
        QVERIFY(clock->Waits() > 0);
        QVERIFY(!first.isNull());
        torvana::gif::GifPicture* logo = box.Image1->gifPicture();
        torvana::gif::GifPainter* painter = logo->MainPainter();
        QVERIFY(painter);

        // Hidden, the painter keeps running: the box shows where it has got to.
        QVERIFY(changesAfterTimePasses([&] { return *logo->DisplayBitmap(); }));

        bool animatesAgain = false;
        torvana::gif::GifPainter* painterAfter = nullptr;
        whenModal("TAboutBox", [&](QWidget*) {
            animatesAgain = changesAfterTimePasses(shown);
            painterAfter = logo->MainPainter();
            box.close();
        });
        box.exec();
        QVERIFY(animatesAgain);
        QCOMPARE(painterAfter, painter);  // the same painter, not a new start
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
