#pragma once

#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/Mutex.h"
#include "platform/Window.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <csignal>
#include <ostream>
#include <utility>
#include <vector>

class RW_reportOutputWindow;

// Readable failure output for texts (and, through gtest's container printing, for lists of texts).
void PrintTo(const QString& text, std::ostream* os);

namespace testsupport {

// A time budget for a speed check, widened for instrumented (sanitizer) builds, which run several
// times slower without being any less linear.
int timeBudgetMs(int ms);

// Processes events until pred() holds or timeoutMs passes; returns pred()'s last value.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

// The record of a plain test window: a title and a size, the rest as windows have it by default.
fw::WindowRecord windowRecord(const QString& title, int width, int height, bool visible = true);

// Lets queued events (deferred deletes included) run once.
void settle();

// Folder of the built executables (the program and its back-end).
QString binDir();

// The lock folders of a test binary: a private folder of the run's own stands for both the user's
// home and the shared temporary folder, so that no test takes or meets the user's real lock. The
// test main puts every fw::Mutex there; a test that moves the folders puts them back here.
fw::Mutex::Places lockPlaces();

// The stand-in for a started program that tells what it found at its start (support/child_probe.cpp).
QString childProbe();

// The descriptors of this process that every program it starts inherits, ascending: 0, 1, 2 and
// those without close-on-exec.
QStringList inheritedDescriptors();

// What the child probe reports of a fresh start: only the standard descriptors (none of
// inheritedDescriptors() beyond them), standard input /dev/null, standard error joined to the output,
// every signal it looks at at its default and unblocked, a process group of its own, and a session of
// its own when detached (else the starter's).
QString freshStartReport(bool detached = false);

// A parent that ignores every signal a program may care about (SIGCHLD only when asked), blocks
// every signal, holds a descriptor open without close-on-exec and gives its standard input from a
// pipe that never ends; all of it is undone when the object goes.
class HostileParent {
public:
    explicit HostileParent(bool ignoreChildEnd);
    ~HostileParent();
    HostileParent(const HostileParent&) = delete;
    HostileParent& operator=(const HostileParent&) = delete;

    // The descriptor held open without close-on-exec; -1 when none could be made.
    int leakedDescriptor() const { return leaked_; }

private:
    static constexpr int ignoredCount = 10;
    static const int ignored_[ignoredCount];
    struct sigaction former_[ignoredCount] {};
    sigset_t formerMask_{};
    int formerStdin_ = -1;
    int stdinPipe_[2] = {-1, -1};
    int leaked_ = -1;
};

// The open windows of class W, in the order they opened.
template <class W>
std::vector<W*> openWindowsOf()
{
    std::vector<W*> found;
    for (fw::Window* window : fw::Window::openWindows()) {
        if (auto* w = dynamic_cast<W*>(window))
            found.push_back(w);
    }
    return found;
}

// The first open window of class W, or nullptr.
template <class W>
W* openWindowOf()
{
    const std::vector<W*> found = openWindowsOf<W>();
    return found.empty() ? nullptr : found.front();
}

// Closes every open window and lets the closed ones go.
void closeAllWindows();

// Writes bytes to path, replacing the file; false when that fails.
bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false);
// Writes an executable sh script: "#!/bin/sh" and then body.
bool writeScript(const QString& path, const QByteArray& body);
// The file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString& path);

// Makes a folder refuse new entries while the files in it stay writable, as a folder the user may not
// write to does: mode 0555 for an ordinary user, the immutable attribute for root, who ignores modes.
// Undone when the lock goes. locked() is false where neither works (a test then has nothing to show).
class FolderLock {
public:
    explicit FolderLock(const QString& path);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return locked_; }

private:
    void undo();

    QString path_;
    bool locked_ = false;
    bool immutable_ = false;
};

// Leftmost and rightmost columns holding anything but the background colour, inside the border of a
// control's picture.
std::pair<int, int> inkColumns(const QImage& image);

// A one-line field as drawn shows its whole text: its first and last characters are in view, and the
// ink inside its frame is as wide as the text in the field's font, so nothing is scrolled out or cut.
testing::AssertionResult showsWhole(fw::EditField& field);

// Makes a file refuse writing while its folder takes new files: mode 0444 for an ordinary user, the
// immutable attribute for root, who ignores modes. Undone when the object goes; made() is false where
// neither works.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool made() const { return made_; }

private:
    QString path_;
    bool made_ = false;
};

// Limits the size of every file this process writes (a full disk in miniature): writes beyond it fail
// instead of raising a signal. The former limit comes back when the object goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long former_[2] = {};
    void (*formerHandler_)(int) = nullptr;
};

// Sets a report window up as a completed run leaves it: both panes hold text, then initialize.
void showReport(RW_reportOutputWindow& window, const QString& text);

// Answers every message box through fw::ModalSeam and keeps what each one showed. A box is answered
// with `reply`, or with its first button while `reply` is empty. The handler goes with the log.
class MessageLog {
public:
    explicit MessageLog(const QString& reply = QString());
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    // The boxes' main texts, in order.
    QStringList messages() const;
    void clear() { shown.clear(); }

    QString reply;
    std::vector<fw::MessageRequest> shown;
};

// True when the process is gone or only waits to be reaped by someone else.
bool processGone(qint64 pid);

} // namespace testsupport
