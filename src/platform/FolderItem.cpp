#include "FolderItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace fw {

namespace {

QMutex overrideMutex;
QString& applicationFolderOverride()
{
    static QString path;
    return path;
}

thread_local QString lastErrorText;

void setLastError(const QString& text, QString* error)
{
    lastErrorText = text;
    if (error)
        *error = text;
}

} // namespace

FolderItem::FolderItem(const QString& path)
{
    if (!path.isEmpty())
        path_ = QDir::cleanPath(QDir().absoluteFilePath(path));
}

FolderItem FolderItem::applicationFolder()
{
    {
        QMutexLocker lock(&overrideMutex);
        if (!applicationFolderOverride().isEmpty())
            return FolderItem(applicationFolderOverride());
    }
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

std::optional<FolderItem> FolderItem::Parent() const
{
    if (isNull() || path_ == u"/")
        return std::nullopt;
    const qsizetype slash = path_.lastIndexOf(u'/');
    FolderItem parent;
    parent.path_ = slash <= 0 ? QStringLiteral("/") : path_.left(slash);
    return parent;
}

bool FolderItem::Exists() const
{
    return !isNull() && QFileInfo::exists(path_);
}

bool FolderItem::isFolder() const
{
    return !isNull() && QFileInfo(path_).isDir();
}

bool FolderItem::Delete() const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), nullptr);
        return false;
    }
    const QFileInfo info(path_);
    if (!info.exists() && !info.isSymLink())
        return true; // already gone
    bool removed = false;
    QString reason;
    if (info.isDir() && !info.isSymLink()) {
        removed = QDir().rmdir(path_);
        if (!removed)
            reason = QStringLiteral("the folder is not empty or cannot be removed");
    } else {
        QFile file(path_);
        removed = file.remove();
        if (!removed)
            reason = file.errorString();
    }
    if (!removed)
        setLastError(reason, nullptr);
    return removed;
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
    return lastErrorText;
}

} // namespace fw
