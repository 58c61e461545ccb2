#pragma once
// The rest of a file, held in memory for as long as a set's entries borrow text from it.
//
// The bytes are a copy, not a mapping of the file: another program cutting the file short or
// rewriting it meanwhile cannot end the process or change the set's text. The copy goes into
// memory made ready in one step (platform/ready_memory.h): reading a large file into it costs
// less than meeting each fresh page on first use.
//
// A large file can be read on a thread of its own while the caller goes through the bytes
// already in place (StartLoad): reading it and taking it apart then take the time of the
// longer of the two, not of both. A file read a batch at a time can go through a window
// instead (StartWindow): the same few pages, read into again and again, never the whole file.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>
#include <thread>

namespace tolva {

class File;

class FileImage {
public:
    FileImage() = default;
    ~FileImage();
    FileImage(FileImage&& other) noexcept;
    FileImage& operator=(FileImage&& other) noexcept;
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    // Copies prefix (bytes already read ahead) and reads file on to its end. Returns false
    // after a read error.
    bool Load(std::string_view prefix, File& file);

    std::string_view Text() const { return {data_, size_}; }
    // How many bytes the file held when its load began (the bytes of a finished load).
    std::size_t ExpectedSize() const { return expected_; }

    // Starts reading file to its end on another thread and returns at once; false, nothing
    // started, when there is no memory for it. The file must stay open, and untouched, until
    // Finish. A file that grows meanwhile is read on, by as much again as it held (64 MiB at
    // least); one that grows further fails the load.
    bool StartLoad(File& file);
    // Makes the image a window on file, read on the calling thread a step at a time as
    // WaitBeyond asks for more. Its bytes stay where they are until Slide. The file must stay
    // open, and untouched, while the image is read; false, nothing started, when there is no
    // memory for it. A file that grows meanwhile fails as with StartLoad.
    bool StartWindow(File& file);
    // Moves a window's bytes from from on to its front: those before from must no longer be
    // borrowed by anyone.
    void Slide(std::size_t from);

    // Waits until more than have bytes are in place or the load is over, and returns the bytes
    // in place, which never move (but for a window's Slide); complete tells whether more may
    // come. For an image loaded with Load, its whole text at once.
    std::string_view WaitBeyond(std::size_t have, bool& complete);
    // Waits for the end of a load StartLoad began; Text is then what was read. False after a
    // read error or when the file grew past the room kept for it (also for a window).
    bool Finish();

private:
    struct Loader {
        std::atomic<std::size_t> progress{0};  // bytes in place, and whether the load is over
        bool failed = false;                   // written before progress says the load is over
        std::thread thread;
    };

    bool Reserve(std::size_t capacity);
    // Reads a window's next step after its bytes; false once the file has ended or failed.
    bool ReadStep();
    void Release() noexcept;

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t expected_ = 0;
    std::unique_ptr<Loader> loader_;  // while a load runs on another thread
    bool loadFailed_ = false;
    File* window_ = nullptr;   // the file of a window
    bool windowOver_ = false;  // its end is read, or reading it failed
    std::size_t readyTo_ = 0;  // how much of a window's memory has its pages ready
};

}  // namespace tolva
