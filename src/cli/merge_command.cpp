#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/terminal.h"
#include "formats/format_table.h"
#include "merge/merge_report.h"
#include "merge/merge_run.h"
#include "platform/stop_request.h"
#include "resources/strings.h"

namespace tolva::cli {

namespace {

constexpr int kExitMerged = 0;
constexpr int kExitFailed = 1;
constexpr int kExitStopped = 4;

struct MergeOptions {
    std::vector<std::string> sources;
    std::string destinationFormat;
    std::string destinationLocation;
    bool destinationFormatGiven = false;
    std::string match = "exact";
    std::string duplicates = "keep";
    std::string report;
    bool fixAmpersands = true;
    bool restoreNames = true;
    bool yes = false;
    bool no = false;
};

// The merge's counts on stdout are grouped by thousands with commas ("4,210 links"), as the
// command has always printed them; the other commands keep plain digits.
std::string GroupedByThousands(long value) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const std::size_t left = digits.size() - i;
        if (i > 0 && left % 3 == 0 && digits[i - 1] != '-') text += ',';
        text += digits[i];
    }
    return text;
}

// A source as given: "netscape:old.htm" names its format before its location; anything else
// (a location that merely holds a colon among them) is a location whose format is guessed.
bool ParseSource(Terminal& terminal, const std::string& given, MergeSource& source) {
    std::string name;
    source.location = given;
    if (const std::size_t colon = given.find(':'); colon != std::string::npos) {
        const UrlSetFormat prefixed = FormatNamed(std::string_view(given).substr(0, colon));
        if (prefixed != UrlSetFormat::None) {
            source.format = prefixed;
            source.location = given.substr(colon + 1);
            return true;
        }
    }
    if (!GuessMissingFormat(terminal, name, source.location, true, "a format before it (FORMAT:" + given + ")"))
        return false;
    source.format = FormatNamed(name);
    return true;
}

int RunMergeCommand(MergeOptions options) {
    Terminal terminal(stdout, stderr, IsTerminal(stdout),
                      {IDS_STATUS_READING_LINE, IDS_STATUS_LOADING_ITEM, IDS_CONVERTING_LINK, IDS_STATUS_SAVING_ITEM});
    AnswerPolicy policy = options.yes ? AnswerPolicy::Yes : options.no ? AnswerPolicy::No : AnswerPolicy::Ask;
    TerminalPrompter prompter(terminal, policy);

    MergeValues values;
    for (const std::string& given : options.sources) {
        MergeSource source;
        if (!ParseSource(terminal, given, source)) return kUsageError;
        values.sources.push_back(source);
    }
    if (!options.destinationFormatGiven &&
        !GuessMissingFormat(terminal, options.destinationFormat, options.destinationLocation, false,
                            "--destination-format"))
        return kUsageError;
    values.destinationFormat = FormatNamed(options.destinationFormat);
    values.destinationLocation = options.destinationLocation;
    if (!options.report.empty() && ReportReplacesSet(options.report, values)) {
        terminal.Note("tolva-cli: the report " + options.report +
                      " would replace a set of the merge; name another file");
        return kUsageError;
    }
    values.match = options.match == "loose" ? MatchRule::Loose : MatchRule::Exact;
    values.duplicates = options.duplicates == "first" ? DuplicatePlaces::First : DuplicatePlaces::Keep;
    values.fixAmpersands = options.fixAmpersands;
    values.restoreNames = options.restoreNames;
    values.listGroups = !options.report.empty();

    TerminalText statusLine(terminal);
    TerminalText progressText(terminal);
    SilentProgressBar progressBar;
    MergeControls controls;
    controls.statusLine = &statusLine;
    controls.progressBar = &progressBar;
    controls.progressText = &progressText;
    controls.prompter = &prompter;
    SetCountWriter(GroupedByThousands);
    // Ctrl+C stops the run at its next safe point; a second one ends it at once.
    StopOnSignals stops;
    const MergeOutcome outcome = RunMerge(values, controls);
    switch (outcome.result) {
        case MergeResult::Merged:
            break;
        case MergeResult::Stopped:
            return kExitStopped;
        default:
            return kExitFailed;
    }
    if (!options.report.empty() && !WriteMergeReport(options.report, values, outcome)) {
        terminal.Note("tolva-cli: the report " + options.report + " could not be written: " + std::strerror(errno));
        return kExitFailed;
    }
    return kExitMerged;
}

}  // namespace

CommandHandler AddMergeCommand(CLI::App& app) {
    auto options = std::make_shared<MergeOptions>();
    CLI::App* command = app.add_subcommand("merge", "Merge URL sets into one, each link once in each folder");
    command
        ->add_option("sources", options->sources,
                     std::string("Sets to merge, in order; each may begin with its format and a colon "
                                 "(netscape:old.htm), else it is guessed from its name or first bytes. "
                                 "Formats: ") +
                         FormatNameList())
        ->required();
    CLI::Option* destinationFormat = command
                                         ->add_option("--destination-format", options->destinationFormat,
                                                      std::string("Format of the merged set: ") + FormatNameList() +
                                                          "; left out, it is guessed from the name")
                                         ->check(CheckFormatName);
    command->add_option("--destination", options->destinationLocation, "File or folder of the merged set")->required();
    command
        ->add_option("--match", options->match,
                     "When two URLs are the same link (match rule 1): exact (scheme and host in any case, default "
                     "port, empty path as /, escapes in any case) or loose (also http as https, www., the fragment, "
                     "a trailing /, utm_*, fbclid and gclid)")
        ->check(CLI::IsMember({"exact", "loose"}));
    command
        ->add_option("--duplicates", options->duplicates,
                     "A link in several folders: keep it in each, or keep only the first (the others are reported)")
        ->check(CLI::IsMember({"keep", "first"}));
    command->add_option("--report", options->report,
                        "Write every duplicate group to this file: JSON when it ends in .json, CSV otherwise");
    AddConversionFlags(*command, options->fixAmpersands, options->restoreNames, options->yes, options->no);
    command->footer(
        "The sources are never changed; the destination may be one of them. Without --yes or --no, questions are "
        "asked at the terminal; without a terminal a question ends the run before anything is changed.\nExit "
        "status: 0 when the sets were merged, 1 when the merge failed (a source that cannot be read: nothing is "
        "written), 2 for a usage error, 4 when stopped (Ctrl+C).");
    return [options, destinationFormat] {
        options->destinationFormatGiven = destinationFormat->count() > 0;
        return RunMergeCommand(*options);
    };
}

}  // namespace tolva::cli
