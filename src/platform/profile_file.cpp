#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ascii.h"
#include "platform/atomic_replace.h"
#include "platform/charset.h"
#include "platform/descriptor.h"

namespace tolva {

namespace {

constexpr std::string_view kNewFileLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The name of a section header line ("[ Name ]" gives Name), or false for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return false;
    std::size_t close = line.find(']');
    name = TrimBlanks(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return true;
}

// The key of a "key=value" line, or false for a line without "=".
bool KeyName(std::string_view line, std::string_view& key, std::string_view& value) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    key = TrimBlanks(line.substr(0, equals));
    value = TrimBlanks(line.substr(equals + 1));
    return true;
}

}  // namespace

bool ProfileFile::Load(int folder, const std::string& name) {
    Parse({});
    existed_ = false;
    Descriptor fd(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.Get() < 0) return errno == ENOENT;
    std::string bytes;
    if (!ReadToEnd(fd.Get(), bytes)) return false;
    existed_ = true;
    const Encoding encoding = Decode(bytes);
    Parse(std::move(bytes));
    encoding_ = encoding;
    return true;
}

ProfileFile::Encoding ProfileFile::Decode(std::string& bytes) {
    const std::string_view text(bytes);
    if (text.starts_with(kUtf8Mark)) {
        bytes.erase(0, kUtf8Mark.size());
        return Encoding::Utf8Mark;
    }
    const bool little = text.starts_with(kUtf16LittleEndianMark);
    if (little || text.starts_with(kUtf16BigEndianMark)) {
        // A file that is not whole UTF-16 stays bytes: nothing is found in it, and a save
        // writes back what was read with the change.
        std::string decoded;
        if (Recode(text.substr(kUtf16LittleEndianMark.size()), little ? "UTF-16LE" : "UTF-16BE", "UTF-8", decoded)) {
            bytes = std::move(decoded);
            return little ? Encoding::Utf16LittleEndian : Encoding::Utf16BigEndian;
        }
    }
    return Encoding::Plain;
}

bool ProfileFile::Encode(std::string& bytes) const {
    switch (encoding_) {
        case Encoding::Plain:
            bytes = bytes_;
            return true;
        case Encoding::Utf8Mark:
            bytes = std::string(kUtf8Mark) + bytes_;
            return true;
        case Encoding::Utf16LittleEndian:
        case Encoding::Utf16BigEndian: {
            const bool little = encoding_ == Encoding::Utf16LittleEndian;
            std::string encoded;
            // A value that is not UTF-8 has no UTF-16 form; the file is left as it was.
            if (!Recode(bytes_, "UTF-8", little ? "UTF-16LE" : "UTF-16BE", encoded)) {
                errno = EILSEQ;
                return false;
            }
            bytes = std::string(little ? kUtf16LittleEndianMark : kUtf16BigEndianMark) + encoded;
            return true;
        }
    }
    return false;
}

void ProfileFile::CopyContents(const ProfileFile& other) {
    Parse(other.bytes_);
    encoding_ = other.encoding_;
}

void ProfileFile::Parse(std::string bytes) {
    bytes_ = std::move(bytes);
    encoding_ = Encoding::Plain;
    changed_ = false;
    Split();
}

void ProfileFile::Split() {
    lines_.clear();
    std::size_t start = 0;
    const std::size_t size = bytes_.size();
    while (start < size) {
        std::size_t end = start;
        while (end < size && bytes_[end] != '\r' && bytes_[end] != '\n') ++end;
        Line line{start, end - start, 0};
        if (end < size) line.endLength = (bytes_[end] == '\r' && end + 1 < size && bytes_[end + 1] == '\n') ? 2 : 1;
        lines_.push_back(line);
        start = end + line.endLength;
    }
}

ProfileFile::Location ProfileFile::Find(std::string_view section, std::string_view key) const {
    Location found;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (!SectionName(LineText(i), name)) continue;
        if (!EqualsIgnoringAsciiCase(name, section)) continue;
        found.section = i;
        found.sectionEnd = lines_.size();
        for (std::size_t j = i + 1; j < lines_.size(); ++j) {
            std::string_view other;
            if (SectionName(LineText(j), other)) {
                found.sectionEnd = j;
                break;
            }
            std::string_view lineKey, value;
            if (found.key == npos && KeyName(LineText(j), lineKey, value) && EqualsIgnoringAsciiCase(lineKey, key)) {
                found.key = j;
            }
        }
        return found;
    }
    return found;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key, std::string_view fallback,
                                   std::size_t bufferSize) const {
    Location found = Find(section, key);
    std::string_view value = fallback;
    if (found.key != npos) {
        std::string_view lineKey;
        KeyName(LineText(found.key), lineKey, value);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
    }
    if (bufferSize != kWholeValue && value.size() > bufferSize - 1) value = value.substr(0, bufferSize - 1);
    return std::string(value);
}

bool ProfileFile::HasKey(std::string_view section, std::string_view key) const {
    return Find(section, key).key != npos;
}

std::string_view ProfileFile::LineEnd() const {
    for (const Line& line : lines_) {
        if (line.endLength > 0) return std::string_view(bytes_).substr(line.start + line.length, line.endLength);
    }
    return kNewFileLineEnd;
}

void ProfileFile::Replace(std::size_t offset, std::size_t count, std::string_view text) {
    bytes_.replace(offset, count, text);
    changed_ = true;
    Split();
}

void ProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    const std::string lineEnd(LineEnd());
    Location found = Find(section, key);

    if (found.key != npos) {
        // Keep the line's own spelling of the key and its indentation; replace the value.
        const Line& line = lines_[found.key];
        std::string_view text = LineText(found.key);
        std::size_t equals = text.find('=');
        std::string replacement(text.substr(0, equals + 1));
        replacement += clean;
        if (replacement == text) return;
        Replace(line.start, line.length, replacement);
        return;
    }

    std::string added(key);
    added += '=';
    added += clean;
    added += lineEnd;
    if (found.section != npos) {
        // After the section's last line that is not blank, before any blank lines that part it
        // from the next section.
        std::size_t after = found.section;
        for (std::size_t i = found.section + 1; i < found.sectionEnd; ++i) {
            if (!TrimBlanks(LineText(i)).empty()) after = i;
        }
        const Line& line = lines_[after];
        std::size_t offset = line.start + line.length + line.endLength;
        if (line.endLength == 0) added.insert(0, lineEnd);
        Replace(offset, 0, added);
        return;
    }

    std::string block;
    if (!lines_.empty() && lines_.back().endLength == 0) block += lineEnd;
    block += '[';
    block += section;
    block += ']';
    block += lineEnd;
    block += added;
    Replace(bytes_.size(), 0, block);
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
    Location found = Find(section, key);
    if (found.key == npos) return false;
    const Line& line = lines_[found.key];
    Replace(line.start, line.length + line.endLength, {});
    return true;
}

bool ProfileFile::Save(int folder, const std::string& name) {
    if (!changed_ && existed_) return true;
    std::string bytes;
    if (!Encode(bytes)) return false;
    // The new bytes replace the name only once they are all written, so a kill or a full disk
    // leaves an old file as it was and a new one absent, never cut short. A new file is as
    // readable as one written in place would be.
    // A symbolic link in the way (Load refused it) is neither written through nor replaced.
    struct stat info {};
    if (!existed_ && ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        errno = ELOOP;
        return false;
    }
    if (!ReplaceFile(folder, name, bytes, 0666)) return false;
    changed_ = false;
    existed_ = true;
    return true;
}

}  // namespace tolva
