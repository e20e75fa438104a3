#include "Mutex.h"

#include "SystemCalls.h"


#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr int MaxNameLength = 80;

std::optional<Mutex::Places> placesOverride;

// Makes path as a folder of mode 0700 unless it is there; "" when it is then private, else why not,
// in words for the user ("/tmp/x is a symbolic link").
QString makePrivateFolder(const QByteArray& path)
{
    const QString name = decodePath(path);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("%1 cannot be made: %2").arg(name, systemError(errno));
    if (isPrivateFolder(path))
        return {};
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return QStringLiteral("%1 cannot be read: %2").arg(name, systemError(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(name);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(name);
    if (info.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to another user").arg(name);
    if (info.st_mode & 077)
        return QStringLiteral("%1 is open to other users (mode %2)").arg(name).arg(info.st_mode & 07777, 4, 8, QChar(u'0'));
    return QStringLiteral("%1 cannot be written").arg(name);
}

// This user's home folder as the user database gives it; "" when it gives none.
QByteArray homeFromUserDatabase()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 4096));
    for (;;) {
        passwd entry {};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found && found->pw_dir ? QByteArray(found->pw_dir) : QByteArray();
    }
}

// The per-user folder for lock files, or "" (with the reason in error) when none is usable: the
// program's folder in the user's state folder of the home folder; else a folder of the user's in the
// shared temporary folder. Only the user's identity decides, never the environment, so that every
// copy of the program finds the same folder.
QString lockFolder(QString& error)
{
    QString homeProblem;
    const QByteArray own = Mutex::stateFolder(&homeProblem);
    if (!own.isEmpty())
        return decodePath(own);
    const Mutex::Places where = Mutex::places();
    const QByteArray shared = where.sharedTemp + "/numbers-as-words-" + QByteArray::number(::getuid());
    const QString sharedProblem = makePrivateFolder(shared);
    if (sharedProblem.isEmpty())
        return decodePath(shared);
    error = QStringLiteral("No private folder for the lock file: %1, and %2").arg(homeProblem, sharedProblem);
    return {};
}

} // namespace

QByteArray Mutex::stateFolder(QString* error)
{
    const Places where = places();
    QString problem = QStringLiteral("the user has no home folder");
    if (where.home.startsWith('/')) {
        // The folders on the way are made as the user's own when missing; what is there stays as it is.
        ::mkdir((where.home + "/.local").constData(), 0700);
        ::mkdir((where.home + "/.local/state").constData(), 0700);
        const QByteArray own = where.home + "/.local/state/numbers-as-words";
        problem = makePrivateFolder(own);
        if (problem.isEmpty())
            return own;
    }
    if (error)
        *error = problem;
    return {};
}

Mutex::Places Mutex::places()
{
    if (placesOverride)
        return *placesOverride;
    return {homeFromUserDatabase(), QByteArrayLiteral("/tmp")};
}

void Mutex::setPlacesOverride(std::optional<Places> places)
{
    placesOverride = std::move(places);
}

QString Mutex::fileNameFor(const QString& name)
{
    QString safe;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool keep = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
                          || u == u'_' || u == u'-' || (u == u'.' && !safe.isEmpty());
        safe += keep ? c : QChar(u'_');
        if (safe.size() >= MaxNameLength)
            break;
    }
    // FNV-1a over the UTF-8 name: the same in every process, unlike qHash.
    quint64 hash = 14695981039346656037ull;
    for (const char b : name.toUtf8()) {
        hash ^= static_cast<unsigned char>(b);
        hash *= 1099511628211ull;
    }
    return safe + u'-' + QString::number(hash, 16) + QStringLiteral(".lock");
}

Mutex::Mutex(const QString& name)
{
    const QString folder = lockFolder(error_);
    if (!folder.isEmpty())
        lockFile_ = folder + u'/' + fileNameFor(name);
}

Mutex::~Mutex()
{
    Leave();
}

bool Mutex::TryEnter()
{
    heldElsewhere_ = false;
    if (fd_ >= 0)
        return true;
    if (lockFile_.isEmpty())
        return false; // error_ says why
    const QByteArray path = encodePath(lockFile_);
    const int fd = openRetrying(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = QStringLiteral("Cannot open %1: %2").arg(lockFile_, systemError(errno));
        return false;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        heldElsewhere_ = error == EWOULDBLOCK;
        error_ = error == EWOULDBLOCK ? QStringLiteral("Held by another holder")
                                       : QStringLiteral("Cannot lock %1: %2").arg(lockFile_, systemError(error));
        return false;
    }
    fd_ = fd;
    error_.clear();
    return true;
}

void Mutex::Leave()
{
    if (fd_ < 0)
        return;
    // The file stays: removing it would let a waiting process lock a file no one else can see.
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

} // namespace fw
