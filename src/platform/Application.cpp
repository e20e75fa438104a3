#include "platform/Application.h"

#include "platform/Window.h"

#include <QApplication>
#include <QTimer>

namespace fw {

namespace {
Application* current = nullptr;
}

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
    QTimer::singleShot(0, this, [this] { Open(); });
    const int code = QCoreApplication::exec();
    Close();
    return quitting_ ? exitCode_ : code;
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
