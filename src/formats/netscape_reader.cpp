// Reading Netscape bookmark files: a file read whole (a large one in two parts at once), or a
// batch at a time while its copy is written. Each line is taken apart by the line reader
// (formats/netscape_lines.h).

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "formats/file_image.h"
#include "formats/format.h"
#include "formats/netscape.h"
#include "formats/netscape_lines.h"
#include "formats/set_storage.h"
#include "platform/stop_request.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// The later part of a large file, read on a thread of its own into a set of its own while the
// reading thread goes through the earlier part; joined on when that thread gets to where it
// begins. It begins at a line that begins with an item as browsers write them ("<DT><A " or
// "<DT><H3"): such an item ends an open description and closes an empty folder before
// anything else, as Finish does, so reading on from there with nothing open gives what
// reading on to there gives. Were the earlier part to run on into it (a link whose "</A>"
// comes lines later), it is dropped, and the reading thread reads on alone.
class LaterPart {
public:
    // from: where to look for the later part's first line; kChoose to take the middle of what
    // the reading thread has still to read once the file is in place, if that is large.
    static constexpr std::size_t kChoose = std::string_view::npos;

    LaterPart(FileImage& image, std::size_t from, const std::atomic<std::size_t>& readTo)
        : image_(image), from_(from), readTo_(readTo) {}
    ~LaterPart() {
        cancelled_.store(true, std::memory_order_relaxed);
        if (thread_.joinable()) thread_.join();
    }
    LaterPart(const LaterPart&) = delete;
    LaterPart& operator=(const LaterPart&) = delete;

    // False, nothing started, when no thread is to be had.
    bool Start() {
        part_.StartReadingPart();
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Where the part begins in the file, once it is chosen; kNone until then, or when there is
    // none.
    std::size_t Begin() const noexcept { return begin_.load(std::memory_order_acquire); }
    // Waits until the thread has chosen where the part begins, or that there is none.
    void AwaitBegin() const noexcept { decided_.wait(false, std::memory_order_acquire); }

    // Waits for the part to be read and appends it to set, as if set's reader had read on; the
    // count of lines it read goes to status.
    std::size_t JoinInto(UrlSet& set) {
        thread_.join();
        if (failure_) std::rethrow_exception(failure_);
        if (tookHeading_) {
            set.title = part_.title;
            set.heading = part_.heading;
        }
        if (tookDocumentTitle_) set.documentTitle = part_.documentTitle;
        if (set.charset.empty()) set.charset = part_.charset;
        set.linkCount += part_.linkCount;
        set.folderCount += part_.folderCount;
        set.AppendPart(part_);
        return lines_;
    }

    static constexpr std::size_t kNone = std::string_view::npos;

    // Whether bytes still to read are worth a second thread: for a few megabytes, it saves
    // less than it costs to start.
    static bool WorthIt(std::size_t bytes) { return bytes >= 4 * 1024 * 1024; }

private:
    void Run() {
        try {
            bool complete = false;
            std::string_view text = image_.WaitBeyond(0, complete);
            while (!complete) text = image_.WaitBeyond(text.size(), complete);
            std::size_t from = from_;
            if (from == kChoose) {
                const std::size_t readTo = readTo_.load(std::memory_order_relaxed);
                if (readTo >= text.size() || !WorthIt(text.size() - readTo)) {
                    Decide(kNone);
                    return;
                }
                from = readTo + (text.size() - readTo) / 2;
            }
            const std::size_t begin = ItemLineFrom(text, from);
            Decide(begin);
            if (begin == kNone) return;
            LineScanner lines(text.substr(begin));
            NetscapeReader reader(part_, lines);
            for (;;) {
                lines_ += lines.SkipEmptyLines();
                if (cancelled_.load(std::memory_order_relaxed)) break;
                if (!reader.ReadNext()) break;
                ++lines_;
            }
            reader.Finish();
            tookHeading_ = reader.TookHeading();
            tookDocumentTitle_ = reader.TookDocumentTitle();
        } catch (...) {
            failure_ = std::current_exception();
            Decide(kNone);
        }
    }

    void Decide(std::size_t begin) {
        begin_.store(begin, std::memory_order_release);
        decided_.store(true, std::memory_order_release);
        decided_.notify_all();
    }

    // Where, from from on and within kSplitSearch bytes, a line begins with an item as
    // browsers write it; kNone when none does.
    static std::size_t ItemLineFrom(std::string_view text, std::size_t from) {
        const std::size_t last = std::min(text.size(), from + kSplitSearch);
        for (std::size_t at = from; at < last;) {
            const std::size_t lf = text.find('\n', at);
            if (lf == std::string_view::npos || lf >= last) break;
            if (NetscapeReader::BeginsItemLine(text.substr(lf + 1))) return lf + 1;
            at = lf + 1;
        }
        return kNone;
    }

    // How far the later part's first line is looked for.
    static constexpr std::size_t kSplitSearch = 64 * 1024;

    FileImage& image_;
    const std::size_t from_;
    const std::atomic<std::size_t>& readTo_;
    UrlSet part_;
    std::thread thread_;
    std::atomic<std::size_t> begin_{kNone};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> decided_{false};
    // Written by the thread, read once it is joined.
    std::size_t lines_ = 0;
    bool tookHeading_ = false;
    bool tookDocumentTitle_ = false;
    std::exception_ptr failure_;
};

int Read(SetStorage& storage, TextControl* statusText, std::size_t laterFrom, std::size_t* laterBegan = nullptr) {
    UrlSet& set = storage.Set();
    ArrivingBytes bytes(storage);
    if (bytes.Image() == nullptr) return 0;
    LineScanner lines(*bytes.Image());
    NetscapeReader reader(set, lines);
    CounterText status(LoadString(IDS_STATUS_READING_LINE));
    TextControl* const lineStatus =
        statusText != nullptr && !statusText->DropsCounter(IDS_STATUS_READING_LINE) ? statusText : nullptr;
    int result = 0;
    set.heading.clear();
    set.documentTitle.clear();
    set.charset.clear();
    // How far this thread has read, for the later part to begin well beyond.
    std::atomic<std::size_t> readTo{0};
    std::optional<LaterPart> later;
    if (laterFrom != LaterPart::kChoose || LaterPart::WorthIt(bytes.Image()->ExpectedSize())) {
        later.emplace(*bytes.Image(), laterFrom, readTo);
        if (!later->Start()) {
            later.reset();
        } else if (laterFrom != LaterPart::kChoose) {
            later->AwaitBegin();  // where the caller chose: this thread must not pass it first
        }
    }
    bool joined = false;
    for (;;) {
        // An empty line changes nothing but the count; a run of them is passed in one step.
        if (const std::size_t empty = lines.SkipEmptyLines(); empty > 0) {
            result = 1;
            if (lineStatus) lineStatus->SetText(status.Advance(empty));
        }
        if (later) {
            const std::size_t at = lines.Position();
            readTo.store(at, std::memory_order_relaxed);
            if (const std::size_t begin = later->Begin(); at >= begin) {
                if (at == begin) {
                    if (laterBegan) *laterBegan = begin;
                    reader.Finish();
                    const std::size_t read = later->JoinInto(set);
                    if (lineStatus) lineStatus->SetText(status.Advance(read));
                    result = 1;
                    joined = true;
                    break;
                }
                later.reset();  // this thread read on into it
            }
        }
        if (!reader.ReadNext()) break;
        result = 1;
        if (lineStatus) lineStatus->SetText(status.Advance());
    }
    if (!joined) reader.Finish();

    set.SetCursor(nullptr);
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
    return result;
}

// A bookmark file read a batch at a time while a writer walks the set (UrlSet::RefillFrom),
// through a window on the file that each batch is read into again, so that neither the file
// nor its entries ever lie in memory whole. A batch ends before a line that begins with an item
// as browsers write them, as the later part of a large file begins (LaterPart): nothing is open
// there, and no entry still to come borrows text from before it. The first batch, read when
// the stream is opened, runs on to the first link at least, so that a file without one is
// known as such before anything is written.
class NetscapeStream final : public SetStream {
public:
    NetscapeStream(UrlSet& set, std::unique_ptr<File> file, std::size_t batchBytes)
        : set_(set), file_(std::move(file)), batchBytes_(batchBytes) {}

    // Reads the header and the first batch; false when the file cannot be read, or holds not
    // a single line.
    bool Open(TextControl* statusText) {
        // A file that cannot be read is the run's to report, as after ReadNetscape.
        if (!image_.StartWindow(*file_)) return false;
        lines_.emplace(image_);
        reader_.emplace(set_, *lines_);
        set_.heading.clear();
        set_.documentTitle.clear();
        set_.charset.clear();
        set_.StartReading();
        TextControl* const lineStatus =
            statusText != nullptr && !statusText->DropsCounter(IDS_STATUS_READING_LINE) ? statusText : nullptr;
        const int read = ReadBatch(lineStatus);
        // Shown as ReadNetscape shows it, whatever the run then makes of what was read.
        if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
        // A file without a single line is not read at all, as ReadNetscape has it.
        return read >= 0 && !(done_ && lines_->Position() == 0);
    }

    int More(UrlSet& /*set*/) override {
        if (done_) return 0;
        // A stop the person asked for ends the read between two batches; the run says so.
        if (StopRequested()) return -1;
        // The entries of the batch before are gone with the text they borrowed.
        lines_->DropTaken();
        return ReadBatch(nullptr);
    }

    bool AllAppended() const override { return done_; }

private:
    int ReadBatch(TextControl* lineStatus) {
        for (;;) {
            if (const std::size_t empty = lines_->SkipEmptyLines(); empty > 0 && lineStatus)
                lineStatus->SetText(status_.Advance(empty));
            const std::string_view ahead = lines_->Ahead();
            if (EndsBatch(ahead) && set_.linkCount > 0 && NetscapeReader::BeginsItemLine(ahead)) {
                reader_->Finish();  // what the item would do first
                return 1;
            }
            if (!reader_->ReadNext()) break;
            if (lineStatus) lineStatus->SetText(status_.Advance());
        }
        reader_->Finish();
        done_ = true;
        return image_.Finish() ? 0 : -1;
    }

    // Whether a batch may end before the next line, given the bytes in place from there: once
    // the window is nearly gone through, so that little is left to move to its front, or once
    // batchBytes are read.
    bool EndsBatch(std::string_view ahead) const {
        const std::size_t read = lines_->Position();
        return read >= batchBytes_ || (read >= kLeastBatch && ahead.size() < kWindowTail);
    }

    static constexpr std::size_t kLeastBatch = 64 * 1024;
    static constexpr std::size_t kWindowTail = 16 * 1024;

    UrlSet& set_;
    std::unique_ptr<File> file_;
    const std::size_t batchBytes_;
    FileImage image_;
    std::optional<LineScanner> lines_;
    std::optional<NetscapeReader> reader_;
    CounterText status_{LoadString(IDS_STATUS_READING_LINE)};
    bool done_ = false;
};

std::unique_ptr<SetStream> Stream(SetStorage& storage, TextControl* statusText, std::size_t batchBytes) {
    auto stream = std::make_unique<NetscapeStream>(storage.Set(), storage.TakeFile(), batchBytes);
    if (!stream->Open(statusText)) return nullptr;
    return stream;
}

}  // namespace

std::unique_ptr<SetStream> StreamNetscape(SetStorage& storage, TextControl* statusText) {
    // A batch ends where the window is nearly gone through, whatever its size.
    return Stream(storage, statusText, std::numeric_limits<std::size_t>::max());
}

std::unique_ptr<SetStream> StreamNetscapeInBatches(SetStorage& storage, TextControl* statusText,
                                                   std::size_t batchBytes) {
    return Stream(storage, statusText, batchBytes);
}

int ReadNetscape(SetStorage& storage, TextControl* statusText) { return Read(storage, statusText, LaterPart::kChoose); }

int ReadNetscapeInParts(SetStorage& storage, TextControl* statusText, std::size_t laterFrom, std::size_t* laterBegan) {
    *laterBegan = std::string_view::npos;
    return Read(storage, statusText, laterFrom, laterBegan);
}

}  // namespace tolva
