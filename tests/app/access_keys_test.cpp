// Every access key of every window, pressed: each reaches its own control or menu, and no two
// controls or menu titles of one window (no two items of one menu) share a key. The walk finds
// the keys itself, so controls and menu items added later are checked too; the table below
// names the keys each window must keep.

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcutEvent>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "app/startup_chooser.h"
#include "staging/ui/staging_folder_dialog.h"
#include "hotspot/ui/hotspot_editor.h"
#include "hotspot/ui/hotspot_layout.h"
#include "settings/ui/about_box.h"
#include "test_support/window_fixture.h"

namespace {

// The character after a single "&", upper case; none when the text has no access key.
QChar accessKey(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return {};
}

// Records the shortcut events the access keys send, and keeps buttons and labels from acting
// on them, so pressing a key runs no command.
class ShortcutRecorder : public QObject {
public:
    struct Delivery {
        QObject* receiver;
        bool ambiguous;
    };
    std::vector<Delivery> deliveries;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut) return false;
        deliveries.push_back({watched, static_cast<QShortcutEvent*>(event)->isAmbiguous()});
        return qobject_cast<QAbstractButton*>(watched) || qobject_cast<QLabel*>(watched);
    }
};

// Puts a stand-in with the same caption in a menu item's place while it lives, so pressing the
// item's key triggers the stand-in and runs no command.
struct StandIn {
    QWidget* owner;
    QAction* item;
    QAction* action;
    StandIn(QWidget* owner_, QAction* item_) : owner(owner_), item(item_), action(new QAction(item_->text(), owner_)) {
        action->setObjectName(item->objectName());
        owner->insertAction(item, action);
        owner->removeAction(item);
    }
    ~StandIn() {
        owner->insertAction(action, item);
        owner->removeAction(action);
        delete action;
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
};

struct Target {
    QChar key;
    QString name;      // object name of the control, menu or action
    QObject* control;  // the button or label, or the menu bar for its titles
    QAction* action;   // the menu bar's item, for titles
};

// The access keys of the window's controls and of its menu bar's titles.
std::vector<Target> targetsOf(QWidget* window) {
    std::vector<Target> out;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (!b->isHidden() && !accessKey(b->text()).isNull()) out.push_back({accessKey(b->text()), b->objectName(), b, nullptr});
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() && !accessKey(l->text()).isNull()) out.push_back({accessKey(l->text()), l->objectName(), l, nullptr});
    if (auto* main = qobject_cast<QMainWindow*>(window))
        for (QAction* a : main->menuBar()->actions())
            if (!accessKey(a->text()).isNull())
                out.push_back({accessKey(a->text()), a->menu() ? a->menu()->objectName() : a->objectName(), main->menuBar(), a});
    return out;
}

void showActive(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

QWidget* keyTarget(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == window ? focus : window;
}

}  // namespace

class AccessKeysTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    ShortcutRecorder recorder;

    // Presses every menu item's key while its menu is open; each triggers its own item only.
    void pressMenuItems(QWidget* window, QMenu* menu, QStringList& pressed) {
        std::map<QChar, QString> seen;
        for (QAction* item : menu->actions()) {
            const QChar key = accessKey(item->text());
            if (key.isNull() || item->isSeparator()) continue;
            QVERIFY2(!seen.count(key), qPrintable(QString("%1 and %2 share Alt+%3").arg(seen[key], item->objectName(), key)));
            seen[key] = item->objectName();
            StandIn standIn(menu, item);
            QSignalSpy triggered(standIn.action, &QAction::triggered);
            menu->popup(window->mapToGlobal(QPoint(0, 0)));
            QTRY_VERIFY(menu->isVisible());
            QTest::keyClick(menu, key.toLatin1());
            QCOMPARE(triggered.count(), 1);
            menu->hide();
            pressed << menu->objectName() + "/" + item->objectName() + "=" + key;
        }
    }

    // Presses every access key of the window; `pressed` receives "name=key" for each.
    void pressAll(QWidget* window, QStringList& pressed) {
        showActive(window);
        std::map<QChar, QString> seen;
        for (const Target& t : targetsOf(window)) {
            if (seen.count(t.key)) {
                QFAIL(qPrintable(QString("%1 and %2 share Alt+%3").arg(seen[t.key], t.name, t.key)));
            }
            seen[t.key] = t.name;
        }
        for (const Target& t : targetsOf(window)) {
            auto* control = qobject_cast<QWidget*>(t.control);
            const bool wasEnabled = control->isEnabled();
            control->setEnabled(true);  // a key works whenever its control does
            QMenu* menu = t.action ? t.action->menu() : nullptr;
            std::optional<StandIn> standIn;
            if (t.action && !menu) standIn.emplace(window->findChild<QMenuBar*>(), t.action);
            std::optional<QSignalSpy> triggered;
            if (standIn) triggered.emplace(standIn->action, &QAction::triggered);
            recorder.deliveries.clear();
            QTest::keyClick(keyTarget(window), t.key.toLatin1(), Qt::AltModifier);
            control->setEnabled(wasEnabled);
            const QString where = t.name + " Alt+" + t.key;
            QVERIFY2(recorder.deliveries.size() == 1, qPrintable(where + ": not exactly one receiver"));
            QVERIFY2(recorder.deliveries[0].receiver == t.control, qPrintable(where + ": reached another control"));
            QVERIFY2(!recorder.deliveries[0].ambiguous, qPrintable(where + ": shared with another control"));
            if (menu) {
                QTRY_VERIFY2(menu->isVisible(), qPrintable(where + ": the menu did not open"));
                menu->hide();
                pressMenuItems(window, menu, pressed);
            } else if (standIn) {
                QCOMPARE(triggered->count(), 1);
            }
            pressed << t.name + "=" + t.key;
            showActive(window);
        }
        window->hide();
    }

private slots:
    void init() {
        fx.setUp();
        qApp->installEventFilter(&recorder);
    }
    void cleanup() {
        qApp->removeEventFilter(&recorder);
        VERIFY_NO_PROBLEMS(fx);
    }

    void everyAccessKeyOfEveryWindowReachesItsControl_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QStringList>("keys");  // keys the window must keep
        QTest::newRow("main window") << 1
                                     << QStringList{"File1=F", "Settings1=T", "Help1=H", "About1=A", "BitBtn3=E",
                                                    "BitBtn1=S", "BitBtn2=X", "File1/New1=N", "File1/Open1=O",
                                                    "File1/Save1=S", "File1/Close1=C", "File1/Exit1=X"};
        QTest::newRow("hotspot editor") << 2 << QStringList{};
        QTest::newRow("new-project dialog") << 3 << QStringList{};
        QTest::newRow("staging-folder dialog") << 4 << QStringList{};
        QTest::newRow("start-up chooser") << 5 << QStringList{};
        QTest::newRow("About box") << 6 << QStringList{};
    }
    void everyAccessKeyOfEveryWindowReachesItsControl() {
        QFETCH(int, window);
        QFETCH(QStringList, keys);
        Forms& f = forms();
        QWidget* windows[] = {nullptr, f.Form1, f.Form2, f.Form3, f.Form4, f.Form5, f.AboutBox};
        QStringList pressed;
        pressAll(windows[window], pressed);
        if (QTest::currentTestFailed()) return;
        for (const QString& k : keys) QVERIFY2(pressed.contains(k), qPrintable(k + " was not found"));
        qInfo("%s", qPrintable(pressed.join(' ')));
    }

    // Each field's caption is its buddy and gives its accessible name.
    void fieldsAreNamedByTheirCaptions() {
        const Forms& f = forms();
        const std::tuple<QWidget*, const char*, const char*, const char*> rows[] = {
            {f.Form1, "Label2", "Edit2", "Staging Folder"}, {f.Form1, "Label5", "TrackBar1", "Edit HotSpot"},
            {f.Form2, "Label7", "Edit5", "X (1-640)"}, {f.Layout, "LabelCaption", "LabelEdit", "Label"}};
        for (const auto& [window, label, field, name] : rows) {
            QCOMPARE(window->findChild<QLabel*>(label)->buddy(), window->findChild<QWidget*>(field));
            QCOMPARE(window->findChild<QWidget*>(field)->accessibleName(), QString(name));
        }
    }
};

QTEST_MAIN(AccessKeysTest)
#include "access_keys_test.moc"
