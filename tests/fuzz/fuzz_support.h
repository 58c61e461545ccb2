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

// Reads a set of format from location and writes it as a new file at destination; returns
// the bytes written, or empty text when the set could not be read.
inline std::string ReadAndWrite(std::int32_t format, const std::string& location, const std::string& destination) {
    UrlSet set;
    if (!set.Open(OpenExisting, format, location)) std::abort();
    if (!set.Read(nullptr)) return {};
    set.CloseFile();
    std::filesystem::remove(destination);
    if (!set.Open(CreateNew, format, destination)) std::abort();
    if (!set.Write()) std::abort();
    set.Close();
    std::ifstream in(destination, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The writer writes names and values as held, without escaping, so a first pass may
// normalise what it read (a quote inside a URL, a title in another wording). After that a
// file must be a fixed point: read and written once more it comes back byte for byte, so no
// read-and-write cycle (each verification saves its set) keeps changing a file.
inline void CheckStableRoundTrip(std::int32_t format, const std::uint8_t* data, std::size_t size) {
    MemoryLocation input(data, size);
    if (!input.Ok()) return;
    const std::string first = (ScratchFolder() / "first").string();
    const std::string second = (ScratchFolder() / "second").string();
    const std::string third = (ScratchFolder() / "third").string();
    if (ReadAndWrite(format, input.Path(), first).empty()) return;
    std::string twice = ReadAndWrite(format, first, second);
    std::string thrice = ReadAndWrite(format, second, third);
    if (twice != thrice) std::abort();
}

}  // namespace tolva::fuzz
