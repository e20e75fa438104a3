// The application frame: the single-instance guard between real processes, and, in this process, the
// refusal path and the quit when the last window closes.

#include "app/App.h"
#include "app/Startup.h"
#include "app/splashScreen.h"

#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Dialogs.h"
#include "platform/Mutex.h"
#include "platform/OleAutomation.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

namespace {

// Every test gets lock folders of its own (its folder stands for the user's home), so the guard's
// lock is private to the test.
class AppFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        fw::Mutex::setPlacesOverride(fw::Mutex::Places{QFile::encodeName(runtime.path()), QFile::encodeName(runtime.path())});
    }
    void TearDown() override
    {
        fw::Mutex::setPlacesOverride(testsupport::lockPlaces());
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }

    QTemporaryDir runtime;
};

// Ends a test's event loop that would otherwise never end.
class Watchdog {
public:
    explicit Watchdog(int ms)
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer_.start(ms);
    }

private:
    QTimer timer_;
};

TEST_F(AppFrame, RefusedCopyShowsOnlyOneMessageQuitsWithZeroAndLeavesTheHoldersLock)
{
    fw::Mutex running(QString::fromLatin1(App::mutexName));
    ASSERT_TRUE(running.TryEnter());
    testsupport::MessageLog log;
    // What was on screen while the message showed (a real box lets the splash's timer run on).
    int visibleAtMessage = -1;
    fw::ModalSeam::setMessageHandler([&](const fw::MessageRequest& request) {
        log.shown.push_back(request);
        visibleAtMessage = 0;
        for (fw::Window* window : fw::Window::openWindows())
            visibleAtMessage += window->isVisible() ? 1 : 0;
        return request.buttons.value(0);
    });

    int code = -1;
    {
        App app;
        QPointer<splashScreen> splash = splashScreen::instance(); // as the start-up opens it
        Watchdog watchdog(5000);
        code = app.Run();
        EXPECT_TRUE(app.AutoQuit());
        EXPECT_TRUE(splash.isNull() || splash->isClosed());
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("The program is already open.")});
    EXPECT_EQ(visibleAtMessage, 0);
    EXPECT_TRUE(testsupport::openWindowsOf<RW_compoundNumberWindow>().empty());
    // The refused copy's Close called Leave without holding the lock: the running copy keeps it.
    EXPECT_TRUE(running.isHeld());
    fw::Mutex third(QString::fromLatin1(App::mutexName));
    EXPECT_FALSE(third.TryEnter());
}

// Where no private folder for the lock can be had (another account took its name in the shared
// temporary folder of a user without a home), nothing keeps a second copy out: the user is told so,
// and why, and the program runs on.
TEST_F(AppFrame, ALockThatCannotBeTakenIsToldAndTheProgramRunsOn)
{
    const QString taken = runtime.filePath(QStringLiteral("numbers-as-words-%1").arg(::getuid()));
    ASSERT_TRUE(testsupport::writeFile(taken, "x"));
    fw::Mutex::setPlacesOverride(fw::Mutex::Places{QByteArray(), QFile::encodeName(runtime.path())});
    testsupport::MessageLog log;
    bool ranOn = false;
    int code = -1;
    {
        App app;
        QPointer<splashScreen> splash = splashScreen::instance();
        QTimer whenUp;
        whenUp.setInterval(5);
        QObject::connect(&whenUp, &QTimer::timeout, [&] {
            if (!app.AutoQuit())
                return;
            ranOn = splash && !splash->isClosed();
            app.Quit(0);
        });
        whenUp.start();
        Watchdog watchdog(5000);
        code = app.Run();
    }
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(ranOn);
    ASSERT_EQ(log.messages().size(), 1);
    const QString message = log.messages().front();
    EXPECT_TRUE(message.startsWith(QStringLiteral("This copy of the program cannot make sure that it is the only one "
                                                  "running.")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(taken + QStringLiteral(" is not a folder"))) << message.toStdString();
    EXPECT_EQ(testsupport::readFile(taken), "x");
}

TEST_F(AppFrame, WindowTitlesShowExactlyAsGiven)
{
    // The platform appends an application display name, when one is set, to every window title.
    setUpProgram();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(AppFrame, RunsThroughTheSplashHandOverAndQuitsWhenTheLastWindowCloses)
{
    testsupport::MessageLog log;
    int step = 0;
    int code = -1;
    {
        App app;
        QPointer<splashScreen> splash = splashScreen::instance();
        QPointer<RW_compoundNumberWindow> numbers;
        // Drives the program from inside its event loop once Open has run.
        QTimer driver;
        driver.setInterval(5);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (!app.AutoQuit())
                return;
            if (step == 0) {
                ASSERT_TRUE(splash);
                QTest::keyClick(splash, Qt::Key_Space);
                step = 1;
            } else if (step == 1) {
                // The hand-over kept a window open all along, so the program still runs.
                numbers = RW_compoundNumberWindow::instance();
                EXPECT_TRUE(numbers->Visible());
                step = 2;
                numbers->Close();
            } else {
                step = 3; // the program went on after its last window closed
            }
        });
        driver.start();
        Watchdog watchdog(5000);
        code = app.Run();
        driver.stop();
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(step, 2);
    EXPECT_TRUE(log.shown.empty());
    // Close left the guard's lock for the next copy.
    fw::Mutex next(QString::fromLatin1(App::mutexName));
    EXPECT_TRUE(next.TryEnter());
}

// A start that passed the guard removes the documents that earlier runs handed to the word processor
// and left behind long ago, in every place it looks; a refused start touches nothing.
TEST_F(AppFrame, AStartRemovesTheDocumentsEarlierRunsLeftLongAgo)
{
    QTemporaryDir places;
    ASSERT_TRUE(places.isValid());
    QStringList oldDocuments, youngDocuments;
    for (const char* place : {"tmp", "run"}) {
        const QString folder = places.filePath(QLatin1String(place)) + "/numbers-as-words-documents-Xy12Zw";
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const char* folderPath : {place, ""}) {
            const QString path = *folderPath ? places.filePath(QLatin1String(folderPath)) : folder;
            ::chmod(QFile::encodeName(path).constData(), 0700);
        }
        const QString old = folder + "/Report 20250101-120000-1.txt";
        const QString young = folder + "/Report 20250101-120000-2.txt";
        ASSERT_TRUE(testsupport::writeFile(old, "old") && testsupport::writeFile(young, "young"));
        const timespec longAgo[2] = {{::time(nullptr) - 2 * 24 * 3600, 0},
                                     {::time(nullptr) - 2 * 24 * 3600, fw::WordApplication::WrittenMarkNs}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(old).constData(), longAgo, 0), 0);
        oldDocuments << old;
        youngDocuments << young;
    }
    fw::WordApplication::setDocumentPlacesOverride(QStringList{places.filePath("tmp"), places.filePath("run")});

    testsupport::MessageLog log;
    for (const bool refused : {true, false}) {
        fw::Mutex running(QString::fromLatin1(App::mutexName));
        if (refused) {
            ASSERT_TRUE(running.TryEnter());
        }
        App app;
        QTimer::singleShot(0, &app, [&app] { app.Quit(0); }); // once Open has run
        Watchdog watchdog(5000);
        EXPECT_EQ(app.Run(), 0);
        for (const QString& old : oldDocuments)
            EXPECT_EQ(QFileInfo::exists(old), refused) << old.toStdString() << " refused " << refused;
        for (const QString& young : youngDocuments)
            EXPECT_TRUE(QFileInfo::exists(young)) << young.toStdString();
    }
    fw::WordApplication::setDocumentPlacesOverride(QStringList());
}

// ---- real processes

// True when process pid holds the exclusive flock on the file at path, as the kernel lists it.
bool holdsLock(qint64 pid, const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString inode = QStringLiteral(":%1").arg(quint64(info.st_ino));
    // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:5678 0 EOF"; waiters carry "->" and are not holders.
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 6 && f[1] == "FLOCK" && f[3] == "WRITE" && f[4].toLongLong() == pid
            && QString::fromLatin1(f[5]).endsWith(inode))
            return true;
    }
    return false;
}

class ProgramCopies : public AppFrame {
protected:
    void SetUp() override
    {
        AppFrame::SetUp();
        released = testsupport::binDir() + QStringLiteral("/numbers-as-words");
        driver = testsupport::binDir() + QStringLiteral("/numbers-as-words-test-driver");
        ASSERT_TRUE(QFileInfo(released).isExecutable()) << released.toStdString();
        ASSERT_TRUE(QFileInfo(driver).isExecutable()) << driver.toStdString();
        lockFile = runtime.path() + QStringLiteral("/.local/state/numbers-as-words/")
                   + fw::Mutex::fileNameFor(QString::fromLatin1(App::mutexName));
    }
    void TearDown() override
    {
        for (QProcess* p : {&first, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        AppFrame::TearDown();
    }

    // Starts the test driver, with the test's lock folders, or the released program; the variables
    // in unset are left out of its environment.
    void start(QProcess& p, const QProcessEnvironment& extra = {}, bool releasedProgram = false,
               const QStringList& unset = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("NAW_DRIVER_HOME"), runtime.path());
        env.insert(extra);
        for (const QString& name : unset)
            env.remove(name);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(runtime.path());
        p.start(releasedProgram ? released : driver, {});
        ASSERT_TRUE(p.waitForStarted(5000)) << p.errorString().toStdString();
    }

    // The driver's standard output lines, once it said "up" (or ended).
    QStringList waitUntilUp(QProcess& p)
    {
        QString out;
        testsupport::waitUntil(
            [&] {
                out += QString::fromLocal8Bit(p.readAllStandardOutput());
                return out.contains(QStringLiteral("up\n")) || p.state() == QProcess::NotRunning;
            },
            10000);
        return out.split(u'\n', Qt::SkipEmptyParts);
    }

    bool waitForGuard(QProcess& p)
    {
        const qint64 pid = p.processId();
        return testsupport::waitUntil([&] { return holdsLock(pid, lockFile) || p.state() == QProcess::NotRunning; },
                                      10000)
               && p.state() == QProcess::Running;
    }

    // The second copy, started, is refused with one message and ends with 0; the first keeps running
    // and keeps its lock.
    void expectSecondRefused()
    {
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        const QString refusal = QString::fromLocal8Bit(second.readAllStandardError());
        EXPECT_EQ(refusal.count(QStringLiteral("The program is already open.")), 1) << refusal.toStdString();
        EXPECT_EQ(first.state(), QProcess::Running);
        EXPECT_TRUE(holdsLock(first.processId(), lockFile));
    }

    QString released, driver;
    QString lockFile;
    QProcess first, second;
};

// A holder killed outright leaves no lock behind: fw::Mutex's own tests cover that, with a child that
// outlives the holder.
TEST_F(ProgramCopies, SecondCopyIsRefusedAndTheRunningCopyKeepsItsLock)
{
    start(first);
    ASSERT_TRUE(waitForGuard(first)) << first.readAllStandardError().toStdString();

    start(second);
    expectSecondRefused();
}

// One user, one running copy, whatever the environment of each: a copy started from a desktop session
// and one started through su, ssh or cron (no runtime folder, other temporary, home and cache
// folders) find the same lock.
TEST_F(ProgramCopies, CopiesStartedInDifferentEnvironmentsAreStillOne)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    for (const char* folder : {"run", "a", "b"}) {
        ASSERT_TRUE(QDir().mkpath(elsewhere.filePath(QLatin1String(folder))));
        ::chmod(QFile::encodeName(elsewhere.filePath(QLatin1String(folder))).constData(), 0700);
    }
    const QStringList variables{"TMPDIR", "HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"};
    QProcessEnvironment session;
    session.insert(QStringLiteral("XDG_RUNTIME_DIR"), elsewhere.filePath("run"));
    for (const QString& name : variables)
        session.insert(name, elsewhere.filePath("a"));
    start(first, session);
    ASSERT_TRUE(waitForGuard(first)) << first.readAllStandardError().toStdString();

    QProcessEnvironment other;
    for (const QString& name : variables)
        other.insert(name, elsewhere.filePath("b"));
    start(second, other, false, {QStringLiteral("XDG_RUNTIME_DIR")});
    expectSecondRefused();
}

// The released program carries no test seam: nothing in its environment answers its message boxes,
// nor moves its lock. It finds the lock from the user database alone, so it runs in a mount
// namespace of its own where the test's folder stands for the user's home: it meets the lock held
// here, never the user's real one.
TEST_F(ProgramCopies, TheReleasedProgramAnswersNoMessageBoxByItself)
{
    fw::Mutex::setPlacesOverride(std::nullopt);
    const QByteArray home = fw::Mutex::places().home;
    fw::Mutex::setPlacesOverride(fw::Mutex::Places{QFile::encodeName(runtime.path()), QFile::encodeName(runtime.path())});
    if (!home.startsWith('/'))
        GTEST_SKIP() << "this user has no home folder for the test's folder to stand for";
    if (QFile::encodeName(released).startsWith(home + '/'))
        GTEST_SKIP() << "the program lies in the home folder, which the test's folder would hide";
    fw::Mutex held(QString::fromLatin1(App::mutexName));
    ASSERT_TRUE(held.TryEnter()) << held.errorString().toStdString();

    // In the started child, before the program: 77 when no mount namespace can be had.
    second.setChildProcessModifier([home, stand = QFile::encodeName(runtime.path()), uid = ::getuid(),
                                    gid = ::getgid()] {
        bool own = ::unshare(CLONE_NEWNS) == 0;
        if (!own && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0) {
            // The same user and group inside as outside.
            const auto put = [](const char* file, const char* text) {
                const int fd = ::open(file, O_WRONLY);
                const bool done = fd >= 0 && ::write(fd, text, std::strlen(text)) == ssize_t(std::strlen(text));
                if (fd >= 0)
                    ::close(fd);
                return done;
            };
            char uidMap[64], gidMap[64];
            std::snprintf(uidMap, sizeof uidMap, "%u %u 1\n", unsigned(uid), unsigned(uid));
            std::snprintf(gidMap, sizeof gidMap, "%u %u 1\n", unsigned(gid), unsigned(gid));
            own = put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", uidMap)
                  && put("/proc/self/gid_map", gidMap);
        }
        if (!own || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount(stand.constData(), home.constData(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(77);
    });
    QProcessEnvironment seam;
    seam.insert(QStringLiteral("NAW_AUTO_ANSWER"), QStringLiteral("1"));
    start(second, seam, true);
    // Refused, it waits for the user to dismiss "The program is already open." instead of quitting.
    if (second.waitForFinished(1000)) {
        if (second.exitCode() == 77)
            GTEST_SKIP() << "no mount namespace can be had here";
        ADD_FAILURE() << "the released program ended: " << second.readAllStandardError().toStdString();
    }
    EXPECT_EQ(second.state(), QProcess::Running);
    EXPECT_FALSE(holdsLock(second.processId(), lockFile));
    EXPECT_FALSE(QString::fromLocal8Bit(second.readAllStandardError()).contains(QStringLiteral("already open")));
}

struct SignalCase {
    const char* name;
    int signal; // 0: the display is lost, and the toolkit ends the program with exit(1)
    bool ignoredAtStart; // the program was started with the signal ignored (nohup, a background job)
    bool blockedAtStart = false; // ... with SIGTERM, SIGINT and SIGHUP blocked by its parent
    bool busy = false; // the program is inside busy work that does not stop when abandoned
};

class EndedBySignal : public ProgramCopies, public ::testing::WithParamInterface<SignalCase> {};

// True when process pid ignores signal, as the system lists it.
bool ignores(qint64 pid, int signal)
{
    const QByteArray status = testsupport::readFile(QStringLiteral("/proc/%1/status").arg(pid));
    const qsizetype at = status.indexOf("SigIgn:");
    return at >= 0 && (status.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) & (1ull << (signal - 1))) != 0;
}

// Ended by a signal, or by exit() from inside the event loop once the display is gone, the program
// leaves nothing behind: no configuration file, no back-end, no document read, no lock.
TEST_P(EndedBySignal, CleansUpAsWhenTheLastWindowClosesUnlessStartedWithTheSignalIgnored)
{
    const SignalCase& c = GetParam();
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString backEnd = work.filePath(QStringLiteral("vantleReport"));
    ASSERT_TRUE(testsupport::writeScript(backEnd, "echo $$ > \"$(dirname \"$0\")/backend.pid\"\nsleep 300\n"));
    // The word processor, one that makes a new document of the file, reads its document at once
    // (holding it open for long enough to be seen doing so).
    const QString wordProcessor = work.filePath(QStringLiteral("lowriter"));
    ASSERT_TRUE(testsupport::writeScript(
        wordProcessor, "for f; do :; done; exec 3< \"$f\"; sleep 0.3; cat <&3 > \"$(dirname \"$0\")/read.part\"; "
                       "exec 3<&-; mv \"$(dirname \"$0\")/read.part\" \"$(dirname \"$0\")/read\"\n"));
    const QString config = work.filePath(QStringLiteral("config.cfg"));
    QProcessEnvironment env;
    env.insert(QStringLiteral("NAW_DRIVER_RUN"), backEnd);
    env.insert(QStringLiteral("NAW_DRIVER_CONFIG"), config);
    env.insert(QStringLiteral("NAW_DRIVER_EXPORT"), wordProcessor);
    const QString displayLost = work.filePath(QStringLiteral("display lost"));
    env.insert(QStringLiteral("NAW_DRIVER_EXIT_WHEN"), displayLost);
    if (c.busy)
        env.insert(QStringLiteral("NAW_DRIVER_BUSY"), QStringLiteral("1"));
    first.setChildProcessModifier([c] {
        if (c.ignoredAtStart)
            ::signal(c.signal, SIG_IGN);
        if (c.blockedAtStart) {
            sigset_t blocked;
            sigemptyset(&blocked);
            for (const int signal : {SIGTERM, SIGINT, SIGHUP})
                sigaddset(&blocked, signal);
            ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
        }
    });
    start(first, env);
    QStringList said = waitUntilUp(first);
    ASSERT_TRUE(said.contains(QStringLiteral("up"))) << said.join('|').toStdString()
                                                     << first.readAllStandardError().toStdString();
    if (c.busy) {
        ASSERT_TRUE(testsupport::waitUntil([&] {
            said += QString::fromLocal8Bit(first.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
            return said.contains(QStringLiteral("busy"));
        }));
    }
    const QString documents = said.filter(QStringLiteral("document ")).value(0).mid(9);
    ASSERT_TRUE(QFileInfo(documents).isDir()) << said.join('|').toStdString();
    const QString pidFile = work.filePath(QStringLiteral("backend.pid"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::readFile(pidFile).endsWith('\n'); }));
    const qint64 backEndPid = testsupport::readFile(pidFile).trimmed().toLongLong();
    ASSERT_TRUE(QFileInfo::exists(config));
    ASSERT_TRUE(testsupport::waitUntil([&] { return QFileInfo::exists(work.filePath(QStringLiteral("read"))); }));

    const pid_t pid = pid_t(first.processId());
    int ending = c.signal;
    if (c.ignoredAtStart) {
        ::kill(pid, c.signal);
        EXPECT_FALSE(first.waitForFinished(500)) << "ended by a signal it was started with ignored";
        EXPECT_TRUE(ignores(pid, c.signal));
        ending = SIGTERM;
    }
    QElapsedTimer sinceEnding;
    sinceEnding.start();
    if (ending == 0)
        ASSERT_TRUE(testsupport::writeFile(displayLost, ""));
    else
        ::kill(pid, ending);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_LT(sinceEnding.elapsed(), 1000);
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), ending == 0 ? 1 : 128 + ending);
    EXPECT_FALSE(QFileInfo::exists(config));
    EXPECT_FALSE(QFileInfo::exists(documents));
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::processGone(backEndPid); }, 2000));
    fw::Mutex next(QString::fromLatin1(App::mutexName));
    EXPECT_TRUE(next.TryEnter());
}

// Started by a parent that ignores SIGCHLD, the program still learns that its runs ended; the
// back-end finds a fresh start (none of the program's own descriptors: its signal pipe, its lock,
// the run's output pipe; every signal at its default). Two signals at once: the first one handled
// gives the exit status.
TEST_F(ProgramCopies, RunsEndUnderAnIgnoredSIGCHLDAndTheBackEndFindsAFreshStart)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString config = work.filePath(QStringLiteral("config.cfg"));
    const QString seen = work.filePath(QStringLiteral("seen"));
    QProcessEnvironment env;
    env.insert(QStringLiteral("NAW_DRIVER_RUN"), testsupport::childProbe());
    env.insert(QStringLiteral("NAW_DRIVER_CONFIG"), config);
    env.insert(QStringLiteral("NAW_PROBE_REPORT"), seen);
    first.setChildProcessModifier([] { ::signal(SIGCHLD, SIG_IGN); });
    start(first, env);
    const QStringList said = waitUntilUp(first);
    ASSERT_TRUE(said.contains(QStringLiteral("run"))) << said.join('|').toStdString();

    EXPECT_TRUE(testsupport::waitUntil([&] { return !QFileInfo::exists(config); }, 5000)) << "the run never ended";
    const QByteArray status = testsupport::readFile(QStringLiteral("/proc/%1/status").arg(first.processId()));
    const qsizetype ignored = status.indexOf("SigIgn:");
    ASSERT_GE(ignored, 0);
    EXPECT_EQ(status.mid(ignored + 7, 17).trimmed().toULongLong(nullptr, 16) & (1ull << (SIGCHLD - 1)), 0u)
        << "the program still ignores SIGCHLD";
    EXPECT_EQ(QString::fromUtf8(testsupport::readFile(seen)), testsupport::freshStartReport())
        << first.readAllStandardError().toStdString();

    // Both wait for the main thread while the program is stopped; once it runs on, the system
    // stacks the two handlers, SIGTERM's innermost, so it is SIGTERM that the program learns of
    // first, and SIGINT right after it.
    const pid_t pid = pid_t(first.processId());
    ::kill(pid, SIGSTOP);
    ASSERT_TRUE(testsupport::waitUntil([&] {
        const QByteArray stat = testsupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
        return stat.mid(stat.lastIndexOf(')') + 2, 1) == "T";
    }));
    ::syscall(SYS_tgkill, pid, pid, SIGTERM);
    ::syscall(SYS_tgkill, pid, pid, SIGINT);
    ::kill(pid, SIGCONT);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 128 + SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(App, EndedBySignal,
                         ::testing::Values(SignalCase{"TERM", SIGTERM, false}, SignalCase{"INT", SIGINT, false},
                                           SignalCase{"HUP", SIGHUP, false}, SignalCase{"INTIgnored", SIGINT, true},
                                           SignalCase{"HUPIgnored", SIGHUP, true},
                                           SignalCase{"TERMBlocked", SIGTERM, false, true},
                                           SignalCase{"INTIgnoredAndBlocked", SIGINT, true, true},
                                           SignalCase{"DisplayLost", 0, false},
                                           SignalCase{"TERMDuringBusyWork", SIGTERM, false, false, true},
                                           SignalCase{"DisplayLostDuringBusyWork", 0, false, false, true}),
                         [](const ::testing::TestParamInfo<SignalCase>& param) { return std::string(param.param.name); });

} // namespace
