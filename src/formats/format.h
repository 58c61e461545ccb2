#pragma once
// What the units of the formats share. Each format is a unit of its own (netscape.h,
// mosaic.h, shortcuts.h) with a reader and a writer that work on a set's storage and on the
// set through its public interface; the rows of the format table (format_table.cpp) make them
// the codecs of the contract in formats/format_codec.h. The file formats write through one
// BlockWriter.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/file_image.h"
#include "formats/format_codec.h"
#include "formats/set_storage.h"
#include "model/url_set.h"
#include "platform/file.h"

namespace tolva {

// A set's title as the file formats show it whole: a heading such as "Ann's Bookmarks" is
// kept as the owner's name (title), any other as it stands (heading).
void TakeHeading(UrlSet& set, std::string_view text);
// The heading to show: the one kept whole, else the owner's "X's Bookmarks", else empty.
std::string HeadingOf(const UrlSet& set);

// A folder's mark by the name the formats without a spelling of their own keep it under
// ("toolbar", "unfiled", "mobile"; empty for none), and back, in any case.
std::string_view MarkName(FolderMark mark);
FolderMark MarkNamed(std::string_view name);

// The first byte that ends a line (LF, CR or a zero byte) in [from, end), or the first byte
// also, whichever comes first; end when there is none. One pass looks for all four: a search
// for each in turn read every byte of a large file again. Inline, as it is called for every
// value of a large file and most are found in the first sixteen bytes.
inline const char* FirstLineEndOr(char also, const char* from, const char* end) {
#if defined(__SSE2__)
    const __m128i other = _mm_set1_epi8(also);
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    for (; end - from >= 16; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, other), _mm_cmpeq_epi8(bytes, lf)),
                                          _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, zero)));
        if (const int mask = _mm_movemask_epi8(hits); mask != 0)
            return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (from < end && *from != also && *from != '\n' && *from != '\r' && *from != '\0') ++from;
    return from;
}
// The first byte that ends a line in [from, end), or end (also being one of them, the compiler
// drops its comparison).
inline const char* FirstLineEnd(const char* from, const char* end) { return FirstLineEndOr('\n', from, end); }

// Hands out the lines of a file read whole (SetStorage::TakeRest), ending each at CR, LF, CRLF
// or a zero byte, however long the line: mixed line ends never leave a CR in a line, and a zero
// byte can never stall a reader. The next place of each of the
// three bytes is kept until the scan passes it, so every byte of the file is searched once for
// each: a file of zero bytes or of CR line ends costs no more than one of long lines.
//
// Over a file image still being loaded (or a window on a file) it hands out each line once all
// of it is in place, waiting for more bytes where it must.
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : text_(text) {}
    explicit LineScanner(FileImage& arriving);

    bool Next(std::string_view& line);
    // Passes over the empty lines that come next and returns how many there were: a damaged
    // file's run of zero bytes is a line each, which the readers need not take one by one.
    std::size_t SkipEmptyLines();
    // Where the next line begins in the bytes.
    std::size_t Position() const { return pos_; }

    // For a reader that finds where a line ends while taking it apart, instead of before: the
    // bytes in place from where the next line begins (more may come), and taking the line that
    // ends after length of them, at a line end (FirstLineEnd) among them. False, nothing
    // taken, where that end may still change: no byte there yet, or a CR whose LF may follow.
    std::string_view Ahead() const { return text_.substr(pos_); }
    bool TakeLine(std::size_t length);

    // Over a window (FileImage::StartWindow): lets go of the bytes before the next line, which
    // no one may borrow any longer, so that the window is read into again from its front.
    void DropTaken();

private:
    std::size_t FindLineEnd();
    // Waits for more bytes of an arriving image; false once no more will come.
    bool Arrive();

    std::string_view text_;
    FileImage* arriving_ = nullptr;
    bool complete_ = true;
    std::size_t pos_ = 0;
    // The line end found last (the end of the bytes searched when none was there), and where
    // searching goes on.
    std::size_t lineEnd_ = 0;
    std::size_t searchedTo_ = 0;
};

// The bytes a BlockWriter holds, appended at their end. Unlike a string it keeps no zero after
// them, and a line put together from parts checks its room once (Extend).
class OutputBuffer {
public:
    OutputBuffer() = default;
    ~OutputBuffer() { Free(data_, capacity_); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return data_; }
    char* data() { return data_; }
    char* begin() { return data_; }
    char* end() { return data_ + size_; }
    operator std::string_view() const { return {data_, size_}; }  // NOLINT(google-explicit-constructor)

    // Whether the buffer lies in huge pages, all made ready when it was taken.
    bool InHugePages() const { return capacity_ >= kHugeFrom; }

    void clear() { size_ = 0; }
    // Makes room for at least capacity bytes in all.
    void reserve(std::size_t capacity) {
        if (capacity > capacity_) Grow(capacity);
    }
    // Room for count more bytes at the end, which the caller fills; returns where they begin.
    char* Extend(std::size_t count) {
        if (capacity_ - size_ < count) Grow(std::max(size_ + count, capacity_ * 2));
        char* at = data_ + size_;
        size_ += count;
        return at;
    }
    void append(std::string_view text) {
        if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
    }
    void append(std::size_t count, char byte) {
        if (count > 0) std::memset(Extend(count), byte, count);
    }
    void push_back(char byte) { *Extend(1) = byte; }
    OutputBuffer& operator+=(std::string_view text) {
        append(text);
        return *this;
    }
    OutputBuffer& operator+=(char byte) {
        push_back(byte);
        return *this;
    }

private:
    // A buffer of a quarter megabyte or more takes whole huge pages, made ready at once; a smaller
    // one comes from the heap. On the machines Tolva is measured on, each 4 KiB page costs
    // microseconds the first time the program touches it, even when made ready beforehand: a
    // half-megabyte buffer in small pages took 0.7 ms to fill once, in a huge page 0.15 ms.
    static constexpr std::size_t kHugeFrom = 256 * 1024;
    static char* Take(std::size_t capacity);
    static void Free(char* data, std::size_t capacity) noexcept;
    void Grow(std::size_t capacity);

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Copies text to at; returns where it ends. For a line put together in room Extend made.
inline char* PutText(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// Keeps a writer's output and hands it to the set's open file in large blocks, so a big set
// costs few system calls. The output is a row of parts (a header, the lines, a footer), each
// with the message a failure in it shows. The first failure is shown once, with the message
// of the part that holds the first byte not written, and ends all writing.
//
// It forces nothing to the disk: a file that replaces another is forced by the storage's atomic
// replace before the rename, and a new file is left to the system as a copy leaves it, which
// keeps a translation near the speed of a copy.
class BlockWriter {
public:
    // Writes to the file storage has open; firstPartFailure is the message of the part that
    // begins the output, and of a file that cannot be written at all.
    BlockWriter(SetStorage& storage, int firstPartFailure);

    // Makes the file ready to be written from its start. The file is rewritten whole: what was
    // there before must not show past the end. False, the failure shown, when the set has no
    // open file or it cannot be emptied.
    bool Begin();

    bool Failed() const { return failed_; }

    // Marks where the next bytes begin, so that a failure names the right part.
    void BeginPart(int failureMessage);

    // Appends text; it goes out in blocks between items (EndItem) and at the end (Flush).
    void Add(std::string_view text) { buffer_.append(text); }
    // The output not written yet, for a writer that puts an item together in place; Mark
    // tells where the item begins.
    OutputBuffer& Pending() { return buffer_; }
    std::size_t Mark() const { return buffer_.size(); }

    // Whether WriteThrough is worth it for a text this long: one of more than a block.
    static bool WritesThrough(std::size_t size) { return size > kWriteBlock; }
    // Writes what is held and then text straight to the file, without copying text into a
    // block; a Mark taken before is void afterwards. Returns whether all of it was written.
    bool WriteThrough(std::string_view text);

    // Called after each item: a full block goes out.
    void EndItem() {
        if (buffer_.size() >= kWriteBlock) {
            Flush();
        } else if (buffer_.size() + kReadyAhead > readyTo_) {
            MakeMoreReady();
        }
    }
    // Everything held goes out now; the writers call it at the end of the set. Returns
    // whether all of the output so far was written.
    bool Flush();

    // Writes everything held, then puts start in place of the first oldLength bytes of the
    // file, moving the rest to follow it: for a header that changed once the file was written
    // (a set read while it was written may give its title late). The rest goes through memory.
    // Returns whether all of the output was written.
    bool RewriteStart(std::size_t oldLength, std::string_view start);

    // Shows failureMessage with errnoValue, unless a failure was shown already, and drops
    // what was not written.
    void Fail(int failureMessage, int errnoValue);

private:
    // Output is collected and written in blocks this large. A megabyte at a time, the system
    // takes a large file's output at less cost than a quarter of one at a time (0.96x the time
    // of a translation); twice a block then fills one huge page.
    static constexpr std::size_t kWriteBlock = 1024 * 1024;
    // The output is held in a small buffer first; one that outgrows it is a large output, and
    // moves into twice a block of huge pages, all made ready at once.
    static constexpr std::size_t kFirstBuffer = 64 * 1024;
    static constexpr std::size_t kLargeBuffer = 2 * kWriteBlock;
    // The small buffer's pages are made ready this far ahead of its end, a step at a time, so
    // that a small set's output makes few of them ready.
    static constexpr std::size_t kReadyAhead = 16 * 1024;
    static constexpr std::size_t kReadyStep = 64 * 1024;
    static constexpr int kMaxParts = 3;  // header, lines, footer

    struct Part {
        std::size_t start = 0;
        int message = 0;
    };

    // The message of the part that holds the byte at offset.
    int MessageAt(std::size_t offset) const;
    // Makes the next step of the buffer's pages ready, or moves a large output into its
    // large buffer.
    void MakeMoreReady();

    UrlSet& set_;
    File* file_;
    OutputBuffer buffer_;
    // How much of the buffer, where it lies now, has its pages ready.
    const char* readyData_ = nullptr;
    std::size_t readyTo_ = 0;
    std::size_t written_ = 0;
    bool failed_ = false;
    Part parts_[kMaxParts];
    int partCount_ = 0;
};

}  // namespace tolva
