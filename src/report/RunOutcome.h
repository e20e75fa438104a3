#pragma once

#include <QString>

namespace fw {
class Shell;
}

// How one back-end run ended, in the words the user is told. Read from the process runner once its
// run has completed; a clean end (status 0) has nothing to tell.
struct RunOutcome {
    enum Kind { Clean, NotStarted, EndedBySignal, EndedWithStatus, EndUnknown };

    Kind kind = Clean;
    int number = 0; // the signal or the exit status
    QString reason; // why the program could not be started, in the system's words

    static RunOutcome of(const fw::Shell& run);
    // The message for the user; empty for a clean end.
    QString message() const;
};

// Shows the outcome's message in a modal box; shows nothing for a clean end.
void tellRunOutcome(const RunOutcome& outcome);
