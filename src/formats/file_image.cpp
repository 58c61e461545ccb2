#include "formats/file_image.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "platform/ready_memory.h"

namespace tolva {

namespace {

// A file that grows while it is read is read on in steps of at least this much.
constexpr std::size_t kGrowthStep = 64 * 1024;
// A load on another thread hands its bytes over in steps this large: the first are there
// soon, and each waiting caller is woken once per step.
constexpr std::size_t kArrivalStep = 1024 * 1024;
constexpr std::size_t kFirstArrivalStep = 64 * 1024;
// Room a load on another thread keeps for a file that grows meanwhile, beyond its own size.
constexpr std::size_t kLeastGrowthRoom = 64 * 1024 * 1024;
// A window is read in steps this large: a batch of a bookmark file and the step after it stay
// in the processor's cache.
constexpr std::size_t kWindowStep = 256 * 1024;
constexpr std::size_t kPage = 4096;
// The top bit of Loader::progress: the load is over.
constexpr std::size_t kLoadOver = ~(~std::size_t{0} >> 1);

}  // namespace

FileImage::~FileImage() { Release(); }

FileImage::FileImage(FileImage&& other) noexcept { *this = std::move(other); }

FileImage& FileImage::operator=(FileImage&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        expected_ = std::exchange(other.expected_, 0);
        loader_ = std::move(other.loader_);
        loadFailed_ = std::exchange(other.loadFailed_, false);
        window_ = std::exchange(other.window_, nullptr);
        windowOver_ = std::exchange(other.windowOver_, false);
        readyTo_ = std::exchange(other.readyTo_, 0);
    }
    return *this;
}

void FileImage::Release() noexcept {
    Finish();
    FreeReadyMemory(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = expected_ = readyTo_ = 0;
    loadFailed_ = windowOver_ = false;
    window_ = nullptr;
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
    expected_ = prefix.size() + file.Remaining();
    if (!Reserve(expected_ + 1)) return false;
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

bool FileImage::StartLoad(File& file) {
    Release();
    const std::size_t expected = file.Remaining();
    expected_ = expected;
    // One byte more than the room, so that a file that fills it is seen to grow past it.
    const std::size_t capacity = expected + std::max(expected, kLeastGrowthRoom) + 1;
    char* data = ReserveMemory(capacity);
    if (data == nullptr) return false;
    data_ = data;
    capacity_ = capacity;
    loader_ = std::make_unique<Loader>();
    Loader* loader = loader_.get();
    auto load = [loader, &file, data, capacity] {
        std::size_t size = 0;
        bool failed = false;
        // Small steps first, so that the caller has bytes to work on soon.
        std::size_t wanted = kFirstArrivalStep;
        for (;;) {
            if (size == capacity) {
                failed = true;  // grew past its room
                break;
            }
            const std::size_t step = std::min(wanted, capacity - size);
            wanted = std::min(wanted * 2, kArrivalStep);
            MakePagesReady(data + size, step);
            const long got = file.Read(data + size, step);
            if (got <= 0) {
                failed = got < 0;
                break;
            }
            size += static_cast<std::size_t>(got);
            loader->progress.store(size, std::memory_order_release);
            loader->progress.notify_all();
        }
        loader->failed = failed;
        loader->progress.store(size | kLoadOver, std::memory_order_release);
        loader->progress.notify_all();
    };
    try {
        loader->thread = std::thread(load);
    } catch (const std::system_error&) {
        // No thread to be had: the file is read here instead.
        return Load({}, file);
    }
    return true;
}

bool FileImage::StartWindow(File& file) {
    Release();
    expected_ = file.Remaining();
    // Room as StartLoad keeps it, of which only what a batch takes is ever used.
    const std::size_t capacity = expected_ + std::max(expected_, kLeastGrowthRoom) + 1;
    data_ = ReserveMemory(capacity);
    if (data_ == nullptr) return false;
    capacity_ = capacity;
    window_ = &file;
    return true;
}

bool FileImage::ReadStep() {
    const std::size_t step = std::min(kWindowStep, capacity_ - size_);
    // Pages are made ready a whole number at a time, each once: after a Slide the window is
    // read into the same ones again.
    const std::size_t ready = std::min((size_ + step + kPage - 1) / kPage * kPage, capacity_);
    if (step == 0 || (ready > readyTo_ && !MakeReservedPagesReady(data_ + readyTo_, ready - readyTo_))) {
        loadFailed_ = windowOver_ = true;  // grew past its room, or no memory for it
        return false;
    }
    readyTo_ = std::max(readyTo_, ready);
    const long got = window_->Read(data_ + size_, step);
    if (got <= 0) {
        loadFailed_ = got < 0;
        windowOver_ = true;
        return false;
    }
    size_ += static_cast<std::size_t>(got);
    return true;
}

void FileImage::Slide(std::size_t from) {
    from = std::min(from, size_);
    if (from == 0) return;
    std::memmove(data_, data_ + from, size_ - from);
    size_ -= from;
}

std::string_view FileImage::WaitBeyond(std::size_t have, bool& complete) {
    if (window_ != nullptr) {
        while (size_ <= have && !windowOver_ && ReadStep()) {
        }
        complete = windowOver_;
        return Text();
    }
    if (!loader_) {
        complete = true;
        return Text();
    }
    std::size_t progress = loader_->progress.load(std::memory_order_acquire);
    while ((progress & ~kLoadOver) <= have && (progress & kLoadOver) == 0) {
        loader_->progress.wait(progress, std::memory_order_acquire);
        progress = loader_->progress.load(std::memory_order_acquire);
    }
    complete = (progress & kLoadOver) != 0;
    return {data_, progress & ~kLoadOver};
}

bool FileImage::Finish() {
    if (loader_) {
        if (loader_->thread.joinable()) loader_->thread.join();
        size_ = loader_->progress.load(std::memory_order_acquire) & ~kLoadOver;
        loadFailed_ = loader_->failed;
        loader_.reset();
    }
    return !loadFailed_;
}

}  // namespace tolva
