#include "support/recording.h"

namespace tolva::testing {

void RecordingPrompter::ShowMessage(const std::string& text, const std::string& caption) {
    shown.push_back({text, caption, false});
}

bool RecordingPrompter::AskYesNo(const std::string& text, const std::string& caption) {
    shown.push_back({text, caption, true});
    if (answers_.empty()) return false;
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

Answer RecordingPrompter::AskYesNoCancel(const std::string& text, const std::string& caption) {
    shown.push_back({text, caption, true});
    if (answers_.empty()) return Answer::Cancel;
    bool answer = answers_.front();
    answers_.pop_front();
    return answer ? Answer::Yes : Answer::No;
}

std::vector<std::string> RecordingPrompter::Texts() const {
    std::vector<std::string> texts;
    for (const auto& message : shown) texts.push_back(message.text);
    return texts;
}

}  // namespace tolva::testing
