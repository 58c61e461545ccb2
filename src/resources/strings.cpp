#include "resources/strings.h"

namespace tolva {

std::string LoadString(int id) {
    for (auto part : {CoreStrings(), VerifyStrings(), UiStrings(), StoreStrings()}) {
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

std::string FormatString(int id, std::initializer_list<FormatArg> args) { return FormatText(LoadString(id), args); }

}  // namespace tolva
