#include "toolkit/progress.h"

#include <QApplication>
#include <QProgressDialog>
#include <limits>

#include "toolkit/widgets.h"


namespace torvana::toolkit {

namespace {
qint64 g_showAfterMs = 500;
int g_timesShown = 0;
}  // namespace

void ProgressWindow::setShowAfter(int milliseconds) { g_showAfterMs = milliseconds; }
int ProgressWindow::timesShown() { return g_timesShown; }

ProgressWindow::ProgressWindow(QWidget* owner, const QString& title) : owner_(owner), title_(title) {
    clock_.start();
}

ProgressWindow::~ProgressWindow() = default;

bool ProgressWindow::shown() const { return dialog_ && dialog_->isVisible(); }

void ProgressWindow::hide() {
    if (!dialog_ || !dialog_->isVisible()) return;
    dialog_->hide();
    showPending_ = true;
}

bool ProgressWindow::cancelled() const { return dialog_ && dialog_->wasCanceled(); }

QString byteCount(uint64_t bytes) {
    if (bytes < 1024) return QString("%1 bytes").arg(bytes);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QString("%1 %2").arg(value, 0, 'f', 1).arg(units[unit]);
}

void ProgressWindow::update(const QString& what, uint64_t done, uint64_t total, const QString& more) {
    if (!dialog_ && clock_.elapsed() >= g_showAfterMs) {
        dialog_ = std::make_unique<QProgressDialog>(owner_ ? owner_->window() : nullptr);
        dialog_->setObjectName("ProgressWindow");
        dialog_->setWindowTitle(title_);
        if (cancellable_) {
            dialog_->setCancelButtonText("Cancel");
            dialog_->setWindowModality(Qt::ApplicationModal);
        } else {
            dialog_->setCancelButton(nullptr);
            dialog_->setWindowModality(Qt::WindowModal);
        }
        // Shown by update() alone, never by the dialog's own timer: not before it is placed,
        // nor while it steps aside for a message box.
        dialog_->setMinimumDuration(std::numeric_limits<int>::max());
        showPending_ = true;
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumWidth(360);
        dialog_->setRange(0, 1000);
        ++g_timesShown;
    }
    if (dialog_) {
        const int permille = total ? static_cast<int>(done * 1000 / total) : 0;
        dialog_->setLabelText(QString(label_ + "\n%2 of %3").arg(what, byteCount(done), byteCount(total)) + more);
        if (showPending_) {
            showPending_ = false;
            // Laid out with its text before it appears, centred over its owner, and painted at
            // once: the work that follows may keep the event loop away for a while.
            dialog_->adjustSize();
            const QWidget* over = owner_ ? owner_->window() : nullptr;
            if (over && over->isVisible()) {
                QRect frame = dialog_->frameGeometry();
                frame.moveCenter(over->frameGeometry().center());
                dialog_->move(frame.topLeft());
            } else {
                centerOnScreen(dialog_.get());
            }
            dialog_->show();
            dialog_->repaint();
        }
        dialog_->setValue(std::min(permille, 1000));
    }
    // Keep windows painting; input goes nowhere while the modal progress window is up, except
    // to a Cancel button.
    QApplication::processEvents(cancellable_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace torvana::toolkit
