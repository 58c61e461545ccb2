#pragma once
// The string table: every text the person sees, under its fixed numeric id, exactly as the
// program has always shown it (double spaces, line breaks and misspellings included).
// The table is kept in several files by area; LoadString looks in all of them.

#include <span>
#include <string>
#include <string_view>

namespace tolva {

struct StringEntry {
    int id;
    const char* text;
};

// Captions and form messages.
inline constexpr int IDS_NETSCAPE_HEADER = 59142;
inline constexpr int IDS_CAPTION = 59149;  // "Tolva 2.0.1"
inline constexpr int IDS_UNVERIFIED = 59150;
inline constexpr int IDS_MOSAIC_HEADER = 59151;
inline constexpr int IDS_ASK_BACKUP = 59157;
inline constexpr int IDS_NO_SOURCE = 59159;
inline constexpr int IDS_NO_DESTINATION = 59160;
inline constexpr int IDS_SET_NOT_FOUND = 59161;
inline constexpr int IDS_SET_EXISTS = 59162;
inline constexpr int IDS_ASK_CREATE_FOLDER = 59163;
inline constexpr int IDS_ASK_USE_FOLDER = 59164;

// Recent-location keys: page base plus the format code.
inline constexpr int IDS_RECENT_TRANSLATE_BASE = 40101;
inline constexpr int IDS_RECENT_VERIFY_BASE = 40126;

// Texts the program shows that had no id of their own; ids from 61000 up are Tolva's.
inline constexpr int IDS_MSG_CAPTION_RUN = 61000;  // "Tolva"
inline constexpr int IDS_ERR_NETSCAPE_HEADER = 61001;
inline constexpr int IDS_ERR_NETSCAPE_LINE = 61002;
inline constexpr int IDS_ERR_NETSCAPE_FOOTER = 61003;
inline constexpr int IDS_ERR_MOSAIC_HEADER = 61004;
inline constexpr int IDS_ERR_MOSAIC_LINE = 61005;
inline constexpr int IDS_ERR_CREATING_FOLDER = 61006;
inline constexpr int IDS_STATUS_READING_LINE = 61010;
inline constexpr int IDS_STATUS_LOADING_ITEM = 61011;
inline constexpr int IDS_STATUS_NETSCAPE_LOADED = 61012;
inline constexpr int IDS_STATUS_MOSAIC_LOADED = 61013;
inline constexpr int IDS_STATUS_SHORTCUTS_LOADED = 61014;
inline constexpr int IDS_STATUS_NOW_READING = 61020;
inline constexpr int IDS_STATUS_NOW_CONVERTING = 61021;
inline constexpr int IDS_STATUS_NOW_SAVING = 61022;
inline constexpr int IDS_STATUS_CONVERTED = 61023;
inline constexpr int IDS_STATUS_UNABLE_TO_READ = 61024;
inline constexpr int IDS_STATUS_UNABLE_TO_CREATE = 61025;
inline constexpr int IDS_STATUS_UNABLE_TO_SAVE = 61026;
inline constexpr int IDS_MSG_UNABLE_TO_OPEN_SOURCE = 61030;
inline constexpr int IDS_MSG_UNABLE_TO_READ_SOURCE = 61031;
inline constexpr int IDS_MSG_UNABLE_TO_OPEN_DESTINATION = 61032;
inline constexpr int IDS_MSG_UNABLE_TO_SAVE_DESTINATION = 61033;
inline constexpr int IDS_CONVERTING_LINK = 61034;
inline constexpr int IDS_ERR_READING_FILE = 61035;

// Returns the text of id, or empty text for an id that is not in the table.
std::string LoadString(int id);

// Fills %d and %s (and %% for one percent sign) from args, in order. Only these directives
// are understood, so a text from the table can never read past its arguments: a directive
// without an argument is copied as it stands.
class FormatArg {
public:
    FormatArg(int value) : text_(std::to_string(value)) {}
    FormatArg(long value) : text_(std::to_string(value)) {}
    FormatArg(unsigned value) : text_(std::to_string(value)) {}
    FormatArg(const char* value) : text_(value ? value : "") {}
    FormatArg(std::string_view value) : text_(value) {}
    FormatArg(const std::string& value) : text_(value) {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

// Shorthand: FormatText(LoadString(id), args).
std::string FormatString(int id, std::initializer_list<FormatArg> args);

// The parts of the table, one per area of the program.
std::span<const StringEntry> CoreStrings();
std::span<const StringEntry> VerifyStrings();
std::span<const StringEntry> UiStrings();

}  // namespace tolva
