#include "app/App.h"

#include "platform/Dialogs.h"
#include "report/RC_executeShellClass.h"

void App::Open()
{
    mMutex = std::make_unique<fw::Mutex>(QString::fromLatin1(mutexName));
    // Only another running copy refuses the start; a lock that cannot be made at all (no usable
    // runtime folder) must not keep the program from running.
    if (!mMutex->TryEnter() && mMutex->heldElsewhere()) {
        fw::MsgBox(QStringLiteral("The program is already open."));
        Quit(0);
    }
    theApp()->setAutoQuit(true);
}

void App::Close()
{
    // No back-end outlives the program, and none leaves its configuration file behind.
    RC_executeShellClass::shutdownAll();
    if (mMutex)
        mMutex->Leave();
}

App* theApp()
{
    return static_cast<App*>(fw::Application::instance());
}
