// The text is checked to be UTF-8, then read in one pass without recursion: open arrays and
// objects wait on a stack of their own, so no file can nest deep enough to exhaust the program's.

#include "formats/json_document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "platform/charset.h"

namespace tolva::json {

namespace {

constexpr std::size_t kMaxDepth = 1024;
constexpr std::size_t kMaxSize = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMostReserved = std::size_t{1} << 23;  // values reserved at the start
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t Word(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Each byte of `word` below 0x20, a quote or a backslash sets the high bit of some byte.
std::uint64_t SpecialBytes(std::uint64_t word) {
    const std::uint64_t quote = word ^ (kOnes * '"');
    const std::uint64_t backslash = word ^ (kOnes * '\\');
    return (((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash)) &
           kHighBits;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

class Parser {
public:
    Parser(Document& document, std::string_view text)
        : document_(document), nodes_(document.nodes_), begin_(text.data()), at_(begin_), end_(begin_ + text.size()) {}

    std::string Run() {
        if (static_cast<std::size_t>(end_ - begin_) >= kMaxSize) return "it is too large";
        if (!IsValidUtf8({begin_, end_})) return "it is not UTF-8 text";
        if (std::string_view(begin_, end_).starts_with("\xEF\xBB\xBF")) at_ += 3;
        // About one value in every 14 bytes of a browser's bookmark file; past that it grows.
        // Reserved, not yet touched: memory counts only as values fill it.
        nodes_.reserve(std::min(static_cast<std::size_t>(end_ - at_) / 8 + 16, kMostReserved));
        SkipSpace();
        if (at_ == end_) return "it is empty";
        if (!Value()) return Failure();
        while (!open_.empty()) {
            SkipSpace();
            if (at_ == end_) return Failure();
            const std::uint32_t container = open_.back();
            const bool inObject = nodes_[container].kind == Kind::Object;
            if (*at_ == (inObject ? '}' : ']')) {
                ++at_;
                nodes_[container].next = Count();
                open_.pop_back();
                continue;
            }
            if (nodes_.size() > container + 1u) {
                if (*at_ != ',') return Failure();
                ++at_;
                SkipSpace();
            }
            if (inObject) {
                if (at_ == end_ || *at_ != '"' || !String()) return Failure();
                SkipSpace();
                if (at_ == end_ || *at_ != ':') return Failure();
                ++at_;
                SkipSpace();
            }
            if (!Value()) return Failure();
        }
        SkipSpace();
        return at_ == end_ ? std::string() : Failure();
    }

private:
    std::uint32_t Count() const { return static_cast<std::uint32_t>(nodes_.size()); }

    void Add(Kind kind, std::size_t start, std::size_t length, bool decoded = false) {
        nodes_.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(length), Count() + 1, kind,
                          decoded});
    }
    void AddSpan(Kind kind, const char* start) {
        Add(kind, static_cast<std::size_t>(start - begin_), static_cast<std::size_t>(at_ - start));
    }

    void SkipSpace() {
        while (at_ != end_) {
            const char c = *at_;
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
            ++at_;
            // Indentation: the browsers' pretty-printed files put long runs of spaces after each line break.
            while (end_ - at_ >= 8 && Word(at_) == kOnes * ' ') at_ += 8;
        }
    }

    bool Value() {
        if (at_ == end_) return false;
        switch (*at_) {
            case '{':
                return Open(Kind::Object);
            case '[':
                return Open(Kind::Array);
            case '"':
                return String();
            case 't':
                return Literal("true", Kind::True);
            case 'f':
                return Literal("false", Kind::False);
            case 'n':
                return Literal("null", Kind::Null);
            default:
                return Number();
        }
    }

    bool Open(Kind kind) {
        if (open_.size() >= kMaxDepth) {
            failure_ = "it nests arrays and objects more than " + std::to_string(kMaxDepth) + " deep";
            return false;
        }
        open_.push_back(Count());
        Add(kind, 0, 0);
        ++at_;
        return true;
    }

    bool Literal(std::string_view word, Kind kind) {
        if (!std::string_view(at_, end_).starts_with(word)) return false;
        const char* start = at_;
        at_ += word.size();
        AddSpan(kind, start);
        return true;
    }

    bool Digits() {
        const char* start = at_;
        while (at_ != end_ && IsDigit(*at_)) ++at_;
        return at_ != start;
    }

    bool Number() {
        const char* start = at_;
        if (*at_ == '-') ++at_;
        if (at_ != end_ && *at_ == '0') {
            ++at_;
        } else if (!Digits()) {
            return false;
        }
        if (at_ != end_ && *at_ == '.') {
            ++at_;
            if (!Digits()) return false;
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
            if (!Digits()) return false;
        }
        AddSpan(Kind::Number, start);
        return true;
    }

    // A string at its opening quote. Most have no escape and stay a view into the text.
    bool String() {
        const char* start = ++at_;
        while (end_ - at_ >= 8 && SpecialBytes(Word(at_)) == 0) at_ += 8;
        for (; at_ != end_; ++at_) {
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                AddSpan(Kind::String, start);
                ++at_;
                return true;
            }
            if (c == '\\') return Decode(start);
            if (c < 0x20) return false;
        }
        return false;
    }

    // The rest of a string with escapes, decoded into the document's own text. Nodes keep
    // offsets there, not pointers, as it grows.
    bool Decode(const char* start) {
        std::string& out = document_.decoded_;
        const std::size_t from = out.size();
        out.append(start, at_);
        while (at_ != end_) {
            const auto c = static_cast<unsigned char>(*at_++);
            if (c == '"') {
                Add(Kind::String, from, out.size() - from, true);
                return true;
            }
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at_ == end_) return false;
            switch (*at_++) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    if (!Unicode(out)) return false;
                    break;
                default:
                    return false;
            }
        }
        return false;
    }

    bool Hex(std::uint32_t& code) {
        if (end_ - at_ < 4) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *at_++;
            const int digit = IsDigit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
            if (digit < 0) return false;
            code = code << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    }

    // After "\u". A surrogate without its other half becomes U+FFFD, as a browser shows it,
    // rather than failing the whole file over one name.
    bool Unicode(std::string& out) {
        std::uint32_t code = 0;
        if (!Hex(code)) return false;
        if (code >= 0xD800 && code <= 0xDBFF && std::string_view(at_, end_).starts_with("\\u")) {
            const char* back = at_;
            at_ += 2;
            std::uint32_t low = 0;
            if (!Hex(low)) return false;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            at_ = back;
        }
        AppendCodePoint(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
        return true;
    }

    std::string Failure() const {
        if (!failure_.empty()) return failure_;
        const char* stop = std::min(at_, end_);
        const auto line = 1 + std::count(begin_, stop, '\n');
        const char* lineStart = stop;
        while (lineStart != begin_ && lineStart[-1] != '\n') --lineStart;
        return "it is not well-formed JSON (line " + std::to_string(line) + ", column " +
               std::to_string(stop - lineStart + 1) + ")";
    }

    Document& document_;
    std::vector<Document::Node, LargeBlockAllocator<Document::Node>>& nodes_;
    const char* begin_;
    const char* at_;
    const char* end_;
    std::vector<std::uint32_t> open_;
    std::string failure_;
};

std::string Document::Parse(std::string_view text) {
    source_ = text;
    decoded_.clear();
    nodes_.clear();
    std::string failure = Parser(*this, text).Run();
    if (!failure.empty()) nodes_.clear();
    return failure;
}

Kind Value::kind() const { return document_ ? document_->nodes_[index_].kind : Kind::Missing; }

bool Value::IsEmpty() const { return !document_ || Next() == index_ + 1; }

std::uint32_t Value::Next() const { return document_->nodes_[index_].next; }

std::string_view Value::Span() const {
    const Document::Node& node = document_->nodes_[index_];
    const std::string_view text = node.decoded ? std::string_view(document_->decoded_) : document_->source_;
    return text.substr(node.start, node.length);
}

bool Value::InSource() const { return document_ != nullptr && !document_->nodes_[index_].decoded; }

std::optional<std::string_view> Value::String() const {
    if (kind() != Kind::String) return std::nullopt;
    return Span();
}

std::optional<std::int64_t> Value::Integer() const {
    if (kind() != Kind::Number) return std::nullopt;
    const std::string_view text = Span();
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

std::optional<double> Value::Number() const {
    if (kind() != Kind::Number) return std::nullopt;
    const std::string_view text = Span();
    double number = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), number).ec != std::errc()) return std::nullopt;
    return number;
}

std::optional<bool> Value::Boolean() const {
    if (kind() == Kind::True) return true;
    if (kind() == Kind::False) return false;
    return std::nullopt;
}

Value Value::operator[](std::string_view name) const {
    for (const auto& [key, value] : Fields()) {
        if (key == name) return value;
    }
    return {};
}

Value::Items Value::Elements() const {
    if (!IsArray()) return {Value(), Value()};
    return {Value(document_, index_ + 1), Value(document_, Next())};
}

Value::Members Value::Fields() const {
    if (!IsObject()) return {Value(), Value()};
    return {Value(document_, index_ + 1), Value(document_, Next())};
}

Value::Items::Iterator& Value::Items::Iterator::operator++() {
    at_ = Value(at_.document_, at_.Next());
    return *this;
}

std::pair<std::string_view, Value> Value::Members::Iterator::operator*() const {
    return {name_.Span(), Value(name_.document_, name_.index_ + 1)};
}

Value::Members::Iterator& Value::Members::Iterator::operator++() {
    name_ = Value(name_.document_, Value(name_.document_, name_.index_ + 1).Next());
    return *this;
}

}  // namespace tolva::json
