#include "app/App.h"
#include "app/splashScreen.h"
#include "numbers/RF_numberList.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Numbers As Words"));
    RF_numberList::_Initialize();
    App app;
    splashScreen::instance();
    return app.Run();
}
