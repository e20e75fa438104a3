#include "platform/OleAutomation.h"

#include "platform/Shell.h"
#include "platform/SystemCalls.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fw {

OLEException::OLEException(const QString& message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

namespace ole {

// One object of the bridged server. Member names are matched without regard to case, as
// automation servers do.
struct Node {
    enum Kind { Application, Documents, Document, Range };
    Kind kind;
    std::weak_ptr<Node> application;
    std::shared_ptr<Node> document; // the document a range belongs to
    QString text;
    bool opened = false;
    std::vector<std::shared_ptr<Node>> documents; // application: every document added
};

} // namespace ole

namespace {

std::optional<QString> overrideProgram;

// Names of the documents folders and of the documents in them; nothing else is ever removed.
constexpr char DocumentsFolderPrefix[] = "numbers-as-words-documents-";

bool is(const QString& name, const char* member)
{
    return name.compare(QLatin1String(member), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void unknownMember(const QString& name)
{
    throw OLEException(QStringLiteral("Unknown name \"%1\"").arg(name));
}

bool isOffice(const QString& program)
{
    const QString base = QFileInfo(program).fileName();
    return base == QLatin1String("libreoffice") || base == QLatin1String("soffice");
}

// True for a word processor that makes a new untitled document of the file it is given: once it has
// read the file, it needs it no more. Any other opens the file itself, as its document.
bool takesCopy(const QString& program)
{
    return isOffice(program) || QFileInfo(program).fileName() == QLatin1String("lowriter");
}

// Where the word processor allows it, the text opens as a new untitled document, so that saving
// asks for a name instead of writing into the documents folder. Without a file (nothing to send) the
// word processor starts on a new empty document.
QStringList argumentsFor(const QString& program, const QString& file)
{
    QStringList arguments;
    if (isOffice(program))
        arguments << QStringLiteral("--writer");
    if (file.isEmpty())
        return arguments;
    if (takesCopy(program))
        arguments << QStringLiteral("-n"); // a template: it opens as a new untitled document
    return arguments << file;
}

// What was seen of one document since it was written: by the watch of its folder, and in the
// word processor's processes.
struct Document {
    QByteArray name;
    struct stat written {}; // the file as it was when written: anything else at its name is not ours
    // The word processor started on it, when that makes a new document of the text (one that opens
    // the file itself keeps it as its document: who reads it is never looked for): the leader of a
    // session of its own, so that the session's processes are the word processor and what it started
    // (no other process can join a session). 0 while there is none.
    pid_t reader = 0;
    bool readerGone = false;  // no process of the reader's session was left at a look
    bool readerHeld = false;  // a process of the reader's session was seen holding the file
    bool mayGo = false;       // at the end: read, as written, and held by no process
    int opens = 0;         // by other programs (opens at the same moment may count once)
    int closes = 0;
    bool accessed = false; // something was read
    bool doubt = false;    // something was missed or not as a reader does it: the document stays
    qint64 lastSeen = 0;   // when its last event was taken in, as now() tells it
};

// A folder this process made for its documents, held open: the documents are written, and at the end
// removed, through this descriptor, so that nothing is followed to wherever the folder's path leads
// by then (in a temporary folder others can write, someone may rename the folder and put a link in
// its place).
struct DocumentsFolder {
    QByteArray path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    int watch = -1; // its inotify watch; -1 when there is none (then nothing in it counts as read)
    std::vector<Document> documents;
    QHash<QByteArray, std::size_t> byName; // index into documents
};

// The folder new documents go to (fd -1 until the first document and after removal), and the
// folders of this run that were given up because they were no longer private at their path.
DocumentsFolder currentFolder;
std::vector<DocumentsFolder> formerFolders;

std::optional<int> settleOverride;
std::optional<QStringList> placesOverride;
std::optional<qint64> sweepClockAheadOverride;

// The watch of the documents folders: one inotify instance for all of them. Its events are taken in
// as they come while the event loop runs (so that each is timed no earlier than it happened), and
// once more before a decision. An open or a read of a document whose reader was not seen yet has the
// reader's processes looked through (at most once per ReaderLookIntervalMs): the watch tells that
// someone opened or read the file, never who.
int inotifyFd = -1;
QSocketNotifier* inotifyNotifier = nullptr;
QTimer* readerLookTimer = nullptr; // a look put off to keep to the interval
QElapsedTimer lastReaderLook;

constexpr int ReaderLookIntervalMs = 50;
// The longest a look through the processes may take, while the program runs and at its end; past it,
// what was not looked at is unknown (at the end: every document stays).
constexpr int ReaderLookMs = 200;
constexpr int EndLookMs = 500;

qint64 now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

template <class F>
void forEachFolder(F&& f)
{
    for (DocumentsFolder& folder : formerFolders)
        f(folder);
    if (currentFolder.fd >= 0)
        f(currentFolder);
}

// The names in the folder open at fd, read through a descriptor of their own.
std::vector<QByteArray> namesIn(int fd)
{
    std::vector<QByteArray> names;
    const int listFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

// A file looked for in the processes: a document, by its identity and its name in its folder.
struct Target {
    dev_t device;
    ino_t inode;
    QByteArray name;
};

Target targetOf(const Document& document)
{
    return {document.written.st_dev, document.written.st_ino, document.name};
}

// What one look through the processes found.
struct ProcessLook {
    bool complete = true;                             // every process there was looked at
    std::vector<pid_t> sessionsSeen;                  // of the sessions asked for, each that has a process
    std::vector<std::pair<pid_t, std::size_t>> holds; // a holder's session (-1: not asked) and the target's index
};

// The whole of a file under /proc (opened relative to dirFd); empty when it cannot be read.
QByteArray readProcFile(int dirFd, const char* name)
{
    QByteArray bytes;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, got);
    }
    ::close(fd);
    return bytes;
}

// The session of a process from its /proc/<pid>/stat; -1 when it does not tell.
pid_t sessionIn(const QByteArray& stat)
{
    // "pid (name) state parent group session ...": the name may hold anything, up to the last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 1, 64).trimmed().split(' ');
    bool ok = false;
    const pid_t session = fields.size() > 3 ? pid_t(fields[3].toLong(&ok)) : -1;
    return ok ? session : -1;
}

// Where the targets are found by the name a holder's path ends in, and by inode number.
struct TargetIndex {
    QMultiHash<QByteArray, std::size_t> byName;
    QMultiHash<quint64, std::size_t> byInode;
};

// Calls found(index) for each target that the process whose /proc folder is open at pidFd has open.
// Only a descriptor whose path ends in a target's name is looked at further (by its file's identity),
// so that no other file is ever reached (one on a file system that does not answer, say).
template <class F>
void findInDescriptors(int pidFd, const std::vector<Target>& targets, const TargetIndex& index, F&& found)
{
    const int fdDir = ::openat(pidFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0)
        return; // another user's process, or gone
    for (const QByteArray& entry : namesIn(fdDir)) {
        char link[4096 + 64];
        const ssize_t length = ::readlinkat(fdDir, entry.constData(), link, sizeof link);
        if (length <= 0 || std::size_t(length) == sizeof link)
            continue;
        QByteArrayView path(link, length);
        if (path.endsWith(" (deleted)"))
            path.chop(10);
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            continue; // a pipe, a socket...
        const auto [first, last] = index.byName.equal_range(path.sliced(slash + 1).toByteArray());
        struct stat info {};
        if (first == last || ::fstatat(fdDir, entry.constData(), &info, 0) != 0)
            continue;
        for (auto it = first; it != last; ++it) {
            if (info.st_dev == targets[*it].device && info.st_ino == targets[*it].inode)
                found(*it);
        }
    }
    ::close(fdDir);
}

// Calls found(index) for each target that the process whose /proc folder is open at pidFd has mapped.
// A mapping names the file's device and inode, though on some file systems (stacked ones, subvolumes)
// another device than the file's own: then the inode and the name must agree.
template <class F>
void findInMappings(int pidFd, const std::vector<Target>& targets, const TargetIndex& index, F&& found)
{
    const QByteArray maps = readProcFile(pidFd, "maps");
    // Each line: "start-end perms offset major:minor inode", then the path after spaces (it may
    // hold spaces itself).
    const auto field = [](QByteArrayView& rest) {
        while (rest.startsWith(' '))
            rest = rest.sliced(1);
        qsizetype length = rest.indexOf(' ');
        if (length < 0)
            length = rest.size();
        const QByteArrayView taken = rest.first(length);
        rest = rest.sliced(length);
        return taken;
    };
    for (qsizetype start = 0; start < maps.size();) {
        qsizetype end = maps.indexOf('\n', start);
        if (end < 0)
            end = maps.size();
        QByteArrayView rest = QByteArrayView(maps).sliced(start, end - start);
        start = end + 1;
        field(rest);
        field(rest);
        field(rest);
        const QByteArrayView device = field(rest);
        bool ok = false;
        const quint64 inode = field(rest).toULongLong(&ok);
        if (!ok || inode == 0 || !index.byInode.contains(inode))
            continue;
        const qsizetype colon = device.indexOf(':');
        const unsigned deviceMajor = colon > 0 ? device.first(colon).toUInt(nullptr, 16) : ~0u;
        const unsigned deviceMinor = colon > 0 ? device.sliced(colon + 1).toUInt(nullptr, 16) : ~0u;
        QByteArrayView path = rest.trimmed();
        if (path.endsWith(" (deleted)"))
            path.chop(10);
        for (auto it = index.byInode.constFind(inode); it != index.byInode.cend() && it.key() == inode; ++it) {
            const Target& target = targets[*it];
            if ((deviceMajor == major(target.device) && deviceMinor == minor(target.device))
                || path.endsWith('/' + target.name))
                found(*it);
        }
    }
}

// Looks through the processes for those that hold a target (an open descriptor or a mapping): every
// process, or when sessions is not empty, only the processes of those sessions. A process whose
// folder cannot be read (another user's) is passed over. Past the deadline the look stops incomplete.
// Linear in the processes, their descriptors and their mappings.
ProcessLook lookThroughProcesses(const std::vector<Target>& targets, const std::vector<pid_t>& sessions,
                                 const QDeadlineTimer& deadline)
{
    ProcessLook look;
    TargetIndex index;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        index.byName.insert(targets[i].name, i);
        index.byInode.insert(quint64(targets[i].inode), i);
    }
    const int procFd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0) {
        look.complete = false;
        return look;
    }
    for (const QByteArray& name : namesIn(procFd)) {
        if (deadline.hasExpired()) {
            look.complete = false;
            break;
        }
        if (name.isEmpty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int pidFd = ::openat(procFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (pidFd < 0)
            continue; // ended meanwhile
        pid_t session = -1;
        if (!sessions.empty()) {
            session = sessionIn(readProcFile(pidFd, "stat"));
            if (std::find(sessions.begin(), sessions.end(), session) == sessions.end()) {
                ::close(pidFd);
                continue;
            }
            if (std::find(look.sessionsSeen.begin(), look.sessionsSeen.end(), session) == look.sessionsSeen.end())
                look.sessionsSeen.push_back(session);
        }
        const auto found = [&look, session](std::size_t i) { look.holds.emplace_back(session, i); };
        findInDescriptors(pidFd, targets, index, found);
        findInMappings(pidFd, targets, index, found);
        ::close(pidFd);
    }
    ::close(procFd);
    return look;
}

// True for a document whose reader is still to be seen holding it, while that can still be seen.
bool awaitsReader(const Document& document)
{
    return document.reader > 0 && !document.readerHeld && !document.readerGone && !document.doubt;
}

// Looks through the processes of the readers still awaited for what they hold.
void lookForReaders()
{
    std::vector<Target> targets;
    std::vector<Document*> awaited;
    std::vector<pid_t> sessions;
    forEachFolder([&](DocumentsFolder& folder) {
        for (Document& document : folder.documents) {
            if (!awaitsReader(document))
                continue;
            targets.push_back(targetOf(document));
            awaited.push_back(&document);
            if (std::find(sessions.begin(), sessions.end(), document.reader) == sessions.end())
                sessions.push_back(document.reader);
        }
    });
    if (awaited.empty())
        return;
    lastReaderLook.start();
    const ProcessLook look = lookThroughProcesses(targets, sessions, QDeadlineTimer(ReaderLookMs));
    for (const auto& [session, i] : look.holds) {
        if (session == awaited[i]->reader)
            awaited[i]->readerHeld = true;
    }
    // A session that has no process left gets none again: its reader has done whatever it did.
    if (look.complete) {
        for (Document* document : awaited) {
            const auto& seen = look.sessionsSeen;
            if (std::find(seen.begin(), seen.end(), document->reader) == seen.end())
                document->readerGone = true;
        }
    }
}

// Looks for the readers now, or as soon as the interval allows.
void lookForReadersSoon()
{
    if (!readerLookTimer || readerLookTimer->isActive())
        return;
    const qint64 since = lastReaderLook.isValid() ? lastReaderLook.elapsed() : ReaderLookIntervalMs;
    if (since >= ReaderLookIntervalMs)
        lookForReaders();
    else
        readerLookTimer->start(int(ReaderLookIntervalMs - since));
}

// Takes in one event; true when it may be a reader at work on a document whose reader is awaited.
bool takeInEvent(const inotify_event& event, qint64 at)
{
    if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: nothing written so far can be judged any more.
        forEachFolder([](DocumentsFolder& folder) {
            for (Document& document : folder.documents)
                document.doubt = true;
        });
        return false;
    }
    DocumentsFolder* folder = nullptr;
    forEachFolder([&](DocumentsFolder& candidate) {
        if (candidate.watch == event.wd)
            folder = &candidate;
    });
    if (!folder)
        return false;
    if (event.mask & IN_IGNORED) {
        // The watch is gone (the folder was removed, or its file system went): nothing more is seen.
        folder->watch = -1;
        for (Document& document : folder->documents)
            document.doubt = true;
        return false;
    }
    if (event.len == 0)
        return false; // the folder itself
    const auto it = folder->byName.constFind(QByteArray(event.name));
    if (it == folder->byName.cend())
        return false; // not a document of ours (a word processor's lock file, say)
    Document& document = folder->documents[*it];
    if (event.mask & IN_OPEN)
        ++document.opens;
    if (event.mask & IN_ACCESS)
        document.accessed = true;
    if (event.mask & (IN_CLOSE_NOWRITE | IN_CLOSE_WRITE))
        ++document.closes;
    if (event.mask & IN_MODIFY)
        document.doubt = true; // someone else writes into it: it is no longer just our text
    document.lastSeen = at;
    return (event.mask & (IN_OPEN | IN_ACCESS)) && awaitsReader(document);
}

// Takes in every event queued so far; true when a reader may have been at work (see takeInEvent).
bool takeInEvents()
{
    bool readerMayWork = false;
    if (inotifyFd < 0)
        return readerMayWork;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(inotifyFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return readerMayWork; // EAGAIN: the queue is empty
        const qint64 at = now();
        for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            readerMayWork = takeInEvent(*event, at) || readerMayWork;
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

// Watches the folder open at fd for what others do to the files in it; the watch's number, or -1.
int watchFolder(int fd)
{
    if (inotifyFd < 0) {
        inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotifyFd < 0)
            return -1;
        if (QCoreApplication::instance()) {
            inotifyNotifier = new QSocketNotifier(inotifyFd, QSocketNotifier::Read);
            QObject::connect(inotifyNotifier, &QSocketNotifier::activated, inotifyNotifier, [] {
                if (takeInEvents())
                    lookForReadersSoon();
            });
            readerLookTimer = new QTimer;
            readerLookTimer->setSingleShot(true);
            QObject::connect(readerLookTimer, &QTimer::timeout, readerLookTimer, &lookForReaders);
        }
    }
    // Through the descriptor: the watch lands on the very folder made, wherever its path leads now.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
    return ::inotify_add_watch(inotifyFd, path.constData(),
                               IN_OPEN | IN_ACCESS | IN_CLOSE_NOWRITE | IN_CLOSE_WRITE | IN_MODIFY | IN_ONLYDIR);
}

void stopWatching()
{
    delete std::exchange(inotifyNotifier, nullptr);
    delete std::exchange(readerLookTimer, nullptr);
    if (inotifyFd >= 0)
        ::close(std::exchange(inotifyFd, -1));
}

// True once the word processor is known to be done with the document: it makes a new document of the
// text, a process of its own was seen holding the file, and every open that the watch saw was closed
// again after something was read, all of it seen, with nothing more for the settle time. That anyone
// else read the file tells nothing (an indexer's read is no word processor's). Whether a process still
// holds the file is for the caller to look at.
bool wasRead(const DocumentsFolder& folder, const Document& document, qint64 at)
{
    const int settle = settleOverride.value_or(WordApplication::SettleTimeMs);
    return folder.watch >= 0 && !document.doubt && document.readerHeld
           && document.opens > 0 && document.closes >= document.opens && document.accessed
           && at - document.lastSeen >= settle;
}

bool operator==(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// True while the document's name in folder leads to the very file written, unchanged since: the same
// file (a word processor saves by putting a new one in its place), the same size, and no time of a
// write or change since (reading changes neither).
bool isAsWritten(const DocumentsFolder& folder, const Document& document)
{
    struct stat now {};
    const struct stat& was = document.written;
    return ::fstatat(folder.fd, document.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode)
           && now.st_dev == was.st_dev && now.st_ino == was.st_ino && now.st_size == was.st_size
           && now.st_mtim == was.st_mtim && now.st_ctim == was.st_ctim;
}

// True for a file that looks as this bridge left its documents: marked when written, with nothing
// written into it since (a write sets the last-written and the last-change time alike).
bool bearsWrittenMark(const struct stat& info)
{
    return info.st_mtim.tv_nsec == WordApplication::WrittenMarkNs
           && (info.st_ctim.tv_sec > info.st_mtim.tv_sec
               || (info.st_ctim.tv_sec == info.st_mtim.tv_sec && info.st_ctim.tv_nsec > info.st_mtim.tv_nsec));
}

// True while folder's path names the very folder made, still private.
bool isStillPrivate(const DocumentsFolder& folder)
{
    struct stat info {};
    return folder.fd >= 0 && ::lstat(folder.path.constData(), &info) == 0 && info.st_dev == folder.device
           && info.st_ino == folder.inode && isPrivateFolder(info) && ::fstat(folder.fd, &info) == 0
           && isPrivateFolder(info);
}

// Removes the documents of folder that may go and are still as written, through its descriptor,
// then the folder itself when nothing is left in it and its path still names it (rmdir never follows
// a link and takes only an empty folder), and closes it. Other documents stay where they are.
void removeFolder(DocumentsFolder& folder)
{
    if (folder.fd < 0)
        return;
    bool allGone = true;
    for (const Document& document : folder.documents) {
        if (document.mayGo && isAsWritten(folder, document))
            ::unlinkat(folder.fd, document.name.constData(), 0);
        else
            allGone = false;
    }
    struct stat info {};
    if (allGone && ::lstat(folder.path.constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_dev == folder.device && info.st_ino == folder.inode)
        ::rmdir(folder.path.constData());
    if (folder.watch >= 0 && inotifyFd >= 0)
        ::inotify_rm_watch(inotifyFd, folder.watch);
    ::close(folder.fd);
    folder = DocumentsFolder();
}

// Makes the process's own documents folder, mode 0700, in the user's runtime folder when that is
// private, else in the temporary folder. The name is new (mkdtemp), so a folder or link that someone
// made beforehand is never used.
DocumentsFolder makeDocumentsFolder()
{
    QByteArray base = privateRuntimeFolder();
    if (base.isEmpty())
        base = QFile::encodeName(QDir::tempPath());
    DocumentsFolder folder;
    folder.path = base + '/' + DocumentsFolderPrefix + "XXXXXX";
    if (!::mkdtemp(folder.path.data())) {
        throw OLEException(QStringLiteral("cannot create a folder for the document in \"%1\": %2")
                               .arg(decodePath(base), systemError(errno)));
    }
    folder.fd = ::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (folder.fd >= 0 && ::fstat(folder.fd, &info) == 0) {
        folder.device = info.st_dev;
        folder.inode = info.st_ino;
        ::fchmod(folder.fd, 0700); // mkdtemp's mode, unless a umask took the owner's bits too
    }
    if (!isStillPrivate(folder)) {
        const QString shown = decodePath(folder.path);
        // What was made goes again; a folder that the path names but that is not this user's stays.
        if (folder.fd < 0)
            ::rmdir(folder.path.constData());
        else if (info.st_uid == ::getuid())
            removeFolder(folder);
        else
            ::close(folder.fd);
        throw OLEException(QStringLiteral("the folder \"%1\" is not private").arg(shown));
    }
    folder.watch = watchFolder(folder.fd);
    static bool removalRegistered = false;
    if (!std::exchange(removalRegistered, true))
        qAddPostRoutine(&WordApplication::removeDocuments);
    return folder;
}

// Writes the text into a new file of mode 0600 in the documents folder; returns the file's path.
QString writeDocument(const QString& text)
{
    // Every document gets a file of its own, also several within one second.
    static int sent = 0;
    if (!isStillPrivate(currentFolder)) {
        if (currentFolder.fd >= 0)
            formerFolders.push_back(std::exchange(currentFolder, DocumentsFolder()));
        currentFolder = makeDocumentsFolder();
    }
    const QByteArray name = "Report " + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1()
                            + '-' + QByteArray::number(++sent) + ".txt";
    const QString shown = decodePath(currentFolder.path + '/' + name);
    // Never an entry that is there already, be it a file or a link.
    const int fd = ::openat(currentFolder.fd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600);
    if (fd < 0)
        throw OLEException(QStringLiteral("cannot write \"%1\": %2").arg(shown, systemError(errno)));
    const QByteArray bytes = text.toUtf8();
    int error = writeAll(fd, bytes);
    // The mark lies in the past, so that the change of time that setting it makes comes after it. A
    // document that cannot be marked (or looked at) is never taken for one as written: it stays.
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 1, WordApplication::WrittenMarkNs}};
    Document document;
    if (error == 0 && ::futimens(fd, times) == 0)
        ::fstat(fd, &document.written);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(currentFolder.fd, name.constData(), 0);
        throw OLEException(QStringLiteral("cannot write \"%1\": %2").arg(shown, systemError(error)));
    }
    // What the watch saw so far is this process's own writing: no one else knows the name yet.
    takeInEvents();
    document.name = name;
    document.doubt = currentFolder.watch < 0;
    document.lastSeen = now();
    currentFolder.byName.insert(name, currentFolder.documents.size());
    currentFolder.documents.push_back(std::move(document));
    return shown;
}

// Writes a finished document where the word processor can read it (an empty one needs no file) and
// starts the word processor on it, detached, so that it outlives the report window and the program.
void openInWordProcessor(ole::Node& document)
{
    const QString program = WordApplication::wordProcessor();
    if (program.isEmpty())
        throw OLEException(QStringLiteral("no word processor is installed"));
    const QString file = document.text.isEmpty() ? QString() : writeDocument(document.text);
    QString reason;
    pid_t reader = 0;
    if (!startDetached(program, argumentsFor(program, file), &reason, &reader))
        throw OLEException(QStringLiteral("cannot start \"%1\": %2").arg(program, reason));
    if (!file.isEmpty() && takesCopy(program))
        currentFolder.documents.back().reader = reader;
}

// True for a name that mkdtemp gave a documents folder.
bool isDocumentsFolderName(const char* name)
{
    const std::size_t prefix = sizeof DocumentsFolderPrefix - 1;
    if (std::strncmp(name, DocumentsFolderPrefix, prefix) != 0 || std::strlen(name) != prefix + 6)
        return false;
    for (const char* c = name + prefix; *c; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c)))
            return false;
    }
    return true;
}

// True for a name that writeDocument gives: "Report yyyyMMdd-HHmmss-<n>.txt".
bool isDocumentName(const char* name)
{
    const char* c = name;
    const auto digits = [&c](std::size_t least, std::size_t most) {
        std::size_t n = 0;
        while (n < most && std::isdigit(static_cast<unsigned char>(*c))) {
            ++c;
            ++n;
        }
        return n >= least;
    };
    if (std::strncmp(c, "Report ", 7) != 0)
        return false;
    c += 7;
    if (!digits(8, 8) || *c++ != '-' || !digits(6, 6) || *c++ != '-' || !digits(1, 10))
        return false;
    return std::strcmp(c, ".txt") == 0;
}

// Removes what earlier runs left in one documents folder (see removeLeftDocuments).
void removeLeftIn(const QByteArray& place, time_t cutoff, const std::vector<std::pair<dev_t, ino_t>>& own)
{
    const int placeFd = ::open(place.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (placeFd < 0)
        return;
    for (const QByteArray& folderName : namesIn(placeFd)) {
        if (!isDocumentsFolderName(folderName.constData()))
            continue;
        const int fd = ::openat(placeFd, folderName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat folderInfo {};
        if (::fstat(fd, &folderInfo) != 0 || !isPrivateFolder(folderInfo)
            || std::find(own.begin(), own.end(), std::pair{folderInfo.st_dev, folderInfo.st_ino}) != own.end()) {
            ::close(fd);
            continue;
        }
        bool emptied = true;
        for (const QByteArray& name : namesIn(fd)) {
            struct stat info {};
            if (isDocumentName(name.constData()) && ::fstatat(fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISREG(info.st_mode) && info.st_uid == ::getuid() && bearsWrittenMark(info)
                && info.st_mtime <= cutoff && ::unlinkat(fd, name.constData(), 0) == 0)
                continue;
            emptied = false;
        }
        // Only while the name still leads to the folder looked at, and only a folder idle for as long
        // as its documents (a run still going may be about to write into a new one).
        struct stat atName {};
        if (emptied && folderInfo.st_mtime <= cutoff
            && ::fstatat(placeFd, folderName.constData(), &atName, AT_SYMLINK_NOFOLLOW) == 0
            && atName.st_dev == folderInfo.st_dev && atName.st_ino == folderInfo.st_ino)
            ::unlinkat(placeFd, folderName.constData(), AT_REMOVEDIR);
        ::close(fd);
    }
    ::close(placeFd);
}

} // namespace

OLEObject OLEObject::Get(const QString& name, const QVariantList&) const
{
    if (!node_)
        throw OLEException(QStringLiteral("The object is not connected to a server"));
    switch (node_->kind) {
    case ole::Node::Application:
        if (is(name, "Documents")) {
            auto documents = std::make_shared<ole::Node>(ole::Node{ole::Node::Documents, node_, {}, {}, false, {}});
            return OLEObject(documents);
        }
        break;
    case ole::Node::Documents:
        if (is(name, "add")) {
            auto app = node_->application.lock();
            auto document = std::make_shared<ole::Node>(ole::Node{ole::Node::Document, app, {}, {}, false, {}});
            if (app)
                app->documents.push_back(document);
            return OLEObject(document);
        }
        break;
    case ole::Node::Document:
        if (is(name, "range"))
            return OLEObject(std::make_shared<ole::Node>(ole::Node{ole::Node::Range, {}, node_, {}, false, {}}));
        break;
    case ole::Node::Range:
        break;
    }
    unknownMember(name);
}

void OLEObject::Set(const QString& name, const QVariant& value, const QVariantList&) const
{
    if (!node_)
        throw OLEException(QStringLiteral("The object is not connected to a server"));
    if (node_->kind == ole::Node::Range && is(name, "Text")) {
        node_->document->text = value.toString();
        return;
    }
    if (node_->kind == ole::Node::Application && is(name, "Visible")) {
        if (!value.toBool())
            return;
        for (const auto& document : node_->documents) {
            if (!document->opened) {
                openInWordProcessor(*document);
                document->opened = true;
            }
        }
        return;
    }
    unknownMember(name);
}

WordApplication::WordApplication()
    : OLEObject(std::make_shared<ole::Node>(ole::Node{ole::Node::Application, {}, {}, {}, false, {}}))
{
    if (wordProcessor().isEmpty()) {
        throw OLEException(QStringLiteral(
            "Word.Application is not available: no word processor was found (looked for libreoffice, soffice, "
            "lowriter and abiword)"));
    }
}

QString WordApplication::wordProcessor()
{
    if (overrideProgram)
        return *overrideProgram;
    for (const char* name : {"libreoffice", "soffice", "lowriter", "abiword"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

void WordApplication::removeDocuments()
{
    takeInEvents();
    const qint64 at = now();
    // What the word processor has done with may go, unless some process still has it open or mapped.
    std::vector<Target> targets;
    std::vector<Document*> candidates;
    forEachFolder([&](DocumentsFolder& folder) {
        for (Document& document : folder.documents) {
            document.mayGo = false;
            if (wasRead(folder, document, at) && isAsWritten(folder, document)) {
                targets.push_back(targetOf(document));
                candidates.push_back(&document);
            }
        }
    });
    if (!candidates.empty()) {
        const ProcessLook look = lookThroughProcesses(targets, {}, QDeadlineTimer(EndLookMs));
        if (look.complete) {
            for (Document* document : candidates)
                document->mayGo = true;
            for (const auto& hold : look.holds)
                candidates[hold.second]->mayGo = false;
        }
    }
    for (DocumentsFolder& folder : formerFolders)
        removeFolder(folder);
    formerFolders.clear();
    removeFolder(currentFolder);
    stopWatching();
}

QString WordApplication::documentsFolderPath()
{
    return decodePath(currentFolder.path);
}

void WordApplication::setWordProcessorOverride(std::optional<QString> program)
{
    overrideProgram = std::move(program);
}

void WordApplication::setSettleTimeOverride(std::optional<int> ms)
{
    settleOverride = ms;
}

void WordApplication::setDocumentPlacesOverride(std::optional<QStringList> places)
{
    placesOverride = std::move(places);
}

void WordApplication::setSweepClockAheadOverride(std::optional<qint64> seconds)
{
    sweepClockAheadOverride = seconds;
}

QStringList WordApplication::documentPlaces()
{
    if (placesOverride)
        return *placesOverride;
    const QByteArray candidates[] = {
        privateRuntimeFolder(),
        "/run/user/" + QByteArray::number(::getuid()),
        QFile::encodeName(QDir::tempPath()),
        "/tmp",
    };
    QStringList places;
    std::vector<std::pair<dev_t, ino_t>> seen;
    for (const QByteArray& candidate : candidates) {
        struct stat info {};
        if (candidate.isEmpty() || ::stat(candidate.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        const std::pair<dev_t, ino_t> id{info.st_dev, info.st_ino};
        if (std::find(seen.begin(), seen.end(), id) != seen.end())
            continue;
        seen.push_back(id);
        places.append(decodePath(candidate));
    }
    return places;
}

void WordApplication::removeLeftDocuments(const QStringList& places)
{
    const time_t cutoff
        = ::time(nullptr) + time_t(sweepClockAheadOverride.value_or(0)) - time_t(LeftDocumentAgeSeconds);
    std::vector<std::pair<dev_t, ino_t>> own;
    forEachFolder([&own](const DocumentsFolder& folder) { own.emplace_back(folder.device, folder.inode); });
    for (const QString& place : places)
        removeLeftIn(encodePath(place), cutoff, own);
}

} // namespace fw
