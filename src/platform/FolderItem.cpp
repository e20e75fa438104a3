#include "FolderItem.h"

#include "SystemCalls.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fw {

namespace {

QMutex overrideMutex;
QString& applicationFolderOverride()
{
    static QString path;
    return path;
}

// The last failure of this thread. A program ended by exit() still deletes its files from the exit
// handlers, which run after the thread's own objects are gone: a failure then is no longer kept.
thread_local bool lastErrorGone = false;
struct LastError
{
    QString text;
    ~LastError() { lastErrorGone = true; }
};
thread_local LastError lastFailure;

void setLastError(const QString& text, QString* error)
{
    if (!lastErrorGone)
        lastFailure.text = text;
    if (error)
        *error = text;
}

// The bytes a link holds, or "" when path is no link that can be read.
QByteArray linkContent(const char* path)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t got = ::readlink(path, buffer.data(), buffer.size());
        if (got < 0)
            return {};
        if (size_t(got) < buffer.size())
            return QByteArray(buffer.data(), got);
        buffer.resize(buffer.size() * 2);
    }
}

// The current folder by its bytes; "" when it cannot be had.
QString currentFolder()
{
    std::vector<char> buffer(256);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return decodePath(buffer.data());
}

} // namespace

FolderItem::FolderItem(const QString& path)
{
    if (path.isEmpty())
        return;
    path_ = QDir::cleanPath(path.startsWith(u'/') ? path : currentFolder() + u'/' + path);
}

FolderItem FolderItem::applicationFolder()
{
    {
        QMutexLocker lock(&overrideMutex);
        if (!applicationFolderOverride().isEmpty())
            return FolderItem(applicationFolderOverride());
    }
    // The system names the running file by its bytes, whatever they are; the framework's own answer
    // is empty where the folder's name is not UTF-8.
    const QByteArray program = linkContent("/proc/self/exe");
    const qsizetype slash = program.lastIndexOf('/');
    if (slash >= 0)
        return FolderItem(slash == 0 ? QStringLiteral("/") : decodePath(QByteArrayView(program).first(slash)));
    return FolderItem(QCoreApplication::applicationDirPath());
}

void FolderItem::setApplicationFolderOverride(const QString& path)
{
    QMutexLocker lock(&overrideMutex);
    applicationFolderOverride() = path;
}

QString FolderItem::Name() const
{
    return path_.mid(path_.lastIndexOf(u'/') + 1);
}

std::optional<FolderItem> FolderItem::Child(const QString& name) const
{
    if (isNull() || name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')
        || name.contains(QChar(0)))
        return std::nullopt;
    FolderItem child;
    child.path_ = path_.endsWith(u'/') ? path_ + name : path_ + u'/' + name;
    return child;
}

bool FolderItem::Exists() const
{
    struct stat info {};
    return !isNull() && ::stat(encodePath(path_).constData(), &info) == 0;
}

bool FolderItem::Delete() const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), nullptr);
        return false;
    }
    const QByteArray name = encodePath(path_);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 && errno == ENOENT)
        return true; // already gone
    // A link goes itself, whether or not it leads anywhere; what it leads to stays.
    if (S_ISDIR(info.st_mode) ? ::rmdir(name.constData()) == 0 : ::unlink(name.constData()) == 0)
        return true;
    const int error = errno;
    setLastError(S_ISDIR(info.st_mode) && (error == ENOTEMPTY || error == EEXIST)
                     ? QStringLiteral("the folder is not empty or cannot be removed")
                     : systemError(error),
                 nullptr);
    return false;
}

QString FolderItem::ShellPath() const
{
    return shellEscape(path_);
}

std::unique_ptr<TextOutputStream> FolderItem::CreateTextFile(QString* error) const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), error);
        return nullptr;
    }
    QString reason;
    auto stream = TextOutputStream::create(path_, &reason);
    if (!stream)
        setLastError(reason, error);
    return stream;
}

std::unique_ptr<TextInputStream> FolderItem::OpenAsTextFile(QString* error) const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), error);
        return nullptr;
    }
    QString reason;
    auto stream = TextInputStream::open(path_, &reason);
    if (!stream)
        setLastError(reason, error);
    return stream;
}

QString FolderItem::lastError()
{
    return lastErrorGone ? QString() : lastFailure.text;
}

} // namespace fw
