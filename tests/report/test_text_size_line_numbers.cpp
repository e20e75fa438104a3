#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using Report = RW_reportOutputWindow;

// U+1D11E, outside the Basic Multilingual Plane: one character, two UTF-16 units.
const QString Clef = QString::fromUcs4(U"\U0001D11E");

class PaneDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { w = fw::Window::New<Report>(); }

    void TearDown() override
    {
        w->Close();
        testsupport::settle();
    }

    void setUpWith(const QString& text) { testsupport::showReport(*w, text); }

    template <class C>
    C* as(const QString& name, int index = -1) const
    {
        return w->control<C>(name, index);
    }
    fw::EditField* pane(const char* side, int element = 0) const
    {
        return as<fw::EditField>(QStringLiteral("EF_mainResults") + QLatin1String(side), element);
    }
    fw::EditField* sizeField(const char* side) const
    {
        return as<fw::EditField>(QStringLiteral("EF_font") + QLatin1String(side));
    }
    fw::UpDownArrows* arrows(const char* side) const
    {
        return as<fw::UpDownArrows>(QStringLiteral("UDA_fontSize") + QLatin1String(side));
    }
    fw::PagePanel* pages(const char* side) const
    {
        return as<fw::PagePanel>(QStringLiteral("PP_results") + QLatin1String(side));
    }
    QString lineNumber(const char* side) const
    {
        return as<fw::StaticText>(QStringLiteral("ST_lineNumber") + QLatin1String(side))->Text();
    }

    // A second left report page holding pane element 1, as a window with two reports has it.
    fw::EditField* addSecondLeftPane(const QString& text)
    {
        fw::PagePanel* panel = pages("Left");
        panel->setPanelCount(3);
        fw::EditField* first = pane("Left");
        auto* second = w->add(new EF_mainResultsLeft(1), QStringLiteral("EF_mainResultsLeft"), first->Left(),
                              first->Top(), first->Width(), first->Height(), fw::LockLeft | fw::LockTop, panel, 1, 2);
        second->setTextSize(12);
        second->setText(text);
        second->SelChange = [this](fw::EditField& sender) { w->EF_mainResultsLeft_SelChange(sender); };
        return second;
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
};

TEST_F(PaneDisplayTest, ArrowsStepTheFieldAndTheFieldSizesThePanes)
{
    setUpWith(QStringLiteral("one\ntwo\n"));
    enum Act { Down, Up, Typed };
    const struct {
        const char* before;
        Act act;
        const char* typed;
        const char* after;
        int size; // 0: the panes keep their size
    } cases[] = {
        {"2", Down, "", "1", 1},     {"1", Down, "", "1", 0},     {"", Down, "", "", 0},
        {"0", Down, "", "0", 0},     {"13", Down, "", "12", 12},  {"", Up, "", "1", 1},
        {"12", Up, "", "13", 13},    {"99", Up, "", "100", 100},  {"0", Up, "", "1", 1},
        {"", Typed, "0", "0", 1},    {"", Typed, "ab", "ab", 1},  {"9", Typed, "", "", 1},
        {"", Typed, "7x", "7x", 7},  {"", Typed, "24", "24", 24}, {"999", Up, "", "1000", 1000},
    };
    const int untouched = 9;
    for (const auto& c : cases) {
        const QString label = QStringLiteral("%1 -> %2").arg(QLatin1String(c.before), QLatin1String(c.after));
        sizeField("Left")->setText(QLatin1String(c.before));
        pane("Left")->setTextSize(untouched);
        pane("Right")->setTextSize(untouched);
        switch (c.act) {
        case Down:
            arrows("Left")->PressDown();
            break;
        case Up:
            arrows("Left")->PressUp();
            break;
        case Typed:
            sizeField("Left")->setText(QLatin1String(c.typed));
            break;
        }
        EXPECT_EQ(sizeField("Left")->Text(), QLatin1String(c.after)) << qPrintable(label);
        // Sizes of three digits and more, which only the arrows reach, show whole in the narrow field.
        if (*c.after) {
            EXPECT_TRUE(testsupport::showsWhole(*sizeField("Left"))) << qPrintable(label);
        }
        EXPECT_EQ(pane("Left")->TextSize(), c.size ? c.size : untouched) << qPrintable(label);
        EXPECT_EQ(pane("Right")->TextSize(), untouched) << qPrintable(label) << ": the right side follows";
        EXPECT_EQ(sizeField("Right")->Text(), QString()) << qPrintable(label);
    }

    // The right side's own controls size only the right panes.
    pane("Left")->setTextSize(untouched);
    arrows("Right")->PressUp();
    arrows("Right")->PressUp();
    arrows("Right")->PressDown();
    EXPECT_EQ(sizeField("Right")->Text(), QStringLiteral("1"));
    EXPECT_EQ(pane("Right")->TextSize(), 1);
    sizeField("Right")->setText(QStringLiteral("30"));
    EXPECT_EQ(pane("Right")->TextSize(), 30);
    EXPECT_EQ(pane("Left")->TextSize(), untouched);
}

TEST_F(PaneDisplayTest, SizeReachesEveryReportPageAndTheShownPageReturns)
{
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    setUpWith(text);
    fw::EditField* second = addSecondLeftPane(text);

    for (int shown : {1, 2}) {
        pages("Left")->setValue(shown);
        fw::EditField* current = shown == 1 ? pane("Left") : second;
        current->setSelStart(25);
        current->setSelLength(4);
        const QString line = lineNumber("Left");
        const int scroll = current->ScrollPosition();

        const int size = 14 + shown;
        sizeField("Left")->setText(QString::number(size));
        EXPECT_EQ(pane("Left")->TextSize(), size) << shown;
        EXPECT_EQ(second->TextSize(), size) << shown << ": the hidden page too";
        EXPECT_EQ(pages("Left")->Value(), shown);
        EXPECT_EQ(current->SelStart(), 25) << shown;
        EXPECT_EQ(current->SelLength(), 4) << shown;
        EXPECT_EQ(current->ScrollPosition(), scroll) << shown;
        EXPECT_EQ(lineNumber("Left"), line) << shown;
    }
    EXPECT_EQ(pane("Right")->TextSize(), 12);
}

TEST_F(PaneDisplayTest, LineNumberIsTheCaretsLine)
{
    const struct {
        QString text;
        int caret;
        const char* line;
    } cases[] = {
        {QStringLiteral("ab\ncd\n\nef"), 0, "1"},
        {QStringLiteral("ab\ncd\n\nef"), 2, "1"}, // before the line end: still line 1
        {QStringLiteral("ab\ncd\n\nef"), 3, "2"}, // after the line end
        {QStringLiteral("ab\ncd\n\nef"), 5, "2"},
        {QStringLiteral("ab\ncd\n\nef"), 6, "3"}, // on the empty line
        {QStringLiteral("ab\ncd\n\nef"), 7, "4"},
        {QStringLiteral("ab\ncd\n\nef"), 9, "4"}, // at the end of the text
        {QStringLiteral("\n\n"), 0, "1"},
        {QStringLiteral("\n\n"), 1, "2"},
        {QStringLiteral("\n\n"), 2, "3"},
        {QStringLiteral("x") + Clef + QStringLiteral("\ny\nz"), 2, "1"},
        {QStringLiteral("x") + Clef + QStringLiteral("\ny\nz"), 3, "2"},
        {QStringLiteral("x") + Clef + QStringLiteral("\ny\nz"), 4, "2"},
        {QStringLiteral("x") + Clef + QStringLiteral("\ny\nz"), 5, "3"},
        {Clef + Clef + QStringLiteral("\n") + Clef, 3, "2"},
    };
    QString current;
    for (const auto& c : cases) {
        if (c.text != current) {
            w->Close();
            testsupport::settle();
            w = fw::Window::New<Report>();
            setUpWith(c.text);
            current = c.text;
        }
        // Moving the caret raises the pane's selection change, which refreshes the display.
        for (const char* side : {"Left", "Right"}) {
            pane(side)->setSelStart(c.caret == 0 ? 1 : 0);
            pane(side)->setSelStart(c.caret);
            EXPECT_EQ(lineNumber(side), QLatin1String(c.line))
                << side << " caret " << c.caret << " in " << qPrintable(QString(c.text).replace('\n', '|'));
        }
    }
}

TEST_F(PaneDisplayTest, EmptyPageLeavesTheLineNumber)
{
    setUpWith(QStringLiteral("a\nb\nc\nd"));
    pane("Left")->setSelStart(4);
    ASSERT_EQ(lineNumber("Left"), QStringLiteral("3"));
    pages("Left")->setValue(0);
    pane("Left")->setSelStart(0);
    w->updateLineNumberDisplayLeft();
    EXPECT_EQ(lineNumber("Left"), QStringLiteral("3"));

    // The display reads the pane of the page shown, whichever pane raised the event.
    pages("Left")->setValue(1);
    fw::EditField* second = addSecondLeftPane(QStringLiteral("p\nq\nr\ns\nt"));
    pages("Left")->setValue(2);
    pane("Left")->setSelStart(6);
    EXPECT_EQ(lineNumber("Left"), QStringLiteral("1"));
    second->setSelStart(8);
    EXPECT_EQ(lineNumber("Left"), QStringLiteral("5"));
}

} // namespace
