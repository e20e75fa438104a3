#include "Shell.h"

#include "SystemCalls.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr int TerminateGraceMs = 500; // for the group to end on SIGTERM
constexpr int KillWaitMs = 2000;      // for the output to reach its end after SIGKILL
constexpr int ExitPollMs = 20;        // where the system offers no process descriptor
constexpr int DetachedPollMs = 1000;  // for a detached program, where the system offers no process descriptor
constexpr int DefaultPipeSize = 64 * 1024;
constexpr int LargestPipeWanted = 64 * 1024 * 1024; // beyond this a larger pipe buys nothing
constexpr int PipeFullsPerWake = 4; // then the event loop gets its turn; the notifier fires again

// A descriptor that becomes readable once the process ended, or -1 where the system has none.
int openProcessDescriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Looks at whether our child pid ended, without reaping it: 0, with info.si_pid == pid once it
// ended, or the error number (ECHILD when it is no unreaped child of ours).
int peekChild(pid_t pid, siginfo_t& info)
{
    info = siginfo_t{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// True while pid is our child, ended or not, and not yet reaped.
bool leaderStillOurs(pid_t pid)
{
    siginfo_t info{};
    return peekChild(pid, info) == 0;
}

void pollSleep(int ms)
{
    ::poll(nullptr, 0, ms);
}

// The largest pipe an unprivileged process may ask for, or 0 where the system does not tell.
int pipeSizeLimit()
{
    const int fd = ::open("/proc/sys/fs/pipe-max-size", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return got > 0 ? int(std::min<long>(std::strtol(text, nullptr, 10), LargestPipeWanted)) : 0;
}

// Makes the pipe as large as the system allows, so that the program can write on while the output
// is being taken in instead of the two taking turns on a small buffer. A user over the system's
// allowance for pipe buffers gets a smaller one. Returns the pipe's size.
int enlargePipe(int fd)
{
    static const int limit = pipeSizeLimit();
    for (int size = limit; size > DefaultPipeSize; size /= 2) {
        const int got = ::fcntl(fd, F_SETPIPE_SZ, size);
        if (got > 0)
            return got;
    }
    const int got = ::fcntl(fd, F_GETPIPE_SZ);
    return got > 0 ? got : DefaultPipeSize;
}

// How a started program stands to this process.
enum class StartAs {
    GroupLeader,   // a run: a process group of its own, so that the run can end everything it started
    SessionLeader, // detached: a session of its own, which neither a run's end nor a terminal reaches
};

// Starts program with arguments as a freshly started program expects to find itself, whatever this
// process inherited, blocks, ignores or holds open: standard input empty; standard output and error
// joined, into output (a descriptor) or, when output is -1, into /dev/null; no other descriptor open;
// no signal blocked and every signal at its default. A program without '/' is looked for on PATH.
// Returns 0, or the system's error number when it could not be started (then pid is unset).
int startClean(pid_t& pid, const QString& program, const QStringList& arguments, int output, StartAs role)
{
    // Everything the child needs is made before it exists.
    // Paths among them are handed over with the bytes they stand for (see decodePath).
    std::vector<QByteArray> words;
    words.push_back(encodePath(program));
    for (const QString& argument : arguments)
        words.push_back(encodePath(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Also what this process inherited without close-on-exec: a descriptor left open by whoever
    // started the program must not be held by what the program starts (a detached program may hold
    // it for hours).
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (role == StartAs::GroupLeader) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    } else {
        flags |= POSIX_SPAWN_SETSID;
    }
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    // Caught signals return to their defaults at exec anyway; ignored ones would stay ignored.
    sigset_t everySignal;
    sigfillset(&everySignal);
    posix_spawnattr_setsigdefault(&attributes, &everySignal);
    posix_spawnattr_setflags(&attributes, flags);

    const int result = program.contains(u'/')
                           ? ::posix_spawn(&pid, argv.front(), &actions, &attributes, argv.data(), environ)
                           : ::posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return result;
}

// Reaps a detached program once it ended, so that it leaves no zombie while this process runs; when
// this process ends first, the system takes the program over. Only that pid is ever waited for.
void reapWhenEnded(pid_t pid)
{
    const auto reaped = [pid] {
        int result = 0;
        do {
            result = ::waitpid(pid, nullptr, WNOHANG);
        } while (result < 0 && errno == EINTR);
        return result != 0; // reaped now, or no longer ours to reap (someone else did)
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // nothing to watch with; the system takes it over when this process ends
    if (const int pidFd = openProcessDescriptor(pid); pidFd >= 0) {
        auto* notifier = new QSocketNotifier(pidFd, QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pidFd, reaped] {
            reaped();
            notifier->setEnabled(false);
            notifier->deleteLater();
            ::close(pidFd);
        });
        return;
    }
    auto* poll = new QTimer(app);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, reaped] {
        if (reaped()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(DetachedPollMs);
}

} // namespace

Shell::Shell(QObject* parent)
    : QObject(parent)
{
    m_exitPoll.setInterval(ExitPollMs);
    connect(&m_exitPoll, &QTimer::timeout, this, &Shell::onLeaderMayHaveEnded);
    m_grace.setSingleShot(true);
    connect(&m_grace, &QTimer::timeout, this, &Shell::onGraceOver);
}

Shell::~Shell()
{
    ++m_run;
    stopProcess();
}

void Shell::Execute(const QString& command, const QString& parameters)
{
    stopProcess();
    ++m_run;
    m_unread.clear();
    m_decoder.reset();
    m_exitCode = -1;
    m_exitSignal = 0;
    m_errorCode = NoError;
    m_errorString.clear();
    m_synchronous = Mode == Synchronous;
    m_outputSinceStart = false;
    m_unannounced = false;
    m_leaderEnded = false;
    m_leaderLost = false;
    m_graceStage = 0;

    const auto program = splitShellWords(command);
    const auto arguments = splitShellWords(parameters);
    if (!program || program->size() != 1 || program->front().isEmpty()) {
        m_errorCode = BadCommand;
        m_errorString = !program ? QStringLiteral("The command has an unterminated quote or escape")
                                 : QStringLiteral("The command must name exactly one program");
        finishRun();
        return;
    }
    if (!arguments) {
        m_errorCode = BadCommand;
        m_errorString = QStringLiteral("The parameters have an unterminated quote or escape");
        finishRun();
        return;
    }
    if (!spawn(program->front(), *arguments)) {
        finishRun();
        return;
    }

    if (m_synchronous) {
        runToEnd();
        return;
    }
    m_outNotifier = new QSocketNotifier(m_outFd, QSocketNotifier::Read, this);
    connect(m_outNotifier, &QSocketNotifier::activated, this, &Shell::onOutputReady);
    if (m_pidFd >= 0) {
        m_exitNotifier = new QSocketNotifier(m_pidFd, QSocketNotifier::Read, this);
        connect(m_exitNotifier, &QSocketNotifier::activated, this, &Shell::onLeaderMayHaveEnded);
    } else {
        m_exitPoll.start();
    }
}

bool Shell::spawn(const QString& program, const QStringList& arguments)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_errorCode = FailedToStart;
        m_errorString = systemError(errno);
        return false;
    }
    m_pipeSize = enlargePipe(pipeFds[0]);

    pid_t pid = -1;
    const int result = startClean(pid, program, arguments, pipeFds[1], StartAs::GroupLeader);
    ::close(pipeFds[1]);
    if (result != 0) {
        ::close(pipeFds[0]);
        m_errorCode = FailedToStart;
        m_errorString = systemError(result);
        return false;
    }
    ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    m_pid = pid;
    m_outFd = pipeFds[0];
    m_pidFd = openProcessDescriptor(pid);
    return true;
}

void Shell::runToEnd()
{
    while (!(m_leaderEnded && m_outFd < 0)) {
        pollfd fds[2];
        nfds_t count = 0;
        if (m_outFd >= 0)
            fds[count++] = {m_outFd, POLLIN, 0};
        if (!m_leaderEnded && m_pidFd >= 0)
            fds[count++] = {m_pidFd, POLLIN, 0};
        int timeout = -1;
        if (m_leaderEnded)
            timeout = int(qMax<qint64>(0, m_graceDeadline.remainingTime()));
        else if (m_pidFd < 0)
            timeout = ExitPollMs;
        ::poll(fds, count, timeout);

        readOutput();
        if (!m_leaderEnded && checkLeader())
            afterLeaderEnded();
        if (m_leaderEnded && m_outFd >= 0 && m_graceDeadline.hasExpired())
            onGraceOver();
    }
    endRun();
}

QString Shell::ReadAll()
{
    return std::exchange(m_unread, QString());
}

void Shell::Close()
{
    ++m_run;
    stopProcess();
    m_unread.clear();
    m_decoder.reset();
}

void Shell::DataAvailable()
{
    emit dataAvailable();
}

void Shell::Completed()
{
    emit completed();
}

void Shell::onOutputReady()
{
    const quint64 run = m_run;
    readOutput();
    if (std::exchange(m_unannounced, false)) {
        DataAvailable();
        if (run != m_run)
            return; // the handler closed or restarted
    }
    if (m_leaderEnded && m_outFd < 0)
        endRun();
}

void Shell::onLeaderMayHaveEnded()
{
    if (m_leaderEnded || m_pid <= 0 || !checkLeader())
        return;
    afterLeaderEnded();
    if (m_outFd < 0)
        endRun();
}

bool Shell::readOutput()
{
    if (m_outFd < 0)
        return false;
    // A pipe-full per read; a few of them, then the event loop gets its turn.
    if (m_readBuffer.size() != m_pipeSize)
        m_readBuffer = QByteArray(m_pipeSize, Qt::Uninitialized);
    bool ended = false;
    bool readSome = false;
    for (int i = 0; i < PipeFullsPerWake;) {
        const ssize_t got = ::read(m_outFd, m_readBuffer.data(), size_t(m_readBuffer.size()));
        if (got > 0) {
            appendDecoded(QByteArrayView(m_readBuffer.constData(), got));
            readSome = true;
            if (got < m_readBuffer.size())
                break; // the pipe is empty for now: another read would only say so
            ++i;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // End of output, or an error that no later read would mend; EAGAIN: nothing more for now.
        ended = got == 0 || errno != EAGAIN;
        break;
    }
    if (ended) {
        if (m_outNotifier) {
            m_outNotifier->setEnabled(false);
            std::exchange(m_outNotifier, nullptr)->deleteLater(); // we may be inside its signal
        }
        ::close(std::exchange(m_outFd, -1));
    }
    return readSome;
}

void Shell::appendDecoded(QByteArrayView bytes)
{
    const QString text = m_decoder.decode(bytes);
    if (text.isEmpty())
        return;
    m_unread += text;
    m_outputSinceStart = true;
    m_unannounced = true;
}

bool Shell::checkLeader()
{
    // Looked at, not reaped: while the ended program stays unreaped its process group cannot be
    // handed to anyone else, so signalling the group reaches only what it left behind.
    siginfo_t info{};
    if (const int error = peekChild(m_pid, info); error != 0) {
        // Someone else reaped the program (SIGCHLD ignored, or a wait for any child): it ended, how
        // is unknown, and its process group may soon belong to another process.
        m_leaderLost = true;
        m_exitCode = -1;
        m_errorCode = EndUnknown;
        m_errorString = QStringLiteral("The program's end could not be observed: ") + systemError(error);
        return true;
    }
    if (info.si_pid != m_pid)
        return false;
    if (info.si_code == CLD_EXITED) {
        m_exitCode = info.si_status;
    } else {
        m_exitCode = -1;
        m_exitSignal = info.si_status;
        m_errorCode = Crashed;
        m_errorString = QStringLiteral("The program was ended by signal %1").arg(m_exitSignal);
    }
    return true;
}

void Shell::afterLeaderEnded()
{
    m_leaderEnded = true;
    m_exitPoll.stop();
    if (m_exitNotifier)
        m_exitNotifier->setEnabled(false);
    if (m_outFd < 0)
        return; // nothing holds the output any more: the run can end now
    if (m_leaderLost) {
        // The group is no longer surely ours and is never signalled: what holds the output gets
        // the whole of the time to let go of it, and then the run ends without the rest.
        m_graceStage = 2;
        m_graceDeadline.setRemainingTime(TerminateGraceMs + KillWaitMs);
        if (!m_synchronous)
            m_grace.start(TerminateGraceMs + KillWaitMs);
        return;
    }
    // What the program left behind keeps the output open; it is asked to end, and what it wrote
    // until then is still read.
    ::kill(-m_pid, SIGTERM);
    m_graceStage = 1;
    m_graceDeadline.setRemainingTime(TerminateGraceMs);
    if (!m_synchronous)
        m_grace.start(TerminateGraceMs);
}

void Shell::onGraceOver()
{
    if (m_pid <= 0 || !m_leaderEnded || m_outFd < 0)
        return;
    if (m_graceStage == 1) {
        ::kill(-m_pid, SIGKILL); // the program is unreaped, so the group is still ours
        m_graceStage = 2;
        m_graceDeadline.setRemainingTime(KillWaitMs);
        if (!m_synchronous)
            m_grace.start(KillWaitMs);
        return;
    }
    // Something outside the group still holds the output open: the run ends without the rest.
    m_graceStage = 3;
    readOutput();
    if (m_outFd >= 0) {
        if (m_outNotifier) {
            m_outNotifier->setEnabled(false);
            std::exchange(m_outNotifier, nullptr)->deleteLater();
        }
        ::close(std::exchange(m_outFd, -1));
    }
    if (!m_synchronous)
        endRun();
}

void Shell::endRun()
{
    const quint64 run = m_run;
    m_grace.stop();
    const QString rest = m_decoder.finish();
    if (!rest.isEmpty()) {
        m_unread += rest;
        m_outputSinceStart = true;
        m_unannounced = true;
    }
    // Whatever is left of the group goes too, also what no longer holds the output; the program
    // is reaped only afterwards, so the group is still ours.
    if (!m_leaderLost) {
        ::kill(-m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    dropPipes();
    if (!m_synchronous && std::exchange(m_unannounced, false)) {
        DataAvailable();
        if (run != m_run)
            return; // the handler closed or restarted
    }
    finishRun();
}

void Shell::finishRun()
{
    const bool announceOutput = m_synchronous && m_outputSinceStart;
    m_unannounced = false;
    QMetaObject::invokeMethod(
        this,
        [this, run = m_run, announceOutput] {
            if (run != m_run)
                return;
            if (announceOutput) {
                DataAvailable();
                if (run != m_run)
                    return;
            }
            ++m_run; // nothing of this run can follow Completed
            Completed();
        },
        Qt::QueuedConnection);
}

void Shell::stopProcess()
{
    if (m_pid > 0) {
        const pid_t pid = std::exchange(m_pid, -1);
        // The group is signalled only while the program is still there to be reaped by us: once
        // someone else reaped it, the group's number may already be another's.
        bool ours = !m_leaderLost && leaderStillOurs(pid);
        if (ours && !m_leaderEnded) {
            ::kill(-pid, SIGTERM);
            for (int waited = 0; waited < TerminateGraceMs; waited += 10) {
                siginfo_t info{};
                ours = peekChild(pid, info) == 0;
                if (!ours || info.si_pid == pid)
                    break;
                pollSleep(10);
            }
        }
        // Also reaches what the program started and what ignored SIGTERM; the program is reaped
        // only afterwards, so the group is still ours.
        if (ours) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    m_leaderEnded = false;
    m_leaderLost = false;
    m_graceStage = 0;
    dropPipes();
}

void Shell::dropPipes()
{
    m_exitPoll.stop();
    m_grace.stop();
    for (QSocketNotifier** notifier : {&m_outNotifier, &m_exitNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            std::exchange(*notifier, nullptr)->deleteLater(); // we may be inside its signal
        }
    }
    if (m_outFd >= 0)
        ::close(std::exchange(m_outFd, -1));
    if (m_pidFd >= 0)
        ::close(std::exchange(m_pidFd, -1));
    m_readBuffer = QByteArray(); // a pipe-full may be large: not kept between runs
}

bool startDetached(const QString& program, const QStringList& arguments, QString* error, pid_t* started)
{
    pid_t pid = -1;
    if (const int result = startClean(pid, program, arguments, -1, StartAs::SessionLeader); result != 0) {
        if (error)
            *error = systemError(result);
        return false;
    }
    if (started)
        *started = pid;
    reapWhenEnded(pid);
    return true;
}

} // namespace fw
