#include "translate/translation_run.h"

#include <memory>
#include <optional>

#include "formats/format_codec.h"
#include "formats/set_storage.h"
#include "platform/stop_request.h"
#include "resources/strings.h"
#include "translate/convert.h"
#include "translate/destination.h"

namespace tolva {

namespace {

bool IsKnownFormat(UrlSetFormat format) { return CodecFor(format) != nullptr; }

// A location box may still show the hint that no Favorites folder was found: that is no
// location, and is neither opened nor remembered.
bool IsNoLocation(const std::string& location) {
    return location.empty() || location == LoadString(IDS_NO_FAVORITES_FOUND);
}

// The page's controls as the run uses them, with the null checks in one place.
class PageView {
public:
    explicit PageView(const TranslatePageControls& controls) : controls_(controls) {}

    void Status(int id) const {
        if (controls_.statusLine) controls_.statusLine->SetText(LoadString(id));
    }
    // Form messages carry the program's full title; messages of the run its short name.
    void FormMessage(int id) const { Prompt().ShowMessage(LoadString(id), LoadString(IDS_CAPTION)); }
    void RunMessage(int id) const { Prompt().ShowMessage(LoadString(id), LoadString(IDS_MSG_CAPTION_RUN)); }
    // A run that failed at a step: its message, then the status line saying which step.
    TranslationResult Failed(int message, int status) const { return Failed(LoadString(message), status); }
    TranslationResult Failed(const std::string& message, int status) const {
        Prompt().ShowMessage(message, LoadString(IDS_MSG_CAPTION_RUN));
        Status(status);
        return TranslationResult::Failed;
    }
    // A run the person stopped: nothing more is shown but the status line, which says whether
    // a destination written a file at a time (a folder format) holds part of the set.
    TranslationResult Stopped(UrlSetFormat writing) const {
        const FormatCodec* codec = CodecFor(writing);
        const bool part = codec != nullptr && codec->storage == FormatStorage::Folder;
        Status(part ? IDS_STATUS_TRANSLATION_STOPPED_PART : IDS_STATUS_TRANSLATION_STOPPED);
        return TranslationResult::Stopped;
    }
    const TranslatePageControls& Controls() const { return controls_; }
    Prompter& Prompt() const { return controls_.prompter ? *controls_.prompter : SilentPrompter::Instance(); }

    void ShowProgress(bool visible) const {
        if (controls_.progressLabel) controls_.progressLabel->Show(visible);
        if (controls_.progressBar) controls_.progressBar->Show(visible);
        if (controls_.progressText) controls_.progressText->Show(visible);
    }

    void Remember(UrlSetFormat format, LocationBox* box, const std::string& location) const {
        if (controls_.store == nullptr) return;
        MemoryLocationBox scratch;
        NoteLocation(*controls_.store, RecentPage::Translate, format, box ? *box : scratch, location);
    }

    // One save for both sides: a run that leaves the lists as they were writes nothing.
    void SaveRemembered() const {
        if (controls_.store != nullptr) controls_.store->Save();
    }

private:
    const TranslatePageControls& controls_;
};

// What a run reports it did.
struct Counts {
    std::int32_t links = 0;
    std::int32_t folders = 0;
    int renamed = 0;
};

// How the source reaches the destination: read whole and converted before the destination is
// opened, with the conversion's progress shown.
class WholeSource {
public:
    WholeSource(const TranslateValues& values, const PageView& page) : values_(values), page_(page) {}
    virtual ~WholeSource() = default;
    WholeSource(const WholeSource&) = delete;
    WholeSource& operator=(const WholeSource&) = delete;

    // Reads the source, or makes it ready to be read; 0 when it could not be (and said why).
    virtual int Read(SetStorage& storage) { return storage.Read(page_.Controls().statusLine); }
    // Converts what was read for the destination; counted as read, since opening the
    // destination starts the set's counters again.
    virtual void Convert(UrlSet& set) {
        counts_.links = set.linkCount;
        counts_.folders = set.folderCount;
        page_.ShowProgress(true);
        counts_.renamed = ConvertTo(set, values_.fixAmpersands, values_.restoreNames, values_.destinationFormat,
                                    values_.destinationLocation, page_.Controls().progressBar,
                                    page_.Controls().progressText);
        page_.ShowProgress(false);
        page_.Status(IDS_STATUS_NOW_CONVERTING);
    }
    // Called once the destination is open, before the set is written.
    virtual void BeforeWrite(SetStorage& /*storage*/) {}
    virtual Counts Done(const UrlSet& /*set*/) const { return counts_; }
    // Whether what was read holds no link at all; a streamed source is not read yet.
    virtual bool NoLinks(const UrlSet& set) const { return set.linkCount == 0; }

protected:
    const TranslateValues& values_;
    const PageView& page_;
    Counts counts_;
};

// A source read a batch at a time while the destination is written, each batch converted as
// it arrives, so that it never lies in memory whole: a store, whose progress is the writer's,
// or a bookmark file, whose first batch is read (and shown) before the destination is opened.
class StreamedSource final : public WholeSource, private SetStream {
public:
    using WholeSource::WholeSource;

    int Read(SetStorage& storage) override {
        const bool showsReading = values_.sourceFormat == UrlSetFormat::Netscape;
        source_ = CodecFor(values_.sourceFormat)->stream(storage, showsReading ? page_.Controls().statusLine : nullptr);
        // Opening the destination starts the set's counters again: what the stream read as it
        // was opened is counted here.
        counts_.links = storage.Set().linkCount;
        counts_.folders = storage.Set().folderCount;
        return source_ != nullptr;
    }
    void Convert(UrlSet& set) override {
        // Into its own format nothing is converted: the steps shown are those of a whole source.
        if (values_.sourceFormat == values_.destinationFormat) {
            WholeSource::Convert(set);
            return;
        }
        converter_.emplace(set, values_.fixAmpersands, values_.restoreNames, values_.destinationFormat);
        for (UrlEntry* entry = set.root.next; entry != nullptr; entry = entry->next) converter_->Convert(*entry);
    }
    void BeforeWrite(SetStorage& storage) override { storage.Stream(this); }
    Counts Done(const UrlSet& set) const override {
        return {counts_.links + set.linkCount, counts_.folders + set.folderCount,
                converter_ ? converter_->Renamed() : 0};
    }
    // Known only for a stream that has appended all it holds already.
    bool NoLinks(const UrlSet& set) const override { return set.linkCount == 0 && source_->AllAppended(); }

private:
    int More(UrlSet& set) override {
        UrlEntry* last = set.GetCursor();
        const int more = source_->More(set);
        if (converter_) {
            for (UrlEntry* entry = last->next; entry != nullptr; entry = entry->next) converter_->Convert(*entry);
        }
        return more;
    }

    std::unique_ptr<SetStream> source_;
    std::optional<EntryConverter> converter_;
};

// Whether the source is read while the destination is written: a store that can be read a
// batch at a time, into another format whose writer walks the set once; a bookmark file that
// shows its format, into a bookmark file, whose writer writes its header again should the file
// give its title or encoding only after the first batch.
bool StreamsInto(UrlSetFormat source, UrlSetFormat destination, const SetStorage& storage) {
    const FormatCodec* from = CodecFor(source);
    const FormatCodec* to = CodecFor(destination);
    if (from->stream == nullptr || !to->writesInOneWalk) return false;
    if (source == UrlSetFormat::Netscape) return destination == UrlSetFormat::Netscape && storage.ShowsFormat();
    return source != destination;
}

// The form's checks, before anything is remembered or read. The source is checked first: with
// both sides missing only its message is shown.
bool CheckValues(const TranslateValues& values, const PageView& page) {
    int problem = 0;
    if (IsNoLocation(values.sourceLocation) || !IsKnownFormat(values.sourceFormat)) {
        problem = IDS_NO_SOURCE;
    } else if (IsNoLocation(values.destinationLocation) || !IsKnownFormat(values.destinationFormat)) {
        problem = IDS_NO_DESTINATION;
    } else if (!FormatWritesNew(values.destinationFormat)) {
        problem = IDS_FORMAT_READ_ONLY;
    }
    if (problem != 0) page.FormMessage(problem);
    return problem == 0;
}

// Opens the destination and writes the converted set there.
TranslationResult WriteDestination(SetStorage& storage, WholeSource& source, const TranslateValues& values,
                                   const PageView& page) {
    if (!OpenDestination(storage, values.destinationFormat, values.destinationLocation)) {
        storage.Close();
        // A question taken back ends the run with nothing written and nothing more shown.
        if (storage.OpenCanceled()) {
            page.Status(IDS_STATUS_TRANSLATION_CANCELED);
            return TranslationResult::Canceled;
        }
        return page.Failed(IDS_MSG_UNABLE_TO_OPEN_DESTINATION, IDS_STATUS_UNABLE_TO_CREATE);
    }
    source.BeforeWrite(storage);
    page.Status(IDS_STATUS_NOW_SAVING);
    const int written = storage.Write(page.Controls().statusLine);
    storage.Close();
    Counts counts = source.Done(storage.Set());
    // The writer may adapt names too (numbered namesakes, shortened names).
    counts.renamed += storage.AdaptedNames();
    // A stop that came while the set was written ends it only where it made the writing fail.
    if ((!written || storage.StreamFailed()) && StopRequested()) return page.Stopped(values.destinationFormat);
    // A source that failed part way has said why; nothing was saved.
    if (storage.StreamFailed()) return page.Failed(IDS_MSG_UNABLE_TO_READ_SOURCE, IDS_STATUS_UNABLE_TO_READ);
    // A writer that could not write has said why; the run must not then claim success.
    if (!written) return page.Failed(IDS_MSG_UNABLE_TO_SAVE_DESTINATION, IDS_STATUS_UNABLE_TO_SAVE);
    // What was done, so a person can tell an empty or half-read source from a full one.
    if (page.Controls().statusLine) {
        page.Controls().statusLine->SetText(FormatString(
            IDS_STATUS_CONVERTED_COUNTS,
            {LoadString(IDS_STATUS_CONVERTED), Count{counts.links}, Count{counts.folders}, Count{counts.renamed}}));
    }
    if (page.Controls().cancelToClose) page.Controls().cancelToClose();
    return TranslationResult::Converted;
}

}  // namespace

TranslationResult RunTranslation(const TranslateValues& values, const TranslatePageControls& controls,
                                 const SetStorage::FileFactory& fileFactory) {
    PageView page(controls);
    if (!CheckValues(values, page)) return TranslationResult::Failed;
    // Remembered before anything is opened, so the lists are kept even when the run fails.
    page.Remember(values.sourceFormat, controls.sourceBox, values.sourceLocation);
    page.Remember(values.destinationFormat, controls.destinationBox, values.destinationLocation);
    page.SaveRemembered();

    UrlSet set;
    set.SetPrompter(&page.Prompt());
    SetStorage storage(set);
    if (fileFactory) storage.SetFileFactory(fileFactory);
    if (!storage.Open(UrlSetOpenMode::OpenExisting, values.sourceFormat, values.sourceLocation)) {
        page.RunMessage(IDS_MSG_UNABLE_TO_OPEN_SOURCE);
        return TranslationResult::Failed;
    }

    page.Status(IDS_STATUS_NOW_READING);
    std::unique_ptr<WholeSource> source = StreamsInto(values.sourceFormat, values.destinationFormat, storage)
                                              ? std::make_unique<StreamedSource>(values, page)
                                              : std::make_unique<WholeSource>(values, page);
    const int read = source->Read(storage);
    // The source file is released whether or not it was read, so that the destination may be
    // the same file.
    storage.CloseFile();
    if (StopRequested()) return page.Stopped(UrlSetFormat::None);
    if (!read) return page.Failed(IDS_MSG_UNABLE_TO_READ_SOURCE, IDS_STATUS_UNABLE_TO_READ);
    // A source without a single link (an HTML page that is no bookmark file, an empty folder)
    // would be written out as an empty set that looks like a success.
    if (source->NoLinks(set))
        return page.Failed(FormatString(IDS_MSG_NO_LINKS_FOUND, {values.sourceLocation}), IDS_STATUS_UNABLE_TO_READ);

    page.Status(IDS_STATUS_NOW_CONVERTING);
    source->Convert(set);
    return WriteDestination(storage, *source, values, page);
}

}  // namespace tolva
