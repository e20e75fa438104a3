#pragma once

#include "TextHelpers.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

// The C library's EOF macro would turn every call of TextInputStream::EOF() into "(-1)()". <cstdio>
// is included first so that it cannot bring the macro back later; C++ code uses
// std::char_traits<char>::eof() instead.
#ifdef EOF
#undef EOF
#endif

namespace fw {

// Writes a UTF-8 text file through a temporary file beside the target. The target is replaced only
// when Close() commits the complete text, so a failed or abandoned write (including destroying the
// stream without Close) leaves the former target untouched. The temporary file has no name while it
// is written where the file system allows that (else a name of its own, removed through the folder's
// descriptor when the write is abandoned), and only its writer may read it until the commit, where
// the file system keeps modes at all (one that keeps none is no reason to refuse).
//
// A file that replaces another keeps its mode, owner and group. Where they cannot be kept (a file of
// another owner, or of a group the user is not in, that the user may write), and where the folder
// refuses new files for want of permission, the stream keeps the text in memory and Close() writes
// it over the target in place. Before it does, a copy of the former content is kept: beside the
// target where the folder takes a new file, else in the program's private state folder
// (Mutex::stateFolder), under the target's name followed by ".kept-" and eight letters and digits.
// A write that fails part-way puts the former content back from the copy, byte for byte, and the copy
// goes; where no copy can be kept, nothing is written. Only if the former content cannot be put back
// either, or the program ends during the write, does the copy stay, and the failure names it. A
// folder that takes no new file because its disk (or quota) is full is refused as such, never
// written in place.
//
// Only a regular file, or a new one, is written: a folder, device, pipe or socket is refused, and so
// is a file the user may not write (a read-only file is not replaced). A link is never followed: a
// link at the name is refused (the reason says where it leads), and whatever takes the name meanwhile
// is replaced by the file, never written into. Failures give the reason only ("it is a folder", "No
// space left on device"): the caller names the file. A failed Close also says what became of the
// file ("the file is unchanged", "no file was made", or where its former content is kept).
class TextOutputStream
{
public:
    // nullptr when neither a temporary file can be made nor an existing target be written (missing
    // folder, no permission, a full disk...); error then receives the reason.
    static std::unique_ptr<TextOutputStream> create(const QString& path, QString* error = nullptr);
    ~TextOutputStream();
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    void Write(const QString& text);
    void WriteLine(const QString& text); // text followed by Delimiter()
    // Bytes that are UTF-8 text already, written as they are; what Write of their text would write.
    void WriteUtf8(QByteArrayView bytes);
    QString Delimiter() const { return delimiter_; }
    void setDelimiter(const QString& delimiter) { delimiter_ = delimiter; }

    // Commits; false when any write or the commit failed (errorString() tells why, and what became of
    // the file). Writing after Close is ignored.
    bool Close();
    QString errorString() const { return error_; }

    // True when the text goes over the target in place rather than through a temporary file.
    bool writesInPlace() const { return inPlace_ >= 0; }

private:
    // The former content of a target written in place, in a file of its own.
    struct KeptCopy {
        int fd = -1;
        int folder = -1;     // where it is named: folder_, or a descriptor of the state folder
        QByteArray name;     // its name there
        QString shown;       // its path, for the user
    };

    TextOutputStream() = default;
    // The steps of create, one case each: "" when the step succeeded, else why not.
    QString findTarget(const QString& path);
    int makeTemporary();
    int takeOverTarget();
    QString openInPlace(const QString& whyInPlace);

    bool writePending();
    bool closeTemporary();
    bool commitTemporary();
    void dropTemporary();
    bool closeInPlace();
    QString keepCopy(int fd, off_t size, KeptCopy& copy);
    bool makeCopyIn(int folder, int fd, off_t size, KeptCopy& copy, int& error);
    void releaseCopy(KeptCopy& copy, bool remove);
    int overwrite(int fd, const QByteArray& text, off_t& touched);
    void fail(int error);

    int folder_ = -1;          // the target's folder, where the temporary file is made and named
    QByteArray name_;          // the target's name in it
    QString folderShown_;      // the folder as the caller named it
    bool exists_ = false;      // whether the target was there at create
    struct stat target_ {};    // what was there then
    int temporary_ = -1;       // the temporary file
    QByteArray temporaryName_; // its name in the folder; empty while it has none
    unsigned mode_ = 0;        // the mode bits the committed file gets
    int inPlace_ = -1;         // the target, opened to be written in place
    QString whyInPlace_;       // why it is not replaced instead
    QByteArray pending_;       // text not written yet: all of it in place, a part of it otherwise
    QString delimiter_ = QStringLiteral("\n");
    QString error_;
    bool failed_ = false;
    bool formerKeptElsewhere_ = false; // a failed Close left the former content in a kept copy only
    bool closed_ = false;
};

// Reads a UTF-8 text file line by line, in chunks (time linear in the file size, memory in the
// longest line). A line ends at LF, CRLF or CR. A file holds at least one line: the empty file reads
// as one empty line, and a final line end does not start another line ("a\n" is the one line "a").
// A leading byte order mark is skipped.
//
// The stream reads what the file held when it was opened and never more: what a writer appends
// meanwhile is not read, and is no error. A file whose bytes change while it is read is a read error
// once the last line is handed out: one that becomes shorter, and one whose first sizeAtOpen() bytes
// read differently at the end than they did as they were handed out (rewritten in place, whether it
// also grew or not), so that a half old, half new text is never taken for the file: what is handed
// out is what those bytes hold at the end. The bytes read are hashed as they go; only when the
// file's size, modification or change time differ at the end from what they were at open are they
// read once more and compared, so an unchanged file costs no second read.
//
// A line may be bounded (setLineLimit): reading then stops at a longer line instead of holding it,
// so memory stays bounded whatever the file holds.
//
// A file is text when it is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF, no sequence cut off by the end) without a NUL byte. The stream checks the bytes as it
// reads them, ahead of the lines handed out, and reads no further than the first byte that makes the
// file not text: the text before that byte reads as lines (a sequence the byte cuts short as U+FFFD),
// and EOF() follows. So a binary file costs one read chunk, whatever its size, never a line of its
// length.
class TextInputStream
{
public:
    // nullptr when the file cannot be opened; error then receives the reason. Only a regular file
    // (after links) is opened: a folder, device, named pipe or socket is refused before it is opened,
    // and the file is opened so that nothing can block (a pipe put in its place meanwhile is refused
    // too).
    static std::unique_ptr<TextInputStream> open(const QString& path, QString* error = nullptr);
    ~TextInputStream();
    TextInputStream(const TextInputStream&) = delete;
    TextInputStream& operator=(const TextInputStream&) = delete;

    // The next line without its line end; "" once nothing is left.
    QString ReadLine();
    // The same line as a view into the stream's buffer, valid until the next read or Close: no copy.
    QStringView ReadLineView();
    // True once every line has been read. Never true before the first ReadLine, so that a reading
    // loop always gets the first line.
    bool EOF() const { return started_ && pos_ >= buffer_.size() && fileDone_; }
    void Close();

    // 1-based number of the first line, among the bytes read so far, that holds a byte sequence that
    // is not UTF-8 or a NUL byte (the last line read then); 0 while none was found. Lines are counted
    // as ReadLine cuts them.
    qint64 firstNonTextLine() const { return firstNonTextLine_; }
    // True when what makes that line no text is a NUL byte (well-formed UTF-8, but held by no text).
    bool nonTextIsNul() const { return nonTextIsNul_; }
    // Lines longer than this many UTF-16 units are not read: at the first one, reading stops (EOF()
    // follows) and firstOverlongLine() gives its number. Unbounded (-1) unless set.
    void setLineLimit(qsizetype units) { lineLimit_ = units; }
    qint64 firstOverlongLine() const { return firstOverlongLine_; }
    // The file's size when it was opened: the most the stream reads.
    qint64 sizeAtOpen() const { return sizeAtOpen_; }
    bool hadReadError() const { return !readError_.isEmpty(); }
    // Why reading failed, without the file's name.
    QString errorString() const { return readError_; }

private:
    // A cheap hash of bytes, the same however they are split into pieces: four lanes of 64-bit words,
    // each mixed by a multiply and a rotation. It tells a change apart, not a crafted collision.
    class ByteHash
    {
    public:
        void add(const char* bytes, qsizetype size);
        std::uint64_t value() const;

    private:
        static constexpr qsizetype kBlock = 32;
        void addBlock(const char* block);
        std::uint64_t lanes_[4] = {0x60EA27EEADC0B5D6, 0xC2B2AE3D27D4EB4F, 0, 0x61C8864E7A143579};
        char pending_[kBlock] {}; // the bytes of a block not complete yet
        qsizetype pendingSize_ = 0;
        std::uint64_t length_ = 0;
    };

    TextInputStream() = default;
    void fill();
    void fillIfDrained();
    void stopAtOverlongLine();
    // The offset in bytes of the first byte that makes the file not text, or -1.
    qsizetype checkText(QByteArrayView bytes);
    void checkTextAtEnd();
    void checkUnchanged();
    // Reads the first sizeAtOpen_ bytes again and tells whether they hash as they did when read.
    bool readsAsBefore();

    int fd_ = -1;
    qint64 sizeAtOpen_ = 0;
    struct timespec modifiedAtOpen_ {};
    struct timespec changedAtOpen_ {};
    qint64 unread_ = 0; // bytes of the size at open not read yet
    ByteHash readHash_; // of the bytes read so far
    Utf8Decoder decoder_;
    QString buffer_;
    QString held_; // the buffer the last line view points into, kept until the next read
    QString readError_;
    qsizetype pos_ = 0;  // start of the unread text in buffer_
    qsizetype scan_ = 0; // buffer_ before this holds no line end after pos_
    qsizetype lineLimit_ = -1;
    qint64 linesRead_ = 0;
    qint64 firstOverlongLine_ = 0;
    bool fileDone_ = false;
    bool started_ = false;
    bool atFileStart_ = true;

    // Text check of the bytes read so far: the line being read, whether its last byte was a CR (an LF
    // right after it ends no further line), and the UTF-8 sequence in progress (continuation bytes
    // still due and the range the next one must lie in).
    qint64 firstNonTextLine_ = 0;
    bool nonTextIsNul_ = false;
    qint64 checkLine_ = 1;
    bool checkAfterCr_ = false;
    int checkNeed_ = 0;
    unsigned char checkLow_ = 0x80;
    unsigned char checkHigh_ = 0xBF;
};

} // namespace fw
