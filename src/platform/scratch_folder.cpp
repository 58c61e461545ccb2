#include "platform/scratch_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/process.h"

namespace tolva {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNamePrefix = "tolva-";
constexpr std::size_t kRandomPart = 6;  // mkdtemp's XXXXXX
constexpr int kSlots = 8;               // scratch folders alive at once
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What a signal handler needs to remove one folder, in memory it may read without locks.
struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> ready{false};
    char folder[PATH_MAX] = {};
    char names[ScratchFolder::kMaxFileNames][NAME_MAX + 1] = {};
    int nameCount = 0;
};
Slot slots[kSlots];

void Remove(const Slot& slot) {
    const int folder = ::open(slot.folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        for (int i = 0; i < slot.nameCount; ++i) ::unlinkat(folder, slot.names[i], 0);
        ::close(folder);
    }
    ::rmdir(slot.folder);
}

void OnStopSignal(int signalNumber) {
    const int saved = errno;
    RemoveScratchFoldersNow();
    errno = saved;
    // The handler was reset to the default on entry (SA_RESETHAND): the signal, raised again,
    // ends the process as it would have without us once the handler returns.
    ::raise(signalNumber);
}

// Takes the stop signals that would otherwise end the process without a word; a program that
// handles them itself ends its run in order, and the folder goes with its ScratchFolder.
void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signalNumber : kStopSignals) {
            struct sigaction current {};
            if (::sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction action {};
            action.sa_handler = OnStopSignal;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND;
            ::sigaction(signalNumber, &action, nullptr);
        }
    });
}

bool AllLower(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < 'a' || c > 'z') return false;
    }
    return true;
}

// The process that made a scratch folder named "tolva-PURPOSE-PID-XXXXXX"; 0 for any other name.
pid_t MakerOf(std::string_view name) {
    if (!name.starts_with(kNamePrefix) || name.size() < kNamePrefix.size() + kRandomPart + 4) return 0;
    name.remove_prefix(kNamePrefix.size());
    const std::size_t purposeEnd = name.find('-');
    const std::size_t pidEnd = name.size() - kRandomPart - 1;
    if (purposeEnd == std::string_view::npos || purposeEnd >= pidEnd || name[pidEnd] != '-') return 0;
    if (!AllLower(name.substr(0, purposeEnd))) return 0;
    const std::string_view digits = name.substr(purposeEnd + 1, pidEnd - purposeEnd - 1);
    if (digits.empty() || digits.size() > 9) return 0;
    pid_t process = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        process = process * 10 + (c - '0');
    }
    return process;
}

}  // namespace

ScratchFolder::ScratchFolder(std::string_view purpose, std::initializer_list<std::string_view> fileNames) {
    RemoveLeftoverScratchFolders();
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (error || !AllLower(purpose) || fileNames.size() > kMaxFileNames) return;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (slots[i].claimed.compare_exchange_strong(expected, true)) {
            slot_ = i;
            break;
        }
    }
    // Without a slot a signal could not remove the copy: make none.
    if (slot_ < 0) return;
    std::string pattern = (temporary / (std::string(kNamePrefix) + std::string(purpose) + "-" +
                                        std::to_string(::getpid()) + "-XXXXXX"))
                              .string();
    Slot& slot = slots[slot_];
    if (pattern.size() >= sizeof slot.folder || ::mkdtemp(pattern.data()) == nullptr) {
        slot.claimed = false;
        slot_ = -1;
        return;
    }
    path_ = pattern;
    std::memcpy(slot.folder, pattern.c_str(), pattern.size() + 1);
    slot.nameCount = 0;
    for (const std::string_view name : fileNames) {
        if (name.size() > NAME_MAX) continue;
        std::memcpy(slot.names[slot.nameCount], name.data(), name.size());
        slot.names[slot.nameCount][name.size()] = '\0';
        ++slot.nameCount;
    }
    InstallHandlers();
    slot.ready = true;
}

ScratchFolder::~ScratchFolder() {
    if (slot_ < 0) return;
    slots[slot_].ready = false;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    slots[slot_].claimed = false;
}

void RemoveScratchFoldersNow() {
    for (Slot& slot : slots) {
        if (slot.ready.exchange(false)) Remove(slot);
    }
}

void RemoveLeftoverScratchFolders() {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    if (error) return;
    DIR* entries = ::opendir(temporary.c_str());
    if (entries == nullptr) return;
    const int listed = ::dirfd(entries);
    while (const dirent* entry = ::readdir(entries)) {
        const pid_t maker = MakerOf(entry->d_name);
        if (maker <= 0 || !ProcessHasEnded(maker)) continue;
        // Only a real folder of this user's: a link or another's folder is not ours to clear.
        struct stat info {};
        if (::fstatat(listed, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid())
            continue;
        fs::remove_all(temporary / entry->d_name, error);
    }
    ::closedir(entries);
}

}  // namespace tolva
