#include "TextStreams.h"

#include "Mutex.h"
#include "SystemCalls.h"

#include <QRandomGenerator>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fw {

namespace {

constexpr qint64 ReadChunk = 1 << 20;
constexpr qsizetype WriteChunk = 1 << 16;

// What a file that is no regular file is, in the user's words.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe, not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    return QStringLiteral("it is not a regular file");
}

constexpr int TemporaryNameTries = 100;

// Eight random letters and digits, for a name no one else uses.
QByteArray randomLetters()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray letters;
    for (int i = 0; i < 8; ++i)
        letters += Letters[QRandomGenerator::system()->bounded(int(sizeof Letters - 1))];
    return letters;
}

// Names beside the file called name, within the system's limit for a name: a temporary file (hidden)
// and a copy kept of its former content while it is written in place.
QByteArray temporaryNameFor(const QByteArray& name)
{
    return '.' + name.left(200) + '.' + randomLetters();
}
QByteArray keptNameFor(const QByteArray& name)
{
    return name.left(200) + ".kept-" + randomLetters();
}

// A file system that keeps no modes (FAT through FUSE, some network shares) answers a change of mode
// so; the file is then written as it keeps files.
bool keepsNoModes(int error)
{
    return error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// Copies the bytes [0, size) of one file to the same place in another: 0, or the error number (EIO
// when the source ends before size).
int copyRange(int from, int to, off_t size)
{
    off_t done = 0;
    bool plain = false; // copy_file_range is not offered between these two
    std::vector<char> buffer;
    while (done < size) {
        ssize_t n = -1;
        if (!plain) {
            off_t in = done;
            off_t out = done;
            n = ::copy_file_range(from, &in, to, &out, size_t(size - done), 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                plain = true;
                continue;
            }
        } else {
            buffer.resize(size_t(std::min<off_t>(ReadChunk, size - done)));
            n = ::pread(from, buffer.data(), buffer.size(), done);
            if (n > 0) {
                if (const int error = writeAll(to, QByteArrayView(buffer.data(), n), done))
                    return error;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

using NameFor = QByteArray (*)(const QByteArray&);

// Tries fresh names made by nameFor from base until attempt (0 or the error number) succeeds with one
// that nothing holds yet: 0 with name set, or the error number.
template <typename Attempt>
int withFreshName(NameFor nameFor, const QByteArray& base, QByteArray& name, Attempt attempt)
{
    for (int i = 0; i < TemporaryNameTries; ++i) {
        const QByteArray candidate = nameFor(base);
        const int error = attempt(candidate);
        if (error == 0)
            name = candidate;
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

// A new file in folder, opened with flags: without a name where the file system allows it (name then
// stays empty), so that nothing is left behind whatever happens to this process; else under a fresh
// name made by nameFor from base. 0 with fd set, or the error number with fd -1.
int makeFile(int folder, int flags, mode_t mode, NameFor nameFor, const QByteArray& base, int& fd, QByteArray& name)
{
    do {
        fd = ::openat(folder, ".", O_TMPFILE | flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    // Only an unnamed file that can be given a name later counts.
    if (fd >= 0 && ::faccessat(AT_FDCWD, "/proc/self/fd", X_OK, 0) == 0)
        return 0;
    if (fd >= 0)
        ::close(fd);
    return withFreshName(nameFor, base, name, [&](const QByteArray& candidate) {
        do {
            fd = ::openat(folder, candidate.constData(), O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | flags, mode);
        } while (fd < 0 && errno == EINTR);
        return fd >= 0 ? 0 : errno;
    });
}

// Gives the unnamed file fd a fresh name in folder, made by nameFor from base: 0 or the error number.
int giveName(int fd, int folder, NameFor nameFor, const QByteArray& base, QByteArray& name)
{
    const QByteArray unnamed = "/proc/self/fd/" + QByteArray::number(fd);
    return withFreshName(nameFor, base, name, [&](const QByteArray& candidate) {
        const int linked = ::linkat(AT_FDCWD, unnamed.constData(), folder, candidate.constData(), AT_SYMLINK_FOLLOW);
        return linked == 0 ? 0 : errno;
    });
}

} // namespace

std::unique_ptr<TextOutputStream> TextOutputStream::create(const QString& path, QString* error)
{
    const auto refuse = [error](const QString& reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    std::unique_ptr<TextOutputStream> stream(new TextOutputStream);
    if (const QString refusal = stream->findTarget(path); !refusal.isEmpty())
        return refuse(refusal);

    QString whyInPlace;
    if (const int temporaryError = stream->makeTemporary(); temporaryError == 0) {
        const int problem = stream->takeOverTarget();
        if (problem == 0)
            return stream;
        stream->dropTemporary();
        if (!stream->exists_)
            return refuse(systemError(problem));
        whyInPlace = QStringLiteral("a new file cannot keep its owner and group (%1)").arg(systemError(problem));
    } else if (temporaryError == ENOSPC || temporaryError == EDQUOT) {
        // Written in place, the file would be as short of room as a new one.
        return refuse(QStringLiteral("the folder \"%1\" takes no new file, its disk is full (%2)")
                          .arg(stream->folderShown_, systemError(temporaryError)));
    } else if (!stream->exists_) {
        return refuse(QStringLiteral("the folder \"%1\" takes no new file (%2)")
                          .arg(stream->folderShown_, systemError(temporaryError)));
    } else {
        whyInPlace = QStringLiteral("the folder \"%1\" takes no temporary file (%2)")
                         .arg(stream->folderShown_, systemError(temporaryError));
    }
    if (const QString refusal = stream->openInPlace(whyInPlace); !refusal.isEmpty())
        return refuse(refusal);
    return stream;
}

// Opens the target's folder, which everything else goes through by its descriptor, and looks at
// what holds the name: a link, anything but a regular file and a file the user may not write are
// refused.
QString TextOutputStream::findTarget(const QString& path)
{
    const QByteArray whole = encodePath(path);
    const qsizetype slash = whole.lastIndexOf('/');
    name_ = whole.mid(slash + 1);
    folderShown_ = slash < 0    ? QStringLiteral(".")
                   : slash == 0 ? QStringLiteral("/")
                                : path.left(path.lastIndexOf(u'/'));
    if (name_.isEmpty() || name_ == "." || name_ == "..")
        return kindOf(S_IFDIR);
    folder_ = openRetrying(slash < 0 ? "." : slash == 0 ? "/" : whole.left(slash).constData(),
                           O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return QStringLiteral("the folder \"%1\" cannot be reached (%2)").arg(folderShown_, systemError(errno));

    exists_ = ::fstatat(folder_, name_.constData(), &target_, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists_ && errno != ENOENT)
        return systemError(errno);
    if (!exists_)
        return {};
    if (S_ISLNK(target_.st_mode)) {
        std::vector<char> to(target_.st_size > 0 ? size_t(target_.st_size) + 1 : 4096);
        const ssize_t got = ::readlinkat(folder_, name_.constData(), to.data(), to.size());
        return QStringLiteral("it is a symbolic link to \"%1\", and a link is never written through: choose the "
                              "file it leads to, or another name")
            .arg(decodePath(QByteArrayView(to.data(), got > 0 ? got : 0)));
    }
    // Replacing a device or pipe by a file, or writing into one, is never what saving means.
    if (!S_ISREG(target_.st_mode))
        return kindOf(target_.st_mode);
    // A file the user may not write is not replaced either, whatever its folder allows.
    if (::faccessat(folder_, name_.constData(), W_OK, AT_EACCESS) != 0) {
        const int denied = errno;
        return denied == EROFS ? QStringLiteral("the file is on a read-only file system")
                               : QStringLiteral("the file is read-only (%1)").arg(systemError(denied));
    }
    return {};
}

// The temporary file, beside the target: 0 or why none was made.
int TextOutputStream::makeTemporary()
{
    return makeFile(folder_, O_WRONLY, 0666, temporaryNameFor, name_, temporary_, temporaryName_);
}

// A new file gets the mode a file made here gets; one that replaces another gets that one's mode,
// owner and group. Until the commit only its writer may read it. 0 or why the owner and group
// cannot be kept.
int TextOutputStream::takeOverTarget()
{
    struct stat made {};
    if (::fstat(temporary_, &made) != 0)
        return errno;
    mode_ = unsigned(exists_ ? target_.st_mode : made.st_mode) & 07777;
    if (exists_ && (made.st_uid != target_.st_uid || made.st_gid != target_.st_gid)
        && ::fchown(temporary_, target_.st_uid, target_.st_gid) != 0)
        return errno;
    if (::fchmod(temporary_, 0600) != 0 && !keepsNoModes(errno))
        return errno;
    return 0;
}

// In place: opened for reading too, so that nothing is cut before Close, and so that the former
// content can be copied then.
QString TextOutputStream::openInPlace(const QString& whyInPlace)
{
    whyInPlace_ = whyInPlace;
    const int fd = ::openat(folder_, name_.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    const int openError = errno;
    struct stat opened {};
    if (fd >= 0 && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        inPlace_ = fd;
        return {};
    }
    const QString reason = fd < 0 ? systemError(openError) : kindOf(opened.st_mode);
    if (fd >= 0)
        ::close(fd);
    return QStringLiteral("%1, and the file itself cannot be written (%2)").arg(whyInPlace, reason);
}

TextOutputStream::~TextOutputStream()
{
    dropTemporary(); // the target stays as it was
    // An in-place target has not been touched before Close.
    if (inPlace_ >= 0)
        ::close(inPlace_);
    if (folder_ >= 0)
        ::close(folder_);
}

void TextOutputStream::dropTemporary()
{
    if (temporary_ < 0)
        return;
    ::close(std::exchange(temporary_, -1));
    if (!temporaryName_.isEmpty())
        ::unlinkat(folder_, std::exchange(temporaryName_, QByteArray()).constData(), 0);
}

void TextOutputStream::fail(int error)
{
    failed_ = true;
    error_ = systemError(error);
}

void TextOutputStream::Write(const QString& text)
{
    if (closed_ || failed_ || text.isEmpty())
        return;
    pending_ += text.toUtf8();
    if (temporary_ >= 0 && pending_.size() >= WriteChunk)
        writePending();
}

void TextOutputStream::WriteLine(const QString& text)
{
    Write(text);
    Write(delimiter_);
}

void TextOutputStream::WriteUtf8(QByteArrayView bytes)
{
    if (closed_ || failed_ || bytes.isEmpty())
        return;
    pending_.append(bytes);
    if (temporary_ >= 0 && pending_.size() >= WriteChunk)
        writePending();
}

bool TextOutputStream::writePending()
{
    const int error = writeAll(temporary_, pending_);
    pending_.resize(0); // keeps its room for the next chunk
    if (error != 0)
        fail(error);
    return error == 0;
}

bool TextOutputStream::Close()
{
    if (closed_)
        return !failed_;
    closed_ = true;
    if (inPlace_ >= 0 ? closeInPlace() : closeTemporary())
        return true;
    if (!formerKeptElsewhere_)
        error_ += exists_ ? QStringLiteral("; the file is unchanged") : QStringLiteral("; no file was made");
    return false;
}

bool TextOutputStream::closeTemporary()
{
    // The text reaches the disk before the commit replaces the target: a disk that fills up only
    // when the data is flushed fails here, while the former target is still in place.
    if (!failed_ && writePending() && ::fsync(temporary_) != 0 && errno != EINVAL)
        fail(errno);
    if (!failed_)
        commitTemporary();
    dropTemporary();
    return !failed_;
}

// Gives the temporary file its mode and the target's name, which it takes over whatever holds it
// now (a link there is replaced, not followed).
bool TextOutputStream::commitTemporary()
{
    if (::fchmod(temporary_, mode_) != 0 && !keepsNoModes(errno)) {
        fail(errno);
        return false;
    }
    if (temporaryName_.isEmpty()) {
        if (const int error = giveName(temporary_, folder_, temporaryNameFor, name_, temporaryName_)) {
            fail(error);
            return false;
        }
    }
    if (::renameat(folder_, temporaryName_.constData(), folder_, name_.constData()) != 0) {
        fail(errno);
        return false;
    }
    temporaryName_.clear(); // the target's now
    return true;
}

// Keeps a copy of the former content, writes the text over it, and puts the former content back
// when that fails: the target then holds either the whole text or its former bytes.
bool TextOutputStream::closeInPlace()
{
    const int fd = std::exchange(inPlace_, -1);
    const QByteArray text = std::exchange(pending_, QByteArray());
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        fail(errno);
        ::close(fd);
        return false;
    }
    const off_t formerSize = info.st_size;
    KeptCopy copy;
    if (const QString noCopy = keepCopy(fd, formerSize, copy); !noCopy.isEmpty()) {
        ::close(fd);
        failed_ = true;
        error_ = noCopy;
        return false;
    }
    off_t touched = 0;
    const int error = overwrite(fd, text, touched);
    if (error == 0) {
        // The text is on the disk: what close may still report changes nothing of it.
        ::close(fd);
        releaseCopy(copy, true);
        return true;
    }
    fail(error);
    // The size first, so that room the text took is given back before the former bytes go back.
    int putBack = ::ftruncate(fd, formerSize) == 0 ? 0 : errno;
    if (putBack == 0)
        putBack = copyRange(copy.fd, fd, std::min(touched, formerSize));
    if (putBack == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        putBack = errno;
    ::close(fd);
    if (putBack != 0) {
        error_ += QStringLiteral("; the file could not be put back as it was (%1): its former content is kept in "
                                 "\"%2\"")
                      .arg(systemError(putBack), copy.shown);
        formerKeptElsewhere_ = true;
    }
    releaseCopy(copy, putBack == 0);
    return false;
}

// Writes text over the file from its start and cuts it to the text's length: 0 or the error number.
// touched tells how far the former content may have been overwritten by then.
int TextOutputStream::overwrite(int fd, const QByteArray& text, off_t& touched)
{
    // The space for the whole text first: where the disk cannot give it, nothing of the former text
    // has been overwritten yet. A file system that cannot reserve is written as it is.
    if (!text.isEmpty()) {
        const int error = ::posix_fallocate(fd, 0, off_t(text.size()));
        if (error != 0 && error != EOPNOTSUPP && error != ENOSYS && error != EINVAL)
            return error;
    }
    qsizetype written = 0;
    const int error = writeAll(fd, text, 0, &written);
    touched = off_t(written);
    if (error != 0)
        return error;
    touched = std::numeric_limits<off_t>::max(); // a cut or a failed sync may concern any of it
    if (::ftruncate(fd, off_t(text.size())) != 0)
        return errno;
    if (::fsync(fd) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

// Keeps a copy of the first size bytes of fd: beside the target, else in the state folder. "" when
// one is kept, else why none can be.
QString TextOutputStream::keepCopy(int fd, off_t size, KeptCopy& copy)
{
    int besideError = 0;
    if (makeCopyIn(folder_, fd, size, copy, besideError)) {
        copy.shown = (folderShown_.endsWith(u'/') ? folderShown_ : folderShown_ + u'/') + decodePath(copy.name);
        return {};
    }
    QString stateProblem;
    const QByteArray state = Mutex::stateFolder(&stateProblem);
    if (!state.isEmpty()) {
        const int stateFolder = openRetrying(state.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info {};
        int stateError = 0;
        if (stateFolder < 0)
            stateError = errno;
        else if (::fstat(stateFolder, &info) != 0 || !isPrivateFolder(info))
            stateError = EACCES;
        else if (makeCopyIn(stateFolder, fd, size, copy, stateError)) {
            copy.shown = decodePath(state + '/' + copy.name);
            return {};
        }
        if (stateFolder >= 0)
            ::close(stateFolder);
        stateProblem = QStringLiteral("\"%1\": %2").arg(decodePath(state), systemError(stateError));
    }
    return QStringLiteral("%1, so it would be written over in place, and no copy of its content can be kept to "
                          "put it back should that fail (beside it: %2; %3)")
        .arg(whyInPlace_, systemError(besideError), stateProblem);
}

// Makes a copy of the first size bytes of fd in folder, on the disk before anything is overwritten;
// true when made, else false with error set and nothing left behind. The copy has no name until it
// is complete where the file system allows that, so that a copy cut short is never left.
bool TextOutputStream::makeCopyIn(int folder, int fd, off_t size, KeptCopy& copy, int& error)
{
    QByteArray name;
    int made = -1;
    error = makeFile(folder, O_RDWR, 0600, keptNameFor, name_, made, name);
    if (error != 0)
        return false;
    error = copyRange(fd, made, size);
    if (error == 0 && ::fsync(made) != 0 && errno != EINVAL)
        error = errno;
    if (error == 0 && name.isEmpty())
        error = giveName(made, folder, keptNameFor, name_, name);
    if (error != 0) {
        ::close(made);
        if (!name.isEmpty())
            ::unlinkat(folder, name.constData(), 0);
        return false;
    }
    // Its name reaches the disk too, where the folder can be synced.
    const int synced = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (synced >= 0) {
        ::fsync(synced);
        ::close(synced);
    }
    copy.fd = made;
    copy.folder = folder;
    copy.name = name;
    return true;
}

// Closes the copy, and removes it where it is no longer needed.
void TextOutputStream::releaseCopy(KeptCopy& copy, bool remove)
{
    ::close(copy.fd);
    if (remove)
        ::unlinkat(copy.folder, copy.name.constData(), 0);
    if (copy.folder != folder_)
        ::close(copy.folder);
    copy = {};
}

std::unique_ptr<TextInputStream> TextInputStream::open(const QString& path, QString* error)
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    const QByteArray name = encodePath(path);
    // Looked at before opening, since opening a device or a pipe may block or act on it; and checked
    // again on the descriptor, for whatever took the name's place meanwhile.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return fail(systemError(errno));
    if (!S_ISREG(info.st_mode))
        return fail(kindOf(info.st_mode));
    const int fd = openRetrying(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(systemError(errno));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const QString reason = S_ISREG(info.st_mode) ? systemError(errno) : kindOf(info.st_mode);
        ::close(fd);
        return fail(reason);
    }
    std::unique_ptr<TextInputStream> stream(new TextInputStream);
    stream->fd_ = fd;
    stream->sizeAtOpen_ = stream->unread_ = qint64(info.st_size);
    stream->modifiedAtOpen_ = info.st_mtim;
    stream->changedAtOpen_ = info.st_ctim;
    return stream;
}

TextInputStream::~TextInputStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QString TextInputStream::ReadLine()
{
    return ReadLineView().toString();
}

QStringView TextInputStream::ReadLineView()
{
    started_ = true;
    held_.resize(0);
    for (;;) {
        qsizetype end = -1;
        const QChar* text = buffer_.constData();
        for (qsizetype i = scan_; i < buffer_.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c <= u'\r' && (c == u'\n' || c == u'\r')) {
                end = i;
                break;
            }
        }
        if (end < 0) {
            scan_ = buffer_.size();
            if (lineLimit_ >= 0 && scan_ - pos_ > lineLimit_) {
                stopAtOverlongLine();
                return {};
            }
            if (!fileDone_) {
                fill();
                continue;
            }
            // Last line without a line end (or nothing left at all).
            const qsizetype from = pos_;
            pos_ = scan_ = buffer_.size();
            if (from < pos_)
                ++linesRead_;
            return QStringView(buffer_).sliced(from);
        }
        if (lineLimit_ >= 0 && end - pos_ > lineLimit_) {
            stopAtOverlongLine();
            return {};
        }
        if (text[end] == u'\r' && end + 1 == buffer_.size() && !fileDone_) {
            scan_ = end; // is it CR or CRLF? The next chunk tells.
            fill();
            continue;
        }
        const qsizetype from = pos_;
        qsizetype next = end + 1;
        if (text[end] == u'\r' && next < buffer_.size() && text[next] == u'\n')
            ++next;
        pos_ = scan_ = next;
        ++linesRead_;
        if (pos_ >= buffer_.size() && !fileDone_) {
            // Refilled at once so that EOF() is exact right after the last line; the line stays in
            // held_ meanwhile, so the view stays valid.
            std::swap(held_, buffer_);
            buffer_.resize(0);
            pos_ = scan_ = 0;
            fillIfDrained();
            return QStringView(held_).sliced(from, end - from);
        }
        return QStringView(buffer_).sliced(from, end - from);
    }
}

void TextInputStream::stopAtOverlongLine()
{
    firstOverlongLine_ = linesRead_ + 1;
    buffer_.clear();
    buffer_.squeeze();
    pos_ = scan_ = 0;
    fileDone_ = true;
}

void TextInputStream::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    held_.clear();
    pos_ = scan_ = 0;
    fileDone_ = true;
    started_ = true;
}

void TextInputStream::fill()
{
    if (fileDone_)
        return;
    // Drop the text already returned once it is at least half the buffer: amortised linear.
    if (pos_ > 0 && pos_ >= buffer_.size() / 2) {
        buffer_.remove(0, pos_);
        scan_ -= pos_;
        pos_ = 0;
    }
    // Never beyond the size at open: what a writer adds meanwhile is not part of what was opened.
    const qint64 want = std::min(ReadChunk, unread_);
    QByteArray chunk(want, Qt::Uninitialized);
    qint64 got = 0;
    if (fd_ >= 0 && want > 0) {
        do {
            got = ::read(fd_, chunk.data(), size_t(want));
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            readError_ = systemError(errno);
        else if (got == 0)
            readError_ = QStringLiteral("the file became shorter while it was read");
    } else if (fd_ >= 0) {
        checkUnchanged(); // an empty file
    }
    QString text;
    if (got <= 0) {
        fileDone_ = true;
        checkTextAtEnd();
        text = decoder_.finish();
    } else {
        unread_ -= got;
        chunk.truncate(got);
        readHash_.add(chunk.constData(), got);
        const qsizetype nonText = checkText(chunk);
        if (nonText >= 0) {
            chunk.truncate(nonText); // nothing beyond the byte that makes the file not text is read
            fileDone_ = true;
            text = decoder_.decode(chunk);
            text += decoder_.finish();
        } else {
            text = decoder_.decode(chunk);
            if (unread_ == 0) {
                fileDone_ = true;
                checkTextAtEnd();
                checkUnchanged();
                text += decoder_.finish();
            }
        }
    }
    if (atFileStart_ && !text.isEmpty()) {
        atFileStart_ = false;
        if (text.front() == QChar(0xFEFF))
            text.remove(0, 1);
    }
    buffer_ += text;
}

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The high bit of each byte of a word of ASCII bytes that is zero, and only of those.
std::uint64_t zeroBytes(std::uint64_t word)
{
    return ~(((word & kLowBits) + kLowBits) | word | kLowBits);
}

} // namespace

qsizetype TextInputStream::checkText(QByteArrayView bytes)
{
    if (firstNonTextLine_ != 0)
        return 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        // Eight bytes at a time while they are ASCII without NUL or CR and no sequence is open, as in
        // the lines of a number list: only their line feeds need counting.
        if (checkNeed_ == 0 && !checkAfterCr_) {
            for (; i + 8 <= bytes.size(); i += 8) {
                std::uint64_t word;
                std::memcpy(&word, bytes.data() + i, sizeof word);
                if ((word & kHighBits) != 0 || (zeroBytes(word) | zeroBytes(word ^ ('\r' * kEveryByte))) != 0)
                    break;
                checkLine_ += std::popcount(zeroBytes(word ^ ('\n' * kEveryByte)));
            }
            if (i == bytes.size())
                break;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (checkNeed_ > 0) {
            if (b < checkLow_ || b > checkHigh_) {
                firstNonTextLine_ = checkLine_; // a sequence cut short belongs to the line it began on
                return i;
            }
            --checkNeed_;
            checkLow_ = 0x80;
            checkHigh_ = 0xBF;
            continue;
        }
        if (b < 0x80) {
            if (b == 0) {
                firstNonTextLine_ = checkLine_;
                nonTextIsNul_ = true;
                return i;
            }
            if (b == '\r' || (b == '\n' && !checkAfterCr_))
                ++checkLine_;
            checkAfterCr_ = b == '\r';
            continue;
        }
        checkAfterCr_ = false;
        const Utf8Lead lead = utf8Lead(b);
        if (lead.length == 0) {
            firstNonTextLine_ = checkLine_;
            return i;
        }
        checkNeed_ = lead.length - 1;
        checkLow_ = lead.low;
        checkHigh_ = lead.high;
    }
    return -1;
}

void TextInputStream::checkUnchanged()
{
    struct stat now {};
    if (::fstat(fd_, &now) != 0) {
        readError_ = systemError(errno);
        return;
    }
    const auto same = [](const struct timespec& a, const struct timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    if (qint64(now.st_size) == sizeAtOpen_ && same(now.st_mtim, modifiedAtOpen_) && same(now.st_ctim, changedAtOpen_))
        return;
    if (qint64(now.st_size) < sizeAtOpen_)
        readError_ = QStringLiteral("the file became shorter while it was read");
    else if (!readsAsBefore() && readError_.isEmpty())
        readError_ = QStringLiteral("the file changed while it was read");
}

bool TextInputStream::readsAsBefore()
{
    ByteHash again;
    QByteArray chunk(qsizetype(std::min(ReadChunk, sizeAtOpen_)), Qt::Uninitialized);
    for (qint64 at = 0; at < sizeAtOpen_;) {
        const qint64 want = std::min(ReadChunk, sizeAtOpen_ - at);
        qint64 got = 0;
        do {
            got = ::pread(fd_, chunk.data(), size_t(want), off_t(at));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            readError_ = systemError(errno);
            return false;
        }
        if (got == 0) {
            readError_ = QStringLiteral("the file became shorter while it was read");
            return false;
        }
        again.add(chunk.constData(), got);
        at += got;
    }
    return again.value() == readHash_.value();
}

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4F;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9;

std::uint64_t mixed(std::uint64_t lane, std::uint64_t word)
{
    return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

} // namespace

void TextInputStream::ByteHash::addBlock(const char* block)
{
    for (int i = 0; i < 4; ++i) {
        std::uint64_t word;
        std::memcpy(&word, block + 8 * i, sizeof word);
        lanes_[i] = mixed(lanes_[i], word);
    }
}

void TextInputStream::ByteHash::add(const char* bytes, qsizetype size)
{
    length_ += std::uint64_t(size);
    if (pendingSize_ > 0) {
        const qsizetype take = std::min(kBlock - pendingSize_, size);
        std::memcpy(pending_ + pendingSize_, bytes, size_t(take));
        pendingSize_ += take;
        bytes += take;
        size -= take;
        if (pendingSize_ < kBlock)
            return;
        addBlock(pending_);
        pendingSize_ = 0;
    }
    for (; size >= kBlock; bytes += kBlock, size -= kBlock)
        addBlock(bytes);
    std::memcpy(pending_, bytes, size_t(size));
    pendingSize_ = size;
}

std::uint64_t TextInputStream::ByteHash::value() const
{
    std::uint64_t hash = length_ * kPrime3;
    for (const std::uint64_t lane : lanes_)
        hash = mixed(hash, lane);
    char tail[kBlock] {};
    std::memcpy(tail, pending_, size_t(pendingSize_));
    for (int i = 0; i < kBlock; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, tail + i, sizeof word);
        hash = mixed(hash, word);
    }
    return hash ^ (hash >> 29);
}

void TextInputStream::checkTextAtEnd()
{
    if (firstNonTextLine_ == 0 && checkNeed_ > 0)
        firstNonTextLine_ = checkLine_;
}

void TextInputStream::fillIfDrained()
{
    while (pos_ >= buffer_.size() && !fileDone_)
        fill();
}

} // namespace fw
