#include "verify/waiter.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tolva {

Waiter::Waiter() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Waiter::~Waiter() {
    if (fd_ >= 0) close(fd_);
}

// The descriptor is signalled after the lock is released and reset before it is taken, so
// the woken thread never blocks on the lock, and every record is followed by a signal that
// comes after it was queued: no wake-up is lost, at worst one is spurious.
void Waiter::Post(RequestRecord record, bool signal) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(record));
    }
    if (signal) Signal();
}

void Waiter::Signal() {
    if (fd_ >= 0) {
        std::uint64_t one = 1;
        // A full counter still leaves the descriptor readable, which is all that matters.
        [[maybe_unused]] ssize_t written = write(fd_, &one, sizeof one);
    }
}

std::deque<RequestRecord> Waiter::Take() {
    if (fd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t got = read(fd_, &count, sizeof count);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<RequestRecord> records;
    records.swap(queue_);
    return records;
}

}  // namespace tolva
