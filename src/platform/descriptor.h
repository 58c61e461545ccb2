#pragma once
// Owns a POSIX file descriptor: closes it when it goes, so no early return leaks one. Moving
// hands the descriptor over; -1 means none.

#include <unistd.h>

#include <string>
#include <utility>

namespace tolva {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes now, ignoring the result.
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Closes now and reports the result: a delayed write error shows up here (errno tells
    // which). Don't retry close on EINTR: the descriptor is gone either way on Linux.
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// Appends what fd holds from its position to its end to bytes, retrying interrupted reads.
// False with errno set after a read error (bytes then holds what came before it).
bool ReadToEnd(int fd, std::string& bytes);

}  // namespace tolva
