#pragma once
// What a verification is asked to do and what it found: the settings a page (or tolva-cli)
// fills once and hands whole to the Verify command, which hands them on to the run and the
// report; how the run ended; and how many links ended which way.

#include <string>
#include <vector>

#include "model/url_set.h"

namespace tolva {

struct VerifySettings {
    UrlSetFormat format = UrlSetFormat::None;
    std::string location;
    bool renameInPlace = false;
    bool interactiveRepair = false;
    int timeoutSeconds = 0;
    int retryCount = 0;
    int jobs = 1;            // links tested at once
    int perHost = 0;         // requests at once to one host; 0: kDefaultPerHost
    bool confirm = false;    // try failing links once more after the pass
    std::string userAgent;   // empty: "Tolva"
    std::string reportPath;  // empty: no report
    bool dryRun = false;     // test and report, but never save the set
    bool keepBackup = true;  // keep the file as it was beside it (NAME.bak) before saving over it
    bool updateMoved = false;  // give links that moved permanently their new URL (moved_link.h)
    bool keepRecords = false;  // keep one record per link without a report (a results window)
    // Ask a web archive for a copy of each dead link (archived_copy.h); archiveUrl empty: the default archive.
    bool suggestArchive = false;
    std::string archiveUrl;

    // Links left out, never asked for (link_selection.h).
    bool onlyUnverified = false;            // test only the links inside "Unverified" or renamed in place
    std::vector<std::string> skipPatterns;  // shell patterns matched against the whole URL
    std::vector<std::string> skipFolders;   // folder paths ("\Work\Old"), with all they hold
};

enum class VerifyResult {
    NotRun = 0,      // the requests could not be set up: no link was tested
    Complete = 1,    // every entry was visited
    Incomplete = 2,  // stopped with OK: partial results are kept
    Canceled = 3,    // stopped with Cancel: results are dropped
};

struct VerifyCounts {
    int tested = 0;        // links asked for (a repaired link once)
    int failedTests = 0;   // requests that failed, a repaired URL's as well
    int failingLinks = 0;  // links whose last test in this run failed (a repaired link that works is not)
    int restored = 0;      // links that worked again: back where they came from, or their name given back
    int repaired = 0;      // links whose repaired URL then worked
    int setAside = 0;      // failing links this run moved into "Unverified" or renamed
    int connectionFailures = 0;  // failed requests that reached no server: host not found, no connection, time-out
    int skipped = 0;       // links not tested: not http, https or ftp, or left out as asked
    int skippedAsAsked = 0;  // of those, the links the person left out
    int updated = 0;       // working links given the URL they moved to permanently
};

}  // namespace tolva
