#include "model/entry_text.h"

#include <cstring>
#include <ostream>

namespace tolva {

EntryText& EntryText::operator=(const EntryText& other) {
    if (this != &other) {
        EntryText copy(other);
        *this = std::move(copy);
    }
    return *this;
}

EntryText& EntryText::operator=(std::string_view text) {
    // text may lie inside this text's own storage (name = name.substr(...)): copy first.
    EntryText copy;
    copy.Assign(text);
    Release();
    TakeFrom(copy);
    return *this;
}

void EntryText::clear() noexcept {
    Release();
    data_ = "";
    size_ = 0;
}

void EntryText::Assign(std::string_view text) {
    if (text.empty()) return;
    char* storage = new char[text.size()];
    std::memcpy(storage, text.data(), text.size());
    data_ = storage;
    size_ = text.size() | kOwnedBit;
}

void EntryText::CopyFrom(const EntryText& other) {
    if (other.Owned()) {
        Assign(other.view());
    } else {
        data_ = other.data_;
        size_ = other.size_;
    }
}

std::string operator+(const std::string& a, const EntryText& b) {
    std::string joined;
    joined.reserve(a.size() + b.size());
    joined.append(a).append(b.view());
    return joined;
}

std::string operator+(const EntryText& a, const std::string& b) {
    std::string joined;
    joined.reserve(a.size() + b.size());
    joined.append(a.view()).append(b);
    return joined;
}

std::string operator+(const char* a, const EntryText& b) { return std::string(a) + b; }

std::ostream& operator<<(std::ostream& out, const EntryText& text) { return out << text.view(); }

}  // namespace tolva
