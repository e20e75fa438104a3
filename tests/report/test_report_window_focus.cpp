// Keyboard focus in the report window's search area and the reach of the header's return button: what
// the user reaches by keyboard and pointer must be on view, and "+"/"-" never hand the focus elsewhere.

#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Report = RW_reportOutputWindow;

// The part of widget's rectangle that its ancestors leave on view, in widget coordinates.
QRect shownRect(const QWidget* widget)
{
    if (!widget->isVisible())
        return {};
    QRect shown = widget->rect();
    QPoint offset;
    for (const QWidget* child = widget; !child->isWindow(); child = child->parentWidget()) {
        offset += child->pos();
        const QWidget* parent = child->parentWidget();
        shown &= parent->rect().translated(-offset);
    }
    return shown;
}

class ReportFocusTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    // A fresh report window with a two-line report, active.
    void open()
    {
        w = fw::Window::New<Report>();
        testsupport::showReport(*w, QStringLiteral("one\ntwo\n"));
        w->activateWindow();
        ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == w; }));
    }
    void TearDown() override { testsupport::closeAllWindows(); }

    fw::Control* c(const char* name, int index = -1) const { return w->FindControl(QLatin1String(name), index); }
    QWidget* focus() const { return QApplication::focusWidget(); }

    void focusOn(fw::Control* control)
    {
        control->SetFocus();
        ASSERT_TRUE(testsupport::waitUntil([&] { return focus() == control->widget(); }, 2000));
    }
    // Presses Space where the keyboard focus is, as the user does on a focused button.
    void pressSpace() { QTest::keyClick(focus(), Qt::Key_Space); }

    // The innermost control whose widget holds the focus; nullptr when none of the window's does.
    fw::Control* focusedControl() const
    {
        for (QWidget* f = focus(); f; f = f->parentWidget()) {
            for (fw::Control* control : w->controls()) {
                if (control->widget() == f)
                    return control;
            }
        }
        return nullptr;
    }
    // "Name(index)" of a control, for readable failures; "none" for nullptr.
    static std::string describe(const fw::Control* control)
    {
        if (!control)
            return "none";
        return control->Name().toStdString() + "(" + std::to_string(control->Index()) + ")";
    }
    std::string focused() const { return describe(focusedControl()); }
    // The search row a control stands on, -1 outside the rows; "-" element j stands on row j + 1.
    int rowOf(const fw::Control* control) const
    {
        if (!control || control->Index() < 0 || control->parentControl() != c("GB_search"))
            return -1;
        return control->Name() == QLatin1String("PB_srchHide") ? control->Index() + 1 : control->Index();
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
};

// Space on "+" leaves the focus in the phrase field of the row it showed; Space on "-" leaves it on the
// "+" that now ends the rows. Both ends of the rows are reached, and nothing refuses on the way.
TEST_F(ReportFocusTest, PlusAndMinusKeepTheFocusInTheSearchArea)
{
    for (int k = 0; k < 6; ++k) {
        focusOn(c("PB_NewCriteria", k));
        pressSpace();
        ASSERT_EQ(w->numSearchCriteriaVisible, k + 2);
        EXPECT_EQ(focused(), describe(c("EF_searchText", k + 1))) << "after + on row " << k;
        EXPECT_EQ(shownRect(focus()), focus()->rect()) << k;
    }
    for (int j = 5; j >= 0; --j) {
        focusOn(c("PB_srchHide", j));
        pressSpace();
        ASSERT_EQ(w->numSearchCriteriaVisible, j + 1);
        EXPECT_EQ(focused(), describe(c("PB_NewCriteria", j))) << "after - on row " << j + 1;
        EXPECT_EQ(shownRect(focus()), focus()->rect()) << j;
    }
    // The focused "+" answers the next Space: the row comes back, the report stays.
    pressSpace();
    EXPECT_EQ(w->numSearchCriteriaVisible, 2);
    EXPECT_EQ(focused(), describe(c("EF_searchText", 1)));
    EXPECT_FALSE(w->isClosed());
    EXPECT_TRUE(log.shown.empty()) << log.messages().join(QLatin1Char('\n')).toStdString();
}

// A click on "+" or "-" gives the focus the same place as Space does.
TEST_F(ReportFocusTest, ClickedPlusAndMinusKeepTheFocusInTheSearchArea)
{
    QTest::mouseClick(c("PB_NewCriteria", 0)->widget(), Qt::LeftButton);
    EXPECT_EQ(focused(), describe(c("EF_searchText", 1)));
    QTest::mouseClick(c("PB_srchHide", 0)->widget(), Qt::LeftButton);
    EXPECT_EQ(focused(), describe(c("PB_NewCriteria", 0)));
    EXPECT_EQ(w->numSearchCriteriaVisible, 1);
}

// Tab and Shift+Tab from the last shown row walk the whole focus chain without entering a collapsed
// row, and every stop is on view. Row 6's "-" (on view only once all rows show) stays out of reach,
// so its refusal message cannot be raised from the keyboard.
TEST_F(ReportFocusTest, TabNeverLandsInACollapsedRow)
{
    for (int shown : {1, 3}) {
        while (w->numSearchCriteriaVisible < shown)
            static_cast<fw::PushButton*>(c("PB_NewCriteria", w->numSearchCriteriaVisible - 1))->Push();
        for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            fw::Control* start = c("EF_searchText", shown - 1);
            focusOn(start);
            ASSERT_EQ(focused(), describe(start));
            for (int step = 0; step < 200; ++step) {
                QTest::keyClick(focus(), key);
                fw::Control* now = focusedControl();
                ASSERT_NE(now, nullptr) << "focus left the window, step " << step;
                EXPECT_LT(rowOf(now), shown) << describe(now) << " with " << shown << " rows shown";
                EXPECT_FALSE(shownRect(focus()).isEmpty()) << describe(now) << " is out of view";
                if (now == start)
                    break;
            }
            EXPECT_EQ(focused(), describe(start)) << "the chain comes back to its start";
        }
    }
    EXPECT_TRUE(log.shown.empty()) << log.messages().join(QLatin1Char('\n')).toStdString();
}

// Find and Reset focus the left pane; where it cannot take the focus (the split squeezed it to nothing,
// seven rows left the panes no height in a low window) the right pane takes it, and where neither can,
// the focus stays in the row: on "Reset" after Find, on "Find" after Reset. Never on the return button:
// Return pressed thrice after Find leaves the report in place.
TEST_F(ReportFocusTest, SearchActionsFocusAPaneOrStayInTheRow)
{
    const struct {
        const char* label;
        std::function<void()> squeeze;
        const char* afterFind;
        const char* afterReset;
    } cases[] = {
        {"split slider at the left end",
         [&] {
             auto* slider = static_cast<fw::Slider*>(c("SL_widthAdjuster"));
             slider->setValue(slider->Minimum());
         },
         "EF_mainResultsRight(0)", "EF_mainResultsRight(0)"},
        {"seven rows in a low window",
         [&] {
             while (w->numSearchCriteriaVisible < 7)
                 static_cast<fw::PushButton*>(c("PB_NewCriteria", w->numSearchCriteriaVisible - 1))->Push();
             w->setSize(720, 472);
         },
         "PB_clearSearch(0)", "PB_find(0)"},
        {"nothing squeezed", [] {}, "EF_mainResultsLeft(0)", "EF_mainResultsLeft(0)"},
    };
    for (const auto& sc : cases) {
        SCOPED_TRACE(sc.label);
        w->Close();
        ASSERT_NO_FATAL_FAILURE(open());
        sc.squeeze();
        testsupport::settle();
        auto* phrase = static_cast<fw::EditField*>(c("EF_searchText", 0));
        ASSERT_TRUE(phrase->canTakeFocus());
        phrase->setText(QStringLiteral("one"));
        focusOn(c("PB_find", 0));
        pressSpace();
        ASSERT_EQ(static_cast<fw::StaticText*>(c("ST_searchTotal", 0))->Text(), QStringLiteral("1"));
        EXPECT_EQ(focused(), sc.afterFind);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(focus(), Qt::Key_Return);
        ASSERT_FALSE(w->isClosed()) << "Return after Find dropped the report";
        if (!c("PB_clearSearch", 0)->Visible())
            continue;
        focusOn(c("PB_clearSearch", 0));
        pressSpace();
        EXPECT_EQ(static_cast<fw::StaticText*>(c("ST_searchTotal", 0))->Text(), QStringLiteral("-"));
        EXPECT_EQ(focused(), sc.afterReset);
    }
    EXPECT_TRUE(log.shown.empty()) << log.messages().join(QLatin1Char('\n')).toStdString();
}

// "Return to Number Selection" lies wholly on view at every width the window allows, and keeps its
// place at the design width.
TEST_F(ReportFocusTest, ReturnButtonStaysOnViewAtEveryWidth)
{
    fw::Control* back = c("PushButton1");
    EXPECT_EQ(back->Left(), 731);
    for (int width : {720, 721, 800, 926, 940, 1600}) {
        w->setSize(width, 659);
        ASSERT_TRUE(testsupport::waitUntil([&] { return w->Width() == width; }));
        QWidget* button = back->widget();
        EXPECT_EQ(shownRect(button), button->rect()) << "width " << width;
        EXPECT_LE(back->Left() + back->Width(), width) << width;
        EXPECT_GE(back->Left(), c("StaticText2")->Left() + c("StaticText2")->Width()) << width;
        if (width == 940) {
            EXPECT_EQ(back->Left(), 731);
        }
    }
}

} // namespace

// While the back-end still runs, the window holds the focus in its report area, not on the header's
// return button, which comes first in reading order and whose Space would drop the running report.
TEST(ReportOpeningFocus, OpensInTheReportAreaNotOnTheReturnButton)
{
    auto* w = fw::Window::New<Report>();
    w->activateWindow();
    auto* split = w->FindControl(QStringLiteral("SL_widthAdjuster"));
    ASSERT_NE(split, nullptr);
    EXPECT_TRUE(testsupport::waitUntil([&] { return QApplication::focusWidget() == split->widget(); }, 2000));
    testsupport::closeAllWindows();
}
