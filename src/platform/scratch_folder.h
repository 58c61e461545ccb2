#pragma once
// A private temporary folder for a copy of the person's data, such as a browser's store (which
// holds their whole history): the copy must never outlive the run that made it. The folder goes,
// with what is in it, when the ScratchFolder goes; when the process is ended by SIGINT, SIGTERM
// or SIGHUP while it exists (unless the program handles those signals itself and ends its run
// in order); and, after a process was killed outright, when the next program starts or the next
// ScratchFolder is made, which clears those whose process has gone.
//
// Its folder is $TMPDIR/tolva-PURPOSE-PID-XXXXXX, mode 0700. A signal handler may not walk a folder,
// so the files a signal removes are the ones named when the folder is made (the copy, and the
// files a library makes beside it).

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tolva {

class ScratchFolder {
public:
    // purpose: lower-case letters that say what the copy is for. fileNames: every name that may
    // come to lie in the folder (at most kMaxFileNames). Path() is empty when no folder could be
    // made.
    ScratchFolder(std::string_view purpose, std::initializer_list<std::string_view> fileNames);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    static constexpr int kMaxFileNames = 6;

private:
    std::filesystem::path path_;
    int slot_ = -1;  // where the signal handler finds it
};

// Removes every scratch folder of this process at once; safe to call from a signal handler.
void RemoveScratchFoldersNow();

// Removes the scratch folders that processes no longer running left in $TMPDIR (only this
// user's): a killed process cannot clear its own.
void RemoveLeftoverScratchFolders();

}  // namespace tolva
