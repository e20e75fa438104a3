#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace fw {

// A named lock shared by all processes of the same user (one running copy of the program, say),
// whatever their environment: a copy started from a desktop session and one started through su, ssh
// or cron, with different runtime, temporary, cache or home variables, find the same lock.
//
// It is an flock() on a lock file in a folder private to the user (mode 0700, owned, not a link),
// found from the user's identity alone: <home>/.local/state/numbers-as-words, with the home folder
// from the user database (not $HOME); when that is not private or cannot be made (no home, a
// read-only home, something else at that name), /tmp/numbers-as-words-<uid> (not $TMPDIR). Where
// neither is private, no lock is taken (errorString() says why, for each folder: a link, not a
// folder, another user's, open to others). No other user can make either
// folder: a home folder is the user's own, and a name in /tmp that someone else took is passed over.
//
// The lock is held through an open descriptor: the system releases it when the holder ends in any
// way, even by SIGKILL. The descriptor is close-on-exec, so started programs never keep it. Two Mutex
// objects of the same name exclude each other within one process too.
class Mutex
{
public:
    // Where the lock folders are: the user's home folder and the system's shared temporary folder.
    struct Places {
        QByteArray home;       // "" or a relative path: none
        QByteArray sharedTemp; // "/tmp"
    };

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

    // The places in use: the user database's home folder of this user and "/tmp", unless a test
    // put them elsewhere.
    static Places places();
    // The program's private folder in the user's state folder, <home>/.local/state/numbers-as-words of
    // places(), made when missing; "" when it is not private or cannot be made (error then says why).
    // Files kept there stay when the program ends.
    static QByteArray stateFolder(QString* error = nullptr);
    // Test seam: lock folders in other places from the next Mutex on; nullopt restores the real ones.
    static void setPlacesOverride(std::optional<Places> places);

private:
    QString lockFile_;
    QString error_;
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

} // namespace fw
