#include "TextStreams.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

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
    : m_file(std::move(file))
{
}

TextOutputStream::TextOutputStream(std::unique_ptr<QFile> inPlace)
    : m_inPlace(std::move(inPlace))
{
}

TextOutputStream::~TextOutputStream()
{
    if (m_file && !m_closed)
        m_file->cancelWriting(); // the temporary file goes, the target stays as it was
    // An in-place target has not been touched before Close; closing the QFile leaves it as it was.
}

void TextOutputStream::Write(const QString& text)
{
    if (m_closed || m_failed || text.isEmpty())
        return;
    if (m_inPlace) {
        m_pending += text.toUtf8();
        return;
    }
    const QByteArray bytes = text.toUtf8();
    if (m_file->write(bytes) != bytes.size()) {
        m_failed = true;
        m_error = QStringLiteral("Cannot write \"%1\": %2").arg(m_file->fileName(), m_file->errorString());
    }
}

void TextOutputStream::WriteLine(const QString& text)
{
    Write(text);
    Write(m_delimiter);
}

bool TextOutputStream::Close()
{
    if (m_closed)
        return !m_failed;
    m_closed = true;
    if (m_inPlace)
        return closeInPlace();
    // QSaveFile::commit ignores a failure of its own last flush and would put a cut text in place of
    // the target, so the buffered text is flushed and checked first.
    if (!m_failed && !m_file->flush()) {
        m_failed = true;
        m_error = QStringLiteral("Cannot write \"%1\": %2").arg(m_file->fileName(), m_file->errorString());
    }
    if (m_failed) {
        m_file->cancelWriting();
        m_file->commit(); // only removes the temporary file after cancelWriting
        return false;
    }
    if (!m_file->commit()) {
        m_failed = true;
        m_error = QStringLiteral("Cannot save \"%1\": %2").arg(m_file->fileName(), m_file->errorString());
        return false;
    }
    return true;
}

bool TextOutputStream::closeInPlace()
{
    // Written from the start, then cut to the new length: the target never holds less than the new
    // text unless a write fails, which is reported.
    const bool written = m_inPlace->seek(0) && m_inPlace->write(m_pending) == m_pending.size() && m_inPlace->flush()
                         && m_inPlace->resize(m_pending.size());
    if (!written) {
        m_failed = true;
        m_error = QStringLiteral("Cannot save \"%1\": %2").arg(m_inPlace->fileName(), m_inPlace->errorString());
    }
    m_inPlace->close();
    m_pending.clear();
    return written;
}

std::unique_ptr<TextInputStream> TextInputStream::open(const QString& path, QString* error)
{
    std::unique_ptr<TextInputStream> stream(new TextInputStream);
    stream->m_file.setFileName(path);
    if (!stream->m_file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open \"%1\": %2").arg(path, stream->m_file.errorString());
        return nullptr;
    }
    return stream;
}

QString TextInputStream::ReadLine()
{
    m_started = true;
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = m_scan; i < m_buffer.size(); ++i) {
            const QChar c = m_buffer[i];
            if (c == u'\n' || c == u'\r') {
                end = i;
                break;
            }
        }
        if (end < 0) {
            m_scan = m_buffer.size();
            if (!m_fileDone) {
                fill();
                continue;
            }
            // Last line without a line end (or nothing left at all).
            QString line = m_buffer.mid(m_pos);
            m_pos = m_scan = m_buffer.size();
            return line;
        }
        if (m_buffer[end] == u'\r' && end + 1 == m_buffer.size() && !m_fileDone) {
            m_scan = end; // is it CR or CRLF? The next chunk tells.
            fill();
            continue;
        }
        QString line = m_buffer.mid(m_pos, end - m_pos);
        qsizetype next = end + 1;
        if (m_buffer[end] == u'\r' && next < m_buffer.size() && m_buffer[next] == u'\n')
            ++next;
        m_pos = m_scan = next;
        fillIfDrained(); // so that EOF() is exact right after the last line
        return line;
    }
}

void TextInputStream::Close()
{
    m_file.close();
    m_buffer.clear();
    m_pos = m_scan = 0;
    m_fileDone = true;
    m_started = true;
}

void TextInputStream::fill()
{
    if (m_fileDone)
        return;
    // Drop the text already returned once it is at least half the buffer: amortised linear.
    if (m_pos > 0 && m_pos >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_pos);
        m_scan -= m_pos;
        m_pos = 0;
    }
    QByteArray chunk(ReadChunk, Qt::Uninitialized);
    const qint64 got = m_file.isOpen() ? m_file.read(chunk.data(), ReadChunk) : 0;
    QString text;
    if (got <= 0) {
        if (got < 0)
            m_readError = QStringLiteral("Cannot read \"%1\": %2").arg(m_file.fileName(), m_file.errorString());
        m_fileDone = true;
        checkTextAtEnd();
        text = m_decoder.finish();
    } else {
        chunk.truncate(got);
        checkText(chunk);
        text = m_decoder.decode(chunk);
    }
    if (m_atFileStart && !text.isEmpty()) {
        m_atFileStart = false;
        if (text.front() == QChar(0xFEFF))
            text.remove(0, 1);
    }
    m_buffer += text;
}

void TextInputStream::checkText(QByteArrayView bytes)
{
    if (m_firstNonTextLine != 0)
        return;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (m_checkNeed > 0) {
            if (b < m_checkLow || b > m_checkHigh) {
                m_firstNonTextLine = m_checkLine; // a sequence cut short belongs to the line it began on
                return;
            }
            --m_checkNeed;
            m_checkLow = 0x80;
            m_checkHigh = 0xBF;
            continue;
        }
        if (b < 0x80) {
            if (b == 0) {
                m_firstNonTextLine = m_checkLine;
                return;
            }
            if (b == '\r' || (b == '\n' && !m_checkAfterCr))
                ++m_checkLine;
            m_checkAfterCr = b == '\r';
            continue;
        }
        m_checkAfterCr = false;
        // The lead byte fixes the length and, for E0, ED, F0 and F4, a narrower range for the second
        // byte, which excludes overlong forms, surrogates and code points above U+10FFFF.
        if (b >= 0xC2 && b <= 0xDF) {
            m_checkNeed = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            m_checkNeed = 2;
            if (b == 0xE0)
                m_checkLow = 0xA0;
            else if (b == 0xED)
                m_checkHigh = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            m_checkNeed = 3;
            if (b == 0xF0)
                m_checkLow = 0x90;
            else if (b == 0xF4)
                m_checkHigh = 0x8F;
        } else {
            m_firstNonTextLine = m_checkLine; // a stray continuation byte, C0, C1 or F5 to FF
            return;
        }
    }
}

void TextInputStream::checkTextAtEnd()
{
    if (m_firstNonTextLine == 0 && m_checkNeed > 0)
        m_firstNonTextLine = m_checkLine;
}

void TextInputStream::fillIfDrained()
{
    while (m_pos >= m_buffer.size() && !m_fileDone)
        fill();
}

} // namespace fw
