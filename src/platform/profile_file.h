#pragma once
// A profile (INI) file held in memory for a batch of reads and writes: one load, any number
// of look-ups and changes, one save. It behaves as the Windows profile-string functions do
// where the program relies on it: section and key names match without regard to ASCII case,
// the first matching section and key win, a missing key gives the default, values may be cut
// to a buffer size, and a change rewrites only the line of its key (or adds one), so that
// every other byte of the file — other sections, comments, the file's own line ends — stays
// as it was. New files get CRLF line ends so that they stay valid Windows shortcut files.
//
// Windows also writes profile files in UTF-16 (with a byte-order mark) and some editors put a
// UTF-8 byte-order mark before the first section. Such a file is read as UTF-8 text without its
// mark and saved back in its own encoding with its mark, so its keys are found and a change
// adds no second section.
//
// Files are addressed by a folder descriptor and a name (AT_FDCWD and a path for plain
// paths), so a caller that walks a folder tree by descriptors never leaves it.

#include <fcntl.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolva {

class ProfileFile {
public:
    // Size of the Windows caller's value buffer: values come back cut to one byte less.
    static constexpr std::size_t kDefaultBufferSize = 255;
    // No value buffer: values come back whole.
    static constexpr std::size_t kWholeValue = 0;

    ProfileFile() = default;

    // Reads the file name in folder (AT_FDCWD: relative to the working folder). A missing
    // file loads as an empty one and still succeeds; any other failure leaves the object
    // empty and returns false (errno tells why). Symbolic links are not followed.
    bool Load(int folder, const std::string& name);
    bool Load(const std::string& path) { return Load(AT_FDCWD, path); }

    // The value of key in section, without the blanks around it and without one pair of
    // enclosing quotes; fallback when there is none. With a buffer size, the value is cut
    // to bufferSize - 1 bytes as the Windows function cuts it.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = {},
                          std::size_t bufferSize = kDefaultBufferSize) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Sets key in section to value: the key's line is replaced in place, or a line is added
    // at the end of the section, or the section is added at the end of the file. A line
    // break or zero byte in value would start a line of its own (a forged key or section),
    // so each becomes a space.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    // Removes key's line from section, as the Windows function does when given no value.
    // False when there was no such key.
    bool DeleteKey(std::string_view section, std::string_view key);

    bool Changed() const { return changed_; }
    // Whether Load found a file.
    bool Existed() const { return existed_; }
    // The text, as UTF-8 without a byte-order mark when the file had one.
    const std::string& Bytes() const { return bytes_; }

    // Writes the file back if anything changed (creating it if it did not exist). Returns
    // false and keeps errno when the file cannot be written. Symbolic links are not
    // followed: a link planted where the file goes makes the save fail.
    bool Save(int folder, const std::string& name);
    bool Save(const std::string& path) { return Save(AT_FDCWD, path); }

    // Replaces the contents, as if a file holding bytes (without a byte-order mark) had been
    // loaded.
    void Parse(std::string bytes);
    // Takes the contents and encoding of other, to be saved as a new file.
    void CopyContents(const ProfileFile& other);

private:
    struct Line {
        std::size_t start = 0;   // offset in bytes_
        std::size_t length = 0;  // without the line end
        std::size_t endLength = 0;
    };
    struct Location {
        std::size_t section = npos;  // line index of the section header
        std::size_t sectionEnd = 0;  // one past the last line belonging to it
        std::size_t key = npos;      // line index of the key
    };
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    void Split();
    std::string_view LineText(std::size_t index) const {
        return std::string_view(bytes_).substr(lines_[index].start, lines_[index].length);
    }
    Location Find(std::string_view section, std::string_view key) const;
    std::string_view LineEnd() const;
    void Replace(std::size_t offset, std::size_t count, std::string_view text);

    // How the file is stored, behind its byte-order mark.
    enum class Encoding { Plain, Utf8Mark, Utf16LittleEndian, Utf16BigEndian };
    static Encoding Decode(std::string& bytes);
    bool Encode(std::string& bytes) const;

    std::string bytes_;
    Encoding encoding_ = Encoding::Plain;
    std::vector<Line> lines_;
    bool changed_ = false;
    bool existed_ = false;
};

}  // namespace tolva
