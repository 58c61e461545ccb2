#pragma once
// A file that fails as a failing or full disk does, and one that reads in small pieces: after a number of good reads, good writes
// or written bytes, every later read fails with EIO and every later write with ENOSPC (or the
// errno given, such as EFBIG for a file-size limit); and one that cannot be created, as in a
// read-only folder. The
// counts live in FileFaults, which every file made from one factory shares, so a test can
// count the writes a save made over all the files it opened.

#include <cerrno>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "platform/file.h"

namespace tolva::testing {

struct FileFaults {
    static constexpr long kNever = std::numeric_limits<long>::max();

    // The most bytes a good read hands out, as a slow disk or a pipe trickles them in.
    std::size_t readPiece = std::numeric_limits<std::size_t>::max();
    // How many reads and writes succeed before the rest fail; 0 fails the first.
    long goodReads = kNever;
    long goodWrites = kNever;
    // How many bytes are accepted: a write that would go past them writes what still fits and
    // then fails, as on a disk that fills up.
    std::size_t goodBytes = std::numeric_limits<std::size_t>::max();
    int writeErrno = ENOSPC;
    // When not 0, creating a file fails with this errno (EROFS: a location that is read-only
    // even to root, who runs the tests here).
    int createErrno = 0;

    // Made so far, failed ones included.
    long reads = 0;
    long writes = 0;
    std::size_t bytesWritten = 0;
};

class FailingFile : public File {
public:
    explicit FailingFile(std::shared_ptr<FileFaults> faults) : faults_(std::move(faults)) {}
    long Read(void* buffer, std::size_t size) override;
    bool Write(const void* data, std::size_t size) override;
    bool CreateNewAt(int folder, const std::string& name, mode_t mode) override;

private:
    std::shared_ptr<FileFaults> faults_;
};

// A file factory (as UrlSet::SetFileFactory and RunTranslation take) making FailingFiles that
// share faults.
std::function<std::unique_ptr<File>()> FailingFiles(const std::shared_ptr<FileFaults>& faults);
// The same with faults of their own, for a test that needs no counts.
std::function<std::unique_ptr<File>()> FailingFiles(const FileFaults& faults);

}  // namespace tolva::testing
