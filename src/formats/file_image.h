#pragma once
// The rest of a file, held in memory for as long as a set's entries borrow text from it.
//
// The bytes are a copy, not a mapping of the file: another program cutting the file short or
// rewriting it meanwhile cannot end the process or change the set's text. The copy goes into
// memory made ready in one step (platform/ready_memory.h): reading a large file into it costs
// less than meeting each fresh page on first use.

#include <cstddef>
#include <string_view>

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

    std::string_view Text() const { return {data_, size_}; }

private:
    bool Reserve(std::size_t capacity);
    void Release() noexcept;

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace tolva
