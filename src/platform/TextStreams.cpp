#include "TextStreams.h"

#include "SystemCalls.h"

#include <QRandomGenerator>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
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

// A fresh name for a temporary file beside name: hidden, and within the system's limit for a name.
QByteArray temporaryNameFor(const QByteArray& name)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary = '.' + name.left(200) + '.';
    for (int i = 0; i < 8; ++i)
        temporary += Letters[QRandomGenerator::system()->bounded(int(sizeof Letters - 1))];
    return temporary;
}

} // namespace

std::unique_ptr<TextOutputStream> TextOutputStream::create(const QString& path, QString* error)
{
    const auto refuse = [error](const QString& reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    const QByteArray whole = encodePath(path);
    const qsizetype slash = whole.lastIndexOf('/');
    const QByteArray name = whole.mid(slash + 1);
    const QString folderShown = slash < 0    ? QStringLiteral(".")
                                : slash == 0 ? QStringLiteral("/")
                                             : path.left(path.lastIndexOf(u'/'));
    if (name.isEmpty() || name == "." || name == "..")
        return refuse(kindOf(S_IFDIR));

    // Everything below happens in the folder as it was found here, by its descriptor.
    std::unique_ptr<TextOutputStream> stream(new TextOutputStream);
    stream->name_ = name;
    stream->folder_ = openRetrying(slash < 0 ? "." : slash == 0 ? "/" : whole.left(slash).constData(),
                                   O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (stream->folder_ < 0)
        return refuse(QStringLiteral("the folder \"%1\" cannot be reached (%2)").arg(folderShown, systemError(errno)));
    const int folder = stream->folder_;

    struct stat target {};
    const bool exists = ::fstatat(folder, name.constData(), &target, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return refuse(systemError(errno));
    if (exists && S_ISLNK(target.st_mode)) {
        std::vector<char> to(target.st_size > 0 ? size_t(target.st_size) + 1 : 4096);
        const ssize_t got = ::readlinkat(folder, name.constData(), to.data(), to.size());
        return refuse(QStringLiteral("it is a symbolic link to \"%1\", and a link is never written through: choose "
                                     "the file it leads to, or another name")
                          .arg(decodePath(QByteArrayView(to.data(), got > 0 ? got : 0))));
    }
    // Replacing a device or pipe by a file, or writing into one, is never what saving means.
    if (exists && !S_ISREG(target.st_mode))
        return refuse(kindOf(target.st_mode));
    // A file the user may not write is not replaced either, whatever its folder allows.
    if (exists && ::faccessat(folder, name.constData(), W_OK, AT_EACCESS) != 0) {
        const int denied = errno;
        return refuse(denied == EROFS ? QStringLiteral("the file is on a read-only file system")
                                      : QStringLiteral("the file is read-only (%1)").arg(systemError(denied)));
    }

    // The temporary file: without a name where the file system allows it, so that nothing is left
    // behind whatever happens to this process; else under a fresh name of its own.
    int temporary = -1;
    do {
        temporary = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    } while (temporary < 0 && errno == EINTR);
    if (temporary >= 0 && ::faccessat(AT_FDCWD, "/proc/self/fd", X_OK, 0) != 0) {
        ::close(temporary);
        temporary = -1; // it could never be given a name
    }
    int temporaryError = 0;
    for (int i = 0; temporary < 0 && i < TemporaryNameTries; ++i) {
        const QByteArray temporaryName = temporaryNameFor(name);
        do {
            temporary = ::openat(folder, temporaryName.constData(),
                                 O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (temporary < 0 && errno == EINTR);
        temporaryError = errno;
        if (temporary >= 0)
            stream->temporaryName_ = temporaryName;
        else if (temporaryError != EEXIST)
            break;
    }
    QString unkept;
    if (temporary >= 0) {
        stream->temporary_ = temporary;
        // A new file gets the mode a file made here gets; one that replaces another gets that one's
        // mode, owner and group. Until the commit only its writer may read it.
        struct stat made {};
        int problem = ::fstat(temporary, &made) == 0 ? 0 : errno;
        stream->mode_ = unsigned(exists ? target.st_mode : made.st_mode) & 07777;
        if (problem == 0 && exists && (made.st_uid != target.st_uid || made.st_gid != target.st_gid)
            && ::fchown(temporary, target.st_uid, target.st_gid) != 0)
            problem = errno;
        if (problem == 0 && ::fchmod(temporary, 0600) != 0)
            problem = errno;
        if (problem == 0)
            return stream;
        stream->dropTemporary();
        if (!exists)
            return refuse(systemError(problem));
        unkept = QStringLiteral("a new file cannot keep its owner and group (%1)").arg(systemError(problem));
    } else if (!exists) {
        return refuse(
            QStringLiteral("the folder \"%1\" takes no new file (%2)").arg(folderShown, systemError(temporaryError)));
    } else {
        unkept = QStringLiteral("the folder \"%1\" takes no temporary file (%2)")
                     .arg(folderShown, systemError(temporaryError));
    }

    // In place: opened for reading too, so that nothing is cut before Close.
    const int fd = ::openat(folder, name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    const int openError = errno;
    struct stat opened {};
    if (fd >= 0 && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        stream->inPlace_ = fd;
        return stream;
    }
    const QString reason = fd < 0 ? systemError(openError) : kindOf(opened.st_mode);
    if (fd >= 0)
        ::close(fd);
    return refuse(QStringLiteral("%1, and the file itself cannot be written (%2)").arg(unkept, reason));
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
    if (inPlace_ >= 0)
        return closeInPlace();
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
    if (::fchmod(temporary_, mode_) != 0) {
        fail(errno);
        return false;
    }
    if (temporaryName_.isEmpty()) {
        const QByteArray unnamed = "/proc/self/fd/" + QByteArray::number(temporary_);
        for (int i = 0; i < TemporaryNameTries; ++i) {
            const QByteArray temporaryName = temporaryNameFor(name_);
            if (::linkat(AT_FDCWD, unnamed.constData(), folder_, temporaryName.constData(), AT_SYMLINK_FOLLOW) == 0) {
                temporaryName_ = temporaryName;
                break;
            }
            if (errno != EEXIST) {
                fail(errno);
                return false;
            }
        }
        if (temporaryName_.isEmpty()) {
            fail(EEXIST);
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

bool TextOutputStream::closeInPlace()
{
    const int fd = std::exchange(inPlace_, -1);
    const QByteArray text = std::exchange(pending_, QByteArray());
    struct stat info {};
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    const off_t formerSize = info.st_size;
    // The space for the whole text first: where the disk cannot give it, nothing of the former text
    // has been overwritten yet. A file system that cannot reserve is written as it is.
    if (error == 0 && !text.isEmpty()) {
        error = ::posix_fallocate(fd, 0, off_t(text.size()));
        if (error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) {
            error = 0;
        } else if (error != 0) {
            struct stat now {};
            if (::fstat(fd, &now) == 0 && now.st_size != formerSize)
                ::ftruncate(fd, formerSize); // a reservation that ran out of space may have grown it
        }
    }
    // Written from the start, then cut to the new length: the target never holds less than the new
    // text unless a write fails, which is reported.
    if (error == 0)
        error = writeAll(fd, text, 0);
    if (error == 0 && ::ftruncate(fd, off_t(text.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        fail(error);
    return error == 0;
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
        // The lead byte fixes the length and, for E0, ED, F0 and F4, a narrower range for the second
        // byte, which excludes overlong forms, surrogates and code points above U+10FFFF.
        if (b >= 0xC2 && b <= 0xDF) {
            checkNeed_ = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            checkNeed_ = 2;
            if (b == 0xE0)
                checkLow_ = 0xA0;
            else if (b == 0xED)
                checkHigh_ = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            checkNeed_ = 3;
            if (b == 0xF0)
                checkLow_ = 0x90;
            else if (b == 0xF4)
                checkHigh_ = 0x8F;
        } else {
            firstNonTextLine_ = checkLine_; // a stray continuation byte, C0, C1 or F5 to FF
            return i;
        }
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
