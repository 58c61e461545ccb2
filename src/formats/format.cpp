#include "formats/format.h"

#include <cerrno>

#include "formats/chromium.h"
#include "formats/firefox.h"
#include "formats/mosaic.h"
#include "formats/netscape.h"
#include "formats/shortcuts.h"
#include "formats/xbel.h"
#include "resources/strings.h"

namespace tolva {

// ---------------------------------------------------------------------------------------
// The table of formats

namespace {

constexpr FormatCodec kCodecs[] = {
    {UrlSetFormat::Mosaic, FormatStorage::File, ReadMosaic, WriteMosaic},
    {UrlSetFormat::Netscape, FormatStorage::File, ReadNetscape, WriteNetscape},
    {UrlSetFormat::Shortcuts, FormatStorage::Folder, ReadShortcuts, WriteShortcuts},
    {UrlSetFormat::Xbel, FormatStorage::File, ReadXbel, WriteXbel},
    {UrlSetFormat::Chromium, FormatStorage::File, ReadChromium, WriteChromium, FormatWriting::NewFileOnly},
    {UrlSetFormat::Firefox, FormatStorage::File, ReadFirefox, nullptr, FormatWriting::Never},
};

}  // namespace

const FormatCodec* CodecFor(UrlSetFormat format) {
    for (const FormatCodec& codec : kCodecs) {
        if (codec.format == format) return &codec;
    }
    return nullptr;
}

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
// BlockWriter

BlockWriter::BlockWriter(UrlSet& set, int firstPartFailure) : set_(set), file_(set.GetFile()) {
    parts_[partCount_++] = {0, firstPartFailure};
    buffer_.reserve(kWriteBlock * 2);
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
        Fail(MessageAt(written_), file_->LastErrno());
        return false;
    }
    written_ += buffer_.size();
    buffer_.clear();
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
