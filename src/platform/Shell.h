#pragma once

#include "TextHelpers.h"

#include <QObject>
#include <QString>

class QProcess;

namespace fw {

// Runs one program at a time, with no shell in between: the command and the parameters are cut
// into words by splitShellWords (quoting only, nothing is expanded or interpreted), the command
// must be exactly one word, the program path, and the parameter words are its arguments. Standard
// error is merged into standard output; standard input is empty.
//
// Events, always delivered from the event loop, never from inside Execute: DataAvailable whenever
// new output can be read, then Completed exactly once per Execute, after the last DataAvailable,
// when the program ended or could not be started (ErrorCode() then tells why). Close() and a new
// Execute abandon the running program: no event of it follows.
//
// The program runs in a process group of its own, so that Close() and the destructor end it
// together with whatever it started: nothing outlives the Shell.
class Shell : public QObject
{
    Q_OBJECT

public:
    enum : int { Synchronous = 0, Asynchronous = 1 };
    enum : int {
        NoError = 0,
        BadCommand = 1,    // a quote left open, or not exactly one program word
        FailedToStart = 2, // missing program, no permission...
        Crashed = 3,       // ended by a signal
    };

    explicit Shell(QObject* parent = nullptr);
    ~Shell() override;

    // Asynchronous: Execute returns at once. Synchronous: Execute returns once the program ended
    // and all its output is readable; the events follow from the event loop as usual.
    int Mode = Asynchronous;

    void Execute(const QString& command, const QString& parameters = QString());
    // The output not returned before, UTF-8 decoded; a character split between two reads of the
    // pipe is never broken, invalid bytes read as U+FFFD.
    QString ReadAll();
    // Ends a running program (terminate, then kill after a short grace) and drops its output.
    void Close();

    bool IsRunning() const;
    int ExitCode() const { return m_exitCode; } // -1 when the program crashed or never ran
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
    void onOutput();
    void onFinished(int exitCode, int exitStatus);
    void onError(int error);
    bool takeOutput(bool final);
    void finishRun();
    void stopProcess();

    QProcess* m_process = nullptr;
    Utf8Decoder m_decoder;
    QString m_unread;
    QString m_errorString;
    quint64 m_run = 0; // tells queued events of an abandoned run apart
    int m_exitCode = -1;
    int m_errorCode = NoError;
    bool m_synchronous = false;
    bool m_outputSinceStart = false;
};

} // namespace fw
