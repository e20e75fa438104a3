#include "platform/Shell.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

// Reads of the project's own code come here (the area links with --wrap=read): while armed, every
// other read of a pipe is interrupted as a signal would interrupt it.
extern "C" ssize_t __real_read(int fd, void* buffer, size_t count);
namespace {
std::atomic<bool> interruptPipeReads{false};
std::atomic<unsigned> pipeReads{0};
}
extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count)
{
    struct stat info {};
    if (interruptPipeReads && ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode) && pipeReads++ % 2 == 0) {
        errno = EINTR;
        return -1;
    }
    return __real_read(fd, buffer, count);
}

namespace {

// Records the events as a subclass sees them.
class RecordingShell : public fw::Shell
{
public:
    QStringList pieces;
    int completions = 0;
    bool dataAfterCompleted = false;
    QString readAtCompletion;

protected:
    void DataAvailable() override
    {
        if (completions > 0)
            dataAfterCompleted = true;
        pieces.append(ReadAll());
    }
    void Completed() override
    {
        ++completions;
        readAtCompletion = ReadAll();
    }
};

class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // A folder name a shell would take apart in every possible way.
        m_folder = m_dir.filePath(R"(odd 'single' "double" $HOME ;semi `tick` \back)");
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }

    QString script(const QString& name, const QByteArray& body)
    {
        const QString path = m_folder + u'/' + name;
        EXPECT_TRUE(testsupport::writeScript(path, body));
        return path;
    }

    QTemporaryDir m_dir;
    QString m_folder;
};

TEST_F(ShellTest, RunsOnlyTheNamedProgramWithLiteralArguments)
{
    const QString witness = m_dir.filePath("pwned");
    const QString program = script("args $x;y.sh", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
    RecordingShell shell;
    const QString parameters = QStringLiteral(R"("x; touch %1" '$(touch %1)' `touch\ %1` a\ b "" | & > %1)")
                                   .arg(fw::shellEscape(witness));
    shell.Execute(fw::shellEscape(program), parameters);
    EXPECT_EQ(shell.completions, 0); // asynchronous: nothing happens inside Execute
    ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; }));

    const QString expected = QStringLiteral("[x; touch %1]\n[$(touch %1)]\n[`touch %1`]\n[a b]\n[]\n[|]\n[&]\n[>]\n[%1]\n")
                                 .arg(witness);
    EXPECT_EQ(shell.pieces.join(QString()) + shell.readAtCompletion, expected);
    EXPECT_EQ(shell.ErrorCode(), fw::Shell::NoError) << shell.errorString().toStdString();
    EXPECT_EQ(shell.ExitCode(), 0);
    EXPECT_FALSE(QFile::exists(witness));

    // The same program named with quotes instead of escapes.
    RecordingShell quoted;
    quoted.Execute("'" + QString(program).replace("'", R"('\'')") + "'", "one");
    ASSERT_TRUE(testsupport::waitUntil([&] { return quoted.completions > 0; }));
    EXPECT_EQ(quoted.pieces.join(QString()) + quoted.readAtCompletion, "[one]\n");
}

TEST_F(ShellTest, OutputInPiecesKeepsSplitCharactersWhole)
{
    // "€" is E2 82 AC; it arrives in two writes. Standard error is part of the output. FF is invalid.
    const QString program = script("pieces.sh", "printf 'a'; sleep 0.05\n"
                                                "printf '\\342\\202'; sleep 0.05\n"
                                                "printf '\\254b' >&2; sleep 0.05\n"
                                                "printf 'c\\377\\n'\n"
                                                "exit 3\n");
    RecordingShell shell;
    shell.Execute(fw::shellEscape(program), QString());
    ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; }));
    testsupport::waitUntil([] { return false; }, 200); // a second Completed would come now

    EXPECT_EQ(shell.completions, 1);
    EXPECT_FALSE(shell.dataAfterCompleted);
    EXPECT_GE(shell.pieces.size(), 2);
    // Only the invalid byte becomes U+FFFD, never a character cut between two reads.
    EXPECT_EQ(shell.pieces.join(QString()) + shell.readAtCompletion, "a€bc\uFFFD\n");
    EXPECT_EQ(shell.ExitCode(), 3);
    EXPECT_FALSE(shell.IsRunning());
}

struct FailureCase {
    const char* name;
    QString command;
    QString parameters;
    int error;
};

TEST_F(ShellTest, FailuresCompleteOnceWithAReason)
{
    const FailureCase cases[] = {
        {"missing program", "/no/such/program", "a b", fw::Shell::FailedToStart},
        {"not executable", m_dir.filePath("plain.txt"), "", fw::Shell::FailedToStart},
        {"two words", "/bin/echo hello", "", fw::Shell::BadCommand},
        {"no word", "  ", "", fw::Shell::BadCommand},
        {"open quote in command", "'/bin/echo", "", fw::Shell::BadCommand},
        {"open quote in parameters", "/bin/echo", "\"a", fw::Shell::BadCommand},
    };
    ASSERT_TRUE(testsupport::writeFile(m_dir.filePath("plain.txt"), QByteArray()));

    for (const auto& c : cases) {
        // The signals are there for users that do not subclass.
        fw::Shell shell;
        int completions = 0;
        int data = 0;
        QObject::connect(&shell, &fw::Shell::completed, [&] { ++completions; });
        QObject::connect(&shell, &fw::Shell::dataAvailable, [&] { ++data; });
        shell.Execute(c.command, c.parameters);
        EXPECT_EQ(completions, 0) << c.name;
        EXPECT_TRUE(testsupport::waitUntil([&] { return completions > 0; })) << c.name;
        testsupport::settle();
        EXPECT_EQ(completions, 1) << c.name;
        EXPECT_EQ(data, 0) << c.name;
        EXPECT_EQ(shell.ReadAll(), QString()) << c.name;
        EXPECT_EQ(shell.ErrorCode(), c.error) << c.name;
        EXPECT_FALSE(shell.errorString().isEmpty()) << c.name;
        EXPECT_FALSE(shell.IsRunning()) << c.name;
    }
}

struct EndCase {
    const char* name;
    QByteArray body;  // script body; empty: the script is left without execute permission
    QString output;   // everything read, output of the program's leftovers included
    int exitCode;     // -1: the program did not end by itself
    int exitSignal;   // 0: not ended by a signal
    int error;
    QString reason;   // a part of errorString, when there is an error
};

TEST_F(ShellTest, TheEndTellsStatusSignalOrTheSystemsReason)
{
    const EndCase cases[] = {
        {"clean", "echo done\n", "done\n", 0, 0, fw::Shell::NoError, {}},
        {"status", "echo part\nexit 7\n", "part\n", 7, 0, fw::Shell::NoError, {}},
        {"signal", "echo part\nkill -KILL $$\n", "part\n", -1, SIGKILL, fw::Shell::Crashed, {}},
        {"own signal", "kill -TERM $$\n", "", -1, SIGTERM, fw::Shell::Crashed, {}},
        {"not executable", "", "", -1, 0, fw::Shell::FailedToStart, QString::fromLocal8Bit(strerror(EACCES))},
    };
    for (const auto& c : cases) {
        const QString program = m_folder + u'/' + QLatin1String(c.name) + ".sh";
        if (c.body.isEmpty())
            ASSERT_TRUE(testsupport::writeFile(program, "#!/bin/sh\necho never\n"));
        else
            ASSERT_TRUE(testsupport::writeScript(program, c.body));
        RecordingShell shell;
        shell.Execute(fw::shellEscape(program), QString());
        ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; })) << c.name;
        EXPECT_EQ(shell.pieces.join(QString()) + shell.readAtCompletion, c.output) << c.name;
        EXPECT_EQ(shell.ExitCode(), c.exitCode) << c.name;
        EXPECT_EQ(shell.ExitSignal(), c.exitSignal) << c.name;
        EXPECT_EQ(shell.ErrorCode(), c.error) << c.name;
        EXPECT_TRUE(shell.errorString().contains(c.reason)) << c.name << ": " << shell.errorString().toStdString();
    }
}

TEST_F(ShellTest, WhatTheProgramLeftBehindEndsWithItAndItsOutputIsKept)
{
    // The background child writes, then stays: holding the output open (one of them deaf to
    // SIGTERM), or with its output sent elsewhere.
    for (const char* child : {"( echo child; touch ready; exec sleep 300 ) &",
                              "( trap '' TERM; echo child; touch ready; exec sleep 300 ) &",
                              "( echo child; exec >/dev/null 2>&1; touch ready; exec sleep 300 ) &"}) {
        const QString program = script("leave.sh", "cd \"$(dirname \"$0\")\"; rm -f ready\n" + QByteArray(child)
                                                       + "\necho pid $!\n"
                                                         "while [ ! -e ready ]; do sleep 0.01; done\n"
                                                         "echo leader\nexit 4\n");
        for (const int mode : {fw::Shell::Asynchronous, fw::Shell::Synchronous}) {
            RecordingShell shell;
            shell.Mode = mode;
            QElapsedTimer clock;
            clock.start();
            shell.Execute(fw::shellEscape(program), QString());
            ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; })) << child << mode;
            // Asked to end, then killed after a short grace: a leftover deaf to SIGTERM holds the
            // run up by that grace only.
            EXPECT_LT(clock.elapsed(), 2000) << child << mode;
            const QString output = shell.pieces.join(QString()) + shell.readAtCompletion;
            EXPECT_TRUE(output.contains("child\n")) << output.toStdString();
            EXPECT_TRUE(output.endsWith("leader\n")) << output.toStdString();
            EXPECT_EQ(shell.ExitCode(), 4);
            const int childPid = output.section("pid ", 1).section('\n', 0, 0).toInt();
            ASSERT_GT(childPid, 0) << output.toStdString();
            // Ended by the time the run completed; only reaping by its new parent may still be due.
            EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::processGone(childPid); }, 1000)) << child << mode;
        }
    }
}

TEST_F(ShellTest, CloseAndDestructionLeaveNoProcessBehind)
{
    // The program and its background child both ignore SIGTERM; both must go all the same.
    const QString program = script("wait.sh", "trap '' TERM\nsleep 300 &\necho $!\n"
                                              "while :; do sleep 1; done\n");
    for (const bool destroy : {false, true}) {
        auto shell = std::make_unique<RecordingShell>();
        shell->Execute(fw::shellEscape(program), QString());
        ASSERT_TRUE(testsupport::waitUntil([&] { return !shell->pieces.isEmpty(); }));
        const int child = shell->pieces.join(QString()).trimmed().toInt();
        ASSERT_GT(child, 0);
        EXPECT_TRUE(shell->IsRunning());

        if (destroy) {
            shell.reset();
        } else {
            shell->Close();
            EXPECT_FALSE(shell->IsRunning());
            EXPECT_EQ(shell->ReadAll(), QString());
        }
        EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::processGone(child); }, 3000)) << destroy;
        if (shell) {
            testsupport::waitUntil([] { return false; }, 200);
            EXPECT_EQ(shell->completions, 0); // a closed run reports nothing more
        }
    }
}

struct StartCase {
    const char* name;
    bool ignoreChildEnd; // the parent ignores SIGCHLD: the system reaps the program unseen
    int mode;
    int error;    // how the end is told
    int exitCode;
};

// Whatever this process ignores, blocks or holds open, a started program finds a fresh start: only
// the standard descriptors, empty standard input, standard error joined to the output, every signal
// at its default and unblocked, a process group of its own in this session. A program that the
// system reaped unseen still ends the run, in time.
TEST_F(ShellTest, AStartedProgramFindsAFreshStartWhateverItsParentIgnoresOrHolds)
{
    const StartCase cases[] = {
        {"asynchronous", false, fw::Shell::Asynchronous, fw::Shell::NoError, 7},
        {"synchronous", false, fw::Shell::Synchronous, fw::Shell::NoError, 7},
        {"asynchronous, SIGCHLD ignored", true, fw::Shell::Asynchronous, fw::Shell::EndUnknown, -1},
        {"synchronous, SIGCHLD ignored", true, fw::Shell::Synchronous, fw::Shell::EndUnknown, -1},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString expected = testsupport::freshStartReport();
        RecordingShell shell;
        shell.Mode = c.mode;
        QElapsedTimer clock;
        {
            const testsupport::HostileParent parent(c.ignoreChildEnd);
            ASSERT_TRUE(testsupport::inheritedDescriptors().contains(QString::number(parent.leakedDescriptor())));
            clock.start();
            shell.Execute(fw::shellEscape(testsupport::childProbe()), "then=exit:7");
            ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; }, 10000));
        }
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_EQ(shell.pieces.join(QString()) + shell.readAtCompletion, expected);
        EXPECT_EQ(shell.ErrorCode(), c.error) << shell.errorString().toStdString();
        EXPECT_EQ(shell.ExitCode(), c.exitCode);
        EXPECT_FALSE(shell.IsRunning());
    }
}

TEST_F(ShellTest, ReadsInterruptedBySignalsLoseNoOutput)
{
    for (const int mode : {fw::Shell::Asynchronous, fw::Shell::Synchronous}) {
        RecordingShell shell;
        shell.Mode = mode;
        pipeReads = 0;
        interruptPipeReads = true;
        shell.Execute(fw::shellEscape(testsupport::childProbe()), "then=write:20000");
        const bool completed = testsupport::waitUntil([&] { return shell.completions > 0; }, 10000);
        interruptPipeReads = false;
        ASSERT_TRUE(completed) << mode;
        EXPECT_GT(pipeReads, 2u) << mode;
        const QString output = shell.pieces.join(QString()) + shell.readAtCompletion;
        const QString line = QString(99, u'x') + u'\n';
        EXPECT_TRUE(output.endsWith(line)) << mode;
        EXPECT_EQ(output.count(line), 20000) << mode;
        EXPECT_EQ(shell.ExitCode(), 0) << mode;
    }
}

TEST_F(ShellTest, SynchronousModeReturnsWithTheOutput)
{
    RecordingShell shell;
    shell.Mode = fw::Shell::Synchronous;
    shell.Execute("/bin/echo", "one 'two three'");
    EXPECT_FALSE(shell.IsRunning());
    EXPECT_EQ(shell.completions, 0);
    EXPECT_EQ(shell.ReadAll(), "one two three\n");
    ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 0; }));
    EXPECT_EQ(shell.ExitCode(), 0);

    // The Shell can be used again.
    shell.Mode = fw::Shell::Asynchronous;
    shell.Execute("/bin/echo", "again");
    ASSERT_TRUE(testsupport::waitUntil([&] { return shell.completions > 1; }));
    EXPECT_EQ(shell.pieces.join(QString()) + shell.readAtCompletion, "again\n");
}

} // namespace
