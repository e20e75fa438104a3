#include "app/App.h"
#include "app/splashScreen.h"
#include "numbers/RF_numberList.h"
#include "platform/Dialogs.h"

#include <QApplication>

#include <cstdio>

namespace {

// Test seam, not a setting: with NAW_AUTO_ANSWER=1 in the environment every message box is answered
// at once with its first button and its message is written to standard error, so that a test driver
// can run the program headless and read what it would have shown.
void installAutoAnswerSeam()
{
    if (qEnvironmentVariableIntValue("NAW_AUTO_ANSWER") != 1)
        return;
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest& request) {
        std::fprintf(stderr, "%s\n", request.message.toLocal8Bit().constData());
        std::fflush(stderr);
        return request.buttons.value(0);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Numbers As Words"));
    installAutoAnswerSeam();
    RF_numberList::_Initialize();
    App app;
    splashScreen::instance();
    return app.Run();
}
