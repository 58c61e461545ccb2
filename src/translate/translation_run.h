#pragma once
// The Translate command: from the five values of the Translate page to the written result.
// The desktop program's Translate page and `tolva-cli translate` both call RunTranslation,
// so a translation behaves the same whichever started it. The run checks the values,
// remembers both locations, reads the source set, converts it for the destination format,
// creates the destination and writes the set there, reporting through the controls it is
// given. It owns its UrlSet for the duration of the call and keeps nothing afterwards.

#include <cstdint>
#include <functional>
#include <string>

#include "formats/set_storage.h"
#include "model/url_set.h"
#include "platform/person.h"
#include "platform/settings_store.h"
#include "locations/recent_locations.h"

namespace tolva {

// What the page holds when Translate is pressed. A format outside the known codes (or
// kFormatNone) counts as no format chosen.
struct TranslateValues {
    UrlSetFormat sourceFormat = UrlSetFormat::None;
    std::string sourceLocation;
    UrlSetFormat destinationFormat = UrlSetFormat::None;
    std::string destinationLocation;
    bool fixAmpersands = true;
    // Entries of a shortcut tree get back the names they had before a translation made them
    // file names (check box 1013).
    bool restoreNames = true;
};

// The person-facing side of the page, as the run drives it. The caller keeps everything alive
// for the duration of the run; any pointer may be null, and then that part is not shown (a
// null prompter answers every question with No; a null store remembers nothing).
struct TranslatePageControls {
    TextControl* statusLine = nullptr;     // the page's status line
    TextControl* progressLabel = nullptr;  // "Progress:", shown only while converting
    ProgressBar* progressBar = nullptr;    // shown only while converting
    TextControl* progressText = nullptr;   // "Converting link %d of %d", shown only while converting
    Prompter* prompter = nullptr;          // messages and questions
    LocationBox* sourceBox = nullptr;      // the source location box and its recent list
    LocationBox* destinationBox = nullptr;
    SettingsStore* store = nullptr;       // where the recent lists are kept
    std::function<void()> cancelToClose;  // after success: the sheet's Cancel becomes Close
};

enum class TranslationResult {
    Converted,
    Failed,
    Canceled,  // the person took back a question about the destination: nothing changed
    Stopped,   // the person asked the run to stop (StopRequested): what was written is whole
};

// Runs one translation. fileFactory, when given, makes the files the run's set opens (tests
// inject faults with it).
TranslationResult RunTranslation(const TranslateValues& values, const TranslatePageControls& controls,
                                 const SetStorage::FileFactory& fileFactory = {});

}  // namespace tolva
