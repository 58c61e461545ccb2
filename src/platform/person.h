#pragma once
// The small interfaces through which the core talks to the person. The desktop program
// implements them with Qt widgets, tolva-cli with the terminal, tests with recording fakes.
// The core never owns an implementation: callers keep them alive for the duration of a run.

#include <string>

namespace tolva {

// A one-line text control: a page's status line or a progress text.
class TextControl {
public:
    virtual ~TextControl() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual void Show(bool visible) { (void)visible; }
    // Whether the counter text of string-table id counterId ("Reading line %d") would be
    // dropped unseen: a reader then need not hand it over once for every line.
    virtual bool DropsCounter(int counterId) const {
        (void)counterId;
        return false;
    }
};

class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPos(int position) = 0;
    virtual void Show(bool visible) = 0;
};

enum class Answer { Yes, No, Cancel };

// Modal message boxes. Messages have one OK button; questions are Yes/No with No the
// default, so an implementation that cannot ask must answer No.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A question whose No gives something up (the backup of a replaced file): Yes is the default,
    // and Escape, closing the box or an implementation that cannot ask answers Cancel, which
    // ends the run with nothing changed.
    virtual Answer AskYesNoCancel(const std::string& text, const std::string& caption) = 0;
};

// Shows nothing, answers every question with No and cancels where No would give something up:
// what a set uses until its owner gives it a real prompter, so nothing is ever done on the
// person's behalf by accident.
class SilentPrompter final : public Prompter {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    Answer AskYesNoCancel(const std::string&, const std::string&) override { return Answer::Cancel; }
    static SilentPrompter& Instance();
};

}  // namespace tolva
