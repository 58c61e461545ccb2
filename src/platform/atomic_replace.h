#pragma once
// Replaces a file so that a reader, a kill, a crash or a full disk finds the old bytes or the
// new, never a mixture: the new bytes go to a temporary file beside the target, which is
// renamed over the target. Until Commit succeeds the target is as it was, and a temporary not
// committed is removed when the AtomicReplace goes. Where there is an old file to lose, the
// temporary and then the folder are forced to the disk first, so a crash of the machine finds
// one of the two as well; a file that did not exist is left to the system, as a copy leaves it.
//
// Temporaries are named after the target and the process (".NAME.tolva-PID-N"): hidden, and
// never ending as a set's member would. A killed process leaves its temporary behind;
// RemoveLeftoverTemporaries clears those of processes no longer running.
//
// The target is name in the folder of descriptor folder (AT_FDCWD: a path), so a caller that
// walks a tree by descriptors never leaves it. The rename replaces the name itself: a symbolic
// link there is replaced, never written through (resolve it first to write where it points).
// The new file keeps the permission bits of the one it replaces; a file that did not exist
// gets newFileMode less the umask (private unless the caller says otherwise).
//
// The caller owns the File the new bytes are written through, so a test may hand in one that
// fails; AtomicReplace only creates, commits and removes the temporary.

#include <fcntl.h>
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/file.h"

namespace tolva {

class AtomicReplace {
public:
    static constexpr mode_t kPrivateMode = 0600;

    AtomicReplace(int folder, std::string name, mode_t newFileMode = kPrivateMode);
    ~AtomicReplace();
    AtomicReplace(const AtomicReplace&) = delete;
    AtomicReplace& operator=(const AtomicReplace&) = delete;

    // Creates the temporary file and opens file on it for writing. On failure file tells why.
    bool Open(File& file);
    // Gives the temporary the target's permissions, forces it to the disk (when it replaces a
    // file) and renames it over the target. The file stays open on the new target. False with
    // errno set when the target could not be replaced; the temporary is then removed.
    bool Commit();
    // Removes the temporary (if Commit has not put it in place).
    void Abandon();

    // The temporary's name relative to folder, as the target's: empty before Open.
    const std::string& TemporaryName() const { return temporary_; }

private:
    int folder_;
    std::string name_;
    std::string temporary_;
    File* file_ = nullptr;
    bool haveMode_ = false;  // the target existed: there is old content to keep safe
    mode_t mode_ = 0;
    mode_t newFileMode_;
};

// Replaces name in folder with bytes as AtomicReplace does (creating it if there is none).
// False with errno set on failure, the file then as it was. An existing name that is no regular
// file (a device, a pipe; through a symbolic link too) is written in place instead, never
// replaced: /dev/null takes the bytes, /dev/full fails with ENOSPC.
bool ReplaceFile(int folder, const std::string& name, std::string_view bytes,
                 mode_t newFileMode = AtomicReplace::kPrivateMode);

// Removes, from the folder that name lies in (under folder), the temporaries that processes no
// longer running left while replacing name; with an empty name (folder itself then being the
// folder looked through), those left for any file there. A temporary of a running process, or
// of one whose number is now another process's, is left alone.
void RemoveLeftoverTemporaries(int folder, const std::string& name);

// Puts a copy of the file at from (through a symbolic link: of the file it points to) at to,
// replacing what is there in one step; from itself is not touched. Where the file system allows
// it the copy is a second name for the same file, which costs nothing: it is meant for a file
// that is then replaced (not rewritten in place) under its first name. False with errno set
// when no copy could be made, to then as it was.
bool KeepCopy(const std::string& from, const std::string& to);

}  // namespace tolva
