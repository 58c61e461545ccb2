#include "formats/file_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/file.h"
#include "platform/ready_memory.h"

namespace tolva {

namespace {

// A file that grows while it is read is read on in steps of at least this much.
constexpr std::size_t kGrowthStep = 64 * 1024;

}  // namespace

FileImage::~FileImage() { Release(); }

FileImage::FileImage(FileImage&& other) noexcept { *this = std::move(other); }

FileImage& FileImage::operator=(FileImage&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

void FileImage::Release() noexcept {
    FreeReadyMemory(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

bool FileImage::Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    char* data = TakeReadyMemory(capacity);
    if (data == nullptr) return false;
    if (size_ > 0) std::memcpy(data, data_, size_);
    FreeReadyMemory(data_, capacity_);
    data_ = data;
    capacity_ = capacity;
    return true;
}

bool FileImage::Load(std::string_view prefix, File& file) {
    Release();
    // One byte more than the file's size, so that its end is seen without growing.
    if (!Reserve(prefix.size() + file.Remaining() + 1)) return false;
    if (!prefix.empty()) std::memcpy(data_, prefix.data(), prefix.size());
    size_ = prefix.size();
    for (;;) {
        if (size_ == capacity_ && !Reserve(capacity_ + std::max(capacity_ / 2, kGrowthStep))) return false;
        long got = file.Read(data_ + size_, capacity_ - size_);
        if (got < 0) return false;
        if (got == 0) return true;
        size_ += static_cast<std::size_t>(got);
    }
}

}  // namespace tolva
