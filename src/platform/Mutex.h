#pragma once

#include <QString>

namespace fw {

// A named lock shared by all processes of the same user (one running copy of the program, say).
// It is an flock() on a lock file in a folder private to the user (mode 0700, owned, not a link): the
// runtime folder ($XDG_RUNTIME_DIR), else <temporary folder>/numbers-as-words-<uid>, else, when that
// name is taken by anything not private, numbers-as-words-<uid> in the user's cache folder. The lock
// is held through an open descriptor: the system releases it when the
// holder ends in any way, even by SIGKILL. The descriptor is close-on-exec, so started programs
// never keep it. Two Mutex objects of the same name exclude each other within one process too.
class Mutex
{
public:
    explicit Mutex(const QString& name);
    ~Mutex(); // leaves
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Takes the lock without waiting; true when this object holds it now (also when it already did).
    bool TryEnter();
    // Releases the lock when this object holds it; does nothing otherwise.
    void Leave();
    bool isHeld() const { return fd_ >= 0; }
    // True when the last TryEnter failed because another holder has the lock (not for other errors).
    bool heldElsewhere() const { return heldElsewhere_; }

    QString lockFilePath() const { return lockFile_; } // "" when no usable folder was found
    QString errorString() const { return error_; }     // why the last TryEnter failed

    // The name as a file name: [A-Za-z0-9._-] kept, anything else replaced, and then a hash of
    // the name added so that different names stay different files.
    static QString fileNameFor(const QString& name);

private:
    QString lockFile_;
    QString error_;
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

} // namespace fw
