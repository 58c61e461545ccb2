#pragma once
// The terminal side of tolva-cli: how the runs' messages, questions and status texts reach a
// person at a terminal, or a script. Messages and questions go to the message stream
// (stderr) headed by their caption; status texts go to the status stream (stdout), one per
// line. Counter texts that change with every line or entry ("Reading line %d") are shown on
// one line that is rewritten at most a few times a second, and only when the status stream
// is a terminal, so printing never dominates the work.

#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/person.h"

namespace tolva::cli {

bool IsTerminal(std::FILE* stream);

class Terminal {
public:
    using Clock = std::chrono::steady_clock::time_point (*)();

    // counterIds: string-table ids of the counter texts. clock: tests pass their own.
    Terminal(std::FILE* statusStream, std::FILE* messageStream, bool statusIsTerminal,
             std::initializer_list<int> counterIds, Clock clock = &std::chrono::steady_clock::now);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void Status(const std::string& text);
    // Counters are shown only on a terminal; elsewhere Status drops them.
    bool DropsCounter(int id) const;
    void Message(const std::string& text, const std::string& caption);
    // Text on the message stream as it stands (hints of tolva-cli itself).
    void Note(const std::string& text);
    std::FILE* MessageStream() const { return messages_; }

private:
    bool IsCounter(const std::string& text) const;
    void EndCounterLine();

    std::FILE* status_;
    std::FILE* messages_;
    bool statusIsTerminal_;
    Clock clock_;
    std::vector<std::string> counterPrefixes_;
    std::vector<int> counterIds_;
    mutable std::size_t lastPrefix_ = 0;  // the prefix the last counter text had
    std::size_t counterShown_ = 0;  // length of the counter text on the open line, 0 when none
    std::chrono::steady_clock::time_point lastCounter_{};
};

// A status line or progress text of a run, shown through a Terminal.
class TerminalText final : public TextControl {
public:
    explicit TerminalText(Terminal& terminal) : terminal_(terminal) {}
    void SetText(const std::string& text) override { terminal_.Status(text); }
    bool DropsCounter(int counterId) const override { return terminal_.DropsCounter(counterId); }

private:
    Terminal& terminal_;
};

// A remark of a run that needs no answer, on the message stream as tolva-cli's own.
class TerminalNote final : public TextControl {
public:
    explicit TerminalNote(Terminal& terminal) : terminal_(terminal) {}
    void SetText(const std::string& text) override { terminal_.Note("tolva-cli: " + text); }

private:
    Terminal& terminal_;
};

// The progress bar has nothing to show beyond the progress text next to it.
class SilentProgressBar final : public ProgressBar {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void Show(bool) override {}
};

enum class AnswerPolicy {
    Ask,  // ask at the terminal; without one, end the program (see AskYesNo)
    // Ask at the terminal; without one, answer No and remember that nobody answered, for a
    // question whose No changes nothing.
    AskElseNo,
    Yes,
    No,
};

class TerminalPrompter final : public Prompter {
public:
    TerminalPrompter(Terminal& terminal, AnswerPolicy policy, std::FILE* input = stdin);

    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Shows the question, then answers it from the policy or the terminal (No unless the
    // person types y or yes). When nobody can be asked, nothing is guessed: a No can delete a
    // file, so the program ends here with status 1, before the answer is acted on, and names
    // the flags that answer the question.
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // Yes for an empty line or y, No for n; anything else, end of input or having no terminal
    // to ask cancels (nothing has been changed then).
    Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
    // Whether a question went unanswered for want of a terminal (AskElseNo).
    bool Unanswered() const { return unanswered_; }

private:
    Terminal& terminal_;
    AnswerPolicy policy_;
    std::FILE* input_;
    bool unanswered_ = false;
};

}  // namespace tolva::cli
