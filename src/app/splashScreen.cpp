#include "app/splashScreen.h"

#include "common/Pictures.h"
#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Controls.h"

using namespace fw;

WindowRecord splashScreen::Layout()
{
    setBackdrop(Splash_logo().pixmap());
    WindowRecord r;
    r.title = QStringLiteral("Vantle Desktop Application");
    r.width = 699;
    r.height = 355;
    r.frame = WindowRecord::PlainBox;
    r.visible = true;
    r.resizeable = false;
    r.closeButton = false;
    r.maximizeButton = false;
    r.minimizeButton = false;
    return r;
}

void splashScreen::CreateControls()
{
    auto* timer = add(new Timer, QStringLiteral("Timer1"), 0, 0, 0, 0);
    timer->setPeriod(1000);
    timer->setMode(2);
    timer->Action = [this](Timer&) { Timer1_Action(); };

    auto* title = add(new StaticText, QStringLiteral("versionString"), 307, 251, 345, 52);
    title->setText(QStringLiteral("Lumivox"));
    title->setFont({QStringLiteral("System"), 25, true, true, true});
    title->setTextAlign(1);
    title->setTextColor(QColor(0x2B, 0x24, 0x42));

    auto* copyright = add(new StaticText, QStringLiteral("versionString1"), 71, 329, 294, 17);
    copyright->setText(QStringLiteral("\u00A9 2026 Numbers As Words"));
    copyright->setTextAlign(0);
    copyright->setTextColor(QColor(0x2B, 0x24, 0x42));
}

void splashScreen::Timer1_Action()
{
    // One countdown for the whole process, set at the first tick it ever sees.
    static int secondsRemaining = secondsToCountdown;
    if (secondsRemaining == 1) {
        control<Timer>(QStringLiteral("Timer1"))->setMode(0);
        transitionToNextWindow();
    } else {
        --secondsRemaining;
    }
}

bool splashScreen::KeyDown(const QString&)
{
    transitionToNextWindow();
    return false;
}

bool splashScreen::MouseDown(int, int)
{
    transitionToNextWindow();
    return false;
}

bool splashScreen::MouseWheel(int, int, int, int)
{
    transitionToNextWindow();
    return false;
}

void splashScreen::transitionToNextWindow()
{
    RW_compoundNumberWindow::instance()->Show();
    Close();
}
