#pragma once
// Shared by the two programs whose start-up the player benchmark compares: once the watched
// widget has painted for the first time and the event loop is idle again (the frame is on
// its way to the screen), print the steady clock and the process's CPU time so far, both in
// nanoseconds, and end.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>

class FirstPaintProbe : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                const long long cpu = static_cast<long long>(std::clock()) * (1000000000LL / CLOCKS_PER_SEC);
                std::printf("%lld %lld\n", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                            cpu);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};
