#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/terminal.h"
#include "formats/format_table.h"
#include "locations/recent_locations.h"
#include "platform/settings_store.h"
#include "platform/stop_request.h"
#include "resources/strings.h"
#include "translate/translation_run.h"

namespace tolva::cli {

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitStopped = 4;

struct TranslateOptions {
    std::string sourceFormat;
    std::string sourceLocation;
    std::string destinationFormat;
    std::string destinationLocation;
    bool fixAmpersands = true;
    // An option given empty is no format chosen, as on the page; only one left out is guessed.
    bool sourceFormatGiven = false;
    bool destinationFormatGiven = false;
    bool restoreNames = true;
    bool yes = false;
    bool no = false;
};

// One side of the page: its format chosen (which loads the box's recent list) and its
// location typed into the box.
void FillSide(SettingsStore& store, UrlSetFormat format, const std::string& location, LocationBox& box) {
    if (format != UrlSetFormat::None) LoadRecentLocations(store, RecentPage::Translate, format, box);
    box.SetText(location);
}

int RunTranslateCommand(TranslateOptions options) {
    Terminal terminal(stdout, stderr, IsTerminal(stdout),
                      {IDS_STATUS_READING_LINE, IDS_STATUS_LOADING_ITEM, IDS_CONVERTING_LINK, IDS_STATUS_SAVING_ITEM});
    AnswerPolicy policy = options.yes ? AnswerPolicy::Yes : options.no ? AnswerPolicy::No : AnswerPolicy::Ask;
    TerminalPrompter prompter(terminal, policy);
    if ((!options.sourceFormatGiven &&
         !GuessMissingFormat(terminal, options.sourceFormat, options.sourceLocation, true, "--source-format")) ||
        (!options.destinationFormatGiven &&
         !GuessMissingFormat(terminal, options.destinationFormat, options.destinationLocation, false,
                             "--destination-format")))
        return kUsageError;

    SettingsStore& store = SettingsStore::User();
    if (!store.Load()) {
        terminal.Note("tolva-cli: the settings file " + store.Path() +
                      " cannot be read; it is left as it is and recent locations are not stored.");
    }

    TranslateValues values;
    values.sourceFormat = FormatNamed(options.sourceFormat);
    values.sourceLocation = options.sourceLocation;
    values.destinationFormat = FormatNamed(options.destinationFormat);
    values.destinationLocation = options.destinationLocation;
    values.fixAmpersands = options.fixAmpersands;
    values.restoreNames = options.restoreNames;

    MemoryLocationBox sourceBox;
    MemoryLocationBox destinationBox;
    FillSide(store, values.sourceFormat, values.sourceLocation, sourceBox);
    FillSide(store, values.destinationFormat, values.destinationLocation, destinationBox);

    TerminalText statusLine(terminal);
    TerminalText progressText(terminal);
    SilentProgressBar progressBar;
    TranslatePageControls controls;
    controls.statusLine = &statusLine;
    controls.progressBar = &progressBar;
    controls.progressText = &progressText;
    controls.prompter = &prompter;
    controls.sourceBox = &sourceBox;
    controls.destinationBox = &destinationBox;
    controls.store = &store;
    // Ctrl+C stops the run at its next safe point (between two files of a shortcut tree, between
    // two batches of a store), so that what it leaves is whole; a second one ends it at once.
    StopOnSignals stops;
    switch (RunTranslation(values, controls)) {
    case TranslationResult::Converted:
        return kExitConverted;
    case TranslationResult::Stopped:
        return kExitStopped;
    default:
        return kExitFailed;
    }
}

}  // namespace

CommandHandler AddTranslateCommand(CLI::App& app) {
    auto options = std::make_shared<TranslateOptions>();
    CLI::App* command = app.add_subcommand("translate", "Translate a URL set into another format or place");
    CLI::Option* sourceFormat =
        command
            ->add_option("--source-format", options->sourceFormat,
                         std::string("Format of the set to read: ") + FormatNameList() +
                             "; left out, it is guessed from the location's name or first bytes")
            ->check(CheckFormatName);
    command->add_option("--source", options->sourceLocation, "File or folder of the set to read");
    CLI::Option* destinationFormat = command
                                         ->add_option("--destination-format", options->destinationFormat,
                                                      std::string("Format of the new set: ") + FormatNameList() +
                                                          "; left out, it is guessed from the name")
                                         ->check(CheckFormatName);
    command->add_option("--destination", options->destinationLocation, "File or folder of the new set");
    AddConversionFlags(*command, options->fixAmpersands, options->restoreNames, options->yes, options->no);
    command->footer(
        "Without --yes or --no, questions are asked at the terminal; without a terminal a question ends the run "
        "before anything is changed.\nExit status: 0 when the set was converted, 1 when the translation failed, "
        "2 for a usage error, 4 when stopped (Ctrl+C: a shortcut tree then holds the files written before the stop, "
        "each whole; a second Ctrl+C ends it at once).");
    return [options, sourceFormat, destinationFormat] {
        options->sourceFormatGiven = sourceFormat->count() > 0;
        options->destinationFormatGiven = destinationFormat->count() > 0;
        return RunTranslateCommand(*options);
    };
}

}  // namespace tolva::cli
