#pragma once

#include <QObject>

namespace fw {

// The application object: raises Open once the event loop runs and Close when the program quits.
// With AutoQuit on, the program quits as soon as no window remains open on screen. SIGTERM, SIGINT
// and SIGHUP quit the program the same way while Run runs: Close is raised, and Run returns
// 128 + the signal's number. One of them that the process was started with ignored stays ignored;
// one it was started with blocked is unblocked in the calling thread while Run runs.
//
// A program ended from inside the event loop by exit() (the platform does so when it loses the
// connection to the display) still raises Close, from the exit handlers, once busy work (see
// Window::runBusy) has been abandoned. Close must then rely on no object with static storage that
// was made after Run started: by then those are gone.
class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    static Application* instance();

    bool AutoQuit() const { return autoQuit_; }
    void setAutoQuit(bool on) { autoQuit_ = on; }
    // Asks the event loop to end with the given exit code; returns to the caller at once.
    void Quit(int code = 0);
    // Runs the event loop until the application quits, then raises Close; returns the exit code.
    int Run();

    // Called by every window as it closes.
    static void windowClosed();

    // Ends the program at once while it quits (Quit was called inside Run), from a wait that cannot
    // return in time: raises Close as the end of Run does, then ends the process with Quit's exit
    // code, without waiting for other threads or running the exit handlers. Does nothing otherwise.
    static void endNow();

protected:
    virtual void Open() {}
    virtual void Close() {}

private:
    // Raises Close when the program ends from inside the event loop.
    static void closeAtExit(int status, void*);

    bool autoQuit_ = false;
    bool quitting_ = false;
    // Inside Run's event loop. Whichever way the loop is left (it returns, exit(), endNow) clears it
    // and raises Close, so Close is raised once.
    bool running_ = false;
    int exitCode_ = 0;
};

} // namespace fw
