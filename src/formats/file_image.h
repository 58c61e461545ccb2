#pragma once
// The rest of a file, held in memory for as long as a set's entries borrow text from it:
// either read into memory of its own (a copy) or mapped straight from the file's pages.
//
// A copy goes into memory made ready in one step (platform/ready_memory.h): reading a large
// file into it costs less than meeting each page of a mapping for the first time. A mapping
// shows whatever happens to the file afterwards: another program cutting it short would end
// the process on the next access, one rewriting it would change the set's text. So a mapped
// image is guarded: bytes cut off read as zeros instead, and Intact() tells whether the file
// is still as it was mapped, so that nothing read from a changed file is saved.

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/descriptor.h"

namespace tolva {

class File;

class FileImage {
public:
    FileImage() = default;
    ~FileImage();
    FileImage(FileImage&& other) noexcept;
    FileImage& operator=(FileImage&& other) noexcept;
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    // Copies prefix (bytes already read ahead) and reads file on to its end. Returns false
    // after a read error.
    bool Load(std::string_view prefix, File& file);
    // Maps the whole of the file open as descriptor (at path, for messages). Returns false,
    // holding nothing, when it cannot be mapped; Load can read it then.
    bool Map(int descriptor, const std::string& path);

    std::string_view Text() const { return {data_, size_}; }
    bool IsMapped() const { return mapping_ != nullptr; }
    const std::string& Path() const { return path_; }
    // False once a mapped file has been cut short or written to since Map.
    bool Intact() const;

private:
    // What changes when the file's content does. Renaming or removing the file (a
    // translation's destination may be its own source, kept as a backup) changes neither.
    struct Identity {
        off_t size = 0;
        timespec modified{};
        bool operator==(const Identity& other) const;
    };
    static bool IdentityOf(int descriptor, Identity& identity);
    bool Reserve(std::size_t capacity);
    void Release() noexcept;

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    // A mapped image: the mapping, a descriptor of the file kept to see whether it changed,
    // and the guard that stands in for pages the file lost.
    void* mapping_ = nullptr;
    std::size_t mappingLength_ = 0;
    Descriptor watch_;
    int guard_ = -1;
    Identity identity_;
    std::string path_;
};

}  // namespace tolva
