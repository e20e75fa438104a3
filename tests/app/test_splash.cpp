// The splash window hands over to the number selection once: on its third timer tick, or at once on a
// key, click or wheel movement.
//
// The countdown belongs to the tick handler and is shared by the whole process: it starts at the first
// tick the process ever sees and is never reset. The real-time test below must therefore see the
// process's first ticks; every other test hands over before the first tick.

#include "app/splashScreen.h"

#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QtTest/qtestspontaneevent.h>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>

namespace {

std::vector<RW_compoundNumberWindow*> numberWindows()
{
    return testsupport::openWindowsOf<RW_compoundNumberWindow>();
}

class Splash : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(numberWindows().empty());
        splash = splashScreen::instance();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
        timer = splash->control<fw::Timer>(QStringLiteral("Timer1"));
        ASSERT_NE(timer, nullptr);
        // Count the ticks on their way to the window's handler.
        auto handler = timer->Action;
        timer->Action = [this, handler](fw::Timer& t) {
            ++ticks;
            handler(t);
            modeAfterTick = t.Mode();
        };
    }
    void TearDown() override
    {
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }

    // After a hand-over: exactly one number-selection window, shown, and the splash closed.
    void expectHandedOver()
    {
        const auto open = numberWindows();
        ASSERT_EQ(open.size(), 1u);
        EXPECT_TRUE(open[0]->Visible());
        if (splash) {
            EXPECT_TRUE(splash->isClosed());
            EXPECT_FALSE(splash->Visible());
        }
        EXPECT_TRUE(testsupport::openWindowsOf<splashScreen>().empty()) << "a splash window is still open";
    }

    QPointer<splashScreen> splash;
    fw::Timer* timer = nullptr;
    int ticks = 0;
    int modeAfterTick = -1;
};

TEST_F(Splash, HandsOverOnTheThirdTickOfItsOneSecondTimer)
{
    EXPECT_EQ(timer->Period(), 1000);
    EXPECT_EQ(timer->Mode(), 2);
    EXPECT_EQ(splash->Title(), QStringLiteral("Vantle Desktop Application"));
    EXPECT_EQ(QSize(splash->Width(), splash->Height()), QSize(699, 355));

    ASSERT_TRUE(testsupport::waitUntil([this] { return ticks >= 2; }, 3000));
    EXPECT_TRUE(numberWindows().empty()) << "handed over before the third tick";
    EXPECT_TRUE(splash->Visible());
    ASSERT_TRUE(testsupport::waitUntil([this] { return splash.isNull() || splash->isClosed(); }, 2000));
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(modeAfterTick, 0) << "the last tick switches the timer off";
    expectHandedOver();
}

// One user input on the splash, as the user gives it.
struct InputCase {
    const char* label;
    std::function<void(splashScreen&)> give;
};

// A wheel turn as the system delivers it (spontaneous, so it travels up to the window when the widget
// under the mouse ignores it).
void wheel(QWidget* target, QPoint at)
{
    QWheelEvent event(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(target, &event);
}

QWidget* widgetOf(splashScreen& s, const char* name)
{
    return s.FindControl(QString::fromLatin1(name))->widget();
}

// Shift+Tab as typed: Shift alone is no key and hands nothing over; the Tab that follows does.
void shiftTab(splashScreen& s)
{
    QTest::keyPress(&s, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_FALSE(s.isClosed()) << "Shift alone handed over";
    EXPECT_TRUE(numberWindows().empty());
    QTest::keyClick(&s, Qt::Key_Backtab, Qt::ShiftModifier);
}

const InputCase inputs[] = {
    {"letter key", [](splashScreen& s) { QTest::keyClick(&s, Qt::Key_A); }},
    {"Escape key", [](splashScreen& s) { QTest::keyClick(&s, Qt::Key_Escape); }},
    {"Tab key", [](splashScreen& s) { QTest::keyClick(&s, Qt::Key_Tab); }},
    {"Shift+Tab", shiftTab},
    {"click on the picture", [](splashScreen& s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(100, 100)); }},
    {"click on the product name",
     [](splashScreen& s) { QTest::mouseClick(widgetOf(s, "versionString"), Qt::LeftButton, {}, QPoint(170, 26)); }},
    {"right click on the copyright line",
     [](splashScreen& s) { QTest::mouseClick(widgetOf(s, "versionString1"), Qt::RightButton, {}, QPoint(20, 8)); }},
    {"wheel over the picture", [](splashScreen& s) { wheel(&s, QPoint(350, 100)); }},
    {"wheel over the product name", [](splashScreen& s) { wheel(widgetOf(s, "versionString"), QPoint(20, 20)); }},
};

TEST_F(Splash, KeyClickOrWheelHandsOverAtOnce)
{
    for (const InputCase& input : inputs) {
        SCOPED_TRACE(input.label);
        if (!splash) {
            splash = splashScreen::instance();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
        }
        input.give(*splash);
        expectHandedOver();
        testsupport::closeAllWindows();
        ASSERT_TRUE(testsupport::waitUntil([this] { return splash.isNull(); }));
        ASSERT_TRUE(testsupport::waitUntil([] { return fw::Window::openWindows().empty(); }));
    }
    EXPECT_EQ(ticks, 0);
}

TEST_F(Splash, TwoKeysInARowHandOverOnce)
{
    QTest::keyClick(splash, Qt::Key_Space);
    const auto first = numberWindows();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_FALSE(splash.isNull());
    QTest::keyClick(splash, Qt::Key_Space);
    QTest::mouseClick(splash, Qt::LeftButton);
    EXPECT_EQ(numberWindows(), first);
    expectHandedOver();
}

TEST_F(Splash, TicksThatArriveAfterAKeyHandOverNothingMore)
{
    QTest::keyClick(splash, Qt::Key_Return);
    const auto first = numberWindows();
    ASSERT_EQ(first.size(), 1u);
    // Ticks already on their way when the key came: whatever the countdown stands at, the third of them
    // reaches the hand-over again.
    ASSERT_FALSE(splash.isNull());
    for (int i = 0; i < 3; ++i)
        timer->Action(*timer);
    EXPECT_EQ(numberWindows(), first);
    expectHandedOver();
    // The closed splash goes, and its timer with it: no later tick can follow.
    ASSERT_TRUE(testsupport::waitUntil([this] { return splash.isNull(); }));
    EXPECT_EQ(numberWindows(), first);
}

} // namespace
