#pragma once
// Helpers for the fuzz entry points: inputs live in memory files, so fuzzing never touches
// the disk or the network.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <cstdint>
#include <string>

namespace tolva::fuzz {

// A memory-only file holding the input, reachable by a path that File can open.
class MemoryLocation {
public:
    MemoryLocation(const std::uint8_t* data, std::size_t size) {
        fd_ = ::memfd_create("tolva-fuzz", MFD_CLOEXEC);
        if (fd_ < 0) return;
        std::size_t done = 0;
        while (done < size) {
            ssize_t put = ::write(fd_, data + done, size - done);
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryLocation() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemoryLocation(const MemoryLocation&) = delete;
    MemoryLocation& operator=(const MemoryLocation&) = delete;

    bool Ok() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tolva::fuzz

#include <filesystem>

#include "formats/set_storage.h"
#include "model/url_set.h"

namespace tolva::fuzz {

// A scratch folder for the whole fuzzing process, in memory where the system offers it.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tolva-fuzz-XXXXXX").string();
        return std::filesystem::path(::mkdtemp(pattern.data()) ? pattern : base.string());
    }();
    return folder;
}

// Whether the writer can store entry so that the reader finds the same fields again. The
// Netscape format has no escaping: a quote or '>' inside a value, or "</A>" inside a name,
// shifts what the next read takes apart, so such entries are left out of the fixed-point check.
inline bool StoredFaithfully(UrlSetFormat format, const UrlEntry& entry) {
    if (format != UrlSetFormat::Netscape) return true;
    auto clean = [](std::string_view text) { return text.find_first_of("\">") == std::string_view::npos; };
    return clean(entry.url) && clean(entry.preservedName) && clean(entry.preservedLocation) &&
           clean(entry.extraAttributes) && entry.name.view().find("</A>") == std::string_view::npos;
}

// Reads a set of format from location and writes it as a new file at destination; returns
// the bytes written, or empty text when the set could not be read. faithful tells whether
// every entry can be stored faithfully. Arbitrary bytes may be refused at opening (another
// format's signature shows in them); a file the writer made never may.
inline std::string ReadAndWrite(UrlSetFormat format, const std::string& location, const std::string& destination,
                                bool& faithful, bool arbitrary = false) {
    UrlSet set;
    SetStorage storage{set};
    if (!storage.Open(UrlSetOpenMode::OpenExisting, format, location)) {
        if (arbitrary) return {};
        std::abort();
    }
    if (!storage.Read(nullptr)) return {};
    storage.CloseFile();
    faithful = true;
    for (const UrlEntry* entry = set.root.next; entry; entry = entry->next) {
        faithful = faithful && StoredFaithfully(format, *entry);
    }
    // A hotlist's title line is not consumed by the reader: a title that reads as a keyword
    // line ("Item...", "Subl...", "}") turns into an entry of its own.
    if (format == UrlSetFormat::Mosaic) {
        std::string_view head = TrimLeadingWhite(set.title);
        faithful = faithful && !StartsWith(head, "Item") && !StartsWith(head, "Subl") && !StartsWith(head, "Hotl") &&
                   head != "}";
    }
    std::filesystem::remove(destination);
    if (!storage.Open(UrlSetOpenMode::CreateNew, format, destination)) std::abort();
    if (!storage.Write()) std::abort();
    storage.Close();
    std::ifstream in(destination, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A hotlist's title line is not read back (the "Hotlist" line gives the title), by design.
    if (format == UrlSetFormat::Mosaic) {
        std::size_t second = bytes.find('\n');
        std::size_t third = second == std::string::npos ? second : bytes.find('\n', second + 1);
        if (third != std::string::npos) bytes.erase(second + 1, third - second);
    }
    return bytes;
}

// A first pass may normalise what it read (a title in another wording, names cut at their
// tags). After that a file must be a fixed point: read and written once more it comes back
// byte for byte, so no read-and-write cycle (each verification saves its set) keeps
// changing a file.
inline void CheckStableRoundTrip(UrlSetFormat format, const std::uint8_t* data, std::size_t size) {
    MemoryLocation input(data, size);
    if (!input.Ok()) return;
    const std::string first = (ScratchFolder() / "first").string();
    const std::string second = (ScratchFolder() / "second").string();
    const std::string third = (ScratchFolder() / "third").string();
    bool faithful = true;
    if (ReadAndWrite(format, input.Path(), first, faithful, true).empty()) return;
    std::string twice = ReadAndWrite(format, first, second, faithful);
    if (!faithful) return;
    std::string thrice = ReadAndWrite(format, second, third, faithful);
    if (twice != thrice) std::abort();
}

}  // namespace tolva::fuzz
