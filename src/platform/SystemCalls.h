#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/types.h>

struct stat;

// Small helpers over the system's calls that several parts of the layer share.
namespace fw {

// The system's wording of an error number ("No space left on device"); safe in any thread.
QString systemError(int error);

// open(), tried again while a signal interrupts it; -1 with errno set on failure.
int openRetrying(const char* path, int flags, mode_t mode = 0);

// Writes all of bytes at offset (or at the file position when offset is negative), going on after
// interruptions and short writes; 0 or the error number. written, when given, receives how many
// bytes were written, also when the writing failed.
int writeAll(int fd, QByteArrayView bytes, off_t offset = -1, qsizetype* written = nullptr);

// A folder only this user can reach: a real folder (not a link), owned by the user, closed to
// everyone else (no group or other bits, so no access list either), which the user can write and
// enter. No one else can then plant, swap, hold or remove anything in it.
bool isPrivateFolder(const QByteArray& path);
// The same test for what an open descriptor or an lstat() shows (the access test left out).
bool isPrivateFolder(const struct stat& info);

// $XDG_RUNTIME_DIR when it names a private folder by an absolute path, else empty.
QByteArray privateRuntimeFolder();

// A path is bytes, and need not be UTF-8; the layer carries it in a QString without loss. The
// well-formed UTF-8 in it reads as text; each other byte (always 0x80 or above) as the lone surrogate
// U+DC00 + byte, which no text holds, and which encodePath turns back into that byte. So
// encodePath(decodePath(b)) == b for every path b, and a path that is UTF-8 text decodes as that text.
// Linear in the length.
QString decodePath(QByteArrayView bytes);
// The bytes of a path; a lone surrogate that decodePath does not make encodes as U+FFFD.
QByteArray encodePath(QStringView path);

} // namespace fw
