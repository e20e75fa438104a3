#pragma once

#include "TextStreams.h"

#include <QString>
#include <memory>
#include <optional>

namespace fw {

// A file or folder named by an absolute path; it need not exist. A default-made item is null. The
// path may name any bytes: a byte that is not part of UTF-8 text stands in it as decodePath keeps it.
class FolderItem
{
public:
    FolderItem() = default;
    // A relative path is taken from the current folder; the path is cleaned ("a/./b/" -> "a/b").
    explicit FolderItem(const QString& path);

    // The folder of the running executable, whatever bytes its name holds, or the override when one
    // is set.
    static FolderItem applicationFolder();
    // Test seam: makes applicationFolder() return this folder; the empty text clears it.
    static void setApplicationFolderOverride(const QString& path);

    bool isNull() const { return path_.isEmpty(); }
    QString path() const { return path_; }
    QString Name() const; // last path component; "" for "/"

    // The item called name inside this folder; nullopt when this item is null or name is not a
    // single plain component ("", ".", "..", or holding '/' or NUL).
    std::optional<FolderItem> Child(const QString& name) const;

    bool Exists() const;      // file or folder; a dangling symbolic link does not exist
    bool Delete() const;      // a file (or link, or empty folder); true when it is gone now
    QString ShellPath() const; // the path escaped for a command line

    // nullptr when the file cannot be created or opened; error (or lastError()) tells why, without
    // the file's name, which the caller gives.
    std::unique_ptr<TextOutputStream> CreateTextFile(QString* error = nullptr) const;
    std::unique_ptr<TextInputStream> OpenAsTextFile(QString* error = nullptr) const;

    // The reason of the last failed Delete, CreateTextFile or OpenAsTextFile in this thread (without
    // the file's name).
    static QString lastError();

    friend bool operator==(const FolderItem& a, const FolderItem& b) { return a.path_ == b.path_; }

private:
    QString path_;
};

} // namespace fw
