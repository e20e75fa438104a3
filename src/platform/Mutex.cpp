#include "Mutex.h"

#include "SystemCalls.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr int MaxNameLength = 80;

// Makes path as a folder of mode 0700 unless it is there; true when it is then private.
bool makePrivateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(path);
}

// The per-user folder for lock files, or "" (with the reason in error) when none is usable: the
// runtime folder when it is private; else a folder of the user's in the temporary folder; and when
// that name is taken by anything not private (someone else's folder, a link, an open folder), a
// folder in the user's own cache folder.
QString lockFolder(QString& error)
{
    const QByteArray runtime = privateRuntimeFolder();
    if (!runtime.isEmpty())
        return QFile::decodeName(runtime);

    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = QFile::encodeName(QDir::tempPath()) + "/numbers-as-words-" + uid;
    if (makePrivateFolder(shared))
        return QFile::decodeName(shared);

    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        cache = home.startsWith('/') ? home + "/.cache" : QByteArray();
    }
    if (!cache.isEmpty()) {
        ::mkdir(cache.constData(), 0700); // the cache folder itself may be shared with other programs
        const QByteArray own = cache + "/numbers-as-words-" + uid;
        if (makePrivateFolder(own))
            return QFile::decodeName(own);
    }
    error = QStringLiteral("No private folder for lock files: %1 is not private, and none could be made in the "
                           "cache folder")
                .arg(QFile::decodeName(shared));
    return {};
}

} // namespace

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
    const QByteArray path = QFile::encodeName(lockFile_);
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
