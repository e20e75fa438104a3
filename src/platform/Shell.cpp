#include "Shell.h"

#include <QProcess>

#include <utility>

#include <signal.h>
#include <unistd.h>

namespace fw {

namespace {

constexpr int TerminateGraceMs = 500;
constexpr int KillWaitMs = 2000;

} // namespace

Shell::Shell(QObject* parent)
    : QObject(parent)
{
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
    m_errorCode = NoError;
    m_errorString.clear();
    m_synchronous = Mode == Synchronous;
    m_outputSinceStart = false;

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

    m_process = new QProcess(this);
    m_process->setProgram(program->front());
    m_process->setArguments(*arguments);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // Own process group (set on both sides of the fork, so it exists whichever runs first): the
    // whole group can then be ended, including anything the program started.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &Shell::onOutput);
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { onFinished(exitCode, int(status)); });
    connect(m_process, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError error) { onError(int(error)); });

    const quint64 run = m_run;
    m_process->start(QIODevice::ReadOnly);
    if (run != m_run || !m_process)
        return; // start failed at once and that was handled already
    if (const qint64 pid = m_process->processId(); pid > 0)
        ::setpgid(pid_t(pid), pid_t(pid));
    if (m_synchronous)
        m_process->waitForFinished(-1); // finished/errorOccurred are emitted from inside the wait
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

bool Shell::IsRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void Shell::DataAvailable()
{
    emit dataAvailable();
}

void Shell::Completed()
{
    emit completed();
}

void Shell::onOutput()
{
    if (takeOutput(false) && !m_synchronous)
        DataAvailable();
}

void Shell::onFinished(int exitCode, int exitStatus)
{
    const quint64 run = m_run;
    if (takeOutput(true) && !m_synchronous) {
        DataAvailable();
        if (run != m_run)
            return; // the handler closed or restarted
    }
    if (exitStatus == QProcess::CrashExit) {
        m_errorCode = Crashed;
        m_errorString = QStringLiteral("The program was ended by a signal");
        m_exitCode = -1;
    } else {
        m_exitCode = exitCode;
    }
    m_process->disconnect(this);
    m_process->deleteLater(); // we are inside its signal
    m_process = nullptr;
    finishRun();
}

void Shell::onError(int error)
{
    if (error != QProcess::FailedToStart)
        return; // a crash is reported by finished as well
    m_errorCode = FailedToStart;
    m_errorString = m_process->errorString();
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    finishRun();
}

bool Shell::takeOutput(bool final)
{
    QString text = m_decoder.decode(m_process->readAllStandardOutput());
    if (final)
        text += m_decoder.finish();
    if (text.isEmpty())
        return false;
    m_unread += text;
    m_outputSinceStart = true;
    return true;
}

void Shell::finishRun()
{
    const bool announceOutput = m_synchronous && m_outputSinceStart;
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
    if (!m_process)
        return;
    QProcess* process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    const qint64 pid = process->processId();
    if (process->state() != QProcess::NotRunning && pid > 0) {
        ::kill(pid_t(-pid), SIGTERM);
        process->waitForFinished(TerminateGraceMs);
        // Also reaches what the program started and what ignored SIGTERM.
        ::kill(pid_t(-pid), SIGKILL);
        process->waitForFinished(KillWaitMs);
    }
    process->deleteLater(); // may be inside one of its signals
}

} // namespace fw
