#include "cli/terminal.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "resources/strings.h"

namespace tolva::cli {

namespace {

// How often a counter text may be rewritten on a terminal.
constexpr std::chrono::milliseconds kCounterInterval{250};

}  // namespace

bool IsTerminal(std::FILE* stream) { return stream != nullptr && ::isatty(::fileno(stream)) == 1; }

Terminal::Terminal(std::FILE* statusStream, std::FILE* messageStream, bool statusIsTerminal,
                   std::initializer_list<int> counterIds, Clock clock)
    : status_(statusStream),
      messages_(messageStream),
      statusIsTerminal_(statusIsTerminal),
      clock_(clock),
      counterIds_(counterIds) {
    for (int id : counterIds) {
        std::string text = LoadString(id);
        std::size_t directive = text.find('%');
        if (directive != std::string::npos && directive > 0) counterPrefixes_.push_back(text.substr(0, directive));
    }
}

Terminal::~Terminal() { EndCounterLine(); }

bool Terminal::DropsCounter(int id) const {
    return !statusIsTerminal_ && std::find(counterIds_.begin(), counterIds_.end(), id) != counterIds_.end();
}

bool Terminal::IsCounter(const std::string& text) const {
    // A counter comes once per line or entry, mostly the same one as before: it is tried first.
    auto counts = [&text](const std::string& prefix) {
        return text.size() > prefix.size() && text[prefix.size()] >= '0' && text[prefix.size()] <= '9' &&
               text.compare(0, prefix.size(), prefix) == 0;
    };
    if (lastPrefix_ < counterPrefixes_.size() && counts(counterPrefixes_[lastPrefix_])) return true;
    for (std::size_t i = 0; i < counterPrefixes_.size(); ++i) {
        if (counts(counterPrefixes_[i])) {
            lastPrefix_ = i;
            return true;
        }
    }
    return false;
}

void Terminal::EndCounterLine() {
    if (counterShown_ == 0) return;
    std::fputc('\n', status_);
    std::fflush(status_);
    counterShown_ = 0;
}

void Terminal::Status(const std::string& text) {
    if (IsCounter(text)) {
        if (!statusIsTerminal_) return;
        auto now = clock_();
        if (counterShown_ != 0 && now - lastCounter_ < kCounterInterval) return;
        lastCounter_ = now;
        // Rewrite the line in place; spaces cover what a longer earlier text left.
        std::fputc('\r', status_);
        std::fputs(text.c_str(), status_);
        for (std::size_t i = text.size(); i < counterShown_; ++i) std::fputc(' ', status_);
        std::fflush(status_);
        counterShown_ = text.empty() ? 1 : text.size();
        return;
    }
    EndCounterLine();
    std::fputs(text.c_str(), status_);
    std::fputc('\n', status_);
    std::fflush(status_);
}

void Terminal::Message(const std::string& text, const std::string& caption) {
    EndCounterLine();
    std::fprintf(messages_, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(messages_);
}

void Terminal::Note(const std::string& text) {
    EndCounterLine();
    std::fprintf(messages_, "%s\n", text.c_str());
    std::fflush(messages_);
}

TerminalPrompter::TerminalPrompter(Terminal& terminal, AnswerPolicy policy, std::FILE* input)
    : terminal_(terminal), policy_(policy), input_(input) {}

void TerminalPrompter::ShowMessage(const std::string& text, const std::string& caption) {
    terminal_.Message(text, caption);
}

Answer TerminalPrompter::AskYesNoCancel(const std::string& text, const std::string& caption) {
    terminal_.Message(text, caption);
    switch (policy_) {
        case AnswerPolicy::Yes:
            terminal_.Note("Answered Yes (--yes).");
            return Answer::Yes;
        case AnswerPolicy::No:
            terminal_.Note("Answered No (--no).");
            return Answer::No;
        case AnswerPolicy::Ask:
        case AnswerPolicy::AskElseNo:
            break;
    }
    if (!IsTerminal(input_)) {
        terminal_.Note(
            "tolva-cli: this question needs an answer and there is no terminal to ask; cancelled. Run again with "
            "--yes or --no to answer it.");
        return Answer::Cancel;
    }
    std::FILE* out = terminal_.MessageStream();
    std::fputs("Yes, No or Cancel? [Y/n/c] ", out);
    std::fflush(out);
    std::string answer;
    int c = std::fgetc(input_);
    if (c == EOF) return Answer::Cancel;
    for (; c != EOF && c != '\n'; c = std::fgetc(input_)) answer += static_cast<char>(c);
    if (answer.empty() || answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES") {
        return Answer::Yes;
    }
    if (answer == "n" || answer == "N" || answer == "no" || answer == "No" || answer == "NO") return Answer::No;
    // Anything else (c, cancel, a typing slip) changes nothing.
    return Answer::Cancel;
}

bool TerminalPrompter::AskYesNo(const std::string& text, const std::string& caption) {
    terminal_.Message(text, caption);
    switch (policy_) {
        case AnswerPolicy::Yes:
            terminal_.Note("Answered Yes (--yes).");
            return true;
        case AnswerPolicy::No:
            terminal_.Note("Answered No (--no).");
            return false;
        case AnswerPolicy::Ask:
        case AnswerPolicy::AskElseNo:
            break;
    }
    if (!IsTerminal(input_) && policy_ == AnswerPolicy::AskElseNo) {
        terminal_.Note(
            "tolva-cli: this question needs an answer and there is no terminal to ask; nothing was saved. "
            "Run again with --yes to go ahead.");
        unanswered_ = true;
        return false;
    }
    if (!IsTerminal(input_)) {
        terminal_.Note(
            "tolva-cli: this question needs an answer and there is no terminal to ask; nothing was changed. "
            "Run again with --yes or --no to answer it.");
        // Leaving here keeps the No of a question (which may delete a file) from being acted on.
        std::exit(1);
    }
    std::FILE* out = terminal_.MessageStream();
    std::fputs("Yes or No? [y/N] ", out);
    std::fflush(out);
    std::string answer;
    for (int c = std::fgetc(input_); c != EOF && c != '\n'; c = std::fgetc(input_)) answer += static_cast<char>(c);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

}  // namespace tolva::cli
