// Sending a pane to the word processor through the automation bridge, with a stand-in word processor
// that records what it was asked to open.
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/OleAutomation.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

using namespace fw;

namespace {

class WordExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Documents handed to the word processor land in the runtime or temporary folder: keep them in ours.
        saved = {qgetenv("TMPDIR"), qgetenv("XDG_RUNTIME_DIR")};
        ASSERT_TRUE(QDir().mkpath(dir.filePath("tmp")));
        qputenv("TMPDIR", QFile::encodeName(dir.filePath("tmp")));
        qunsetenv("XDG_RUNTIME_DIR");
        // The stand-in, a word processor that makes a new document of the file (its last argument),
        // notes the path it is given, holds the file open for long enough to be seen doing so, and
        // copies it into the record folder.
        const QString script = dir.path() + QStringLiteral("/lowriter");
        ASSERT_TRUE(testsupport::writeScript(
            script, QStringLiteral("for f; do :; done\necho \"$f\" >> '%1'/paths\nb=$(basename \"$f\")\n"
                                   "exec 3< \"$f\"; sleep 0.3; cat <&3 > '%1'/\"$b.part\"; exec 3<&-\n"
                                   "mv '%1'/\"$b.part\" '%1'/\"$b\"\n")
                        .arg(dir.path() + QStringLiteral("/opened"))
                        .toUtf8()));
        ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/opened")));
        WordApplication::setWordProcessorOverride(script);
        // The stand-in is done with a document once it closed it: no settling is waited for.
        WordApplication::setSettleTimeOverride(0);
        window = Window::New<RW_reportOutputWindow>();
    }

    void TearDown() override
    {
        window->Close();
        testsupport::settle();
        WordApplication::removeDocuments();
        WordApplication::setWordProcessorOverride(std::nullopt);
        WordApplication::setSettleTimeOverride(std::nullopt);
        WordApplication::setSweepClockAheadOverride(std::nullopt);
        for (const auto& [name, value] : {std::pair{"TMPDIR", saved.first}, std::pair{"XDG_RUNTIME_DIR", saved.second}}) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

    // The paths of the documents the word processor was given, in order.
    QStringList paths() const
    {
        QFile f(dir.path() + QStringLiteral("/opened/paths"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }

    QStringList opened() const
    {
        QStringList texts;
        const QDir folder(dir.path() + QStringLiteral("/opened"));
        for (const QString& name : folder.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            QFile f(folder.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                texts.append(QString::fromUtf8(f.readAll()));
        }
        return texts;
    }

    void show(const QString& report) { testsupport::showReport(*window, report); }

    void press(const char* name) { window->control<PushButton>(QLatin1String(name))->Push(); }

    QTemporaryDir dir;
    std::pair<QByteArray, QByteArray> saved;
    testsupport::MessageLog log;
    RW_reportOutputWindow* window = nullptr;
};

TEST_F(WordExportTest, SendsThePaneTextAsANewDocumentPerPress)
{
    const QString report = QStringLiteral("7\n  cardinal: seven\n\u00E9t\u00E9 \U0001F600\n");
    show(report);
    press("PB_openInWordLeft");
    press("PB_openInWordRight");
    ASSERT_TRUE(testsupport::waitUntil([&] { return opened().size() == 2; }));
    EXPECT_EQ(opened(), QStringList(2, report));
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(WordExportTest, EmptyPageSendsNothing)
{
    show(QStringLiteral("x\n"));
    window->control<PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->setListIndex(0);
    window->control<PagePanel>(QStringLiteral("PP_resultsLeft"))->setValue(0);
    press("PB_openInWordLeft");
    testsupport::settle();
    EXPECT_TRUE(opened().isEmpty());
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(WordExportTest, MissingWordProcessorIsReportedAndNothingChanges)
{
    show(QStringLiteral("x\n"));
    WordApplication::setWordProcessorOverride(QString());
    press("PB_openInWordLeft");
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_TRUE(log.shown[0].message.startsWith(
        QStringLiteral("Problem with Microsoft Word: Word.Application is not available")))
        << log.shown[0].message.toStdString();

    WordApplication::setWordProcessorOverride(dir.path() + QStringLiteral("/no-such-program"));
    press("PB_openInWordRight");
    ASSERT_EQ(log.shown.size(), 2u);
    EXPECT_TRUE(log.shown[1].message.startsWith(QStringLiteral("Problem with Microsoft Word: cannot start")))
        << log.shown[1].message.toStdString();
    EXPECT_EQ(window->control<StaticText>(QStringLiteral("ST_totalLineCountLeft"))->Text(), QStringLiteral("of 2"));
}

// The mode bits and the owner of path, without following a link; -1 when it is not there.
int modeOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || info.st_uid != ::getuid())
        return -1;
    return int(info.st_mode & 07777);
}

// Where the documents folder may be made, where it must not be, and what someone who meddles with it
// between two documents can and cannot make the program do.
struct FolderCase {
    const char* name;
    const char* runtime;  // XDG_RUNTIME_DIR relative to the test folder: "" unset
    // Prepares the test folder: "private" makes runtime 0700, "open" 0755, "link" a link to a
    // private folder "real", "planted" a link tmp/numbers-as-words-documents to "real".
    const char* setup;
    const char* expectedParent; // relative to the test folder
    // Done after the first document: "swap" renames the folder away and puts a link to "real" in its
    // place, and the program ends without sending more; "open" opens the folder to everyone; "linkAhead" and "fileAhead" put a link to, or a
    // second name of, the file real/keep where the next document would go.
    const char* meddle;
};

class DocumentFolderTest : public WordExportTest, public ::testing::WithParamInterface<FolderCase> {
protected:
    // Puts what meddle names at every name the next document may take ("Report <time>-<n>.txt").
    void plantAhead(const QString& folder, const QString& first, bool hardLink)
    {
        const qsizetype dash = first.lastIndexOf(u'-');
        const int next = first.mid(dash + 1).chopped(4).toInt() + 1;
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = -1; s <= 10; ++s) {
            const QString at = QStringLiteral("%1/Report %2-%3.txt")
                                   .arg(folder, now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                   .arg(next);
            const QByteArray target = QFile::encodeName(dir.filePath("real/keep"));
            ASSERT_EQ(hardLink ? ::link(target.constData(), QFile::encodeName(at).constData())
                               : ::symlink(target.constData(), QFile::encodeName(at).constData()),
                      0);
        }
    }
};

TEST_P(DocumentFolderTest, DocumentsArePrivateAndOnlyTheyGoWhenTheProgramEnds)
{
    const FolderCase& c = GetParam();
    const QString setup = QLatin1String(c.setup);
    const QString meddle = QLatin1String(c.meddle);
    ASSERT_TRUE(QDir().mkpath(dir.filePath("real")));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("real"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    ASSERT_TRUE(testsupport::writeFile(dir.filePath("real/keep"), "mine"));
    if (setup == "private" || setup == "open") {
        ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
        ::chmod(QFile::encodeName(dir.filePath("run")).constData(), setup == "private" ? 0700 : 0755);
    } else if (setup == "link") {
        ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("run")));
    } else if (setup == "planted") {
        ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("tmp/numbers-as-words-documents")));
    }
    if (*c.runtime)
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath(QLatin1String(c.runtime))));

    show(QStringLiteral("secret\n"));
    press("PB_openInWordLeft");
    ASSERT_TRUE(testsupport::waitUntil([&] { return opened().size() == 1; }));
    const QString first = paths().value(0);
    const QString folder = QFileInfo(first).path();
    EXPECT_EQ(QFileInfo(folder).path(), dir.filePath(QLatin1String(c.expectedParent)));
    EXPECT_EQ(modeOf(folder), 0700);
    const QString moved = folder + QStringLiteral("-moved");
    if (meddle == "swap") {
        ASSERT_EQ(::rename(QFile::encodeName(folder).constData(), QFile::encodeName(moved).constData()), 0);
        ASSERT_TRUE(QFile::link(dir.filePath("real"), folder));
    } else if (meddle == "open") {
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    } else if (meddle == "linkAhead" || meddle == "fileAhead") {
        plantAhead(folder, first, meddle == "fileAhead");
    }

    QString second;
    if (meddle == "swap") {
        // Nothing more is sent: the program ends with the link where its folder was.
    } else if (meddle == "linkAhead" || meddle == "fileAhead") {
        press("PB_openInWordRight");
        // The next document finds its name taken: nothing is written there, and the user is told.
        ASSERT_EQ(log.shown.size(), 1u);
        EXPECT_TRUE(log.shown[0].message.startsWith(QStringLiteral("Problem with Microsoft Word: cannot write")))
            << log.shown[0].message.toStdString();
    } else {
        press("PB_openInWordRight");
        ASSERT_TRUE(testsupport::waitUntil([&] { return opened().size() == 2; }));
        EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
        second = paths().value(1);
        // A folder that is no longer private where it was made is given up for a new one.
        EXPECT_EQ(QFileInfo(second).path() == folder, meddle.isEmpty()) << second.toStdString();
        EXPECT_EQ(modeOf(QFileInfo(second).path()), 0700);
        EXPECT_EQ(modeOf(second), 0600) << second.toStdString();
    }
    EXPECT_EQ(modeOf(first), meddle == "swap" ? -1 : 0600) << first.toStdString();

    WordApplication::removeDocuments(); // as at the program's end
    // The documents, all read by now, go, and with them every folder still where it was made; nothing
    // else goes, and nothing is followed out of the folders.
    EXPECT_FALSE(QFileInfo::exists(first)) << first.toStdString();
    if (!second.isEmpty()) {
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(second).path())) << second.toStdString();
    }
    if (meddle == "swap") {
        EXPECT_TRUE(QFileInfo(folder).isSymLink());
        EXPECT_EQ(QDir(moved).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    } else if (meddle == "linkAhead" || meddle == "fileAhead") {
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 12);
    } else {
        EXPECT_FALSE(QFileInfo::exists(folder));
    }
    EXPECT_EQ(QDir(dir.filePath("real")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"keep"});
    EXPECT_EQ(testsupport::readFile(dir.filePath("real/keep")), "mine");
}

INSTANTIATE_TEST_SUITE_P(
    Export, DocumentFolderTest,
    ::testing::Values(FolderCase{"runtime", "run", "private", "run", ""},
                      FolderCase{"noRuntime", "", "planted", "tmp", ""},
                      FolderCase{"openRuntime", "run", "open", "tmp", ""},
                      FolderCase{"linkedRuntime", "run", "link", "tmp", ""},
                      FolderCase{"folderSwappedForALink", "", "", "tmp", "swap"},
                      FolderCase{"folderOpened", "run", "private", "run", "open"},
                      FolderCase{"linkAtTheNextName", "", "", "tmp", "linkAhead"},
                      FolderCase{"secondNameAtTheNextName", "", "", "tmp", "fileAhead"}),
    [](const ::testing::TestParamInfo<FolderCase>& param) { return std::string(param.param.name); });

// What a word processor, and other programs, may do with its document by the time the program ends,
// and whether the document may go then. Whatever stays, the word processor still gets it whole
// afterwards.
struct EndCase {
    const char* name;
    // The word processor, a sh script: "$f" is the document, "$d" a folder for its notes. It touches
    // "$d/end" when the program is to end, and "$d/done" when it is done; it copies the document into
    // "$d/copy" as it loads it. waitOther waits until the other program has done its part.
    const char* reader;
    const char* text;
    int settleMs;
    bool busy; // the program takes no event in until it ends (a long step, say)
    // "removed": the document goes at the end; "left": it stays, and a later start removes it once it
    // is a day old; "kept": it holds the user's work and stays for good.
    const char* fate;
    // What another program (an indexer, say) does to the document right after it is written: "read"
    // (open, read through, close); "hold" or "map" (keep it open, or mapped, till the end, and read it
    // through once more meanwhile: the watch may count the two opens as one).
    const char* other = "";
    // The word processor's name: lowriter makes a new document of the file; abiword opens the file
    // itself.
    const char* program = "lowriter";
};

class DocumentEndTest : public WordExportTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(DocumentEndTest, ADocumentGoesAtTheEndOnlyOnceTheWordProcessorHasReadIt)
{
    const EndCase& c = GetParam();
    const QString notes = dir.filePath("notes");
    ASSERT_TRUE(QDir().mkpath(notes));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("bin")));
    const QString reader = dir.filePath("bin/") + QLatin1String(c.program);
    ASSERT_TRUE(testsupport::writeScript(
        reader, QStringLiteral("for f; do :; done\nd='%1'\n"
                               "waitOther() { until [ -e \"$d/other\" ]; do sleep 0.02; done; }\n%2\n")
                    .arg(notes, QLatin1String(c.reader))
                    .toUtf8()));
    WordApplication::setWordProcessorOverride(reader);
    WordApplication::setSettleTimeOverride(c.settleMs);
    const QString text = QString::fromUtf8(c.text);
    show(text);
    press("PB_openInWordLeft");
    ASSERT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    const QString folder = WordApplication::documentsFolderPath();
    const QStringList documents = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(documents.size(), 1);
    const QString document = folder + '/' + documents[0];
    const QString other = QLatin1String(c.other);
    int held = -1;
    void* mapped = MAP_FAILED;
    if (other == "hold" || other == "map") {
        held = ::open(QFile::encodeName(document).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(held, 0);
        if (other == "map") {
            mapped = ::mmap(nullptr, std::strlen(c.text), PROT_READ, MAP_SHARED, held, 0);
            ::close(std::exchange(held, -1));
            ASSERT_NE(mapped, MAP_FAILED);
        }
    }
    if (!other.isEmpty()) {
        ASSERT_EQ(testsupport::readFile(document), c.text);
    }
    ASSERT_TRUE(testsupport::writeFile(notes + "/other", ""));

    const auto ended = [&] { return QFileInfo::exists(notes + "/end"); };
    if (c.busy) {
        QDeadlineTimer deadline(10000);
        while (!ended() && !deadline.hasExpired())
            QThread::msleep(5);
        ASSERT_TRUE(ended());
    } else {
        ASSERT_TRUE(testsupport::waitUntil(ended, 10000));
    }
    WordApplication::removeDocuments(); // the program ends
    const QString fate = QLatin1String(c.fate);
    EXPECT_EQ(QFileInfo::exists(document), fate != "removed");
    EXPECT_EQ(QFileInfo::exists(folder), fate != "removed");
    if (fate == "left") {
        EXPECT_EQ(modeOf(folder), 0700);
        EXPECT_EQ(modeOf(document), 0600);
    }
    if (held >= 0)
        ::close(held);
    if (mapped != MAP_FAILED)
        ::munmap(mapped, std::strlen(c.text));

    ASSERT_TRUE(testsupport::waitUntil([&] { return QFileInfo::exists(notes + "/done"); }, 10000));
    EXPECT_EQ(QString::fromUtf8(testsupport::readFile(notes + "/copy")), text);
    if (fate == "removed")
        return;
    // A day later a start sweeps, and finds the document with the times its writer gave it.
    WordApplication::setSweepClockAheadOverride(25 * 3600);
    WordApplication::removeLeftDocuments({QFileInfo(folder).path()});
    EXPECT_EQ(QFileInfo::exists(document), fate == "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Export, DocumentEndTest,
    ::testing::Values(
        EndCase{"readBeforeTheEnd",
                "exec 3< \"$f\"; sleep 0.3; cat <&3 > \"$d/copy\"; exec 3<&-; touch \"$d/end\" \"$d/done\"",
                "report\n", 0, false, "removed"},
        // Another program's read is no word processor's: who read is not known.
        EndCase{"readByAnotherProgram",
                "waitOther; touch \"$d/end\"; sleep 0.3; cp \"$f\" \"$d/copy\"; touch \"$d/done\"", "report\n", 0,
                false, "left", "read"},
        // A word processor already running takes the file through its pipe: no process of the one
        // started reads it.
        EndCase{"readByARunningInstance",
                "setsid sh -c 'exec 3< \"$1\"; sleep 0.3; cat <&3 > \"$2/copy\"; exec 3<&-; touch \"$2/end\" "
                "\"$2/done\"' sh \"$f\" \"$d\" &",
                "report\n", 0, false, "left"},
        // Read and closed by the word processor, but still open, or mapped, in another program.
        EndCase{"heldOpenByAnotherProgram",
                "waitOther; exec 3< \"$f\"; sleep 0.3; cat <&3 > \"$d/copy\"; exec 3<&-; "
                "touch \"$d/end\" \"$d/done\"",
                "report\n", 0, false, "left", "hold"},
        EndCase{"mappedByAnotherProgram",
                "waitOther; exec 3< \"$f\"; sleep 0.3; cat <&3 > \"$d/copy\"; exec 3<&-; "
                "touch \"$d/end\" \"$d/done\"",
                "report\n", 0, false, "left", "map"},
        // A word processor that opens the file itself keeps it as its document (its Save writes there).
        EndCase{"openedByItsWordProcessor",
                "exec 3< \"$f\"; sleep 0.3; cat <&3 > \"$d/copy\"; exec 3<&-; touch \"$d/end\"; sleep 0.3; "
                "touch \"$d/done\"",
                "report\n", 0, false, "left", "", "abiword"},
        EndCase{"slowToStart", "touch \"$d/end\"; sleep 0.5; cp \"$f\" \"$d/copy\"; touch \"$d/done\"", "report\n", 0,
                false, "left"},
        // A first look tells the type, the load comes after: a read just seen is not trusted yet.
        EndCase{"typeToldThenLoaded",
                "head -c 1 \"$f\" >/dev/null; touch \"$d/end\"; sleep 0.5; cp \"$f\" \"$d/copy\"; touch \"$d/done\"",
                "report\n", 5000, false, "left"},
        // Nothing read shows, as with a reader that maps the file into memory.
        EndCase{"openedNotRead", ": < \"$f\"; touch \"$d/end\"; sleep 0.3; cp \"$f\" \"$d/copy\"; touch \"$d/done\"",
                "report\n", 0, false, "left"},
        EndCase{"readAndHeldOpen",
                "exec 3< \"$f\"; dd bs=1 count=1 <&3 >/dev/null 2>&1; touch \"$d/end\"; sleep 0.3; "
                "cp \"$f\" \"$d/copy\"; touch \"$d/done\"",
                "report\n", 0, false, "left"},
        // A word processor that opened the file itself saves the user's work there: in place, or
        // through a new file put at its name.
        EndCase{"writtenIntoByAnother", "cp \"$f\" \"$d/copy\"; : >> \"$f\"; echo >> \"$f\"; touch \"$d/end\" \"$d/done\"",
                "report\n", 0, false, "kept"},
        EndCase{"savedByRename",
                "cp \"$f\" \"$d/copy\"; cp \"$f\" \"$f.new\"; echo mine >> \"$f.new\"; mv \"$f.new\" \"$f\"; "
                "touch \"$d/end\" \"$d/done\"",
                "report\n", 0, false, "kept"},
        // More opens than the watch's queue holds while the program is busy: what was missed may have
        // been anything.
        EndCase{"eventsLost",
                "cp \"$f\" \"$d/copy\"; n=$(($(cat /proc/sys/fs/inotify/max_queued_events) / 2 + 100)); "
                "while [ $n -gt 0 ]; do : < \"$f\"; n=$((n - 1)); done; touch \"$d/end\" \"$d/done\"",
                "report\n", 0, true, "left"}),
    [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.name); });

// What a start removes of what earlier runs left in the places where documents folders are made.
struct LeftCase {
    const char* name;
    const char* folder; // its name in the place; "" for the folder this process writes into now
    // "private" (0700), "open" (0755), "others" (0700, another user's), "link" (a link to a private
    // folder elsewhere)
    const char* folderKind;
    const char* entry;     // in the folder
    // "file" (as this program left it), "written" (written into by another program since), or "link"
    // (to a file elsewhere)
    const char* entryKind;
    int ageHours;          // since the entry was written and the folder last changed
    bool entryGoes;
    bool folderGoes;
};

class LeftDocumentTest : public WordExportTest, public ::testing::WithParamInterface<LeftCase> {};

// Sets the time of the last change of path (a link itself, not what it leads to) hours ago, with the
// mark of a document as this program writes it unless another program wrote it.
bool age(const QString& path, int hours, bool writtenByAnother = false)
{
    const long ns = writtenByAnother ? 0 : WordApplication::WrittenMarkNs;
    const timespec when[2] = {{::time(nullptr) - hours * 3600, 0}, {::time(nullptr) - hours * 3600, ns}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), when, AT_SYMLINK_NOFOLLOW) == 0;
}

TEST_P(LeftDocumentTest, AStartRemovesOnlyOldDocumentsInPrivateFoldersOfOurs)
{
    const LeftCase& c = GetParam();
    const QString place = dir.filePath("tmp");
    const QString kind = QLatin1String(c.folderKind);
    ASSERT_TRUE(QDir().mkpath(dir.filePath("elsewhere")));
    ASSERT_TRUE(testsupport::writeFile(dir.filePath("elsewhere/keep"), "mine"));
    QString folder = place + '/' + QLatin1String(c.folder);
    if (!*c.folder) {
        WordApplication::setWordProcessorOverride(QStringLiteral("/bin/true"));
        show(QStringLiteral("x\n"));
        press("PB_openInWordLeft");
        folder = WordApplication::documentsFolderPath();
        ASSERT_FALSE(folder.isEmpty()) << log.messages().join('|').toStdString();
    } else if (kind == "link") {
        ASSERT_TRUE(QDir().mkpath(dir.filePath("elsewhere/folder")));
        ::chmod(QFile::encodeName(dir.filePath("elsewhere/folder")).constData(), 0700);
        ASSERT_TRUE(QFile::link(dir.filePath("elsewhere/folder"), folder));
    } else {
        ASSERT_TRUE(QDir().mkpath(folder));
        ::chmod(QFile::encodeName(folder).constData(), kind == "open" ? 0755 : 0700);
    }
    const QString entry = folder + '/' + QLatin1String(c.entry);
    if (QLatin1String(c.entryKind) == "link")
        ASSERT_TRUE(QFile::link(dir.filePath("elsewhere/keep"), entry));
    else
        ASSERT_TRUE(testsupport::writeFile(entry, "left"));
    if (kind == "others" && ::chown(QFile::encodeName(folder).constData(), ::getuid() == 65534 ? 65533 : 65534, gid_t(-1)) != 0)
        GTEST_SKIP() << "no folder can be given to another user here";
    ASSERT_TRUE(age(entry, c.ageHours, QLatin1String(c.entryKind) == "written"));
    ASSERT_TRUE(age(folder, c.ageHours));

    WordApplication::removeLeftDocuments({place});
    EXPECT_EQ(QFileInfo(entry).exists() || QFileInfo(entry).isSymLink(), !c.entryGoes);
    EXPECT_EQ(QFileInfo(folder).exists() || QFileInfo(folder).isSymLink(), !c.folderGoes);
    EXPECT_EQ(testsupport::readFile(dir.filePath("elsewhere/keep")), "mine");
    if (kind == "link") {
        EXPECT_EQ(QDir(dir.filePath("elsewhere/folder")).entryList(QDir::Files | QDir::System).size(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Export, LeftDocumentTest,
    ::testing::Values(
        LeftCase{"oldDocument", "numbers-as-words-documents-Ab12Cd", "private", "Report 20250101-120000-1.txt", "file",
                 25, true, true},
        LeftCase{"youngDocument", "numbers-as-words-documents-Ab12Cd", "private", "Report 20250101-120000-12.txt",
                 "file", 23, false, false},
        LeftCase{"writtenIntoByAnother", "numbers-as-words-documents-Ab12Cd", "private",
                 "Report 20250101-120000-1.txt", "written", 25, false, false},
        LeftCase{"notADocumentsName", "numbers-as-words-documents-Ab12Cd", "private", "Report 2025-1.txt", "file", 25,
                 false, false},
        LeftCase{"aLinkUnderADocumentsName", "numbers-as-words-documents-Ab12Cd", "private",
                 "Report 20250101-120000-1.txt", "link", 25, false, false},
        LeftCase{"notAFolderOfOurs", "numbers-as-words-documents-Ab12", "private", "Report 20250101-120000-1.txt",
                 "file", 25, false, false},
        LeftCase{"folderOpenToOthers", "numbers-as-words-documents-Ab12Cd", "open", "Report 20250101-120000-1.txt",
                 "file", 25, false, false},
        LeftCase{"anotherUsersFolder", "numbers-as-words-documents-Ab12Cd", "others", "Report 20250101-120000-1.txt",
                 "file", 25, false, false},
        LeftCase{"aLinkUnderAFolderName", "numbers-as-words-documents-Ab12Cd", "link", "Report 20250101-120000-1.txt",
                 "file", 25, false, false},
        LeftCase{"thisRunsOwnFolder", "", "private", "Report 20250101-120000-1.txt", "file", 25, false, false}),
    [](const ::testing::TestParamInfo<LeftCase>& param) { return std::string(param.param.name); });

// Each run may have had another environment: every usual place is looked in, each once.
TEST_F(WordExportTest, AStartLooksInEveryPlaceADocumentsFolderMayHaveBeenMade)
{
    WordApplication::setDocumentPlacesOverride(std::nullopt);
    ASSERT_TRUE(QDir().mkpath(dir.filePath("run")));
    ::chmod(QFile::encodeName(dir.filePath("run")).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run")));
    QStringList expected{dir.filePath("run")};
    const QString usualRuntime = QStringLiteral("/run/user/%1").arg(::getuid());
    if (QFileInfo(usualRuntime).isDir())
        expected << usualRuntime;
    expected << dir.filePath("tmp") << QStringLiteral("/tmp");
    EXPECT_EQ(WordApplication::documentPlaces(), expected);

    qputenv("TMPDIR", "/tmp");
    qunsetenv("XDG_RUNTIME_DIR");
    expected = QStringList();
    if (QFileInfo(usualRuntime).isDir())
        expected << usualRuntime;
    expected << QStringLiteral("/tmp");
    EXPECT_EQ(WordApplication::documentPlaces(), expected);
    WordApplication::setDocumentPlacesOverride(QStringList());
}

// The children of this process that have ended and wait to be reaped.
int zombieChildren()
{
    int zombies = 0;
    const QString self = QString::number(::getpid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray stat = testsupport::readFile(QStringLiteral("/proc/%1/stat").arg(entry));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[0] == "Z" && fields[1] == self.toLatin1())
            ++zombies;
    }
    return zombies;
}

// Whatever this process ignores, blocks or holds open, the word processor starts as a fresh program
// does, in a session of its own: it outlives the program, and no terminal's hang-up or Ctrl+C meant
// for the program reaches it. Once it ended it is reaped.
TEST_F(WordExportTest, TheWordProcessorFindsAFreshStartInASessionOfItsOwn)
{
    const QString seen = dir.filePath("seen");
    qputenv("NAW_PROBE_REPORT", QFile::encodeName(seen));
    WordApplication::setWordProcessorOverride(testsupport::childProbe());
    show(QStringLiteral("x\n"));
    {
        const testsupport::HostileParent parent(false);
        ASSERT_TRUE(testsupport::inheritedDescriptors().contains(QString::number(parent.leakedDescriptor())));
        press("PB_openInWordLeft");
    }
    qunsetenv("NAW_PROBE_REPORT");
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    ASSERT_TRUE(testsupport::waitUntil([&] { return QFileInfo::exists(seen); }));
    EXPECT_EQ(QString::fromUtf8(testsupport::readFile(seen)), testsupport::freshStartReport(true));
    EXPECT_TRUE(testsupport::waitUntil([] { return zombieChildren() == 0; }));
}

// Each word processor opens the text as a new untitled document where it can (LibreOffice, from the
// file as a template), else the file itself; an empty text has no file: the word processor starts on
// a new empty document.
TEST_F(WordExportTest, EachWordProcessorGetsTheTextAsANewDocumentWhereItCan)
{
    struct Case {
        const char* program; // a stand-in under this name notes its arguments, each followed by "|"
        const char* text;
        const char* arguments; // "<file>" for the document, which holds the text
    };
    const Case cases[] = {
        {"soffice", "", "--writer|"},
        {"lowriter", "", "|"},
        {"abiword", "", "|"},
        {"soffice", "x\n", "--writer|-n|<file>|"},
        {"lowriter", "x\n", "-n|<file>|"},
        {"abiword", "x\n", "<file>|"},
    };
    ASSERT_TRUE(QDir().mkpath(dir.filePath("bin")));
    const QString args = dir.filePath("args");
    show(QStringLiteral("x\n"));
    for (const Case& c : cases) {
        const QString program = dir.filePath("bin/") + QLatin1String(c.program);
        ASSERT_TRUE(testsupport::writeScript(
            program, QStringLiteral("printf '%s|' \"$@\" > '%1'.part && mv '%1'.part '%1'\n").arg(args).toUtf8()));
        WordApplication::setWordProcessorOverride(program);
        QFile::remove(args);
        window->control<EditField>(QStringLiteral("EF_mainResultsLeft"), 0)->setText(QString::fromUtf8(c.text));
        press("PB_openInWordLeft");
        ASSERT_TRUE(testsupport::waitUntil([&] { return QFileInfo::exists(args); })) << c.program;
        QStringList got = QString::fromLocal8Bit(testsupport::readFile(args)).split('|');
        for (QString& arg : got) {
            if (arg.startsWith(WordApplication::documentsFolderPath() + '/')) {
                EXPECT_EQ(testsupport::readFile(arg), c.text) << c.program;
                arg = QStringLiteral("<file>");
            }
        }
        EXPECT_EQ(got.join('|'), QLatin1String(c.arguments)) << c.program << " given " << c.text;
        EXPECT_EQ(WordApplication::documentsFolderPath().isEmpty(), !*c.text) << "a file only for a text";
    }
    EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
}

TEST(OleAutomation, UnknownMembersRaiseTheBridgeException)
{
    WordApplication::setWordProcessorOverride(QStringLiteral("/bin/true"));
    WordApplication word;
    EXPECT_THROW(word.Get(QStringLiteral("Workbooks")), OLEException);
    const OLEObject documents = word.Get(QStringLiteral("documents"));
    EXPECT_THROW(documents.Set(QStringLiteral("Text"), QStringLiteral("x")), OLEException);
    EXPECT_THROW(OLEObject().Get(QStringLiteral("Documents")), OLEException);
    WordApplication::setWordProcessorOverride(std::nullopt);
}

} // namespace
