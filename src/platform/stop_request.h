#pragma once
// A stop the person asked for (Ctrl+C at a terminal, SIGTERM, SIGHUP) that a long step honours
// at its next safe point, so that what it leaves is whole: a tree of files written one file at a
// time stops between two files, a store read in batches between two batches. Steps ask
// StopRequested(); a front end whose run may stop so turns the signals into the request for the
// run's length with StopOnSignals. Without one, the signals end the process as usual.

namespace tolva {

bool StopRequested();

class StopOnSignals {
public:
    // A first SIGINT, SIGTERM or SIGHUP asks for the stop; a second ends the process at once, as
    // the signal would have (its private copies of a browser's store removed first).
    StopOnSignals();
    // The signals' previous actions come back and the request is withdrawn.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
};

}  // namespace tolva
