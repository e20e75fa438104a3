#pragma once

#include "TextHelpers.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <sys/types.h>

class QSocketNotifier;

namespace fw {

// Runs one program at a time, with no shell in between: the command and the parameters are cut
// into words by splitShellWords (quoting only, nothing is expanded or interpreted), the command
// must be exactly one word, the program path, and the parameter words are its arguments. Standard
// error is merged into standard output; standard input is empty. The program starts as a fresh
// program expects, whatever this process inherited or set up: no descriptor open beyond the three
// standard ones, no signal blocked, every signal at its default.
//
// Events, always delivered from the event loop, never from inside Execute: DataAvailable whenever
// new output can be read, then Completed exactly once per Execute, after the last DataAvailable,
// when the run ended or the program could not be started (ErrorCode() then tells why). Close() and
// a new Execute abandon the running program: no event of it follows.
//
// The program runs in a process group of its own. The run ends with the program: whatever it left
// behind in its group is ended then too (SIGTERM, SIGKILL after a short grace), and the output is
// read to its end before Completed, so what a leftover wrote before it ended is kept. Close() and
// the destructor end the whole group the same way: nothing outlives the run.
//
// The group is signalled only while the program is this process's unreaped child, so its number
// cannot have passed to anyone else. That needs SIGCHLD at its default (fw::Application::Run sees
// to it): a program that someone else reaped counts as ended (EndUnknown), its group is left alone,
// and whatever still holds the output gets a bounded time to let go of it.
//
// The output pipe is made as large as the system allows and read a pipe-full at a time, so that
// the program seldom waits for its reader.
class Shell : public QObject
{
    Q_OBJECT

public:
    enum : int { Synchronous = 0, Asynchronous = 1 };
    enum : int {
        NoError = 0,
        BadCommand = 1,    // a quote left open, or not exactly one program word
        FailedToStart = 2, // missing program, no permission...: errorString() gives the system's reason
        Crashed = 3,       // ended by a signal: ExitSignal() tells which
        EndUnknown = 4,    // ended, but someone else reaped it, so how is unknown
    };

    explicit Shell(QObject* parent = nullptr);
    ~Shell() override;

    // Asynchronous: Execute returns at once. Synchronous: Execute returns once the run ended and
    // all its output is readable; the events follow from the event loop as usual.
    int Mode = Asynchronous;

    void Execute(const QString& command, const QString& parameters = QString());
    // The output not returned before, UTF-8 decoded; a character split between two reads of the
    // pipe is never broken, invalid bytes read as U+FFFD.
    QString ReadAll();
    // Ends a running program and its group (terminate, then kill after a short grace) and drops
    // its output.
    void Close();

    bool IsRunning() const { return m_pid > 0; }
    int ExitCode() const { return m_exitCode; }     // the program's exit status; -1 when ended by a signal or never ran
    int ExitSignal() const { return m_exitSignal; } // the signal that ended the program; 0 when none did
    int ErrorCode() const { return m_errorCode; }
    QString errorString() const { return m_errorString; }

signals:
    void dataAvailable();
    void completed();

protected:
    // Subclasses may take the events here; by default they become the signals above.
    virtual void DataAvailable();
    virtual void Completed();

private:
    bool spawn(const QString& program, const QStringList& arguments);
    void runToEnd();
    void onOutputReady();
    void onLeaderMayHaveEnded();
    bool readOutput();
    void appendDecoded(QByteArrayView bytes);
    bool checkLeader();
    void afterLeaderEnded();
    void onGraceOver();
    void endRun();
    void finishRun();
    void stopProcess();
    void dropPipes();

    pid_t m_pid = -1;    // the program, also its process group; reaped only once the run ends
    int m_outFd = -1;    // read end of the output pipe; -1 once the output reached its end
    int m_pidFd = -1;    // readable once the program ended; -1 where the system has none
    QSocketNotifier* m_outNotifier = nullptr;
    QSocketNotifier* m_exitNotifier = nullptr;
    QTimer m_exitPoll;   // stands in for m_pidFd
    QTimer m_grace;
    QDeadlineTimer m_graceDeadline;
    int m_graceStage = 0; // 0 running; 1 group told to end; 2 group killed; 3 output given up
    bool m_leaderEnded = false;
    bool m_leaderLost = false; // reaped by someone else: the group is never signalled again
    int m_pipeSize = 64 * 1024;
    QByteArray m_readBuffer; // one pipe-full, kept between reads

    Utf8Decoder m_decoder;
    QString m_unread;
    QString m_errorString;
    quint64 m_run = 0; // tells queued events of an abandoned run apart
    int m_exitCode = -1;
    int m_exitSignal = 0;
    int m_errorCode = NoError;
    bool m_synchronous = false;
    bool m_outputSinceStart = false;
    bool m_unannounced = false; // output read and not yet announced by DataAvailable
};

// Starts program with arguments on its own, to outlive this process: with the same fresh start a
// Shell run gets, except that standard output and error go to /dev/null and the program leads a
// session of its own (no terminal's hang-up or Ctrl+C reaches it, and no run's end). A program
// without '/' is looked for on PATH. While this process runs, the program is reaped once it ends.
// False, with the system's reason in error, when it could not be started. started, when given, gets
// the program's process number, which is also the number of its session.
bool startDetached(const QString& program, const QStringList& arguments, QString* error = nullptr,
                   pid_t* started = nullptr);

} // namespace fw
