#pragma once
// Replaces a file so that a reader, a crash or a full disk finds the old bytes or the new,
// never a mixture: the new bytes go to a temporary file beside the target, which is forced to
// the disk and then renamed over the target; the folder is forced too, so the rename lasts.
// Until Commit succeeds the target is as it was, and a temporary not committed is removed
// when the AtomicReplace goes.
//
// The target is name in the folder of descriptor folder (AT_FDCWD: a path), so a caller that
// walks a tree by descriptors never leaves it. The rename replaces the name itself: a symbolic
// link there is replaced, never written through (resolve it first to write where it points).
// The new file keeps the permission bits of the one it replaces; a file that did not exist
// comes out private (0600).
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
    AtomicReplace(int folder, std::string name);
    ~AtomicReplace();
    AtomicReplace(const AtomicReplace&) = delete;
    AtomicReplace& operator=(const AtomicReplace&) = delete;

    // Creates the temporary file and opens file on it for writing. On failure file tells why.
    bool Open(File& file);
    // Gives the temporary the target's permissions, forces it to the disk and renames it over
    // the target. The file stays open on the new target. False with errno set when the target
    // could not be replaced; the temporary is then removed.
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
    bool haveMode_ = false;
    mode_t mode_ = 0;
};

// Replaces name in folder with bytes as AtomicReplace does (creating it if there is none).
// False with errno set on failure, the file then as it was.
bool ReplaceFile(int folder, const std::string& name, std::string_view bytes);

}  // namespace tolva
