#pragma once
// Recording fakes of the person-facing interfaces: they keep everything shown to them and
// answer questions from a script, so tests can check exactly what a run said and asked.

#include <deque>
#include <string>
#include <vector>

#include "platform/person.h"

namespace tolva::testing {

struct ShownMessage {
    std::string text;
    std::string caption;
    bool question = false;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

class RecordingPrompter : public Prompter {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Answers from the script, in order; No once the script is used up.
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // From the same script (true Yes, false No); Cancel once it is used up.
    Answer AskYesNoCancel(const std::string& text, const std::string& caption) override;
    void ScriptAnswers(std::initializer_list<bool> answers) { answers_.insert(answers_.end(), answers); }

    std::vector<ShownMessage> shown;
    std::vector<std::string> Texts() const;

private:
    std::deque<bool> answers_;
};

class RecordingText : public TextControl {
public:
    void SetText(const std::string& text) override { history.push_back(text); }
    void Show(bool visible) override { shows.push_back(visible); }
    std::string Current() const { return history.empty() ? std::string() : history.back(); }

    std::vector<std::string> history;
    std::vector<bool> shows;
};

class RecordingProgressBar : public ProgressBar {
public:
    void SetRange(int minimum, int maximum) override {
        rangeMin = minimum;
        rangeMax = maximum;
    }
    void SetPos(int position) override { positions.push_back(position); }
    void Show(bool visible) override { shows.push_back(visible); }

    int rangeMin = -1;
    int rangeMax = -1;
    std::vector<int> positions;
    std::vector<bool> shows;
};

}  // namespace tolva::testing
