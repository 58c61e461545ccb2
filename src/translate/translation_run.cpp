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
    TranslationResult Failed(int message, int status) const {
        RunMessage(message);
        Status(status);
        return TranslationResult::Failed;
    }
    // A run the person stopped: nothing more is shown but the status line.
    TranslationResult Stopped() const {
        Status(IDS_STATUS_TRANSLATION_STOPPED);
        return TranslationResult::Stopped;
    }
    Prompter& Prompt() const { return controls_.prompter ? *controls_.prompter : SilentPrompter::Instance(); }

    void ShowProgress(bool visible) const {
        if (controls_.progressLabel) controls_.progressLabel->Show(visible);
        if (controls_.progressBar) controls_.progressBar->Show(visible);
        if (controls_.progressText) controls_.progressText->Show(visible);
    }

    void Remember(UrlSetFormat format, LocationBox* box, const std::string& location) const {
        if (controls_.store == nullptr) return;
        MemoryLocationBox scratch;
        RememberLocation(*controls_.store, RecentPage::Translate, format, box ? *box : scratch, location);
    }

private:
    const TranslatePageControls& controls_;
};

// A source read a batch at a time, each batch converted as it arrives.
class ConvertingStream final : public SetStream {
public:
    ConvertingStream(SetStream& source, EntryConverter& converter) : source_(source), converter_(converter) {}
    int More(UrlSet& set) override {
        UrlEntry* last = set.GetCursor();
        const int more = source_.More(set);
        for (UrlEntry* entry = last->next; entry != nullptr; entry = entry->next) converter_.Convert(*entry);
        return more;
    }

private:
    SetStream& source_;
    EntryConverter& converter_;
};

// Whether the source is read while the destination is written, so that it never lies in
// memory whole: a store that can be read a batch at a time, into another format whose writer
// walks the set once.
bool StreamsInto(UrlSetFormat source, UrlSetFormat destination) {
    const FormatCodec* from = CodecFor(source);
    const FormatCodec* to = CodecFor(destination);
    return source != destination && from->stream != nullptr && to->writesInOneWalk;
}

}  // namespace

TranslationResult RunTranslation(const TranslateValues& values, const TranslatePageControls& controls,
                                 const SetStorage::FileFactory& fileFactory) {
    PageView page(controls);

    // The source is checked first: with both sides missing only its message is shown.
    if (IsNoLocation(values.sourceLocation) || !IsKnownFormat(values.sourceFormat)) {
        page.FormMessage(IDS_NO_SOURCE);
        return TranslationResult::Failed;
    }
    if (IsNoLocation(values.destinationLocation) || !IsKnownFormat(values.destinationFormat)) {
        page.FormMessage(IDS_NO_DESTINATION);
        return TranslationResult::Failed;
    }
    // A read-only format as the destination is refused before anything is remembered or read.
    if (!FormatWritesNew(values.destinationFormat)) {
        page.FormMessage(IDS_FORMAT_READ_ONLY);
        return TranslationResult::Failed;
    }

    // Remembered before anything is opened, so the lists are kept even when the run fails.
    page.Remember(values.sourceFormat, controls.sourceBox, values.sourceLocation);
    page.Remember(values.destinationFormat, controls.destinationBox, values.destinationLocation);

    UrlSet set;
    set.SetPrompter(&page.Prompt());
    SetStorage storage(set);
    if (fileFactory) storage.SetFileFactory(fileFactory);
    // The set lives only for this run: its text is borrowed from the source file's pages.
    storage.ReadInPlace(true);

    if (!storage.Open(UrlSetOpenMode::OpenExisting, values.sourceFormat, values.sourceLocation)) {
        page.RunMessage(IDS_MSG_UNABLE_TO_OPEN_SOURCE);
        return TranslationResult::Failed;
    }

    page.Status(IDS_STATUS_NOW_READING);
    // A streamed source is opened here and read while the destination is written; its
    // progress is the writer's.
    std::unique_ptr<SetStream> stream;
    int read = 0;
    if (StreamsInto(values.sourceFormat, values.destinationFormat)) {
        stream = CodecFor(values.sourceFormat)->stream(storage, nullptr);
        read = stream != nullptr;
    } else {
        read = storage.Read(controls.statusLine);
    }
    // The source file is released whether or not it was read, so that the destination may be
    // the same file.
    storage.CloseFile();
    if (StopRequested()) return page.Stopped();
    if (!read) return page.Failed(IDS_MSG_UNABLE_TO_READ_SOURCE, IDS_STATUS_UNABLE_TO_READ);

    // Counted as read: opening the destination starts the set's counters again.
    std::int32_t links = set.linkCount;
    std::int32_t folders = set.folderCount;
    page.Status(IDS_STATUS_NOW_CONVERTING);
    std::optional<EntryConverter> converter;
    int renamed = 0;
    if (stream) {
        converter.emplace(set, values.fixAmpersands, values.restoreNames, values.destinationFormat);
    } else {
        page.ShowProgress(true);
        renamed = ConvertTo(set, values.fixAmpersands, values.restoreNames, values.destinationFormat,
                            values.destinationLocation, controls.progressBar, controls.progressText);
        page.ShowProgress(false);
        page.Status(IDS_STATUS_NOW_CONVERTING);
    }

    if (!OpenDestination(storage, values.destinationFormat, values.destinationLocation)) {
        storage.Close();
        // A question taken back ends the run with nothing written and nothing more shown.
        if (storage.OpenCanceled()) {
            page.Status(IDS_STATUS_TRANSLATION_CANCELED);
            return TranslationResult::Canceled;
        }
        return page.Failed(IDS_MSG_UNABLE_TO_OPEN_DESTINATION, IDS_STATUS_UNABLE_TO_CREATE);
    }

    std::optional<ConvertingStream> converting;
    if (stream) {
        converting.emplace(*stream, *converter);
        storage.Stream(&*converting);
    }
    page.Status(IDS_STATUS_NOW_SAVING);
    int written = storage.Write(controls.statusLine);
    storage.Close();
    if (stream) {
        links = set.linkCount;
        folders = set.folderCount;
        renamed = converter->Renamed();
    }
    // A stop that came while the set was written ends it only where it made the writing fail.
    if ((!written || storage.StreamFailed()) && StopRequested()) return page.Stopped();
    // A source that failed part way has said why; nothing was saved.
    if (storage.StreamFailed()) return page.Failed(IDS_MSG_UNABLE_TO_READ_SOURCE, IDS_STATUS_UNABLE_TO_READ);
    // A writer that could not write has said why; the run must not then claim success.
    if (!written) return page.Failed(IDS_MSG_UNABLE_TO_SAVE_DESTINATION, IDS_STATUS_UNABLE_TO_SAVE);
    // What was done, so a person can tell an empty or half-read source from a full one.
    if (controls.statusLine) {
        controls.statusLine->SetText(
            FormatString(IDS_STATUS_CONVERTED_COUNTS, {LoadString(IDS_STATUS_CONVERTED), links, folders, renamed}));
    }
    if (controls.cancelToClose) controls.cancelToClose();
    return TranslationResult::Converted;
}

}  // namespace tolva
