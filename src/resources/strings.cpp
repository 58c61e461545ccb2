#include "resources/strings.h"

namespace tolva {

std::string LoadString(int id) {
    for (auto part : {CoreStrings(), VerifyStrings(), UiStrings(), StoreStrings(), DesktopStrings(), MergeStrings()}) {
        for (const StringEntry& entry : part) {
            if (entry.id == id) return entry.text;
        }
    }
    return {};
}

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    out.reserve(format.size() + 32);
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char directive = format[i + 1];
            if (directive == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((directive == 'd' || directive == 's') && next != args.end()) {
                out += next->Text();
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

namespace {

std::string (*countWriter)(long) = nullptr;

}  // namespace

void SetCountWriter(std::string (*writer)(long value)) { countWriter = writer; }

std::string CountText(long value) { return countWriter ? countWriter(value) : std::to_string(value); }

std::string FormatString(int id, std::initializer_list<FormatArg> args) { return FormatText(LoadString(id), args); }

CounterText::CounterText(const std::string& format) {
    const std::size_t at = format.find("%d");
    if (at == std::string::npos) {
        text_ = format;
        return;
    }
    text_ = format.substr(0, at) + "0" + format.substr(at + 2);
    first_ = last_ = at;
    counts_ = true;
}

const std::string& CounterText::Advance() {
    if (!counts_) return text_;
    ++count_;
    std::size_t digit = last_ + 1;
    while (digit > first_ && text_[digit - 1] == '9') text_[--digit] = '0';
    if (digit > first_) {
        ++text_[digit - 1];
    } else {
        text_.insert(first_, 1, '1');
        ++last_;
    }
    return text_;
}

const std::string& CounterText::Advance(std::size_t by) {
    if (by == 1 || !counts_) return Advance();
    count_ += by;
    const std::string digits = std::to_string(count_);
    text_.replace(first_, last_ - first_ + 1, digits);
    last_ = first_ + digits.size() - 1;
    return text_;
}

}  // namespace tolva
