#pragma once
// The text of an entry's name, URL or attribute. It is either borrowed from the bytes of a
// file its set read in (the set keeps those bytes for as long as it keeps its entries) or
// owned. Reading a large file then costs no copy and no allocation per field; any change
// to a text makes it owned. Reading a text is as cheap as reading a std::string_view.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace tolva {

class EntryText {
public:
    EntryText() noexcept = default;
    EntryText(std::string_view text) { Assign(text); }  // NOLINT(google-explicit-constructor)
    EntryText(const std::string& text) { Assign(text); }  // NOLINT(google-explicit-constructor)
    EntryText(const char* text) { Assign(text); }         // NOLINT(google-explicit-constructor)
    EntryText(const EntryText& other) { CopyFrom(other); }
    EntryText(EntryText&& other) noexcept { TakeFrom(other); }
    ~EntryText() { Release(); }

    EntryText& operator=(const EntryText& other);
    EntryText& operator=(EntryText&& other) noexcept {
        if (this != &other) {
            Release();
            TakeFrom(other);
        }
        return *this;
    }
    EntryText& operator=(std::string_view text);
    EntryText& operator=(const std::string& text) { return *this = std::string_view(text); }
    EntryText& operator=(const char* text) { return *this = std::string_view(text); }

    // Refers to text without copying it. The caller keeps text alive and unchanged for as
    // long as this (or any copy of it) refers to it. Borrowed text is part of one line of a
    // file: it holds no CR, LF or zero byte, which writers rely on.
    static EntryText Borrow(std::string_view text) noexcept {
        EntryText borrowed;
        borrowed.data_ = text.data();
        borrowed.size_ = text.size() & kSizeMask;
        return borrowed;
    }
    // Borrows text when the caller may (it lies in the file the set keeps, as Borrow asks),
    // else copies it.
    static EntryText BorrowIf(bool borrow, std::string_view text) { return borrow ? Borrow(text) : EntryText(text); }

    void clear() noexcept;

    operator std::string_view() const noexcept { return view(); }  // NOLINT(google-explicit-constructor)
    std::string_view view() const noexcept { return {data_, size()}; }
    std::string str() const { return std::string(view()); }
    const char* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_ & kSizeMask; }
    bool empty() const noexcept { return size() == 0; }
    char operator[](std::size_t index) const noexcept { return data_[index]; }
    bool IsBorrowed() const noexcept { return !Owned() && !empty(); }

    friend bool operator==(const EntryText& a, const EntryText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const EntryText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const EntryText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const EntryText& a, const char* b) noexcept { return a.view() == b; }

private:
    void Assign(std::string_view text);
    void CopyFrom(const EntryText& other);
    void TakeFrom(EntryText& other) noexcept {
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = "";
        other.size_ = 0;
    }
    void Release() noexcept {
        if (Owned()) delete[] data_;
    }

    // The top bit of size_ tells an owned text, so a text takes two words, not three: a
    // set holds five of them per entry.
    static constexpr std::size_t kOwnedBit = ~(~std::size_t{0} >> 1);
    static constexpr std::size_t kSizeMask = ~kOwnedBit;
    bool Owned() const noexcept { return (size_ & kOwnedBit) != 0; }

    const char* data_ = "";
    std::size_t size_ = 0;
};

std::string operator+(const std::string& a, const EntryText& b);
std::string operator+(const EntryText& a, const std::string& b);
std::string operator+(const char* a, const EntryText& b);
std::ostream& operator<<(std::ostream& out, const EntryText& text);

}  // namespace tolva
