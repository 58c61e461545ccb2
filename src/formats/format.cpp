#include "formats/format.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/ascii.h"
#include "platform/ready_memory.h"
#include "resources/strings.h"

namespace tolva {

// ---------------------------------------------------------------------------------------
// Titles

namespace {

// How this program has always named a set after its owner.
constexpr std::string_view kOwnerTail = "'s Bookmarks";

}  // namespace

void TakeHeading(UrlSet& set, std::string_view text) {
    if (text.size() > kOwnerTail.size() && text.ends_with(kOwnerTail)) {
        set.title.assign(text.substr(0, text.size() - kOwnerTail.size()));
        set.heading.clear();
    } else {
        set.title.clear();
        set.heading.assign(text);
    }
}

std::string HeadingOf(const UrlSet& set) {
    if (!set.heading.empty()) return set.heading;
    if (!set.title.empty()) return set.title + std::string(kOwnerTail);
    return {};
}

// ---------------------------------------------------------------------------------------
// Marks

namespace {

struct NamedMark {
    FolderMark mark;
    std::string_view name;
};
constexpr NamedMark kMarkNames[] = {
    {FolderMark::Toolbar, "toolbar"},
    {FolderMark::Unfiled, "unfiled"},
    {FolderMark::Mobile, "mobile"},
};

}  // namespace

std::string_view MarkName(FolderMark mark) {
    for (const NamedMark& named : kMarkNames) {
        if (named.mark == mark) return named.name;
    }
    return {};
}

FolderMark MarkNamed(std::string_view name) {
    for (const NamedMark& named : kMarkNames) {
        if (EqualsIgnoringAsciiCase(named.name, name)) return named.mark;
    }
    return FolderMark::None;
}

// ---------------------------------------------------------------------------------------
// Lines

LineScanner::LineScanner(FileImage& arriving) : arriving_(&arriving) { text_ = arriving.WaitBeyond(0, complete_); }

bool LineScanner::Arrive() {
    if (complete_) return false;
    text_ = arriving_->WaitBeyond(text_.size(), complete_);
    return true;
}

bool LineScanner::Next(std::string_view& line) {
    std::size_t size = text_.size();
    std::size_t end = size;
    for (;;) {
        if (pos_ < size) {
            end = FindLineEnd();
            // A line end with all it takes in place (a CR's LF may be still to come).
            if (end + 1 < size || (end + 1 == size && text_[end] != '\r')) break;
        }
        if (!Arrive()) {
            if (pos_ >= size) return false;
            break;
        }
        size = text_.size();
    }
    line = std::string_view(text_.data() + pos_, end - pos_);
    pos_ = end;
    if (end < size) pos_ += (text_[end] == '\r' && end + 1 < size && text_[end + 1] == '\n') ? 2 : 1;
    return true;
}

std::size_t LineScanner::SkipEmptyLines() {
    std::size_t skipped = 0;
    for (;;) {
        const std::size_t size = text_.size();
        if (pos_ < size) {
            const char c = text_[pos_];
            if (c == '\n' || c == '\0') {
                ++pos_;
                ++skipped;
                continue;
            }
            if (c != '\r') break;
            if (pos_ + 1 < size) {
                pos_ += text_[pos_ + 1] == '\n' ? 2 : 1;
                ++skipped;
                continue;
            }
        }
        // At the end of the bytes in place, or at a CR whose LF may be still to come.
        if (Arrive()) continue;
        if (pos_ >= size) break;
        ++pos_;  // a CR that ends the file
        ++skipped;
    }
    return skipped;
}

bool LineScanner::TakeLine(std::size_t length) {
    const std::size_t end = pos_ + length;
    const std::size_t size = text_.size();
    if (end >= size || (text_[end] == '\r' && end + 1 == size)) return false;
    pos_ = end + (text_[end] == '\r' && text_[end + 1] == '\n' ? 2 : 1);
    return true;
}

void LineScanner::DropTaken() {
    if (arriving_ == nullptr || pos_ == 0) return;
    arriving_->Slide(pos_);
    text_ = arriving_->Text();
    searchedTo_ = searchedTo_ > pos_ ? searchedTo_ - pos_ : 0;
    // A line end found before the next line is passed: none is known below searchedTo_ then.
    lineEnd_ = lineEnd_ >= pos_ ? lineEnd_ - pos_ : searchedTo_;
    pos_ = 0;
}

// The first line end at or after the scan position in the bytes in place (their end when
// there is none). No line end stands in [pos_, searchedTo_) but lineEnd_ when it is below
// searchedTo_, so no byte is searched twice.
std::size_t LineScanner::FindLineEnd() {
    if (lineEnd_ >= pos_ && lineEnd_ < searchedTo_) return lineEnd_;
    const std::size_t from = std::max(pos_, searchedTo_);
    lineEnd_ = static_cast<std::size_t>(FirstLineEnd(text_.data() + from, text_.data() + text_.size()) - text_.data());
    searchedTo_ = lineEnd_ < text_.size() ? lineEnd_ + 1 : lineEnd_;
    return lineEnd_;
}

// ---------------------------------------------------------------------------------------
// OutputBuffer

char* OutputBuffer::Take(std::size_t capacity) {
    if (capacity < kHugeFrom) return new char[capacity];
    char* block = TakeReadyMemory(WholeHugePages(capacity));
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void OutputBuffer::Free(char* data, std::size_t capacity) noexcept {
    if (capacity < kHugeFrom) {
        delete[] data;
    } else {
        FreeReadyMemory(data, WholeHugePages(capacity));
    }
}

void OutputBuffer::Grow(std::size_t capacity) {
    char* grown = Take(capacity);
    if (size_ > 0) std::memcpy(grown, data_, size_);
    Free(data_, capacity_);
    data_ = grown;
    capacity_ = capacity;
}

// ---------------------------------------------------------------------------------------
// BlockWriter

BlockWriter::BlockWriter(SetStorage& storage, int firstPartFailure) : set_(storage.Set()), file_(storage.GetFile()) {
    parts_[partCount_++] = {0, firstPartFailure};
    buffer_.reserve(kFirstBuffer);
    // The buffer is filled again and again: meeting its fresh pages one by one on the first
    // round cost more than all the copying into it.
    MakeMoreReady();
}

void BlockWriter::MakeMoreReady() {
    if (buffer_.capacity() < kLargeBuffer && buffer_.size() + kReadyAhead > buffer_.capacity())
        buffer_.reserve(kLargeBuffer);
    if (buffer_.data() != readyData_) {  // it grew into new memory
        readyData_ = buffer_.data();
        readyTo_ = buffer_.InHugePages() ? buffer_.capacity() : 0;
    }
    const std::size_t to = std::min(std::max(readyTo_, buffer_.size()) + kReadyStep, buffer_.capacity());
    if (to <= readyTo_) return;
    MakePagesReady(buffer_.data() + readyTo_, to - readyTo_);
    readyTo_ = to;
}

bool BlockWriter::Begin() {
    if (file_ == nullptr || !file_->IsOpen()) {
        Fail(parts_[0].message, EBADF);
        return false;
    }
    if (!file_->Seek(0) || !file_->Truncate()) {
        Fail(parts_[0].message, file_->LastErrno());
        return false;
    }
    return true;
}

void BlockWriter::BeginPart(int failureMessage) {
    if (partCount_ < kMaxParts) parts_[partCount_++] = {written_ + buffer_.size(), failureMessage};
}

bool BlockWriter::Flush() {
    if (failed_ || buffer_.empty()) return !failed_;
    if (!file_->Write(buffer_.data(), buffer_.size())) {
        // A full disk takes part of a block before it refuses the rest: the part named is the
        // one of the first byte the file did not take.
        const std::int64_t taken = file_->Position();
        Fail(MessageAt(taken > 0 ? static_cast<std::size_t>(taken) : written_), file_->LastErrno());
        return false;
    }
    written_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool BlockWriter::WriteThrough(std::string_view text) {
    if (!Flush()) return false;
    if (!file_->Write(text.data(), text.size())) {
        Fail(MessageAt(written_), file_->LastErrno());
        return false;
    }
    written_ += text.size();
    return true;
}

bool BlockWriter::RewriteStart(std::size_t oldLength, std::string_view start) {
    if (!Flush()) return false;
    std::string rest(written_ - oldLength, '\0');
    std::size_t got = 0;
    bool read = file_->Seek(static_cast<std::int64_t>(oldLength));
    while (read && got < rest.size()) {
        const long step = file_->Read(rest.data() + got, rest.size() - got);
        read = step > 0;
        if (read) got += static_cast<std::size_t>(step);
    }
    if (!read || !file_->Seek(0) || !file_->Write(start.data(), start.size()) ||
        !file_->Write(rest.data(), rest.size()) || !file_->Truncate()) {
        Fail(parts_[0].message, file_->LastErrno() != 0 ? file_->LastErrno() : EIO);
        return false;
    }
    written_ = start.size() + rest.size();
    return true;
}

void BlockWriter::Fail(int failureMessage, int errnoValue) {
    if (failed_) return;
    failed_ = true;
    buffer_.clear();
    set_.ShowRunMessage(FormatString(failureMessage, {errnoValue}));
}

int BlockWriter::MessageAt(std::size_t offset) const {
    int message = parts_[0].message;
    for (int i = 0; i < partCount_; ++i) {
        if (parts_[i].start <= offset) message = parts_[i].message;
    }
    return message;
}

}  // namespace tolva
