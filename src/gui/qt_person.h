#pragma once
// Qt implementations of the person-facing interfaces the core talks through: message boxes,
// a label as a text control, a progress bar. Every text that may hold a name, URL, location
// or a server's words is shown as plain text, so data can never turn into markup.

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QString>
#include <string>

#include "platform/person.h"

class QFrame;
class QWidget;

namespace tolva {

QString ToQString(const std::string& text);
std::string FromQString(const QString& text);

// Modal boxes without an owner window: messages with one OK button and no icon, questions
// Yes/No with No the default.
class QtPrompter : public Prompter {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // Yes, No and Cancel, Yes the default; Escape and the close box answer Cancel.
    Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
    // A message with the exclamation icon (the form's refusal of an over-long location).
    virtual void ShowWarning(const std::string& text, const std::string& caption);

    static QtPrompter& Instance();
};

// From now on keys held down answer nothing: their repeats of Enter, Space and Escape are
// dropped wherever they are aimed, so a held key closes one box at most. Safe to call again.
void IgnoreHeldKeys();

// Shows a warning through prompter: with the exclamation icon when it is a QtPrompter.
void ShowWarning(Prompter& prompter, const std::string& text, const std::string& caption);

// A page's command runs inside its click handler. While it does, this keeps the page's window
// painted (a label the run shows, the area a closed question box leaves) by letting Qt handle
// its events whenever a control the run sets changes, and keeps it deaf: clicks, keys and the
// close box aimed at that window are dropped, not queued, so nothing starts a second run or
// closes the sheet under the first. Other windows (question boxes, the progress dialog) work
// as usual. One scope at a time; nested scopes leave the outer one in charge.
class BusyScope final : public QObject {
public:
    explicit BusyScope(QWidget* window);
    ~BusyScope() override;
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    static bool Active() { return current_ != nullptr; }
    // Lets Qt paint and handle what is pending; nothing when no scope is active.
    static void Pump();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    BusyScope* outer_;
    static BusyScope* current_;
};

// Readers set their line counter for every line; painting each time would cost more than the
// reading, so a control the run sets is painted at most every few milliseconds (through
// BusyScope when one is active, else by repainting the control alone) and the event loop
// shows the last text afterwards.
class RepaintPacer {
public:
    void Repaint(QWidget* widget);

private:
    QElapsedTimer sinceRepaint_;
};

// A label that the core sets whole.
class LabelText final : public TextControl {
public:
    explicit LabelText(QLabel* label) : label_(label) {}
    void SetText(const std::string& text) override;
    void Show(bool visible) override;

private:
    QLabel* label_;
    RepaintPacer pacer_;
};

class BarProgress final : public ProgressBar {
public:
    explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
    void SetRange(int minimum, int maximum) override;
    void SetPos(int position) override;
    void Show(bool visible) override;

private:
    QProgressBar* bar_;
    RepaintPacer pacer_;
};

// Makes the program's pictures (icon, About picture) available; they live in a static
// library, whose resources are not registered on their own. Safe to call any number of times.
void LoadPictures();

// A label for data (names, URLs, locations, server texts): plain text only.
QLabel* NewPlainLabel(const QString& text, QWidget* parent = nullptr);
// The same, wrapping at word boundaries.
QLabel* NewWrappedLabel(const QString& text, QWidget* parent = nullptr);
// A label naming control, whose mnemonic (the letter after "&" in text) moves to control.
QLabel* NewBuddyLabel(const QString& text, QWidget* control, QWidget* parent);
// An etched horizontal line dividing a page.
QFrame* NewEtchedLine(QWidget* parent);
// The text of a string-table id.
QString UiText(int id);

// Controls keep the ids they have always had as object names, so tests and people reading a
// widget dump find them by the same numbers.
template <typename Widget>
Widget* Named(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

}  // namespace tolva
