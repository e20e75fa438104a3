#include "platform/FolderItem.h"
#include "platform/Mutex.h"
#include "platform/SystemCalls.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

// The area links with --wrap=fsync, --wrap=posix_fallocate and --wrap=fchmod: the project's own calls
// come here, so a test can make the disk fail where no real disk can be made to.
extern "C" int __real_fsync(int fd);
extern "C" int __real_posix_fallocate(int fd, off_t offset, off_t length);
extern "C" int __real_fchmod(int fd, mode_t mode);
namespace {
std::atomic<int> fsyncError{0};      // while not 0, fsync fails with this error
std::atomic<ino_t> fsyncFile{0};     // and, while not 0, only for this file
std::atomic<int> fsyncFailures{-1};  // as many times (-1: every time)
enum class Reservation { Real, Fills, HoldsNothing };
// Fills: the file grows, then the space is not there, as on a disk that runs out part way.
// HoldsNothing: it succeeds and holds nothing, as on a file system that copies on write.
std::atomic<Reservation> reservation{Reservation::Real};
std::atomic<int> fchmodError{0};     // while not 0, fchmod fails with this error
}
extern "C" int __wrap_fsync(int fd)
{
    struct stat info {};
    const int error = fsyncError.load();
    if (error && fsyncFailures != 0 && (fsyncFile == 0 || (::fstat(fd, &info) == 0 && info.st_ino == fsyncFile))) {
        if (fsyncFailures > 0)
            --fsyncFailures;
        errno = error;
        return -1;
    }
    return __real_fsync(fd);
}
extern "C" int __wrap_posix_fallocate(int fd, off_t offset, off_t length)
{
    if (reservation == Reservation::Fills)
        return ::ftruncate(fd, offset + length) != 0 ? errno : ENOSPC;
    if (reservation == Reservation::HoldsNothing)
        return 0;
    return __real_posix_fallocate(fd, offset, length);
}
extern "C" int __wrap_fchmod(int fd, mode_t mode)
{
    if (const int error = fchmodError.load()) {
        errno = error;
        return -1;
    }
    return __real_fchmod(fd, mode);
}

namespace {

using testsupport::readFile;

void writeBytes(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(testsupport::writeFile(path, bytes)) << path.toStdString();
}

// Reads the way application code does: the first line always, then while not EOF.
QStringList readLines(const fw::FolderItem& item, qint64* nonTextLine = nullptr)
{
    auto in = item.OpenAsTextFile();
    if (!in)
        return {"<cannot open>"};
    QStringList lines;
    do {
        lines.append(in->ReadLine());
    } while (!in->EOF());
    if (nonTextLine)
        *nonTextLine = in->firstNonTextLine();
    in->Close();
    return lines;
}

using testsupport::ReadOnlyFile;

class Files : public ::testing::Test
{
protected:
    fw::FolderItem folder() const { return fw::FolderItem(m_dir.path()); }
    fw::FolderItem file(const QString& name) const { return *folder().Child(name); }

    QTemporaryDir m_dir;
};

struct ReadCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
};

TEST_F(Files, ReadLineAcceptsEveryLineEnd)
{
    const ReadCase cases[] = {
        {"lf", "a\nb\n", {"a", "b"}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"cr", "a\rb\r", {"a", "b"}},
        {"mixed", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
        {"no final line end", "a\nb", {"a", "b"}},
        {"empty lines kept", "\n\r\n\r\nx\n\n", {"", "", "", "x", ""}},
        {"cr then lf are one end, lf then cr two", "a\r\nb\n\rc", {"a", "b", "", "c"}},
        {"only a line end", "\n", {""}},
        {"empty file", "", {""}},
        {"byte order mark skipped", "\xEF\xBB\xBFhead\nx", {"head", "x"}},
        {"utf-8", "\xC3\xBC\xE2\x82\xAC\n\xF0\x9D\x84\x9E", {"ü€", QString::fromUcs4(U"\U0001D11E")}},
    };
    for (const auto& c : cases) {
        writeBytes(m_dir.filePath("in.txt"), c.bytes);
        qint64 nonText = -1;
        EXPECT_EQ(readLines(file("in.txt"), &nonText), c.lines) << c.name;
        EXPECT_EQ(nonText, 0) << c.name;
    }
}

TEST_F(Files, EmptyFileGivesOneEmptyLineThenEof)
{
    writeBytes(m_dir.filePath("empty.txt"), "");
    auto in = file("empty.txt").OpenAsTextFile();
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->EOF()); // the first line is always read
    EXPECT_EQ(in->ReadLine(), QString());
    EXPECT_TRUE(in->EOF());
}

struct NonTextCase {
    const char* name;
    QByteArray bytes;
    qint64 line; // first line that is not text; 0 for text
};

TEST_F(Files, FirstLineThatIsNotTextIsFound)
{
    const qsizetype chunk = 1 << 20;
    const NonTextCase cases[] = {
        {"text", "a\n\xC3\xA9\r\n\xE2\x82\xAC\r\xF0\x9F\x98\x80\n\xF4\x8F\xBF\xBF\xEF\xBF\xBD", 0},
        {"Latin-1 on line 1", "caf\xE9", 1},
        {"lines end at LF", "a\nb\nc\xE9\n", 3},
        {"CRLF is one line end", "a\r\nb\r\n\xE9", 3},
        {"CR alone ends a line", "a\rb\r\r\xE9", 4},
        {"LF then CR are two", "a\n\rb\xE9", 3},
        {"NUL byte", QByteArray("ok\nx\0y", 7), 2},
        {"stray continuation byte", "a\n\x80", 2},
        {"overlong two bytes", "\xC0\xAF", 1},
        {"overlong three bytes", "\n\xE0\x80\xAF", 2},
        {"surrogate", "\n\n\xED\xA0\x80", 3},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", 1},
        {"F5 lead byte", "\xF5\x80\x80\x80", 1},
        {"sequence cut by a line end", "a\n\xE2\x82\nb", 2},
        {"sequence cut by the end", "a\n\xE2\x82", 2},
        {"first of several", "\xFF\n\xFF", 1},
        // Long ASCII runs, read eight bytes at a time.
        {"short lines in one word", "1\n2\n3\n4\n5\n6\n7\n8\n9\n\xE9", 10},
        {"CRLF inside long lines", "0123456\r\n0123456789012\r\n012345\r\n\xE9", 4},
        {"CR ends a word, LF starts the next", "0123456\r\n0123456\r\nX\xE9", 3},
        {"CR alone in a long line", "0123456789\r0123456789abcdef\n\xE9", 3},
        {"NUL in a long line", QByteArray("0123456789\n0123\0 56789\n", 22), 2},
    };
    for (const auto& c : cases) {
        writeBytes(m_dir.filePath("in.txt"), c.bytes);
        qint64 nonText = -1;
        readLines(file("in.txt"), &nonText);
        EXPECT_EQ(nonText, c.line) << c.name;
    }

    // Across read chunks: a CRLF split by the chunk boundary is one line end, and a sequence split by
    // it is checked whole.
    QByteArray bytes(chunk - 1, 'a');
    bytes += "\r\nb\xE2";
    writeBytes(m_dir.filePath("in.txt"), bytes + "\x82\xAC\n\xE9");
    qint64 nonText = -1;
    readLines(file("in.txt"), &nonText);
    EXPECT_EQ(nonText, 3);
    QByteArray split(chunk - 1, 'a');
    split += "\xE2\x82\xAC\n";
    writeBytes(m_dir.filePath("in.txt"), split);
    readLines(file("in.txt"), &nonText);
    EXPECT_EQ(nonText, 0);
}

TEST_F(Files, ReadingStopsAtTheFirstByteThatIsNotText)
{
    writeBytes(m_dir.filePath("bad.txt"), "ok\nbad\xFF\xFEhere\nmore\n");
    qint64 nonText = 0;
    EXPECT_EQ(readLines(file("bad.txt"), &nonText), (QStringList{"ok", "bad"}));
    EXPECT_EQ(nonText, 2);
    writeBytes(m_dir.filePath("cut.txt"), "ok\ncut\xE2\x82\nmore\n");
    const QStringList lines = readLines(file("cut.txt"), &nonText);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("cut") && lines[1].mid(3).count(QChar(0xFFFD)) == lines[1].size() - 3);
    EXPECT_EQ(nonText, 2);

    // NUL bytes with no line end, far beyond a read chunk (as a disk image or /dev/zero gives them):
    // one chunk is read and no line of the file's length is built.
    QFile zeros(m_dir.filePath("zeros.bin"));
    ASSERT_TRUE(zeros.open(QIODevice::WriteOnly) && zeros.write("1\n2\n") == 4 && zeros.resize(qint64(256) << 20));
    zeros.close();
    auto in = file("zeros.bin").OpenAsTextFile();
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ReadLine(), "1");
    EXPECT_EQ(in->ReadLine(), "2");
    EXPECT_EQ(in->firstNonTextLine(), 3);
    EXPECT_TRUE(in->EOF());
    EXPECT_EQ(in->ReadLine(), QString());
}

TEST_F(Files, LineEndsAndCharactersCutByTheReadChunkSurvive)
{
    // The reader works in 1 MiB chunks: put a CRLF and a 4-byte character across a boundary.
    const qsizetype chunk = 1 << 20;
    QByteArray bytes(chunk - 1, 'a');
    bytes += "\r\n";
    bytes += QByteArray(chunk - 3, 'b');
    bytes += "\xF0\x9D\x84\x9E"; // cut after its first two bytes
    bytes += "\nend";
    writeBytes(m_dir.filePath("big.txt"), bytes);
    qint64 nonText = -1;
    const QStringList lines = readLines(file("big.txt"), &nonText);
    EXPECT_EQ(nonText, 0);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString(chunk - 1, u'a'));
    EXPECT_EQ(lines[1], QString(chunk - 3, u'b') + QString::fromUcs4(U"\U0001D11E"));
    EXPECT_EQ(lines[2], "end");
}

struct ChangeWhileReadCase {
    const char* name;
    qint64 linesFirst; // lines read before the file changes
    qint64 newSize;    // the file's size after the change: more is appended, less is cut
    bool rewritten = false; // its first line, read already, is written anew too
};

TEST_F(Files, ReadsWhatTheFileHeldWhenOpenedAndNothingAfter)
{
    // Three read chunks of numbered lines; a writer appends or cuts while the file is read.
    QByteArray bytes;
    QStringList lines;
    for (int i = 0; bytes.size() < (3 << 20); ++i) {
        lines << QString::number(1000000 + i);
        bytes += QByteArray::number(1000000 + i) + '\n';
    }
    lines << "last"; // so that the size is no whole number of read chunks
    bytes += "last\n";
    const qint64 size = bytes.size();
    const ChangeWhileReadCase cases[] = {
        {"grows before the first read", 0, size + (5 << 20)},
        {"grows while read", 1, size + (5 << 20)},
        {"unchanged", 1, size},
        {"rewritten in place at the same size", 1, size, true},
        {"rewritten and grown while read", 1, size + (5 << 20), true},
        {"cut while read", 1, size / 2},
        {"emptied while read", 1, 0},
        {"cut before the first read", 0, 10},
    };
    for (const ChangeWhileReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath("changing.txt");
        writeBytes(path, bytes);
        // Written an hour ago, so that a change now shows in the modification time, however coarse.
        const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), anHourAgo, 0), 0);
        auto in = file("changing.txt").OpenAsTextFile();
        ASSERT_TRUE(in);
        EXPECT_EQ(in->sizeAtOpen(), size);
        QStringList read;
        for (qint64 i = 0; i < c.linesFirst; ++i)
            read << in->ReadLine();
        {
            QFile change(path);
            ASSERT_TRUE(change.open(QIODevice::ReadWrite));
            if (c.rewritten) {
                ASSERT_EQ(change.write("2"), 1);
            }
            if (c.newSize > size) {
                change.seek(size);
                ASSERT_EQ(change.write(QByteArray(c.newSize - size, '7')), c.newSize - size);
            } else if (c.newSize < size) {
                ASSERT_TRUE(change.resize(c.newSize));
            }
        }
        while (!in->EOF())
            read << in->ReadLine();
        if (c.newSize >= size) {
            EXPECT_EQ(read, lines); // whatever was added is not read; a rewrite of what was read is an error
            EXPECT_EQ(in->errorString(), c.rewritten ? "the file changed while it was read" : "");
        } else {
            // What was read is the start of the file; the rest is missing, and that is an error.
            EXPECT_LT(read.size(), lines.size());
            EXPECT_EQ(read.mid(0, read.size() - 1), lines.mid(0, read.size() - 1));
            EXPECT_TRUE(in->hadReadError());
            EXPECT_EQ(in->errorString(), "the file became shorter while it was read");
        }
        in->Close();
    }
}

struct LineLimitCase {
    const char* name;
    QByteArray bytes;
    qsizetype limit;
    QStringList lines;
    qint64 overlongLine;
};

TEST_F(Files, ALineBeyondTheLimitStopsReading)
{
    const qsizetype chunk = 1 << 20;
    const LineLimitCase cases[] = {
        {"within", "abc\nde\n", 3, {"abc", "de"}, 0},
        {"second line too long", "abc\nabcd\nx\n", 3, {"abc"}, 2},
        {"last line without a line end", "ab\nabcd", 3, {"ab"}, 2},
        {"the limit counts UTF-16 units", "\xF0\x9D\x84\x9E\xF0\x9D\x84\x9E\n", 3, {}, 1},
        {"CRLF ends are not counted", "abc\r\nabc\r\n", 3, {"abc", "abc"}, 0},
        {"longer than a read chunk", QByteArray(3 * chunk, 'z') + "\nnext", chunk, {}, 1},
        {"empty lines count as lines", "\n\nabcd", 3, {"", ""}, 3},
    };
    for (const LineLimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(m_dir.filePath("limited.txt"), c.bytes);
        auto in = file("limited.txt").OpenAsTextFile();
        ASSERT_TRUE(in);
        in->setLineLimit(c.limit);
        QStringList read;
        do {
            const QString line = in->ReadLine();
            if (in->firstOverlongLine() == 0)
                read << line;
        } while (!in->EOF());
        EXPECT_EQ(read, c.lines);
        EXPECT_EQ(in->firstOverlongLine(), c.overlongLine);
        EXPECT_FALSE(in->hadReadError());
    }
}

TEST_F(Files, ManyLinesReadInLinearTime)
{
    // 40 MB in 400k lines and one 8 MB line: a quadratic reader would not finish.
    QByteArray line(99, 'x');
    line += '\n';
    QByteArray bytes;
    bytes.reserve(48 << 20);
    for (int i = 0; i < 400000; ++i)
        bytes += line;
    bytes += QByteArray(8 << 20, 'y');
    writeBytes(m_dir.filePath("large.txt"), bytes);
    bytes.clear();

    auto in = file("large.txt").OpenAsTextFile();
    ASSERT_TRUE(in);
    int count = 0;
    QString last;
    do {
        last = in->ReadLine();
        ++count;
    } while (!in->EOF());
    EXPECT_EQ(count, 400001);
    EXPECT_EQ(last.size(), 8 << 20);
}

TEST_F(Files, WrittenTextReadsBack)
{
    auto out = file("out.txt").CreateTextFile();
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Delimiter(), "\n");
    out->WriteLine("one ü");
    out->setDelimiter("\r\n");
    out->WriteLine("two");
    out->Write("three");
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(readFile(m_dir.filePath("out.txt")), QByteArray("one \xC3\xBC\ntwo\r\nthree"));
    EXPECT_EQ(readLines(file("out.txt")), (QStringList{"one ü", "two", "three"}));
}

TEST_F(Files, AbandonedWriteLeavesTheFormerFileIntact)
{
    writeBytes(m_dir.filePath("keep.txt"), "old content\n");
    {
        auto out = file("keep.txt").CreateTextFile();
        ASSERT_TRUE(out);
        out->WriteLine("new content that is never committed");
        EXPECT_EQ(readFile(m_dir.filePath("keep.txt")), "old content\n"); // not emptied meanwhile
    }
    EXPECT_EQ(readFile(m_dir.filePath("keep.txt")), "old content\n");
    // No temporary file is left behind either.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
}

TEST_F(Files, AFolderThatTakesNoNewFileIsWrittenInPlace)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("locked"));
    const QString path = m_dir.filePath("locked/list.txt");
    writeBytes(path, "former content, longer than the new\n");
    const fw::FolderItem target(path);
    testsupport::FolderLock lock(m_dir.filePath("locked"));
    if (!lock.locked())
        GTEST_SKIP() << "no folder can be locked here";

    {
        auto out = target.CreateTextFile();
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->writesInPlace());
        out->WriteLine("abandoned");
    }
    EXPECT_EQ(readFile(path), "former content, longer than the new\n");

    auto out = target.CreateTextFile();
    ASSERT_TRUE(out);
    out->WriteLine("new ü");
    ASSERT_TRUE(out->Close()) << out->errorString().toStdString();
    EXPECT_EQ(readFile(path), "new \xC3\xBC\n");

    // A file that does not exist yet cannot be made there: the reason names the folder.
    QString error;
    EXPECT_EQ(fw::FolderItem(m_dir.filePath("locked/new.txt")).CreateTextFile(&error), nullptr);
    EXPECT_TRUE(error.contains(m_dir.filePath("locked") + "\"")) << error.toStdString();
}

// A small disk of its own for a test, mounted where the rights allow it (root), unmounted afterwards.
// files bounds the number of files it holds, its root folder counted, where not 0.
class SmallDisk {
public:
    SmallDisk(const QString& at, int kilobytes, int files = 0)
        : at_(QFile::encodeName(at))
    {
        QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0700";
        if (files > 0)
            options += ",nr_inodes=" + QByteArray::number(files);
        mounted_ = QDir().mkpath(at) && ::mount("tmpfs", at_.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(at_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    QByteArray at_;
    bool mounted_ = false;
};

// How a write fails: a file size limit (which any user can set), a disk with no space left, one with
// no room for another file, an fsync that fails (of every file, or of the target only, once or every
// time), or a reservation of space that runs out after growing the file.
enum class WriteFault { SizeLimit, FullDisk, NoRoomForAFile, SyncFails, TargetSyncFailsOnce, TargetSyncFails,
                        ReservationFails };
// What the save leaves: the former file and a reason that says so; that, having found no copy of the
// file could be kept before writing in place; a refusal before anything is written; or a file that
// could not be put back, whose former content the reason says is kept in a copy.
enum class Outcome { Unchanged, NoCopyKept, Refused, CopyKept };

struct FailedWriteCase {
    const char* name;
    WriteFault fault;
    bool inPlace;   // the folder takes no new file
    qsizetype size; // of the new text: small ones are written only at Close
    int error;      // what the stream reports
    Outcome outcome = Outcome::Unchanged;
    Reservation reserved = Reservation::Real;
    long limit = 4;          // the size limit, in bytes
    bool otherOwner = false; // the file is another user's, which a new file cannot keep: written in place
};

TEST_F(Files, AWriteThatFailsToCommitIsReportedAndKeepsTheFormerFile)
{
    using enum WriteFault;
    using enum Outcome;
    const FailedWriteCase cases[] = {
        {"size limit, text written at Close", SizeLimit, false, 60, EFBIG},
        {"size limit, text written on the way", SizeLimit, false, 1 << 20, EFBIG},
        {"size limit, in place: no copy fits", SizeLimit, true, 1 << 20, EFBIG, NoCopyKept},
        {"size limit past a reservation that holds nothing, in place", SizeLimit, true, 1 << 20, EFBIG, Unchanged,
         Reservation::HoldsNothing, 4096},
        {"the same, another user's file with the copy beside it", SizeLimit, false, 1 << 20, EFBIG, Unchanged,
         Reservation::HoldsNothing, 4096, true},
        {"full disk", FullDisk, false, 1 << 20, ENOSPC},
        {"full disk, in place", FullDisk, true, 1 << 16, ENOSPC},
        {"full disk past a reservation that holds nothing, in place", FullDisk, true, 1 << 20, ENOSPC, Unchanged,
         Reservation::HoldsNothing},
        {"no room for a temporary file: refused, not written in place", NoRoomForAFile, false, 100, ENOSPC, Refused},
        {"sync fails", SyncFails, false, 100, EIO},
        {"sync fails, in place: no copy is sure", SyncFails, true, 100, EIO, NoCopyKept},
        {"sync of the file fails once, in place", TargetSyncFailsOnce, true, 100, EIO},
        {"sync of the file fails again as it is put back", TargetSyncFails, true, 100, EIO, CopyKept},
        {"reservation runs out of space, in place", ReservationFails, true, 100, ENOSPC},
    };
    const QByteArray former = "old line 1\nold line 2\n";
    const QString state = fw::decodePath(fw::Mutex::stateFolder());
    ASSERT_FALSE(state.isEmpty());
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0711); // for the other user
    std::string notRun; // the cases that need what this machine does not give
    for (const FailedWriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = m_dir.filePath(QString::fromLatin1(c.name));
        std::optional<SmallDisk> disk;
        if (c.fault == FullDisk || c.fault == NoRoomForAFile) {
            disk.emplace(folder, 64, c.fault == NoRoomForAFile ? 2 : 0);
            if (!disk->mounted()) {
                notRun += std::string(" \"") + c.name + "\" (no disk can be mounted here)";
                continue;
            }
        }
        if (c.otherOwner && ::geteuid() != 0) {
            notRun += std::string(" \"") + c.name + "\" (only the superuser can save another user's file)";
            continue;
        }
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = folder + "/keep.txt";
        const QByteArray at = QFile::encodeName(path);
        writeBytes(path, former);
        if (c.otherOwner) {
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
            ASSERT_EQ(::chmod(at.constData(), 0666), 0);
            ASSERT_EQ(::chown(at.constData(), 1234, 1234), 0);
            ::setfsgid(4321);
            ::setfsuid(4321);
        }
        if (c.fault == FullDisk) {
            QFile filler(folder + "/filler");
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        std::optional<testsupport::FolderLock> lock;
        if (c.inPlace) {
            lock.emplace(folder);
            if (!lock->locked()) {
                notRun += std::string(" \"") + c.name + "\" (no folder can be locked here)";
                continue;
            }
        }
        QString error;
        auto out = fw::FolderItem(path).CreateTextFile(&error);
        bool closed = false;
        if (out) {
            EXPECT_EQ(out->writesInPlace(), c.inPlace || c.otherOwner);
            std::optional<testsupport::FileSizeLimit> limit;
            if (c.fault == SizeLimit)
                limit.emplace(c.limit);
            out->Write(QString(c.size, u'n'));
            struct stat target {};
            ::stat(at.constData(), &target);
            reservation = c.fault == ReservationFails ? Reservation::Fills : c.reserved;
            const bool syncFails = c.fault == SyncFails || c.fault == TargetSyncFailsOnce || c.fault == TargetSyncFails;
            fsyncError = syncFails ? c.error : 0;
            fsyncFile = c.fault == SyncFails ? 0 : target.st_ino;
            fsyncFailures = c.fault == TargetSyncFailsOnce ? 1 : -1;
            closed = out->Close();
            error = out->errorString();
            reservation = Reservation::Real;
            fsyncError = 0;
        }
        ::setfsuid(::getuid());
        ::setfsgid(::getgid());
        EXPECT_FALSE(closed);
        EXPECT_EQ(out == nullptr, c.outcome == Refused);
        // The system's reason, not "Unknown error", and what became of the file; the caller names it.
        const QString reason = QString::fromLocal8Bit(std::strerror(c.error));
        const QStringList kept = QDir(state).entryList({"keep.txt.kept-*"}, QDir::Files | QDir::Hidden);
        switch (c.outcome) {
        case Unchanged:
            EXPECT_EQ(error, reason + "; the file is unchanged");
            break;
        case NoCopyKept:
            EXPECT_TRUE(error.startsWith("the folder \"" + folder + "\" takes no temporary file ("));
            EXPECT_TRUE(error.contains("no copy of its content can be kept"));
            EXPECT_TRUE(error.contains("\"" + state + "\": " + reason)) << error.toStdString();
            EXPECT_TRUE(error.endsWith("; the file is unchanged")) << error.toStdString();
            break;
        case Refused:
            EXPECT_EQ(error, "the folder \"" + folder + "\" takes no new file, its disk is full (" + reason + ")");
            break;
        case CopyKept:
            ASSERT_EQ(kept.size(), 1);
            EXPECT_EQ(readFile(state + '/' + kept[0]), former);
            EXPECT_EQ(error, reason + "; the file could not be put back as it was (" + reason
                                 + "): its former content is kept in \"" + state + '/' + kept[0] + "\"");
            QFile::remove(state + '/' + kept[0]);
            break;
        }
        // The former file stays byte for byte, its size too (a failed reservation gives back the room
        // it took); no copy of it is left, beside it or in the program's own folder.
        EXPECT_EQ(readFile(path), former);
        EXPECT_EQ(QFileInfo(path).size(), former.size());
        if (c.outcome != CopyKept) {
            EXPECT_EQ(kept, QStringList());
        }
        lock.reset();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  c.fault == FullDisk ? QStringList({"filler", "keep.txt"}) : QStringList{"keep.txt"});
    }
    if (!notRun.empty())
        GTEST_SKIP() << "not run:" << notRun;
}

TEST_F(Files, AReadOnlyFileIsNotReplacedAndTheReasonSaysSo)
{
    const QString path = m_dir.filePath("read-only.txt");
    writeBytes(path, "kept\n");
    ReadOnlyFile readOnly(path);
    if (!readOnly.made())
        GTEST_SKIP() << "no file can be made read-only here";
    QString error;
    EXPECT_EQ(fw::FolderItem(path).CreateTextFile(&error), nullptr);
    // The file is the cause, not its folder, which takes new files.
    EXPECT_TRUE(error.startsWith("the file is read-only (")) << error.toStdString();
    EXPECT_FALSE(error.contains("folder")) << error.toStdString();
    EXPECT_EQ(readFile(path), "kept\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"read-only.txt"});
}

enum class AtTheName { Nothing, File, Link, DanglingLink };

struct ReplaceCase {
    const char* name;
    AtTheName before;
    mode_t mode;        // of the file there
    uid_t owner;        // its owner and group; 0 for this user's
    uid_t writer;       // the user who saves, where not this process's own
    const char* refusal; // how the reason starts when the save is refused
    bool inPlace;
    int modeError = 0;   // what a change of mode answers, on a file system that keeps none
};

TEST_F(Files, AReplacedFileKeepsItsModeOwnerAndGroupAndALinkIsNeverFollowed)
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0711); // for the other user
    const ReplaceCase cases[] = {
        {"a new file", AtTheName::Nothing, 0666 & ~mask, 0, 0, "", false},
        {"its mode", AtTheName::File, 0640, 0, 0, "", false},
        {"read-only, saved by who may", AtTheName::File, 0444, 0, 0, "", false},
        {"another user's", AtTheName::File, 0640, 1234, 0, "", false},
        {"an owner a new file cannot have: in place", AtTheName::File, 0666, 1234, 4321, "", true},
        {"a link", AtTheName::Link, 0644, 0, 0, "it is a symbolic link to \"target\"", false},
        {"a dangling link", AtTheName::DanglingLink, 0644, 0, 0, "it is a symbolic link to \"target\"", false},
        {"a file where modes are not kept", AtTheName::File, 0666 & ~mask, 0, 0, "", false, EOPNOTSUPP},
        {"a new file where modes are not kept", AtTheName::Nothing, 0666 & ~mask, 0, 0, "", false, ENOSYS},
    };
    std::string notRun;
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (::geteuid() != 0 && (c.owner != 0 || c.writer != 0 || !(c.mode & 0200))) {
            notRun += std::string(" \"") + c.name + '"';
            continue;
        }
        const QString dir = m_dir.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(QDir().mkpath(dir) && ::chmod(QFile::encodeName(dir).constData(), 0777) == 0);
        const QByteArray at = QFile::encodeName(dir + "/list.rcn");
        if (c.before == AtTheName::File) {
            writeBytes(dir + "/list.rcn", "old\n");
            ASSERT_EQ(::chmod(at.constData(), c.mode), 0);
            ASSERT_EQ(::chown(at.constData(), c.owner ? c.owner : ::getuid(), c.owner ? c.owner : ::getgid()), 0);
        } else if (c.before != AtTheName::Nothing) {
            if (c.before == AtTheName::Link)
                writeBytes(dir + "/target", "old\n");
            ASSERT_EQ(::symlink("target", at.constData()), 0);
        }
        struct stat before {};
        ::lstat(at.constData(), &before);
        if (c.writer) {
            ::setfsgid(c.writer);
            ::setfsuid(c.writer);
        }
        fchmodError = c.modeError;
        QString error;
        auto out = fw::FolderItem(dir + "/list.rcn").CreateTextFile(&error);
        if (out) {
            EXPECT_EQ(out->writesInPlace(), c.inPlace);
            out->WriteLine("new");
            EXPECT_TRUE(out->Close()) << out->errorString().toStdString();
        }
        fchmodError = 0;
        ::setfsuid(::getuid());
        ::setfsgid(::getgid());
        struct stat after {};
        ASSERT_EQ(::lstat(at.constData(), &after), 0);
        if (*c.refusal) {
            EXPECT_EQ(out, nullptr);
            EXPECT_TRUE(error.startsWith(QLatin1String(c.refusal))) << error.toStdString();
            EXPECT_TRUE(S_ISLNK(after.st_mode));
            EXPECT_EQ(readFile(dir + "/target"), c.before == AtTheName::Link ? "old\n" : "<missing>");
            continue;
        }
        ASSERT_TRUE(out) << error.toStdString();
        EXPECT_EQ(readFile(dir + "/list.rcn"), "new\n");
        EXPECT_EQ(after.st_mode & 07777, c.mode);
        EXPECT_EQ(after.st_uid, c.owner ? c.owner : ::getuid());
        EXPECT_EQ(after.st_gid, c.owner ? c.owner : ::getgid());
        if (c.before == AtTheName::File) {
            EXPECT_EQ(after.st_ino == before.st_ino, c.inPlace);
        }
        EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"list.rcn"});
    }
    if (!notRun.empty())
        GTEST_SKIP() << "only the superuser can save another user's or a read-only file; not run:" << notRun;
}

TEST_F(Files, FailuresAreReportedWithAReason)
{
    const fw::FolderItem missingFolder = *folder().Child("no such folder");
    const fw::FolderItem target = *missingFolder.Child("x.txt");

    QString error;
    EXPECT_EQ(target.CreateTextFile(&error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(fw::FolderItem::lastError(), error);
    EXPECT_FALSE(missingFolder.Exists());

    error.clear();
    EXPECT_EQ(target.OpenAsTextFile(&error), nullptr);
    EXPECT_FALSE(error.isEmpty());

    // Only a regular file is opened, and nothing else is even opened: a pipe would block the caller,
    // a device would read forever. The reason names the file and what it is.
    const QByteArray pipe = QFile::encodeName(m_dir.filePath("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    // Should the pipe be opened after all, a writer comes along later: the test fails instead of hanging.
    std::thread([pipe] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }).detach();
    ASSERT_TRUE(QFile::link("/dev/zero", m_dir.filePath("zero link")));
    const std::pair<QString, const char*> notFiles[] = {
        {m_dir.path(), "it is a folder"},
        {"/dev/zero", "it is a device, not a file"},
        {m_dir.filePath("zero link"), "it is a device, not a file"},
        {m_dir.filePath("pipe"), "it is a named pipe, not a file"},
    };
    for (const auto& [path, reason] : notFiles) {
        EXPECT_EQ(fw::FolderItem(path).OpenAsTextFile(&error), nullptr) << path.toStdString();
        EXPECT_EQ(error, QLatin1String(reason));
    }
    // Nor is anything but a regular file written, or replaced by one.
    for (const auto& [path, reason] : {notFiles[0], notFiles[3]}) {
        EXPECT_EQ(fw::FolderItem(path).CreateTextFile(&error), nullptr) << path.toStdString();
        EXPECT_EQ(error, QLatin1String(reason));
    }
    struct stat info {};
    EXPECT_TRUE(::lstat(pipe.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_EQ(fw::FolderItem().CreateTextFile(), nullptr);
}

TEST_F(Files, ExistsAndDelete)
{
    const fw::FolderItem item = file("gone.txt");
    EXPECT_FALSE(item.Exists());
    writeBytes(item.path(), "x");
    EXPECT_TRUE(item.Exists());
    EXPECT_TRUE(item.Delete());
    EXPECT_FALSE(item.Exists());
    EXPECT_TRUE(item.Delete()); // already gone is fine

    ASSERT_TRUE(QDir(m_dir.path()).mkdir("sub"));
    writeBytes(m_dir.filePath("sub/inner"), "x");
    EXPECT_FALSE(file("sub").Delete()); // a folder with content stays
    EXPECT_FALSE(fw::FolderItem::lastError().isEmpty());
    EXPECT_TRUE(file("sub").Exists());
}

// A path is bytes, and comes back byte for byte from the text that holds it; UTF-8 reads as its text.
// A text file of that name is written and read back there.
TEST_F(Files, ANameThatIsNotUtf8IsKeptByteForByte)
{
    const QByteArray names[] = {"plain", "caf\xC3\xA9", "lat\xE9n", "\xFF\xFE", "\xED\xA0\x80", "\xC0\xAF",
                                "\xF0\x9F\x98\x80", "\xF4\x90\x80\x80", "cut \xE2\x82", "\xE2\x82\xAC\xE9"};
    for (const QByteArray& name : names) {
        SCOPED_TRACE(name.toHex().toStdString());
        EXPECT_EQ(fw::encodePath(fw::decodePath(name)), name);
        EXPECT_EQ(fw::decodePath(name) == QString::fromUtf8(name), QString::fromUtf8(name).toUtf8() == name);
        const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + name;
        auto out = fw::TextOutputStream::create(fw::decodePath(path));
        ASSERT_TRUE(out);
        out->Write(QStringLiteral("x"));
        ASSERT_TRUE(out->Close());
        EXPECT_EQ(::access(path.constData(), F_OK), 0);
        EXPECT_EQ(readLines(fw::FolderItem(fw::decodePath(path))), QStringList{"x"});
        ::unlink(path.constData()); // a name the temporary folder's own removal cannot spell
    }
}

// The program's own folder, whatever bytes its name holds: this test binary, linked into such a
// folder, runs this test there.
TEST_F(Files, TheProgramFindsItsFolderWhateverItsNameHolds)
{
    if (const QByteArray expected = qgetenv("NAW_EXPECTED_FOLDER"); !expected.isEmpty()) {
        EXPECT_EQ(fw::encodePath(fw::FolderItem::applicationFolder().path()), expected);
        return;
    }
    const QByteArray dir = QFile::encodeName(m_dir.path()) + "/lat\xE9n";
    const QByteArray self = dir + "/test_platform";
    ASSERT_EQ(::mkdir(dir.constData(), 0700), 0);
    if (::link(QFile::encodeName(QCoreApplication::applicationFilePath()).constData(), self.constData()) != 0)
        GTEST_SKIP() << "the test binary cannot be linked here";
    const QByteArray run = "NAW_EXPECTED_FOLDER='" + dir + "' '" + self
                           + "' --gtest_filter=Files.TheProgramFindsItsFolderWhateverItsNameHolds >/dev/null";
    const int status = std::system(run.constData());
    ::unlink(self.constData());
    ::rmdir(dir.constData());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

struct ChildCase {
    const char* name;
    bool valid;
};

TEST_F(Files, ChildAcceptsOnlyPlainNames)
{
    const ChildCase cases[] = {
        {"plain.txt", true}, {"with blank", true}, {".hidden", true}, {"...", true},
        {"$dollar;semi'quote", true}, {"", false}, {".", false}, {"..", false},
        {"a/b", false}, {"/", false}, {"../x", false},
    };
    for (const auto& c : cases) {
        const auto child = folder().Child(QString::fromUtf8(c.name));
        EXPECT_EQ(child.has_value(), c.valid) << c.name;
        if (child) {
            EXPECT_EQ(child->Name(), QString::fromUtf8(c.name));
            EXPECT_EQ(child->path(), m_dir.path() + "/" + c.name);
        }
    }
    EXPECT_FALSE(folder().Child(QString("nul") + QChar(0) + "x"));
    EXPECT_FALSE(fw::FolderItem().Child("x"));
    EXPECT_EQ(fw::FolderItem("/").Child("etc")->path(), "/etc");
    EXPECT_EQ(fw::FolderItem("/").Name(), "");
}

} // namespace
