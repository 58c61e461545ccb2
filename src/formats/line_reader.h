#pragma once
// Reading the open file of a file-based URL set: line by line for the readers that go line
// by line, or the rest of it at once for a reader that takes the whole file apart itself. The
// set's storage owns the file (it also writes it, and replaces it through a temporary file);
// the line reader keeps what it has read ahead of the lines it delivered, and is handed the
// file on every call.

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/file_image.h"
#include "platform/file.h"

namespace tolva {

// Longest piece ReadLine delivers; longer physical lines arrive in several pieces.
inline constexpr std::size_t kReadLineLimit = 1024;

class LineReader {
public:
    // Forgets what was read ahead, for a file opened anew or closed. Start also forgets an
    // earlier read error; Stop does not, so ReadFailed still tells after the file is closed.
    void Start();
    void Stop();

    // The line terminator the file uses (CRLF, LF or CR; empty when it has none), from its
    // first line break. Leaves the file at its start.
    static std::string DetectLineTerminator(File* file);

    // Reads the next line (without its terminator) into out, in pieces of at most
    // kReadLineLimit bytes. *complete, when given, tells whether the piece ends its physical
    // line. Returns 0 at the end of the file, without a file and after a read error (then
    // ReadFailed() is true).
    int ReadLine(File* file, std::string& out, bool* complete = nullptr);
    // Hands every byte ReadLine has not delivered yet over to image: the file's own pages
    // when mayMap allows and nothing was read from it yet, a copy otherwise. ReadLine is at
    // the end of the file afterwards. Returns false after a read error.
    bool TakeRest(File* file, bool mayMap, FileImage& image);

    bool ReadFailed() const { return readFailed_; }
    void MarkFailed() { readFailed_ = true; }

private:
    bool FillBuffer(File* file);

    // ReadLine reads ahead in large blocks; what it has not delivered yet begins at
    // bufferPos_. Buffering is what keeps reading a large file fast.
    std::string buffer_;
    std::size_t bufferPos_ = 0;
    bool endOfFile_ = false;
    bool readFailed_ = false;
};

}  // namespace tolva
