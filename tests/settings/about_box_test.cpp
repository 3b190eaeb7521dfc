// The About box: version at each showing, the web address link and its pointer, and closing it.

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/forms.h"
#include "app/main_window.h"
#include "settings/about_box.h"
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
        toolkit::Pointer overLink = toolkit::Pointer::Arrow, overPanel = toolkit::Pointer::Hand;
        whenModal("TAboutBox", [&](QWidget*) {
            QWindow* win = box->windowHandle();
            QTest::mouseMove(win, box->Comments->mapTo(box, box->Comments->rect().center()));
            overLink = toolkit::currentPointer();
            QTest::mouseClick(win, Qt::LeftButton, {}, box->Comments->mapTo(box, box->Comments->rect().center()));
            stillOpen = box->isVisible();
            QTest::mouseMove(win, box->Panel1->mapTo(box, QPoint(3, box->Panel1->height() - 3)));
            overPanel = toolkit::currentPointer();
            box->close();
        });
        forms().Form1->About1Click();
        QCOMPARE(fx.hook.openedTargets, std::vector<std::string>{torvana::kWebAddress});
        QVERIFY(stillOpen);
        QCOMPARE(overLink, toolkit::Pointer::Hand);
        QCOMPARE(overPanel, toolkit::Pointer::Arrow);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
