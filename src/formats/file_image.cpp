#include "formats/file_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/file.h"
#include "platform/ready_memory.h"

namespace tolva {

namespace {

// A file that grows while it is read is read on in steps of at least this much.
constexpr std::size_t kGrowthStep = 64 * 1024;

// Mapped images the bus-error handler looks after. A file cut short after it was mapped
// makes any access to its lost pages raise SIGBUS; the handler maps zeros over them instead
// and marks the image, whose set then refuses to save what it read.
constexpr int kGuardSlots = 64;
struct GuardSlot {
    std::atomic<char*> begin{nullptr};
    std::atomic<std::size_t> length{0};
    std::atomic<bool> hit{false};
};
GuardSlot guardSlots[kGuardSlots];
std::mutex guardSlotsMutex;
struct sigaction previousBusAction {};
std::size_t pageSize = 4096;

void OnBusError(int signalNumber, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : guardSlots) {
        char* const begin = slot.begin.load(std::memory_order_acquire);
        const std::size_t length = slot.length.load(std::memory_order_acquire);
        const auto start = reinterpret_cast<std::uintptr_t>(begin);
        if (begin == nullptr || address < start || address - start >= length) continue;
        // A mapping starts on a page boundary, so the page is found from the offset.
        const std::size_t offset = (address - start) & ~(pageSize - 1);
        void* zeros =
            ::mmap(begin + offset, length - offset, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (zeros != MAP_FAILED) {
            slot.hit.store(true, std::memory_order_release);
            return;  // the access is made again and reads zeros
        }
    }
    // Not a guarded page: what would have happened without this handler.
    if ((previousBusAction.sa_flags & SA_SIGINFO) != 0 && previousBusAction.sa_sigaction != nullptr) {
        previousBusAction.sa_sigaction(signalNumber, info, context);
        return;
    }
    if ((previousBusAction.sa_flags & SA_SIGINFO) == 0 && previousBusAction.sa_handler != SIG_DFL &&
        previousBusAction.sa_handler != SIG_IGN) {
        previousBusAction.sa_handler(signalNumber);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);  // the access is made again and ends the process as usual
}

void InstallBusErrorHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previousBusAction);
    });
}

int Guard(char* begin, std::size_t length) {
    InstallBusErrorHandler();
    std::lock_guard<std::mutex> lock(guardSlotsMutex);
    for (int i = 0; i < kGuardSlots; ++i) {
        GuardSlot& slot = guardSlots[i];
        if (slot.begin.load(std::memory_order_relaxed) != nullptr) continue;
        slot.hit.store(false, std::memory_order_relaxed);
        slot.length.store(length, std::memory_order_release);
        slot.begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}

void Unguard(int index) {
    std::lock_guard<std::mutex> lock(guardSlotsMutex);
    guardSlots[index].begin.store(nullptr, std::memory_order_release);
    guardSlots[index].length.store(0, std::memory_order_release);
}

}  // namespace

bool FileImage::Identity::operator==(const Identity& other) const {
    return size == other.size && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

bool FileImage::IdentityOf(int descriptor, Identity& identity) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) return false;
    identity.size = info.st_size;
    identity.modified = info.st_mtim;
    return true;
}

FileImage::~FileImage() { Release(); }

FileImage::FileImage(FileImage&& other) noexcept { *this = std::move(other); }

FileImage& FileImage::operator=(FileImage&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappingLength_ = std::exchange(other.mappingLength_, 0);
        watch_ = std::move(other.watch_);
        guard_ = std::exchange(other.guard_, -1);
        identity_ = other.identity_;
        path_ = std::move(other.path_);
    }
    return *this;
}

void FileImage::Release() noexcept {
    if (mapping_ != nullptr) {
        if (guard_ >= 0) Unguard(guard_);
        ::munmap(mapping_, mappingLength_);
    } else {
        FreeReadyMemory(data_, capacity_);
    }
    data_ = nullptr;
    mapping_ = nullptr;
    size_ = capacity_ = mappingLength_ = 0;
    watch_.Reset();
    guard_ = -1;
}

bool FileImage::Intact() const {
    if (mapping_ == nullptr) return true;
    if (guard_ < 0 || guardSlots[guard_].hit.load(std::memory_order_acquire)) return false;
    Identity now;
    return IdentityOf(watch_.Get(), now) && now == identity_;
}

bool FileImage::Map(int descriptor, const std::string& path) {
    Release();
    Identity identity;
    if (!IdentityOf(descriptor, identity) || identity.size <= 0) return false;
    const auto length = static_cast<std::size_t>(identity.size);
    void* mapping = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapping == MAP_FAILED) return false;
    Descriptor watch(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0));
    const int guard = watch.Valid() ? Guard(static_cast<char*>(mapping), length) : -1;
    if (guard < 0) {
        ::munmap(mapping, length);
        return false;
    }
    mapping_ = mapping;
    mappingLength_ = length;
    data_ = static_cast<char*>(mapping);
    size_ = capacity_ = length;
    watch_ = std::move(watch);
    guard_ = guard;
    identity_ = identity;
    path_ = path;
    return true;
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
    path_ = file.Path();
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
