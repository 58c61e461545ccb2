#include "gui/qt_person.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMessageBox>

#include "resources/strings.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterTolvaResources() { Q_INIT_RESOURCE(tolva); }

namespace tolva {

void LoadPictures() {
    static const bool registered = (RegisterTolvaResources(), true);
    (void)registered;
}

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

std::string FromQString(const QString& text) { return text.toStdString(); }

namespace {

// The keys that answer a box or press a button.
bool IsAnswerKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space || key == Qt::Key_Escape;
}

// A key held down repeats. A repeat is never an answer: Enter held on one box would close the
// next one unseen, and then reach the window behind it as a command.
class HeldKeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!IsAnswerKey(key->key())) return false;
        // X repeats a held key as a release and a press at the same time. Qt marks the pair only
        // when both are queued together, which a busy program does not always see: a press at
        // the very time of the same key's release is taken for a repeat too.
        const bool repeat = key->isAutoRepeat() || (type != QEvent::KeyRelease && key->key() == releasedKey_ &&
                                                    key->timestamp() == releasedAt_ && releasedAt_ != 0);
        if (type == QEvent::KeyRelease) {
            releasedKey_ = key->key();
            releasedAt_ = key->timestamp();
        }
        return repeat;
    }

private:
    int releasedKey_ = 0;
    quint64 releasedAt_ = 0;
};

int RunBox(QMessageBox::Icon icon, const std::string& text, const std::string& caption,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    IgnoreHeldKeys();
    // Owned by the window in front, so that window managers keep the box over it and give it
    // the keys at once, rather than opening it aside, late, for keys typed meanwhile.
    QMessageBox box(icon, ToQString(caption), ToQString(text), buttons, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    const int answer = box.exec();
    // Paint over where the box was now, not after a run that may go on for a while.
    BusyScope::Pump();
    return answer;
}

}  // namespace

void QtPrompter::ShowMessage(const std::string& text, const std::string& caption) {
    RunBox(QMessageBox::NoIcon, text, caption, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompter::AskYesNo(const std::string& text, const std::string& caption) {
    return RunBox(QMessageBox::NoIcon, text, caption, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

Answer QtPrompter::AskYesNoCancel(const std::string& text, const std::string& caption) {
    switch (RunBox(QMessageBox::NoIcon, text, caption, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                   QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

void QtPrompter::ShowWarning(const std::string& text, const std::string& caption) {
    RunBox(QMessageBox::Warning, text, caption, QMessageBox::Ok, QMessageBox::Ok);
}

void IgnoreHeldKeys() {
    static QObject* filter = nullptr;
    if (filter != nullptr) return;
    filter = new HeldKeyFilter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

QtPrompter& QtPrompter::Instance() {
    static QtPrompter prompter;
    return prompter;
}

void ShowWarning(Prompter& prompter, const std::string& text, const std::string& caption) {
    if (auto* qt = dynamic_cast<QtPrompter*>(&prompter)) {
        qt->ShowWarning(text, caption);
    } else {
        prompter.ShowMessage(text, caption);
    }
}

namespace {

constexpr qint64 kRepaintIntervalMs = 40;

}  // namespace

BusyScope* BusyScope::current_ = nullptr;

BusyScope::BusyScope(QWidget* window) : window_(window ? window->window() : nullptr), outer_(current_) {
    current_ = this;
    QCoreApplication::instance()->installEventFilter(this);
}

BusyScope::~BusyScope() {
    QCoreApplication::instance()->removeEventFilter(this);
    current_ = outer_;
}

void BusyScope::Pump() {
    if (current_ != nullptr) QCoreApplication::processEvents();
}

bool BusyScope::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::Close: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == window_) {
                event->ignore();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

void RepaintPacer::Repaint(QWidget* widget) {
    if (!widget->isVisible()) return;
    if (sinceRepaint_.isValid() && sinceRepaint_.elapsed() < kRepaintIntervalMs) return;
    if (BusyScope::Active()) {
        BusyScope::Pump();
    } else {
        widget->repaint();
    }
    sinceRepaint_.start();
}

void LabelText::SetText(const std::string& text) {
    label_->setText(ToQString(text));
    pacer_.Repaint(label_);
}

void LabelText::Show(bool visible) {
    label_->setVisible(visible);
    // Shown for the length of a step: painted now, or the step would end before it is seen.
    if (visible) BusyScope::Pump();
}

void BarProgress::SetRange(int minimum, int maximum) { bar_->setRange(minimum, maximum); }

void BarProgress::SetPos(int position) {
    bar_->setValue(position);
    pacer_.Repaint(bar_);
}

void BarProgress::Show(bool visible) {
    bar_->setVisible(visible);
    if (visible) BusyScope::Pump();
}

QLabel* NewPlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* NewWrappedLabel(const QString& text, QWidget* parent) {
    QLabel* label = NewPlainLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QLabel* NewBuddyLabel(const QString& text, QWidget* control, QWidget* parent) {
    QLabel* label = NewPlainLabel(text, parent);
    label->setBuddy(control);
    return label;
}

QFrame* NewEtchedLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QString UiText(int id) { return ToQString(LoadString(id)); }

}  // namespace tolva
