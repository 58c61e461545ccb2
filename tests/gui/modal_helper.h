#pragma once
// Answers modal dialogs in GUI tests. A timer looks at QApplication::activeModalWidget() and,
// once a dialog of the wanted type is up, acts on it (accept, reject, click). A watchdog
// rejects whatever modal is still open when the time is up and records a failure, so a test
// fails instead of hanging.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <functional>
#include <memory>

namespace tolva::testing {

class ModalAnswerer {
public:
    using Action = std::function<void(QWidget*)>;

    // Acts on the next modal widget for which accepts() holds.
    ModalAnswerer(std::function<bool(QWidget*)> accepts, Action action, int timeoutMs = 10000)
        : accepts_(std::move(accepts)), action_(std::move(action)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
        poll_.start(5);
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] { GiveUp(); });
        watchdog_.start(timeoutMs);
        qApp->installEventFilter(&shown_);
    }
    ~ModalAnswerer() {
        qApp->removeEventFilter(&shown_);
        if (!Done() && !gaveUp_) ADD_FAILURE() << "the expected modal dialog never appeared";
    }

    // Acted on, or at least shown: a dialog that closes by itself (a quick run's progress) may
    // come and go between two looks of the timer.
    bool Done() const { return done_ || shown_.seen; }

    template <typename Dialog>
    static std::unique_ptr<ModalAnswerer> For(std::function<void(Dialog*)> action, int timeoutMs = 10000) {
        return std::make_unique<ModalAnswerer>([](QWidget* widget) { return dynamic_cast<Dialog*>(widget); },
                                               [action](QWidget* widget) { action(dynamic_cast<Dialog*>(widget)); },
                                               timeoutMs);
    }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (done_ || modal == nullptr || !modal->isVisible() || !accepts_(modal)) return;
        done_ = true;
        poll_.stop();
        watchdog_.stop();
        action_(modal);
    }
    void GiveUp() {
        poll_.stop();
        if (Done()) return;
        gaveUp_ = true;
        ADD_FAILURE() << "watchdog: no expected modal dialog in time";
        while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    }

    // Sees every widget shown, so a dialog of the wanted type is noticed however briefly it stays.
    class ShowWatcher : public QObject {
    public:
        explicit ShowWatcher(const std::function<bool(QWidget*)>& accepts) : accepts_(accepts) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->isWidgetType() && accepts_(static_cast<QWidget*>(watched)))
                seen = true;
            return false;
        }
        bool seen = false;

    private:
        const std::function<bool(QWidget*)>& accepts_;
    };

    std::function<bool(QWidget*)> accepts_;
    Action action_;
    QTimer poll_;
    QTimer watchdog_;
    bool done_ = false;
    bool gaveUp_ = false;
    ShowWatcher shown_{accepts_};
};

}  // namespace tolva::testing
