#pragma once
// A file opened by a URL set: a POSIX descriptor with the few operations the readers and
// writers need. Failures keep both a Windows-style code (the one the program tests is "file
// exists", 80; every other failure is 31) and errno, which messages show as the system error
// code.
// Read, Write and CreateNewAt are virtual so that tests can inject faults.

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/descriptor.h"

namespace tolva {

class File {
public:
    static constexpr int kErrorFileExists = 80;
    static constexpr int kErrorOther = 31;
    // What a new file gets, less the umask, as other programs make files.
    static constexpr mode_t kNewFileMode = 0666;

    File() = default;
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Creates a file that must not exist yet, for reading and writing.
    bool CreateNew(const std::string& path) { return CreateNewAt(AT_FDCWD, path, kNewFileMode); }
    // The same for name in the folder of descriptor folder, with the given permission bits
    // (less the umask).
    virtual bool CreateNewAt(int folder, const std::string& name, mode_t mode);
    // Opens an existing regular file for reading and writing, or for reading only when
    // writing is refused. Anything that is not a regular file (a folder, a FIFO) is refused.
    bool OpenExisting(const std::string& path);
    // Opens an existing regular file for reading only, for a store another program owns.
    bool OpenReadOnly(const std::string& path);

    bool IsOpen() const { return fd_.Valid(); }
    bool IsWritable() const { return writable_; }
    const std::string& Path() const { return path_; }
    int Descriptor() const { return fd_.Get(); }
    std::int64_t Position() const { return position_; }

    // Reads up to size bytes; returns the count (0 at the end of the file) or -1 on an
    // error. An interrupted read is retried.
    virtual long Read(void* buffer, std::size_t size);
    // Writes all of size bytes or fails.
    virtual bool Write(const void* data, std::size_t size);
    bool Seek(std::int64_t offset);
    // Bytes from the current position to the end of the file as it is now (0 when unknown);
    // a hint for sizing a buffer, since the file may still change.
    std::size_t Remaining() const;
    // Cuts the file at the current position.
    bool Truncate();
    // Forces written data to the disk.
    bool Flush();
    // For a file that will be forced to the disk: hands what is written to the disk as it
    // goes, a megabyte at a time, so that the disk works while the rest is put together and
    // Flush waits only for the last of it.
    void WriteBackEarly() { writeBackFrom_ = position_; }
    void Close();

    int LastError() const { return lastError_; }
    int LastErrno() const { return lastErrno_; }

protected:
    void SetFailure(int errnoValue);

private:
    bool OpenPath(int folder, const std::string& path, int flags, mode_t mode);

    // Qualified: inside File, Descriptor names the accessor above.
    tolva::Descriptor fd_;
    bool writable_ = false;
    std::int64_t position_ = 0;
    std::int64_t writeBackFrom_ = -1;  // where the bytes not yet handed to the disk begin; -1: left to the system
    std::string path_;
    int lastError_ = 0;
    int lastErrno_ = 0;
};

}  // namespace tolva
