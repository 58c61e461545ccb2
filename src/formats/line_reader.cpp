#include "formats/line_reader.h"

#include <cstring>

namespace tolva {

namespace {

// Read-ahead block of ReadLine. Large blocks keep a big file to a few system calls.
constexpr std::size_t kReadBlock = 64 * 1024;

}  // namespace

void LineReader::Start() {
    Stop();
    readFailed_ = false;
}

void LineReader::Stop() {
    buffer_.clear();
    bufferPos_ = 0;
    endOfFile_ = false;
}

std::string LineReader::DetectLineTerminator(File* file) {
    std::string examined;
    if (!file || !file->Seek(0)) return {};
    // Usually the first block decides. A file whose first line is longer than a block
    // is read on until a line break shows, so it is not taken for one without any.
    char block[kReadLineLimit];
    for (;;) {
        long got = file->Read(block, sizeof block);
        if (got <= 0) break;
        std::string_view text(block, static_cast<std::size_t>(got));
        std::size_t zero = text.find('\0');
        bool cut = zero != std::string_view::npos;
        if (cut) text = text.substr(0, zero);
        examined.append(text);
        // Only the new block is searched: a first line of many megabytes costs one pass. Each
        // byte is looked for on its own (memchr): find_first_of tries both at every position.
        if (cut || text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos) break;
    }
    // A CR at the end of what was read may be the first half of a CRLF.
    if (!examined.empty() && examined.back() == '\r') {
        char following = 0;
        if (file->Read(&following, 1) == 1 && following == '\n') examined += '\n';
    }
    file->Seek(0);
    if (examined.find("\r\n") != std::string::npos) return "\r\n";
    if (examined.find('\n') != std::string::npos) return "\n";
    if (examined.find('\r') != std::string::npos) return "\r";
    return {};
}

bool LineReader::FillBuffer(File* file) {
    if (!file || endOfFile_ || readFailed_) return false;
    if (bufferPos_ > 0) {
        buffer_.erase(0, bufferPos_);
        bufferPos_ = 0;
    }
    std::size_t had = buffer_.size();
    buffer_.resize(had + kReadBlock);
    long got = file->Read(buffer_.data() + had, kReadBlock);
    buffer_.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got < 0) {
        readFailed_ = true;
        return false;
    }
    if (got == 0) {
        endOfFile_ = true;
        return false;
    }
    return true;
}

int LineReader::ReadLine(File* file, std::string& out, bool* complete) {
    out.clear();
    if (complete) *complete = true;
    // Enough bytes to hold a full piece and the terminator that may follow it.
    while (buffer_.size() - bufferPos_ < kReadLineLimit + 2 && FillBuffer(file)) {
    }
    if (readFailed_) return 0;
    const std::size_t available = buffer_.size() - bufferPos_;
    if (available == 0) return 0;

    const char* bytes = buffer_.data() + bufferPos_;
    const std::size_t limit = available < kReadLineLimit ? available : kReadLineLimit;
    // The line ends at the first CR, LF or zero byte. memchr scans many bytes at a time,
    // which matters for big files; each later search only looks before the end found so far.
    std::size_t n = limit;
    for (char end : {'\n', '\r', '\0'}) {
        if (const void* found = std::memchr(bytes, end, n))
            n = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    }
    out.assign(bytes, n);

    // A line ends at CR, LF or CRLF whatever the file's own terminator, so mixed line ends
    // never leave a CR in a line or cost the next line a byte. A zero byte ends a line too
    // and is skipped, so it can never stall the reader.
    std::size_t consumed = n;
    bool ended = true;
    if (n < available) {
        char c = bytes[n];
        if (c == '\r') {
            consumed += (n + 1 < available && bytes[n + 1] == '\n') ? 2 : 1;
        } else if (c == '\n' || c == '\0') {
            consumed += 1;
        } else {
            ended = false;  // a piece of a line longer than the limit
        }
    }
    bufferPos_ += consumed;
    if (complete) *complete = ended;
    return 1;
}

bool LineReader::TakeRest(File* file, bool mayMap, FileImage& image) {
    if (!file || readFailed_) return false;
    const std::string_view pending = std::string_view(buffer_).substr(bufferPos_);
    // Only a file nothing was read from yet is mapped: the mapping starts at its start.
    const bool mapped = mayMap && pending.empty() && !endOfFile_ && file->Position() == 0 &&
                        image.Map(file->Descriptor(), file->Path());
    const bool loaded = mapped || image.Load(pending, *file);
    buffer_.clear();
    bufferPos_ = 0;
    endOfFile_ = true;
    if (!loaded) {
        readFailed_ = true;
        return false;
    }
    return true;
}

}  // namespace tolva
