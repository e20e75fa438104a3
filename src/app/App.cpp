#include "app/App.h"

#include "platform/Dialogs.h"
#include "platform/OleAutomation.h"
#include "platform/Window.h"
#include "report/RC_executeShellClass.h"

#include <vector>

void App::Open()
{
    mMutex = std::make_unique<fw::Mutex>(QString::fromLatin1(mutexName));
    // Only another running copy refuses the start; a lock that cannot be taken at all (no private
    // folder for it) must not keep the program from running, but the user learns that nothing
    // keeps a second copy out, and why.
    const bool entered = mMutex->TryEnter();
    if (!entered && mMutex->heldElsewhere()) {
        // The refused copy shows nothing but the message: its splash goes first, so that it cannot
        // hand over to a number selection behind the message.
        for (fw::Window* window : std::vector<fw::Window*>(fw::Window::openWindows()))
            window->Close();
        fw::MsgBox(QStringLiteral("The program is already open."));
        Quit(0);
    } else {
        if (!entered) {
            fw::MsgBox(QStringLiteral("This copy of the program cannot make sure that it is the only one "
                                      "running.\n\n%1.\n\nIt runs on; another copy may be open already.")
                           .arg(mMutex->errorString()));
        }
        // Documents that an earlier run handed to the word processor and left behind unread at its
        // end; any reader has had them by the time they are old enough to go.
        fw::WordApplication::removeLeftDocuments();
    }
    theApp()->setAutoQuit(true);
}

void App::Close()
{
    // No back-end outlives the program, none leaves its configuration file behind, and the
    // documents the word processor has read go (those it has not read yet stay for a later start).
    RC_executeShellClass::shutdownAll();
    fw::WordApplication::removeDocuments();
    if (mMutex)
        mMutex->Leave();
}

App* theApp()
{
    return static_cast<App*>(fw::Application::instance());
}
