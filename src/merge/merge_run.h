#pragma once
// The Merge command: URL sets of any readable formats united into one set written in any
// writable format. The desktop program's Merge page and `tolva-cli merge` both call RunMerge,
// so a merge behaves the same whichever started it. The run checks the values, reads every
// source (none is ever changed), converts each for the destination format, merges them
// (merge/set_merger.h) and writes the result, asking before it replaces an existing file as a
// translation does; a source that cannot be read is named and nothing is written. It owns its
// sets for the duration of the call and keeps nothing afterwards.

#include <string>
#include <vector>

#include "formats/set_storage.h"
#include "merge/set_merger.h"
#include "merge/url_match.h"
#include "model/set_kinds.h"
#include "platform/person.h"

namespace tolva {

struct MergeSource {
    UrlSetFormat format = UrlSetFormat::None;
    std::string location;
};

// What the page or the command line holds when Merge is pressed.
struct MergeValues {
    std::vector<MergeSource> sources;  // in the order their folders and links are kept
    UrlSetFormat destinationFormat = UrlSetFormat::None;
    std::string destinationLocation;
    MatchRule match = MatchRule::Exact;
    DuplicatePlaces duplicates = DuplicatePlaces::Keep;
    bool fixAmpersands = true;
    bool restoreNames = true;
    // Whether the outcome lists every duplicate group (for a report or a window); a run that
    // lists none needs no memory for them.
    bool listGroups = true;
};

// The person-facing side, as the run drives it. Any pointer may be null: that part is then not
// shown (a null prompter answers every question with No).
struct MergeControls {
    TextControl* statusLine = nullptr;
    ProgressBar* progressBar = nullptr;   // shown while a source is converted
    TextControl* progressText = nullptr;  // "Converting link %d of %d"
    Prompter* prompter = nullptr;         // messages and questions
};

enum class MergeResult {
    Merged,
    Failed,
    Canceled,  // the person took back a question about the destination: nothing changed
    Stopped,   // the person asked the run to stop (StopRequested): what was written is whole
};

struct MergeOutcome {
    MergeResult result = MergeResult::Failed;
    MergeCounts counts;
    int namesAdapted = 0;
    // Every group of links the match rule took for one, when the values asked for them.
    std::vector<DuplicateGroup> groups;
    // The counts as the status line shows them ("2 sets merged: ..."); empty unless merged.
    std::string statusText;
};

// Runs one merge. fileFactory, when given, makes the files the run's sets open (tests inject
// faults with it).
MergeOutcome RunMerge(const MergeValues& values, const MergeControls& controls,
                      const SetStorage::FileFactory& fileFactory = {});

// The counts as a status line says them, each number written by the front end's count writer.
std::string MergeCountsText(const MergeCounts& counts, DuplicatePlaces places);

}  // namespace tolva
