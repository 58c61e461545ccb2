#include "platform/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/ascii.h"
#include "platform/atomic_replace.h"
#include "platform/descriptor.h"

namespace tolva {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr char kHexDigits[] = "0123456789abcdef";

// Key paths are compared without their trailing backslashes, as the registry ignores them.
std::string_view TrimKey(std::string_view key) {
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    return key;
}

bool HoldsLineBreakOrZero(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a quoted text starting at text[pos] == '"', undoing the two escapes .reg files use.
// On success pos is just past the closing quote.
bool ParseQuoted(std::string_view text, std::size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    out.clear();
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size()) return false;
            char escaped = text[++i];
            // Anything but the two escapes the format knows is not ours to guess at.
            if (escaped != '\\' && escaped != '"') return false;
            out += escaped;
        } else {
            out += c;
        }
    }
    return false;
}

// "01,00,ff" (spaces allowed around the commas; empty for no bytes).
bool ParseHexBytes(std::string_view text, std::string& out) {
    out.clear();
    text = Trim(text);
    if (text.empty()) return true;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos + 2 > text.size()) return false;
        int high = HexValue(text[pos]);
        int low = HexValue(text[pos + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        pos += 2;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos == text.size()) return true;
        if (text[pos] != ',') return false;
        ++pos;
    }
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += ',';
        auto byte = static_cast<unsigned char>(bytes[i]);
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0xF];
    }
}

// A value's data as a .reg file spells it after "=": a string, hex bytes (of a type given or
// binary) or a dword. False for anything else.
bool ParseData(std::string_view data, std::string& bytes, std::uint32_t& type) {
    if (data.starts_with('"')) {
        std::size_t dataPos = 0;
        type = SettingsStore::kTypeString;
        return ParseQuoted(data, dataPos, bytes) && dataPos == data.size();
    }
    if (data.starts_with("hex:")) {
        type = SettingsStore::kTypeBinary;
        return ParseHexBytes(data.substr(4), bytes);
    }
    if (data.starts_with("hex(")) {
        std::size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4) return false;
        type = 0;
        for (char c : data.substr(4, close - 4)) {
            int digit = HexValue(c);
            if (digit < 0 || type > 0x0FFFFFFF) return false;
            type = type * 16 + static_cast<std::uint32_t>(digit);
        }
        return ParseHexBytes(data.substr(close + 2), bytes);
    }
    if (data.starts_with("dword:")) {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t number = 0;
        for (char c : digits) {
            int digit = HexValue(c);
            if (digit < 0) return false;
            number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
        type = SettingsStore::kTypeDword;
        return true;
    }
    return false;
}

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* account = ::getpwuid(::getuid());
            home = account != nullptr ? account->pw_dir : "";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/tolva/registry.reg";
}

SettingsStore& SettingsStore::User() {
    static SettingsStore store = [] {
        SettingsStore loaded(DefaultPath());
        loaded.Load();
        return loaded;
    }();
    return store;
}

bool SettingsStore::Load() {
    keys_.clear();
    unparsable_ = false;
    onDisk_.reset();
    Descriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno == ENOENT || errno == ENOTDIR) return true;
        unparsable_ = true;
        return false;
    }
    std::string text;
    const bool failed = !ReadToEnd(fd.Get(), text);
    fd.Reset();
    if (failed || !Parse(text)) {
        keys_.clear();
        unparsable_ = true;
        return false;
    }
    onDisk_ = Serialize();
    return true;
}

bool SettingsStore::Parse(const std::string& text) {
    std::string_view rest(text);
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    bool sawHeader = false;
    Key* current = nullptr;
    std::string logical;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        // A long hex value may go on over several lines, each but the last ending in a backslash.
        if (!logical.empty()) {
            logical += Trim(line);
        } else {
            logical = line;
        }
        // (A string value always ends with its closing quote, so this never joins one.)
        if (!logical.empty() && logical.back() == '\\') {
            logical.pop_back();
            if (!rest.empty()) continue;
        }
        const std::string owned(Trim(logical));
        logical.clear();
        std::string_view entry = owned;

        if (entry.empty() || entry.front() == ';') continue;
        if (!sawHeader) {
            if (entry != kHeader) return false;
            sawHeader = true;
            continue;
        }
        if (entry.front() == '[') {
            if (entry.back() != ']' || entry.size() < 3 || entry[1] == '-') return false;
            std::string path(entry.substr(1, entry.size() - 2));
            // A path of backslashes only names no key, and "[]" could not be read back.
            if (TrimKey(path).empty()) return false;
            current = &FindOrCreateKey(path);
            continue;
        }
        if (current == nullptr) return false;

        Value value;
        std::size_t pos = 0;
        if (entry.front() == '@') {
            pos = 1;
        } else if (!ParseQuoted(entry, pos, value.name)) {
            return false;
        }
        while (pos < entry.size() && (entry[pos] == ' ' || entry[pos] == '\t')) ++pos;
        if (pos >= entry.size() || entry[pos] != '=') return false;
        if (!ParseData(Trim(entry.substr(pos + 1)), value.data, value.type)) return false;
        // A later line for the same name wins, as when the file is imported.
        auto existing = std::find_if(current->values.begin(), current->values.end(), [&value](const Value& old) {
            return EqualsIgnoringAsciiCase(old.name, value.name);
        });
        if (existing != current->values.end()) {
            *existing = std::move(value);
        } else {
            current->values.push_back(std::move(value));
        }
    }
    return sawHeader || text.empty();
}

std::string SettingsStore::Serialize() const {
    std::string out(kHeader);
    out += "\n";
    for (const Key& key : keys_) {
        if (key.path.empty()) continue;  // nothing can be read back from "[]"
        out += "\n[";
        out += key.path;
        out += "]\n";
        for (const Value& value : key.values) {
            if (value.name.empty()) {
                out += '@';
            } else {
                AppendQuoted(out, value.name);
            }
            out += '=';
            if (value.type == kTypeString && !HoldsLineBreakOrZero(value.data)) {
                AppendQuoted(out, value.data);
            } else if (value.type == kTypeBinary) {
                out += "hex:";
                AppendHexBytes(out, value.data);
            } else if (value.type == kTypeDword && value.data.size() == 4) {
                std::uint32_t number = 0;
                for (int i = 3; i >= 0; --i) number = number * 256 + static_cast<unsigned char>(value.data[i]);
                out += "dword:";
                for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(number >> shift) & 0xF];
            } else {
                // Typed hex keeps a string with line breaks on one line of the file.
                out += "hex(";
                std::string type;
                std::uint32_t t = value.type;
                do {
                    type.insert(type.begin(), kHexDigits[t & 0xF]);
                    t >>= 4;
                } while (t != 0);
                out += type;
                out += "):";
                AppendHexBytes(out, value.data);
            }
            out += '\n';
        }
    }
    return out;
}

bool SettingsStore::Save() {
    if (unparsable_) return false;
    std::string text = Serialize();
    if (onDisk_ && *onDisk_ == text) return true;
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path_).parent_path();
    if (folder.empty()) folder = ".";
    // A folder that cannot be made shows as the write failing.
    std::error_code error;
    fs::create_directories(folder, error);
    // Keeps the permissions the person gave the file; a new store is private. What a killed
    // program left while saving it goes first.
    RemoveLeftoverTemporaries(AT_FDCWD, path_);
    if (!ReplaceFile(AT_FDCWD, path_, text)) return false;
    onDisk_ = std::move(text);
    return true;
}

const SettingsStore::Key* SettingsStore::FindKey(const std::string& key) const {
    std::string_view wanted = TrimKey(key);
    for (const Key& candidate : keys_) {
        if (EqualsIgnoringAsciiCase(candidate.path, wanted)) return &candidate;
    }
    return nullptr;
}

SettingsStore::Key* SettingsStore::FindKey(const std::string& key) {
    return const_cast<Key*>(std::as_const(*this).FindKey(key));
}

SettingsStore::Key& SettingsStore::FindOrCreateKey(const std::string& key) {
    if (Key* found = FindKey(key)) return *found;
    keys_.push_back(Key{std::string(TrimKey(key)), {}});
    return keys_.back();
}

const SettingsStore::Value* SettingsStore::FindValue(const std::string& key, const std::string& name) const {
    const Key* found = FindKey(key);
    if (found == nullptr) return nullptr;
    for (const Value& value : found->values) {
        if (EqualsIgnoringAsciiCase(value.name, name)) return &value;
    }
    return nullptr;
}

bool SettingsStore::KeyExists(const std::string& key) const {
    std::string_view wanted = TrimKey(key);
    if (wanted.empty()) return false;
    for (const Key& candidate : keys_) {
        std::string_view path = candidate.path;
        if (EqualsIgnoringAsciiCase(path, wanted)) return true;
        // A key exists when one below it does, as creating a key creates its parents.
        if (path.size() > wanted.size() && path[wanted.size()] == '\\' &&
            EqualsIgnoringAsciiCase(path.substr(0, wanted.size()), wanted)) {
            return true;
        }
    }
    return false;
}

bool SettingsStore::GetString(const std::string& key, const std::string& name, std::string& value) const {
    const Value* found = FindValue(key, name);
    if (found == nullptr || found->type != kTypeString) return false;
    value = found->data;
    return true;
}

bool SettingsStore::GetBinary(const std::string& key, const std::string& name,
                              std::vector<unsigned char>& value) const {
    const Value* found = FindValue(key, name);
    if (found == nullptr || found->type == kTypeString) return false;
    value.assign(found->data.begin(), found->data.end());
    return true;
}

void SettingsStore::CreateKey(const std::string& key) {
    // A key path with a line break or a closing bracket could not be written back as one
    // section heading; such keys are not kept.
    if (TrimKey(key).empty() || HoldsLineBreakOrZero(key) || key.find(']') != std::string::npos) return;
    FindOrCreateKey(key);
}

void SettingsStore::SetValue(const std::string& key, const std::string& name, std::uint32_t type, std::string data) {
    if (HoldsLineBreakOrZero(name)) return;
    CreateKey(key);
    Key* target = FindKey(key);
    if (target == nullptr) return;
    for (Value& value : target->values) {
        if (EqualsIgnoringAsciiCase(value.name, name)) {
            value.type = type;
            value.data = std::move(data);
            return;
        }
    }
    target->values.push_back(Value{name, type, std::move(data)});
}

void SettingsStore::DeleteValue(const std::string& key, const std::string& name) {
    Key* target = FindKey(key);
    if (target == nullptr) return;
    std::erase_if(target->values, [&name](const Value& value) { return EqualsIgnoringAsciiCase(value.name, name); });
}

void SettingsStore::SetString(const std::string& key, const std::string& name, const std::string& value) {
    SetValue(key, name, kTypeString, value);
}

void SettingsStore::SetBinary(const std::string& key, const std::string& name,
                              const std::vector<unsigned char>& value) {
    SetValue(key, name, kTypeBinary, std::string(value.begin(), value.end()));
}

}  // namespace tolva
