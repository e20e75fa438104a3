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
        m_path = QDir::cleanPath(QDir().absoluteFilePath(path));
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
    return m_path.mid(m_path.lastIndexOf(u'/') + 1);
}

std::optional<FolderItem> FolderItem::Child(const QString& name) const
{
    if (isNull() || name.isEmpty() || name == u"." || name == u".." || name.contains(u'/')
        || name.contains(QChar(0)))
        return std::nullopt;
    FolderItem child;
    child.m_path = m_path.endsWith(u'/') ? m_path + name : m_path + u'/' + name;
    return child;
}

std::optional<FolderItem> FolderItem::Parent() const
{
    if (isNull() || m_path == u"/")
        return std::nullopt;
    const qsizetype slash = m_path.lastIndexOf(u'/');
    FolderItem parent;
    parent.m_path = slash <= 0 ? QStringLiteral("/") : m_path.left(slash);
    return parent;
}

bool FolderItem::Exists() const
{
    return !isNull() && QFileInfo::exists(m_path);
}

bool FolderItem::isFolder() const
{
    return !isNull() && QFileInfo(m_path).isDir();
}

bool FolderItem::Delete() const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), nullptr);
        return false;
    }
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return true; // already gone
    bool removed = false;
    QString reason;
    if (info.isDir() && !info.isSymLink()) {
        removed = QDir().rmdir(m_path);
        if (!removed)
            reason = QStringLiteral("the folder is not empty or cannot be removed");
    } else {
        QFile file(m_path);
        removed = file.remove();
        if (!removed)
            reason = file.errorString();
    }
    if (!removed)
        setLastError(QStringLiteral("Cannot delete \"%1\": %2").arg(m_path, reason), nullptr);
    return removed;
}

QString FolderItem::ShellPath() const
{
    return shellEscape(m_path);
}

std::unique_ptr<TextOutputStream> FolderItem::CreateTextFile(QString* error) const
{
    if (isNull()) {
        setLastError(QStringLiteral("No file given"), error);
        return nullptr;
    }
    QString reason;
    auto stream = TextOutputStream::create(m_path, &reason);
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
    if (QFileInfo(m_path).isDir()) {
        setLastError(QStringLiteral("Cannot open \"%1\": it is a folder").arg(m_path), error);
        return nullptr;
    }
    QString reason;
    auto stream = TextInputStream::open(m_path, &reason);
    if (!stream)
        setLastError(reason, error);
    return stream;
}

QString FolderItem::lastError()
{
    return lastErrorText;
}

} // namespace fw
