#pragma once

#include "platform/Window.h"

// The first window: shows the splash picture and hands over to the number selection after three
// ticks of its one-second timer, or at once on a key, click or wheel movement.
class splashScreen : public fw::Window {
public:
    static splashScreen* instance() { return implicitInstance<splashScreen>(); }

    int secondsToCountdown = 3;

    void Timer1_Action();
    void transitionToNextWindow();

protected:
    fw::WindowRecord Layout() override;
    void CreateControls() override;
    bool KeyDown(const QString& key) override;
    bool MouseDown(int x, int y) override;
    bool MouseWheel(int x, int y, int deltaX, int deltaY) override;
};
