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

} // namespace

std::unique_ptr<TextOutputStream> TextOutputStream::create(const QString& path, QString* error)
{
    auto file = std::make_unique<QSaveFile>(path);
    // Qt's own fallback writes the target in place from the first byte on, so an abandoned or failed
    // write would leave it half-written; the in-place road below writes only once the text is whole.
    file->setDirectWriteFallback(false);
    if (file->open(QIODevice::WriteOnly))
        return std::unique_ptr<TextOutputStream>(new TextOutputStream(std::move(file)));

    const QString replaceError = file->errorString();
    const QFileInfo target(path);
    if (target.isFile()) {
        // Opened for reading too, so that nothing is cut before Close.
        auto inPlace = std::make_unique<QFile>(path);
        if (inPlace->open(QIODevice::ReadWrite))
            return std::unique_ptr<TextOutputStream>(new TextOutputStream(std::move(inPlace)));
        if (error) {
            *error = QStringLiteral("Cannot write \"%1\": the folder \"%2\" takes no temporary file (%3), and the "
                                    "file itself cannot be written (%4)")
                         .arg(path, target.absolutePath(), replaceError, inPlace->errorString());
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

TextOutputStream::TextOutputStream(std::unique_ptr<QSaveFile> file)
    : file_(std::move(file))
{
}

TextOutputStream::TextOutputStream(std::unique_ptr<QFile> inPlace)
    : inPlace_(std::move(inPlace))
{
}

TextOutputStream::~TextOutputStream()
{
    if (file_ && !closed_)
        file_->cancelWriting(); // the temporary file goes, the target stays as it was
    // An in-place target has not been touched before Close; closing the QFile leaves it as it was.
}

void TextOutputStream::Write(const QString& text)
{
    if (closed_ || failed_ || text.isEmpty())
        return;
    if (inPlace_) {
        pending_ += text.toUtf8();
        return;
    }
    const QByteArray bytes = text.toUtf8();
    if (file_->write(bytes) != bytes.size()) {
        failed_ = true;
        error_ = QStringLiteral("Cannot write \"%1\": %2").arg(file_->fileName(), file_->errorString());
    }
}

void TextOutputStream::WriteLine(const QString& text)
{
    Write(text);
    Write(delimiter_);
}

bool TextOutputStream::Close()
{
    if (closed_)
        return !failed_;
    closed_ = true;
    if (inPlace_)
        return closeInPlace();
    // QSaveFile::commit ignores a failure of its own last flush and would put a cut text in place of
    // the target, so the buffered text is flushed and checked first.
    if (!failed_ && !file_->flush()) {
        failed_ = true;
        error_ = QStringLiteral("Cannot write \"%1\": %2").arg(file_->fileName(), file_->errorString());
    }
    if (failed_) {
        file_->cancelWriting();
        file_->commit(); // only removes the temporary file after cancelWriting
        return false;
    }
    if (!file_->commit()) {
        failed_ = true;
        error_ = QStringLiteral("Cannot save \"%1\": %2").arg(file_->fileName(), file_->errorString());
        return false;
    }
    return true;
}

bool TextOutputStream::closeInPlace()
{
    // Written from the start, then cut to the new length: the target never holds less than the new
    // text unless a write fails, which is reported.
    const bool written = inPlace_->seek(0) && inPlace_->write(pending_) == pending_.size() && inPlace_->flush()
                         && inPlace_->resize(pending_.size());
    if (!written) {
        failed_ = true;
        error_ = QStringLiteral("Cannot save \"%1\": %2").arg(inPlace_->fileName(), inPlace_->errorString());
    }
    inPlace_->close();
    pending_.clear();
    return written;
}

namespace {

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
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
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
