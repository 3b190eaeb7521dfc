#pragma once
// A progress window for long work on the GUI thread. It appears only when the work has taken
// longer than half a second, shows what is being done and how far it is, and keeps the
// program's windows repainting while the work goes on.

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <memory>

class QProgressDialog;
class QWidget;

namespace torvana::toolkit {

class ProgressWindow {
public:
    ProgressWindow(QWidget* owner, const QString& title);
    ~ProgressWindow();

    // Reports progress; shows the window once the work has run for half a second. `more` follows
    // the "done of total" line (", 5.2 MB/s, 1 min 5 s left").
    void update(const QString& what, uint64_t done, uint64_t total, const QString& more = {});

    // The first line of the window, with %1 for `what` ("Copying %1" unless set).
    void setLabel(const QString& format) { label_ = format; }

    // Gives the window a Cancel button (Escape presses it). While it shows, the user's
    // input reaches it, and only it.
    void setCancellable() { cancellable_ = true; }
    // The user pressed Cancel.
    bool cancelled() const;

    bool shown() const;

    // Takes the window off the screen until the next update shows it again.
    void hide();
    // Counts the half second before the window appears from now.
    void restart() { clock_.restart(); }

    // How long work runs before the window appears (half a second); tests shorten it.
    static void setShowAfter(int milliseconds);
    // How many progress windows have appeared in this run.
    static int timesShown();

private:
    QWidget* owner_;
    QString title_;
    QElapsedTimer clock_;
    QString label_ = QStringLiteral("Copying %1");
    bool cancellable_ = false;
    bool showPending_ = false;  // update() shows the window: it is new, or stepped aside
    std::unique_ptr<QProgressDialog> dialog_;
};

// Formats a byte count for people: "512 bytes", "3.4 MB".
QString byteCount(uint64_t bytes);

}  // namespace torvana::toolkit
