#include "TextStreams.h"

#include "SystemCalls.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

std::unique_ptr<TextOutputStream> TextOutputStream::create(const QString& path, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // Replacing a device or pipe by a file, or writing into one, is never what saving means.
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, kindOf(info.st_mode));
        return nullptr;
    }
    auto file = std::make_unique<QSaveFile>(path);
    // Qt's own fallback writes the target in place from the first byte on, so an abandoned or failed
    // write would leave it half-written; the in-place road below writes only once the text is whole.
    file->setDirectWriteFallback(false);
    if (file->open(QIODevice::WriteOnly))
        return std::unique_ptr<TextOutputStream>(new TextOutputStream(path, std::move(file), -1));

    const QString replaceError = file->errorString();
    const QFileInfo target(path);
    if (target.isFile()) {
        // Opened for reading too, so that nothing is cut before Close.
        const int fd = openRetrying(name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        const int openError = errno;
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            return std::unique_ptr<TextOutputStream>(new TextOutputStream(path, nullptr, fd));
        const QString reason = fd < 0 ? systemError(openError) : kindOf(info.st_mode);
        if (fd >= 0)
            ::close(fd);
        if (error) {
            *error = QStringLiteral("Cannot write \"%1\": the folder \"%2\" takes no temporary file (%3), and the "
                                    "file itself cannot be written (%4)")
                         .arg(path, target.absolutePath(), replaceError, reason);
        }
        return nullptr;
    }
    if (error) {
        if (!target.exists() && target.absoluteDir().exists()) {
            *error = QStringLiteral("Cannot create \"%1\" in the folder \"%2\": %3")
                         .arg(path, target.absolutePath(), replaceError);
        } else {
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, replaceError);
        }
    }
    return nullptr;
}

TextOutputStream::TextOutputStream(const QString& path, std::unique_ptr<QSaveFile> file, int inPlace)
    : path_(path)
    , file_(std::move(file))
    , inPlace_(inPlace)
{
}

TextOutputStream::~TextOutputStream()
{
    if (file_ && !closed_)
        file_->cancelWriting(); // the temporary file goes, the target stays as it was
    // An in-place target has not been touched before Close.
    if (inPlace_ >= 0)
        ::close(inPlace_);
}

void TextOutputStream::fail(const char* what, int error)
{
    failed_ = true;
    error_ = QStringLiteral("%1 \"%2\": %3").arg(QLatin1String(what), path_, systemError(error));
}

void TextOutputStream::Write(const QString& text)
{
    if (closed_ || failed_ || text.isEmpty())
        return;
    pending_ += text.toUtf8();
    if (file_ && pending_.size() >= WriteChunk)
        writePending();
}

void TextOutputStream::WriteLine(const QString& text)
{
    Write(text);
    Write(delimiter_);
}

// Writes the pending text to the temporary file itself, so that a failure keeps the system's reason
// (Qt's buffered writes lose it and say "Unknown error").
bool TextOutputStream::writePending()
{
    const int error = writeAll(file_->handle(), pending_);
    pending_.clear();
    if (error != 0)
        fail("Cannot write", error);
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
    if (!failed_ && writePending() && ::fsync(file_->handle()) != 0 && errno != EINVAL)
        fail("Cannot write", errno);
    if (failed_) {
        file_->cancelWriting();
        file_->commit(); // only removes the temporary file after cancelWriting
        return false;
    }
    if (!file_->commit()) {
        failed_ = true;
        error_ = QStringLiteral("Cannot save \"%1\": %2").arg(path_, file_->errorString());
        return false;
    }
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
        fail("Cannot save", error);
    return error == 0;
}

std::unique_ptr<TextInputStream> TextInputStream::open(const QString& path, QString* error)
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Cannot open \"%1\": %2").arg(path, reason);
        return nullptr;
    };
    const QByteArray name = QFile::encodeName(path);
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
    if (!stream->file_.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(stream->file_.errorString());
    }
    stream->path_ = path;
    return stream;
}

QString TextInputStream::ReadLine()
{
    started_ = true;
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = scan_; i < buffer_.size(); ++i) {
            const QChar c = buffer_[i];
            if (c == u'\n' || c == u'\r') {
                end = i;
                break;
            }
        }
        if (end < 0) {
            scan_ = buffer_.size();
            if (!fileDone_) {
                fill();
                continue;
            }
            // Last line without a line end (or nothing left at all).
            QString line = buffer_.mid(pos_);
            pos_ = scan_ = buffer_.size();
            return line;
        }
        if (buffer_[end] == u'\r' && end + 1 == buffer_.size() && !fileDone_) {
            scan_ = end; // is it CR or CRLF? The next chunk tells.
            fill();
            continue;
        }
        QString line = buffer_.mid(pos_, end - pos_);
        qsizetype next = end + 1;
        if (buffer_[end] == u'\r' && next < buffer_.size() && buffer_[next] == u'\n')
            ++next;
        pos_ = scan_ = next;
        fillIfDrained(); // so that EOF() is exact right after the last line
        return line;
    }
}

void TextInputStream::Close()
{
    file_.close();
    buffer_.clear();
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
    QByteArray chunk(ReadChunk, Qt::Uninitialized);
    const qint64 got = file_.isOpen() ? file_.read(chunk.data(), ReadChunk) : 0;
    QString text;
    if (got <= 0) {
        if (got < 0)
            readError_ = QStringLiteral("Cannot read \"%1\": %2").arg(path_, file_.errorString());
        fileDone_ = true;
        checkTextAtEnd();
        text = decoder_.finish();
    } else {
        chunk.truncate(got);
        const qsizetype nonText = checkText(chunk);
        if (nonText >= 0) {
            chunk.truncate(nonText); // nothing beyond the byte that makes the file not text is read
            fileDone_ = true;
            text = decoder_.decode(chunk);
            text += decoder_.finish();
        } else {
            text = decoder_.decode(chunk);
        }
    }
    if (atFileStart_ && !text.isEmpty()) {
        atFileStart_ = false;
        if (text.front() == QChar(0xFEFF))
            text.remove(0, 1);
    }
    buffer_ += text;
}

qsizetype TextInputStream::checkText(QByteArrayView bytes)
{
    if (firstNonTextLine_ != 0)
        return 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
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
