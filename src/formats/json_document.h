#pragma once

// A JSON text read whole into a flat array of its values, each a view into the text (or, for a
// string with escapes, into the document's own decoded copy). Enough for the browsers' bookmark
// files and Tolva's own reports: strict JSON in UTF-8, members looked up by name, arrays walked
// in order, numbers read on demand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ready_memory.h"

namespace tolva::json {

enum class Kind : std::uint8_t { Missing, Null, False, True, Number, String, Array, Object };

class Document;

class Value {
public:
    Value() = default;

    Kind kind() const;
    bool IsObject() const { return kind() == Kind::Object; }
    bool IsArray() const { return kind() == Kind::Array; }
    // An array or object with nothing in it (or not a container at all).
    bool IsEmpty() const;

    // The text of a string value; nothing for any other kind.
    std::optional<std::string_view> String() const;
    // The text of a string value; empty for any other kind.
    std::string_view Text() const { return String().value_or(std::string_view()); }
    // Whether the value's text is part of the text parsed, no escape in it decoded: it then
    // lives as long as that text does, and (JSON takes no raw control character in a string)
    // holds no line break or zero byte.
    bool InSource() const;
    // A number written without fraction or exponent that a 64-bit integer holds.
    std::optional<std::int64_t> Integer() const;
    // Any number a double holds.
    std::optional<double> Number() const;
    std::optional<bool> Boolean() const;

    // The first member of an object so named; a Missing value when there is none.
    Value operator[](std::string_view name) const;

    class Items;
    class Members;
    // The elements of an array in order (none for any other kind).
    Items Elements() const;
    // The members of an object in order, each a name and its value (none for any other kind).
    Members Fields() const;

private:
    friend class Document;
    Value(const Document* document, std::uint32_t index) : document_(document), index_(index) {}
    std::uint32_t Next() const;
    std::string_view Span() const;

    const Document* document_ = nullptr;
    std::uint32_t index_ = 0;
};

class Value::Items {
public:
    class Iterator {
    public:
        Value operator*() const { return at_; }
        Iterator& operator++();
        bool operator!=(const Iterator& other) const { return at_.index_ != other.at_.index_; }

    private:
        friend class Items;
        explicit Iterator(Value at) : at_(at) {}
        Value at_;
    };
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(last_); }

private:
    friend class Value;
    Items(Value first, Value last) : first_(first), last_(last) {}
    Value first_, last_;
};

class Value::Members {
public:
    class Iterator {
    public:
        std::pair<std::string_view, Value> operator*() const;
        Iterator& operator++();
        bool operator!=(const Iterator& other) const { return name_.index_ != other.name_.index_; }

    private:
        friend class Members;
        explicit Iterator(Value name) : name_(name) {}
        Value name_;
    };
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(last_); }

private:
    friend class Value;
    Members(Value first, Value last) : first_(first), last_(last) {}
    Value first_, last_;
};

class Document {
public:
    // Reads `text`, which must outlive the document. Empty when it is one JSON value, else
    // why it is not, as a phrase ("it is not UTF-8 text").
    std::string Parse(std::string_view text);
    // The value read; Missing before a successful Parse.
    Value Root() const { return nodes_.empty() ? Value() : Value(this, 0); }

private:
    friend class Value;
    friend class Parser;
    struct Node {
        std::uint32_t start = 0;   // of the text: in the source, or in decoded_ when decoded
        std::uint32_t length = 0;  // of a string's or number's text
        std::uint32_t next = 0;    // the index past this value and everything in it
        Kind kind = Kind::Missing;
        bool decoded = false;
    };

    std::string_view source_;
    std::string decoded_;
    // Millions of them for a large file: in huge pages as they fill.
    std::vector<Node, LargeBlockAllocator<Node>> nodes_;
};

}  // namespace tolva::json
