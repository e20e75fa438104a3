// The application frame: the single-instance guard between real processes, and, in this process, the
// refusal path and the quit when the last window closes.

#include "app/App.h"
#include "app/splashScreen.h"

#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Dialogs.h"
#include "platform/Mutex.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// Every test gets a runtime folder of its own, so the guard's lock is private to the test.
class AppFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override
    {
        if (hadRuntime)
            qputenv("XDG_RUNTIME_DIR", savedRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }

    QTemporaryDir runtime;
    bool hadRuntime = false;
    QByteArray savedRuntime;
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

TEST_F(AppFrame, RefusedCopyShowsOneMessageQuitsWithZeroAndLeavesTheHoldersLock)
{
    fw::Mutex running(QString::fromLatin1(App::mutexName));
    ASSERT_TRUE(running.TryEnter());
    testsupport::MessageLog log;

    int code = -1;
    {
        App app;
        Watchdog watchdog(5000);
        code = app.Run();
        EXPECT_TRUE(app.AutoQuit());
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("The program is already open.")});
    // The refused copy's Close called Leave without holding the lock: the running copy keeps it.
    EXPECT_TRUE(running.isHeld());
    fw::Mutex third(QString::fromLatin1(App::mutexName));
    EXPECT_FALSE(third.TryEnter());
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
        program = testsupport::binDir() + QStringLiteral("/numbers-as-words");
        ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
        lockFile = runtime.path() + QLatin1Char('/') + fw::Mutex::fileNameFor(QString::fromLatin1(App::mutexName));
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

    void start(QProcess& p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("NAW_AUTO_ANSWER"), QStringLiteral("1"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(runtime.path());
        p.start(program, {});
        ASSERT_TRUE(p.waitForStarted(5000)) << p.errorString().toStdString();
    }

    bool waitForGuard(QProcess& p)
    {
        const qint64 pid = p.processId();
        return testsupport::waitUntil([&] { return holdsLock(pid, lockFile) || p.state() == QProcess::NotRunning; },
                                      10000)
               && p.state() == QProcess::Running;
    }

    QString program;
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
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QString refusal = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_EQ(refusal.count(QStringLiteral("The program is already open.")), 1) << refusal.toStdString();

    // The running copy is not disturbed.
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(holdsLock(first.processId(), lockFile));
}

} // namespace
