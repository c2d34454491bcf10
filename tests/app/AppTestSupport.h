// Helpers of the shell tests: running a modal dialog while a step acts on it, catching shell opens.
#pragma once
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <vector>

namespace blubbi::test {

// Waits (spinning the event loop) until `done` holds or `ms` passed; the last answer of `done`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Calls `show` (which opens a modal window and returns when it closes); once a modal window is
// up, runs `act` on it. A window that is still open after `ms` is rejected, and `timedOut` says so.
struct TModalRun {
    bool Acted = false;
    bool TimedOut = false;
};

inline TModalRun WhileModal(const std::function<void()>& show, const std::function<void(QWidget*)>& act,
                            int ms = 5000) {
    TModalRun run;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        // Acting before the window is active would find no focus in it yet.
        if (!run.Acted && modal && modal->isVisible() && modal->isActiveWindow()) {
            run.Acted = true;
            act(modal);
        } else if (clock.elapsed() > ms) {
            run.TimedOut = true;
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        }
    });
    poll.start();
    show();
    poll.stop();
    return run;
}

// What a message box showed, seen while `show` runs it modally; the box is then accepted.
struct TMessageSeen {
    QString Text, Title;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    Qt::TextFormat Format = Qt::AutoText;
    bool Seen = false, TimedOut = false;
};

inline TMessageSeen SeeMessageBox(const std::function<void()>& show) {
    TMessageSeen seen;
    auto run = WhileModal(show, [&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.Text = box->text();
            seen.Title = box->windowTitle();
            seen.Icon = box->icon();
            seen.Format = box->textFormat();
            seen.Seen = true;
            box->accept();
        }
    });
    seen.TimedOut = run.TimedOut;
    return seen;
}

// Every address opened through the desktop while it lives, for the schemes given.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit TUrlCatcher(QStringList schemes = {"http", "https", "mailto"}) : Schemes(std::move(schemes)) {
        for (const QString& s : Schemes) QDesktopServices::setUrlHandler(s, this, "Open");
    }
    ~TUrlCatcher() override {
        for (const QString& s : Schemes) QDesktopServices::unsetUrlHandler(s);
    }
    std::vector<QUrl> Opened;

public slots:
    void Open(const QUrl& url) { Opened.push_back(url); }

private:
    QStringList Schemes;
};

}  // namespace blubbi::test
