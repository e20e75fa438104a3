#include "app/Startup.h"

#include "app/App.h"
#include "app/splashScreen.h"
#include "numbers/RF_numberList.h"

#include <QApplication>

void setUpProgram()
{
    // The name only, never a display name: the platform would append a display name to every
    // window title.
    QApplication::setApplicationName(QStringLiteral("Numbers As Words"));
    RF_numberList::_Initialize();
}

int runProgram()
{
    setUpProgram();
    App app;
    splashScreen::instance();
    return app.Run();
}
