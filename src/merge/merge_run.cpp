#include "merge/merge_run.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "formats/format_codec.h"
#include "formats/format_table.h"
#include "platform/ascii.h"
#include "platform/charset.h"
#include "platform/stop_request.h"
#include "resources/strings.h"
#include "translate/convert.h"
#include "translate/destination.h"

namespace tolva {

namespace {

// The controls as the run uses them, with the null checks in one place.
class MergeView {
public:
    explicit MergeView(const MergeControls& controls) : controls_(controls) {}

    void Status(const std::string& text) const {
        if (controls_.statusLine) controls_.statusLine->SetText(text);
    }
    void Status(int id) const { Status(LoadString(id)); }
    Prompter& Prompt() const { return controls_.prompter ? *controls_.prompter : SilentPrompter::Instance(); }
    // Form messages carry the program's full title; messages of the run its short name.
    void FormMessage(const std::string& text) const { Prompt().ShowMessage(text, LoadString(IDS_CAPTION)); }
    void RunMessage(const std::string& text) const { Prompt().ShowMessage(text, LoadString(IDS_MSG_CAPTION_RUN)); }
    void ShowProgress(bool visible) const {
        if (controls_.progressBar) controls_.progressBar->Show(visible);
        if (controls_.progressText) controls_.progressText->Show(visible);
    }
    const MergeControls& Controls() const { return controls_; }

private:
    const MergeControls& controls_;
};

bool IsKnownFormat(UrlSetFormat format) { return CodecFor(format) != nullptr; }

// The form's checks, before anything is read: the sources first, then the destination.
bool CheckValues(const MergeValues& values, const MergeView& view) {
    std::string problem;
    if (values.sources.empty()) problem = LoadString(IDS_MERGE_NO_SOURCES);
    for (const MergeSource& source : values.sources) {
        if (!problem.empty()) break;
        if (source.location.empty()) {
            problem = LoadString(IDS_NO_SOURCE);
        } else if (!IsKnownFormat(source.format)) {
            problem = FormatString(IDS_MERGE_SOURCE_FORMAT_UNKNOWN, {source.location});
        }
    }
    if (problem.empty() && (values.destinationLocation.empty() || !IsKnownFormat(values.destinationFormat))) {
        problem = LoadString(IDS_NO_DESTINATION);
    } else if (problem.empty() && !FormatWritesNew(values.destinationFormat)) {
        problem = LoadString(IDS_FORMAT_READ_ONLY);
    }
    if (!problem.empty()) view.FormMessage(problem);
    return problem.empty();
}

MergeOutcome Ended(MergeResult result, const MergeView& view, int status) {
    view.Status(status);
    MergeOutcome outcome;
    outcome.result = result;
    return outcome;
}

MergeOutcome Stopped(const MergeView& view, UrlSetFormat writing) {
    const FormatCodec* codec = CodecFor(writing);
    const bool part = codec != nullptr && codec->storage == FormatStorage::Folder;
    return Ended(MergeResult::Stopped, view, part ? IDS_MERGE_STOPPED_PART : IDS_MERGE_STOPPED);
}

// Reads one source whole and converts it for the destination. Returns false when it could not
// be read, after saying so and naming it.
bool ReadSource(SetStorage& storage, const MergeSource& source, const MergeValues& values, const MergeView& view,
                int& renamed) {
    if (!storage.Open(UrlSetOpenMode::OpenExisting, source.format, source.location)) {
        view.RunMessage(FormatString(IDS_MERGE_UNABLE_TO_OPEN_SOURCE, {source.location}));
        return false;
    }
    const int read = storage.Read(view.Controls().statusLine);
    // Released at once: the destination may be this very file.
    storage.CloseFile();
    if (!read) {
        if (!StopRequested()) view.RunMessage(FormatString(IDS_MERGE_UNABLE_TO_READ_SOURCE, {source.location}));
        return false;
    }
    view.ShowProgress(true);
    renamed += ConvertTo(storage.Set(), values.fixAmpersands, values.restoreNames, values.destinationFormat,
                         values.destinationLocation, view.Controls().progressBar, view.Controls().progressText);
    view.ShowProgress(false);
    return true;
}

bool IsUtf8Label(std::string_view charset) {
    return EqualsIgnoringAsciiCase(charset, "UTF-8") || EqualsIgnoringAsciiCase(charset, "UTF8");
}

// A set's bookmark-file text, kept in the charset its file named, as UTF-8: one merged file
// can name only one charset, and sources that named different ones all fit in UTF-8.
void RecodeToUtf8(UrlSet& set) {
    const std::string charset = set.charset;
    for (std::string* text : {&set.title, &set.heading, &set.documentTitle}) *text = ToUtf8(*text, charset);
    for (UrlEntry* entry = set.root.next; entry != nullptr; entry = entry->next) {
        for (EntryText* text : {&entry->name, &entry->url, &entry->preservedName, &entry->preservedLocation,
                                &entry->extraAttributes, &entry->description}) {
            if (!text->empty() && !IsAscii(text->view())) *text = ToUtf8(text->view(), charset);
        }
    }
    set.charset = "UTF-8";
}

// Brings sets whose files named different charsets into UTF-8 before any is merged (folders
// meet and links match by their text), where the destination keeps bookmark-file text as its
// charset spells it. Sets of one charset stay as they are.
void MatchCharsets(const std::vector<std::unique_ptr<UrlSet>>& sets) {
    const bool oneCharset = std::all_of(sets.begin(), sets.end(), [&sets](const std::unique_ptr<UrlSet>& set) {
        return EqualsIgnoringAsciiCase(set->charset, sets.front()->charset);
    });
    if (oneCharset) return;
    for (const std::unique_ptr<UrlSet>& set : sets) {
        if (!IsUtf8Label(set->charset)) RecodeToUtf8(*set);
    }
}

}  // namespace

std::string MergeCountsText(const MergeCounts& counts, DuplicatePlaces places) {
    const std::string sets =
        counts.sets == 1 ? LoadString(IDS_MERGE_ONE_SET) : FormatString(IDS_MERGE_SETS, {Count{counts.sets}});
    return FormatString(places == DuplicatePlaces::Keep ? IDS_MERGE_COUNTS_KEEP : IDS_MERGE_COUNTS_FIRST,
                        {sets, Count{counts.links}, Count{counts.folders}, Count{counts.duplicatesMerged},
                         Count{counts.inOtherFolders}});
}

MergeOutcome RunMerge(const MergeValues& values, const MergeControls& controls,
                      const SetStorage::FileFactory& fileFactory) {
    MergeView view(controls);
    if (!CheckValues(values, view)) return {};

    // The first set becomes the result; every later one lends it entries and the text they
    // borrow, so all live until the result is written.
    std::vector<std::unique_ptr<UrlSet>> sets;
    std::unique_ptr<SetStorage> resultStorage;
    int renamed = 0;
    const int count = static_cast<int>(values.sources.size());
    for (int index = 0; index < count; ++index) {
        auto set = std::make_unique<UrlSet>();
        set->SetPrompter(&view.Prompt());
        auto storage = std::make_unique<SetStorage>(*set);
        if (fileFactory) storage->SetFileFactory(fileFactory);
        view.Status(FormatString(IDS_MERGE_NOW_READING, {index + 1, count}));
        const bool read = ReadSource(*storage, values.sources[index], values, view, renamed);
        if (StopRequested()) return Stopped(view, UrlSetFormat::None);
        if (!read) return Ended(MergeResult::Failed, view, IDS_STATUS_UNABLE_TO_READ);
        if (index == 0) resultStorage = std::move(storage);
        sets.push_back(std::move(set));
    }
    if (FormatHoldsHtml(values.destinationFormat)) MatchCharsets(sets);
    SetMerger merger(*sets.front(), values.match, values.duplicates, values.listGroups);
    for (int index = 0; index < count; ++index) {
        view.Status(FormatString(IDS_MERGE_NOW_MERGING, {index + 1, count}));
        merger.Add(*sets[static_cast<std::size_t>(index)], index);
    }
    merger.Finish();

    SetStorage& storage = *resultStorage;
    if (!OpenDestination(storage, values.destinationFormat, values.destinationLocation)) {
        storage.Close();
        if (storage.OpenCanceled()) return Ended(MergeResult::Canceled, view, IDS_MERGE_CANCELED);
        view.RunMessage(LoadString(IDS_MERGE_UNABLE_TO_OPEN_DESTINATION));
        return Ended(MergeResult::Failed, view, IDS_STATUS_UNABLE_TO_CREATE);
    }
    view.Status(IDS_STATUS_NOW_SAVING);
    const int written = storage.Write(controls.statusLine);
    storage.Close();
    if (!written && StopRequested()) return Stopped(view, values.destinationFormat);
    if (!written) {
        view.RunMessage(LoadString(IDS_MERGE_UNABLE_TO_SAVE_DESTINATION));
        return Ended(MergeResult::Failed, view, IDS_STATUS_UNABLE_TO_SAVE);
    }

    MergeOutcome outcome;
    outcome.result = MergeResult::Merged;
    outcome.counts = merger.Counts();
    outcome.namesAdapted = renamed + storage.AdaptedNames();
    outcome.groups = merger.TakeGroups();
    outcome.statusText = MergeCountsText(outcome.counts, values.duplicates);
    view.Status(outcome.statusText);
    return outcome;
}

}  // namespace tolva
