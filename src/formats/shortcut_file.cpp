#include "formats/shortcut_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>

#include "formats/shortcuts.h"
#include "formats/store_fields.h"
#include "platform/ascii.h"
#include "platform/charset.h"

namespace tolva {

namespace {

// A kept name as its file holds it: quoted when blanks at its ends or enclosing quotes would
// otherwise be lost on reading.
std::string QuotedValue(const std::string& value) {
    const bool blankEnd = !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                                             value.back() == '\t');
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return blankEnd || quoted ? "\"" + value + "\"" : value;
}

constexpr char kOrderDelimiter = '/';
constexpr std::string_view kSeparatorItem = ".";

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

// Windows counts FILETIMEs in tenths of microseconds since 1601-01-01.
constexpr std::int64_t kFileTimeEpochOffset = 11644473600;
constexpr std::int64_t kFileTimeTicksPerSecond = 10000000;
constexpr std::int64_t kLastFileTimeSecond = INT64_MAX / kFileTimeTicksPerSecond - kFileTimeEpochOffset;

constexpr std::string_view kModifiedKey = "Modified";

struct WindowsKey {
    std::string_view section;
    std::string_view key;
    std::string_view attribute;
};
constexpr WindowsKey kWindowsKeys[] = {
    {kShortcutSection, kModifiedKey, "SHORTCUT_MODIFIED"},
    {kShortcutSection, "IconFile", "SHORTCUT_ICONFILE"},
    {kShortcutSection, "IconIndex", "SHORTCUT_ICONINDEX"},
    {"DEFAULT", "BASEURL", "SHORTCUT_BASEURL"},
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The Modified a link's attributes give: its kept spelling while that is still its
// LAST_MODIFIED (or it has no date Windows can hold), else its LAST_MODIFIED in Windows' spelling.
std::optional<std::string> ModifiedFor(std::string_view attributes) {
    std::optional<std::string> kept = store::FindKeptAttribute(attributes, kWindowsKeys[0].attribute);
    const std::optional<std::string> date = store::FindKeptAttribute(attributes, store::kLastModified);
    const std::optional<std::int64_t> seconds = date ? store::ParseSeconds(*date) : std::nullopt;
    const std::optional<std::int64_t> keptSeconds = kept ? ModifiedSeconds(*kept) : std::nullopt;
    if (kept && (!seconds || !keptSeconds || keptSeconds == seconds)) return kept;
    return seconds ? ModifiedValue(*seconds) : std::nullopt;
}

}  // namespace

std::string OrderRecord(const std::vector<OrderItem>& items) {
    std::string record;
    for (const OrderItem& item : items) {
        if (&item != &items.front()) record += kOrderDelimiter;
        record += item.kind == UrlEntryKind::Separator ? std::string(kSeparatorItem) : item.name;
    }
    return record;
}

std::vector<OrderItem> OrderRecordItems(std::string_view record) {
    std::vector<OrderItem> items;
    if (record.empty()) return items;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(record.find(kOrderDelimiter, start), record.size());
        const std::string_view name = record.substr(start, end - start);
        if (name == kSeparatorItem) {
            items.push_back({UrlEntryKind::Separator, {}});
        } else if (!name.empty()) {
            items.push_back({UrlEntryKind::Link, std::string(name)});
        }
        if (end == record.size()) return items;
        start = end + 1;
    }
}

bool InListedOrder(const std::vector<OrderItem>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == UrlEntryKind::Separator) return false;
        if (i == 0) continue;
        const OrderItem& before = items[i - 1];
        if (before.kind != items[i].kind) {
            if (before.kind != UrlEntryKind::FolderStart) return false;
        } else if (!ListedBefore(before.name, items[i].name)) {
            return false;
        }
    }
    return true;
}

std::string ReadKeptText(const ProfileFile& profile, std::string_view key) {
    return Unescaped(profile.GetString(kTolvaSection, key, {}, ProfileFile::kWholeValue));
}

void SetKeptText(ProfileFile& profile, std::string_view key, std::string_view text) {
    if (text.empty()) {
        profile.DeleteKey(kTolvaSection, key);
    } else {
        profile.SetString(kTolvaSection, key, QuotedValue(Escaped(text)));
    }
}

std::optional<std::string> ModifiedValue(std::int64_t seconds) {
    if (seconds < -kFileTimeEpochOffset || seconds > kLastFileTimeSecond) return std::nullopt;
    std::uint64_t time = static_cast<std::uint64_t>(seconds + kFileTimeEpochOffset) * kFileTimeTicksPerSecond;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string value;
    unsigned sum = 0;
    for (int i = 0; i < 8; ++i, time >>= 8) {
        const auto byte = static_cast<unsigned>(time & 0xFF);
        sum += byte;
        value += kDigits[byte >> 4];
        value += kDigits[byte & 0xF];
    }
    value += kDigits[(sum >> 4) & 0xF];
    value += kDigits[sum & 0xF];
    return value;
}

std::optional<std::int64_t> ModifiedSeconds(std::string_view value) {
    if (value.size() != 16 && value.size() != 18) return std::nullopt;
    std::uint64_t time = 0;
    unsigned sum = 0;
    unsigned check = 0;
    for (std::size_t i = 0; i < value.size(); i += 2) {
        unsigned byte = 0;
        for (const char c : value.substr(i, 2)) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            byte = byte * 16 + static_cast<unsigned>(digit);
        }
        if (i < 16) {
            time |= static_cast<std::uint64_t>(byte) << (i * 4);
            sum += byte;
        } else {
            check = byte;
        }
    }
    if ((value.size() == 18 && check != (sum & 0xFF)) || time == 0) return std::nullopt;
    return static_cast<std::int64_t>(time / kFileTimeTicksPerSecond) - kFileTimeEpochOffset;
}

std::string ReadLinkAttributes(const ProfileFile& profile) {
    std::string attributes = ReadKeptText(profile, kAttributesKey);
    const std::string formerUrl = profile.GetString(kTolvaSection, kFormerUrlKey, {}, ProfileFile::kWholeValue);
    if (!formerUrl.empty()) store::AddKeptAttribute(attributes, store::kPreservedUrl, formerUrl);
    for (const WindowsKey& key : kWindowsKeys) {
        if (!profile.HasKey(key.section, key.key)) continue;
        const std::string value = profile.GetString(key.section, key.key, {}, ProfileFile::kWholeValue);
        if (key.key != kModifiedKey) {
            store::SetKeptAttribute(attributes, key.attribute, value);
            continue;
        }
        if (value == ModifiedFor(attributes)) continue;
        // Windows changed the link since the date was kept: its time wins.
        const std::optional<std::int64_t> seconds = ModifiedSeconds(value);
        if (seconds) store::SetKeptAttribute(attributes, store::kLastModified, std::to_string(*seconds));
        if (!seconds || ModifiedValue(*seconds) != value) {
            store::SetKeptAttribute(attributes, key.attribute, value);
        } else {
            attributes = store::WithoutKeptAttribute(attributes, key.attribute);
        }
    }
    return attributes;
}

void SetLinkAttributes(ProfileFile& profile, std::string_view attributes) {
    std::string kept = store::WithoutKeptAttribute(attributes, store::kPreservedUrl);
    for (const WindowsKey& key : kWindowsKeys) {
        // A key the link has nothing for is left as the file has it.
        const std::optional<std::string> value = key.key == kModifiedKey
                                                     ? ModifiedFor(attributes)
                                                     : store::FindKeptAttribute(attributes, key.attribute);
        // The same value is left as it is spelled: another program's file keeps its bytes.
        if (value && (!profile.HasKey(key.section, key.key) ||
                      profile.GetString(key.section, key.key, {}, ProfileFile::kWholeValue) != *value)) {
            profile.SetString(key.section, key.key, *value);
        }
        kept = store::WithoutKeptAttribute(kept, key.attribute);
    }
    SetKeptText(profile, kAttributesKey, kept);
    const std::optional<std::string> formerUrl = store::FindKeptAttribute(attributes, store::kPreservedUrl);
    if (formerUrl && !formerUrl->empty()) {
        profile.SetString(kTolvaSection, kFormerUrlKey, *formerUrl);
    } else {
        profile.DeleteKey(kTolvaSection, kFormerUrlKey);
    }
}

std::vector<std::string> NamesFromTop(const FolderNode* node) {
    std::vector<std::string> names;
    for (; node != nullptr && node->parent != nullptr; node = node->parent.get()) names.push_back(node->name);
    std::reverse(names.begin(), names.end());
    return names;
}

std::string PathOf(const std::string& top, const std::vector<std::string>& names) {
    std::string path = top;
    for (const std::string& name : names) path += "/" + name;
    return path;
}

// The URL of a shortcut as Windows reads it: the UTF-7 twin where there is one, since the main
// key holds the code page's rendering of it (raw bytes of another code page on a Russian or
// Greek system), else the main key.
// A main key in ASCII is exact and wins over a twin left from before a program edited it,
// unless it holds the "?" Windows writes for what its code page lacks.
std::string ReadUrl(const ProfileFile& profile) {
    std::string url = profile.GetString(kShortcutSection, "URL", {}, ProfileFile::kWholeValue);
    const std::string twin = profile.GetString(kUnicodeSection, "URL", {}, ProfileFile::kWholeValue);
    std::string decoded;
    if (twin.empty() || !Recode(twin, "UTF-7", "UTF-8", decoded)) return url;
    if (!IsAscii(url) || (!IsAscii(decoded) && url.find('?') != std::string::npos)) return decoded;
    return url;
}

// The former name kept in a file, if the file keeps one (an empty name is one too).
bool ReadFormerName(const ProfileFile& profile, std::string& name) {
    if (!profile.HasKey(kTolvaSection, kFormerNameKey)) return false;
    name = profile.GetString(kTolvaSection, kFormerNameKey, {}, ProfileFile::kWholeValue);
    return true;
}

// Sets the URL, and its twins where Windows needs them: a URL that is not ASCII gets the UTF-7
// twin Windows reads it from, and twins already in the file follow the change so that they
// never contradict it.
void WriteUrl(ProfileFile& profile, std::string_view url) {
    const bool hasTwin = profile.HasKey(kUnicodeSection, "URL");
    // An unchanged URL leaves another program's twins as they are.
    if (hasTwin && profile.GetString(kShortcutSection, "URL", {}, ProfileFile::kWholeValue) == url) return;
    profile.SetString(kShortcutSection, "URL", url);
    if (profile.HasKey(kAnsiSection, "URL")) profile.SetString(kAnsiSection, "URL", url);
    if (IsAscii(url) && !hasTwin) return;
    std::string twin;
    // Bytes that are not UTF-8 have no UTF-7 form; an empty twin makes readers take the main key.
    if (!Recode(url, "UTF-8", "UTF-7", twin)) {
        if (!hasTwin) return;
        twin.clear();
    }
    profile.SetString(kUnicodeSection, "URL", twin);
}

void SetFormerName(ProfileFile& profile, bool keep, const std::string& former) {
    if (keep) {
        profile.SetString(kTolvaSection, kFormerNameKey, QuotedValue(former));
    } else {
        profile.DeleteKey(kTolvaSection, kFormerNameKey);
    }
}

bool ReadThroughSymbolicLink(const UrlEntry& entry) {
    const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
    return read != nullptr && read->behindLink;
}

bool FormerShortcutName(const UrlEntry& entry, std::string& name) {
    const auto* read = dynamic_cast<const ShortcutEntry*>(&entry);
    if (read == nullptr || !read->hasFormerName) return false;
    name = read->formerName;
    return true;
}

}  // namespace tolva
