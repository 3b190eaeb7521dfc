#pragma once
// A real browser for tests: Debian's chromium, headless, driven through its DevTools protocol
// over a pipe (--remote-debugging-pipe: JSON messages ended by a NUL byte, read by the browser
// on file descriptor 3 and written on 4). One browser per test group, with a profile folder of
// its own; the page is the browser's first tab, with a viewport of a fixed size at scale 1.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

class HeadlessBrowser {
public:
    HeadlessBrowser() = default;
    ~HeadlessBrowser() { stop(); }
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // What went wrong last, for the test's failure message.
    QString error() const { return error_; }

    bool start(QSize viewport) {
        int toBrowser[2], fromBrowser[2];
        if (::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) return fail("no pipe");
        // Far from 3 and 4, so the child's dup2 never overwrites one end with the other.
        const int childIn = ::fcntl(toBrowser[0], F_DUPFD_CLOEXEC, 20);
        const int childOut = ::fcntl(fromBrowser[1], F_DUPFD_CLOEXEC, 20);
        ::close(toBrowser[0]);
        ::close(fromBrowser[1]);
        writeFd_ = toBrowser[1];
        readFd_ = fromBrowser[0];
        process_.setChildProcessModifier([childIn, childOut] {
            ::dup2(childIn, 3);
            ::dup2(childOut, 4);
        });
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(profile_.filePath("browser.log"));
        // A small /dev/shm, as in containers, is not used.
        QStringList arguments{"--headless", "--remote-debugging-pipe", "--user-data-dir=" + profile_.filePath("profile"),
                              "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run", "--no-default-browser-check",
                              "--mute-audio", "--hide-scrollbars", "--disable-extensions",
                              "--force-device-scale-factor=1", "about:blank"};
        if (::geteuid() == 0) arguments.prepend("--no-sandbox");  // the sandbox refuses to run as root
        process_.start("chromium", arguments);
        const bool started = process_.waitForStarted(30000);
        ::close(childIn);
        ::close(childOut);
        if (!started) return fail("chromium did not start: " + process_.errorString());

        // The first tab, attached in flat mode: its messages carry its session.
        QString target;
        for (QElapsedTimer t; target.isEmpty(); ) {
            if (!t.isValid()) t.start();
            const QJsonObject targets = call("Target.getTargets", {}, false);
            for (const QJsonValue& v : targets["targetInfos"].toArray())
                if (v["type"].toString() == "page") target = v["targetId"].toString();
            if (!error_.isEmpty()) return false;
            if (target.isEmpty()) {
                if (t.elapsed() > 30000) return fail("the browser shows no page");
                QThread::msleep(50);
            }
        }
        const QJsonObject attached = call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, false);
        session_ = attached["sessionId"].toString();
        if (session_.isEmpty()) return fail("cannot attach to the page: " + error_);
        call("Page.enable");
        call("Emulation.setDeviceMetricsOverride",
             {{"width", viewport.width()}, {"height", viewport.height()}, {"deviceScaleFactor", 1}, {"mobile", false}});
        // A headless page has no window focus of its own; without it nothing shows as focused.
        call("Emulation.setFocusEmulationEnabled", {{"enabled", true}});
        return error_.isEmpty();
    }

    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            if (writeFd_ >= 0) send("Browser.close", {}, false);
            if (!process_.waitForFinished(10000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
        for (int* fd : {&writeFd_, &readFd_}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
    }

    // Calls a method (on the page unless `onPage` is false) and returns its result; an error
    // reply or no reply within 30 s gives an empty object and sets error().
    QJsonObject call(const QString& method, const QJsonObject& params = {}, bool onPage = true) {
        const int id = send(method, params, onPage);
        if (id < 0) return {};
        QDeadlineTimer deadline(30000);
        for (;;) {
            const QJsonObject message = receive(deadline);
            if (message.isEmpty()) {
                fail(method + ": " + error_);
                return {};
            }
            if (message["id"].toInt() != id) continue;  // events and other replies
            if (message.contains("error")) {
                fail(method + ": " + QJsonDocument(message["error"].toObject()).toJson(QJsonDocument::Compact));
                return {};
            }
            return message["result"].toObject();
        }
    }

    // Opens a page and waits until it has loaded.
    bool open(const QUrl& url) {
        error_.clear();
        // Through an empty page, so the state of a page opened before never passes for the new one.
        for (const QString& address : {QString("about:blank"), url.toString(QUrl::FullyEncoded)}) {
            call("Page.navigate", {{"url", address}});
            if (!error_.isEmpty() || !waitFor("document.readyState === 'complete' && location.href === " + quoted(address)))
                return false;
        }
        return true;
    }

    // The value of a script expression in the page.
    QJsonValue evaluate(const QString& expression) {
        const QJsonObject r = call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
        if (r.contains("exceptionDetails")) {
            fail(expression + " threw " + QJsonDocument(r["exceptionDetails"].toObject()).toJson(QJsonDocument::Compact));
            return {};
        }
        return r["result"].toObject()["value"];
    }

    // Polls an expression until it is true; false after `ms`.
    bool waitFor(const QString& expression, int ms = 15000) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (evaluate(expression).toBool()) return true;
            // A page in the middle of a navigation has no document to ask yet.
            if (error_.contains("navigated or closed") || error_.contains("context")) error_.clear();
            if (!error_.isEmpty()) return false;
            QThread::msleep(30);
        }
        return fail("timed out waiting for " + expression);
    }

    // Takes screenshots until `accept` holds for one; returns the last one.
    template <typename Accept>
    QImage screenshotWhen(Accept accept, int ms = 15000) {
        QDeadlineTimer deadline(ms);
        QImage shot;
        do {
            shot = screenshot();
            if (shot.isNull() || accept(shot)) return shot;
            QThread::msleep(30);
        } while (!deadline.hasExpired());
        fail("the page never looked as expected");
        return shot;
    }

    QImage screenshot() {
        const QJsonObject r = call("Page.captureScreenshot", {{"format", "png"}});
        return QImage::fromData(QByteArray::fromBase64(r["data"].toString().toLatin1()), "PNG")
            .convertToFormat(QImage::Format_RGB32);
    }

    void mouseMove(int x, int y) { mouse("mouseMoved", x, y); }
    void click(int x, int y) {
        mouse("mouseMoved", x, y);
        mouse("mousePressed", x, y);
        mouse("mouseReleased", x, y);
    }
    void key(const QString& name, int code) {
        for (const char* type : {"rawKeyDown", "keyUp"})
            call("Input.dispatchKeyEvent",
                 {{"type", type}, {"key", name}, {"code", name}, {"windowsVirtualKeyCode", code}});
    }

    static QString quoted(const QString& text) {
        return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    }

private:
    bool fail(const QString& why) {
        error_ = why;
        return false;
    }

    void mouse(const char* type, int x, int y) {
        QJsonObject params{{"type", type}, {"x", x}, {"y", y}};
        if (QByteArray(type) != "mouseMoved") {
            params["button"] = "left";
            params["clickCount"] = 1;
        }
        call("Input.dispatchMouseEvent", params);
    }

    int send(const QString& method, const QJsonObject& params, bool onPage) {
        QJsonObject message{{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (onPage) message["sessionId"] = session_;
        QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact);
        bytes.append('\0');
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(writeFd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0) {
                fail("the browser stopped reading (" + method + ")");
                return -1;
            }
            done += n;
        }
        return lastId_;
    }

    // The next whole message, or an empty object when none comes before the deadline.
    QJsonObject receive(const QDeadlineTimer& deadline) {
        for (;;) {
            const qsizetype end = buffer_.indexOf('\0');
            if (end >= 0) {
                const QByteArray one = buffer_.left(end);
                buffer_.remove(0, end + 1);
                return QJsonDocument::fromJson(one).object();
            }
            pollfd p{readFd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
            if (ready <= 0) {
                error_ = "no answer from the browser";
                return {};
            }
            char chunk[65536];
            const ssize_t n = ::read(readFd_, chunk, sizeof chunk);
            if (n <= 0) {
                error_ = "the browser ended";
                return {};
            }
            buffer_.append(chunk, n);
        }
    }

    QTemporaryDir profile_;
    QProcess process_;
    int writeFd_ = -1;
    int readFd_ = -1;
    int lastId_ = 0;
    QString session_;
    QByteArray buffer_;
    QString error_;
};
