#include "platform/Application.h"

#include "platform/Window.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace fw {

namespace {

Application* current = nullptr;

constexpr std::array<int, 3> TerminationSignals{SIGTERM, SIGINT, SIGHUP};

// The handler only writes the signal's number into this pipe; the event loop reads it.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

Application::Application()
{
    current = this;
}

Application::~Application()
{
    if (current == this)
        current = nullptr;
}

Application* Application::instance()
{
    return current;
}

void Application::Quit(int code)
{
    exitCode_ = code;
    quitting_ = true;
    QCoreApplication::exit(code);
}

int Application::Run()
{
    QApplication::setQuitOnLastWindowClosed(false);

    // Programs this one starts are waited for to learn how they ended (Shell); an "ignore SIGCHLD"
    // inherited from the parent would have the system reap them unseen.
    struct sigaction childAction {};
    if (::sigaction(SIGCHLD, nullptr, &childAction) == 0
        && (childAction.sa_handler == SIG_IGN || (childAction.sa_flags & SA_NOCLDWAIT))) {
        childAction = {};
        childAction.sa_handler = SIG_DFL;
        sigemptyset(&childAction.sa_mask);
        ::sigaction(SIGCHLD, &childAction, nullptr);
    }

    // SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C) quit as the last window's closing does, so that
    // Close cleans up; the exit status is then 128 + the signal's number. The handlers stay until
    // Close has run, so a second signal cannot cut the clean-up short. A signal that the program was
    // started with ignored (nohup, a background job) stays ignored: whoever started it so meant it.
    // One that it was started with blocked (a mask inherited from the parent) is unblocked once its
    // handler is in place, else the program could be ended by SIGKILL only; the threads started
    // before keep the inherited mask, so the signal comes to this one.
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        signalPipe[0] = signalPipe[1] = -1;
    std::array<struct sigaction, TerminationSignals.size()> previous{};
    std::array<bool, TerminationSignals.size()> installed{};
    std::unique_ptr<QSocketNotifier> signalNotifier;
    sigset_t handled;
    sigemptyset(&handled);
    if (signalPipe[0] >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, this, [this] {
            unsigned char number = 0;
            while (::read(signalPipe[0], &number, 1) == 1) {
                if (!quitting_)
                    Quit(128 + number);
            }
        });
        struct sigaction action {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < TerminationSignals.size(); ++i) {
            installed[i] = ::sigaction(TerminationSignals[i], nullptr, &previous[i]) == 0
                           && previous[i].sa_handler != SIG_IGN
                           && ::sigaction(TerminationSignals[i], &action, nullptr) == 0;
            if (installed[i])
                sigaddset(&handled, TerminationSignals[i]);
        }
    }
    sigset_t formerMask;
    const bool maskChanged = ::pthread_sigmask(SIG_UNBLOCK, &handled, &formerMask) == 0;

    // The exit handler is registered before the event loop makes the objects Close works on.
    static const bool exitHandled = ::on_exit(&Application::closeAtExit, nullptr) == 0;
    (void)exitHandled;
    QTimer::singleShot(0, this, [this] { Open(); });
    running_ = true;
    const int code = QCoreApplication::exec();
    running_ = false;
    Close();

    if (maskChanged)
        ::pthread_sigmask(SIG_SETMASK, &formerMask, nullptr);
    for (std::size_t i = 0; i < TerminationSignals.size(); ++i) {
        if (installed[i])
            ::sigaction(TerminationSignals[i], &previous[i], nullptr);
    }
    return quitting_ ? exitCode_ : code;
}

void Application::closeAtExit(int status, void*)
{
    Application* app = current;
    if (!app || !std::exchange(app->running_, false))
        return;
    const bool workReturned = Window::abandonBusyWork(Window::BusyWorkGraceMs);
    app->Close();
    // The exit handlers still to run would tear down what the work uses.
    if (!workReturned) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
}

void Application::endNow()
{
    Application* app = current;
    if (!app || !app->quitting_ || !std::exchange(app->running_, false))
        return;
    app->Close();
    std::fflush(nullptr);
    std::_Exit(app->exitCode_);
}

void Application::windowClosed()
{
    Application* app = current;
    if (!app || !app->autoQuit_ || app->quitting_)
        return;
    for (Window* window : Window::openWindows()) {
        if (window->isVisible())
            return;
    }
    app->Quit(0);
}

} // namespace fw
