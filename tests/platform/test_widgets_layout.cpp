// Geometry of the widget layer: locks on window resize, children that follow a parent moved or resized
// from code, window coordinates of nested controls, and what hiding a parent or turning a page shows.

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Listbox.h"
#include "platform/Window.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using fw::LockBottom;
using fw::LockLeft;
using fw::LockNone;
using fw::LockRight;
using fw::LockTop;

std::string rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

QRect bounds(const fw::Control& c)
{
    return QRect(c.Left(), c.Top(), c.Width(), c.Height());
}

// One top-level control per kind of lock, in a 400 x 300 window.
struct LockRow {
    const char* name;
    int locks;
    QRect start;
    QRect grown;  // window 500 x 350
    QRect shrunk; // window 350 x 260
};

const LockRow lockRows[] = {
    {"L", LockLeft | LockTop, {10, 10, 50, 20}, {10, 10, 50, 20}, {10, 10, 50, 20}},
    {"R", LockTop | LockRight, {340, 10, 50, 20}, {440, 10, 50, 20}, {290, 10, 50, 20}},
    {"LR", LockLeft | LockTop | LockRight, {10, 40, 380, 22}, {10, 40, 480, 22}, {10, 40, 330, 22}},
    {"B", LockLeft | LockBottom, {10, 270, 60, 20}, {10, 320, 60, 20}, {10, 230, 60, 20}},
    {"TB", LockLeft | LockTop | LockBottom, {10, 70, 100, 190}, {10, 70, 100, 240}, {10, 70, 100, 150}},
    {"RB", LockRight | LockBottom, {330, 270, 60, 20}, {430, 320, 60, 20}, {280, 230, 60, 20}},
    {"none", LockNone, {200, 10, 40, 20}, {200, 10, 40, 20}, {200, 10, 40, 20}},
    {"LTRB", LockLeft | LockTop | LockRight | LockBottom, {120, 70, 200, 150}, {120, 70, 300, 200}, {120, 70, 150, 110}},
};

class LockWindow : public fw::Window {
public:
    static inline bool startVisible = true;

protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Locks"), 400, 300, startVisible); }
    void CreateControls() override
    {
        for (const LockRow& row : lockRows) {
            const QRect& r = row.start;
            add(new fw::StaticText, QString::fromLatin1(row.name), r.x(), r.y(), r.width(), r.height(), row.locks);
        }
    }
};

class WidgetLayout : public ::testing::Test {
protected:
    void TearDown() override
    {
        LockWindow::startVisible = true;
        testsupport::closeAllWindows();
    }
};

// Every control keeps the distances its locks name, both in its own geometry and in its widget's.
void expectLockRows(const fw::Window& w, QRect LockRow::*expected, const char* stage)
{
    for (const LockRow& row : lockRows) {
        SCOPED_TRACE(std::string(stage) + " " + row.name);
        const fw::Control* c = w.FindControl(QString::fromLatin1(row.name));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(rectText(bounds(*c)), rectText(row.*expected));
        EXPECT_EQ(rectText(c->widget()->geometry()), rectText(row.*expected));
    }
}

TEST_F(WidgetLayout, ControlsFollowWindowResizeByTheirLocks)
{
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible ? "shown window" : "hidden window");
        LockWindow::startVisible = visible;
        auto* w = fw::Window::New<LockWindow>();
        if (visible) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        }
        expectLockRows(*w, &LockRow::start, "built");
        w->setSize(500, 350);
        expectLockRows(*w, &LockRow::grown, "grown");
        w->setSize(350, 260);
        expectLockRows(*w, &LockRow::shrunk, "shrunk");
        w->setSize(400, 300);
        expectLockRows(*w, &LockRow::start, "back");
        if (!visible) {
            // Showing delivers the resize Qt held back; the controls must not move a second time.
            w->setSize(500, 350);
            w->Show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
            expectLockRows(*w, &LockRow::grown, "shown after a resize while hidden");
        }
        w->Close();
        testsupport::settle();
    }
}

// A group box with children of every lock kind, one nested group box and a grandchild, in window
// coordinates. Locks of children are taken relative to their parent.
struct ChildRow {
    const char* name;
    const char* parent;
    int locks;
    QRect start;
};

const ChildRow childRows[] = {
    {"GB_outer", nullptr, LockLeft | LockTop, {20, 100, 240, 150}},
    {"CB_L", "GB_outer", LockLeft | LockTop, {30, 120, 60, 20}},
    {"PB_R", "GB_outer", LockTop | LockRight, {190, 120, 60, 20}},
    {"EF_LR", "GB_outer", LockLeft | LockTop | LockRight, {30, 150, 220, 22}},
    {"ST_B", "GB_outer", LockLeft | LockBottom, {30, 220, 60, 20}},
    {"LB_TB", "GB_outer", LockLeft | LockTop | LockBottom, {100, 180, 40, 60}},
    {"GB_inner", "GB_outer", LockLeft | LockTop | LockRight, {150, 180, 100, 60}},
    {"ST_deep", "GB_inner", LockTop | LockRight, {200, 200, 40, 20}},
};

class GroupWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Groups"), 500, 400); }
    void CreateControls() override
    {
        for (const ChildRow& row : childRows) {
            fw::Control* parent = row.parent ? FindControl(QString::fromLatin1(row.parent)) : nullptr;
            const QString name = QString::fromLatin1(row.name);
            const QRect& r = row.start;
            fw::Control* made = nullptr;
            if (name.startsWith("GB"))
                made = new fw::GroupBox;
            else if (name.startsWith("CB"))
                made = new fw::CheckBox;
            else if (name.startsWith("PB"))
                made = new fw::PushButton;
            else if (name.startsWith("EF"))
                made = new fw::EditField;
            else if (name.startsWith("LB"))
                made = new fw::Listbox;
            else
                made = new fw::StaticText;
            add(made, name, r.x(), r.y(), r.width(), r.height(), row.locks, parent);
        }
    }
};

// A change made from code to the outer group box, and where each control stands right after it.
struct ParentChange {
    const char* label;
    std::function<void(fw::Control&)> change;
    // Expected rectangles in childRows order.
    std::vector<QRect> expected;
};

TEST_F(WidgetLayout, ChildrenFollowTheirParentMovedOrResizedFromCode)
{
    const ParentChange changes[] = {
        {"moved right 30",
         [](fw::Control& g) { g.setLeft(50); },
         {{50, 100, 240, 150}, {60, 120, 60, 20}, {220, 120, 60, 20}, {60, 150, 220, 22}, {60, 220, 60, 20},
          {130, 180, 40, 60}, {180, 180, 100, 60}, {230, 200, 40, 20}}},
        {"moved down 25",
         [](fw::Control& g) { g.setTop(125); },
         {{20, 125, 240, 150}, {30, 145, 60, 20}, {190, 145, 60, 20}, {30, 175, 220, 22}, {30, 245, 60, 20},
          {100, 205, 40, 60}, {150, 205, 100, 60}, {200, 225, 40, 20}}},
        {"widened 40",
         [](fw::Control& g) { g.setWidth(280); },
         {{20, 100, 280, 150}, {30, 120, 60, 20}, {230, 120, 60, 20}, {30, 150, 260, 22}, {30, 220, 60, 20},
          {100, 180, 40, 60}, {150, 180, 140, 60}, {240, 200, 40, 20}}},
        {"made 30 taller",
         [](fw::Control& g) { g.setHeight(180); },
         {{20, 100, 240, 180}, {30, 120, 60, 20}, {190, 120, 60, 20}, {30, 150, 220, 22}, {30, 250, 60, 20},
          {100, 180, 40, 90}, {150, 180, 100, 60}, {200, 200, 40, 20}}},
        {"moved and resized at once",
         [](fw::Control& g) { g.setBounds(10, 90, 200, 170); },
         {{10, 90, 200, 170}, {20, 110, 60, 20}, {140, 110, 60, 20}, {20, 140, 180, 22}, {20, 230, 60, 20},
          {90, 170, 40, 80}, {140, 170, 60, 60}, {150, 190, 40, 20}}},
    };
    for (const ParentChange& c : changes) {
        SCOPED_TRACE(c.label);
        auto* w = fw::Window::New<GroupWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        c.change(*w->FindControl(QStringLiteral("GB_outer")));
        // Read at once, before any event runs.
        for (size_t i = 0; i < std::size(childRows); ++i) {
            SCOPED_TRACE(childRows[i].name);
            const fw::Control* control = w->FindControl(QString::fromLatin1(childRows[i].name));
            EXPECT_EQ(rectText(bounds(*control)), rectText(c.expected[i]));
        }
        w->Close();
        testsupport::settle();
    }
}

// The Qt widget of a nested control stands where the window coordinates say: its geometry relative to
// its Qt parent is its window rectangle minus its parent's origin, and mapped to the window it lands
// on its window position.
void expectQtGeometryMatches(const fw::Window& w)
{
    for (const fw::Control* c : w.controls()) {
        SCOPED_TRACE(c->Name().toStdString());
        if (const fw::Control* parent = c->parentControl()) {
            const QRect relative(c->Left() - parent->Left(), c->Top() - parent->Top(), c->Width(), c->Height());
            EXPECT_EQ(rectText(c->widget()->geometry()), rectText(relative));
        } else {
            EXPECT_EQ(rectText(c->widget()->geometry()), rectText(bounds(*c)));
        }
        EXPECT_EQ(c->widget()->mapTo(&w, QPoint(0, 0)), QPoint(c->Left(), c->Top()));
    }
}

TEST_F(WidgetLayout, NestedControlsStandAtTheirWindowCoordinates)
{
    auto* w = fw::Window::New<GroupWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    expectQtGeometryMatches(*w);
    w->FindControl(QStringLiteral("GB_outer"))->setBounds(60, 40, 300, 250);
    w->FindControl(QStringLiteral("GB_inner"))->setLeft(120);
    expectQtGeometryMatches(*w);
    w->setSize(620, 450);
    expectQtGeometryMatches(*w);
}

TEST_F(WidgetLayout, WindowResizeCarriesNestedChildrenByTheirLocks)
{
    class OuterStretches : public GroupWindow {
    protected:
        void CreateControls() override
        {
            GroupWindow::CreateControls();
            FindControl(QStringLiteral("GB_outer"))->setLocks(LockLeft | LockRight | LockBottom);
        }
    };
    auto* w = fw::Window::New<OuterStretches>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->setSize(560, 430); // 60 wider, 30 taller
    const std::pair<const char*, QRect> expected[] = {
        {"GB_outer", {20, 130, 300, 150}}, {"CB_L", {30, 150, 60, 20}},    {"PB_R", {250, 150, 60, 20}},
        {"EF_LR", {30, 180, 280, 22}},     {"ST_B", {30, 250, 60, 20}},    {"LB_TB", {100, 210, 40, 60}},
        {"GB_inner", {150, 210, 160, 60}}, {"ST_deep", {260, 230, 40, 20}},
    };
    for (const auto& [name, rect] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(rectText(bounds(*w->FindControl(QString::fromLatin1(name)))), rectText(rect));
    }
    expectQtGeometryMatches(*w);
}

TEST_F(WidgetLayout, HidingOrDisablingAGroupBoxReachesItsChildrenButNotTheirOwnFlags)
{
    auto* w = fw::Window::New<GroupWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    fw::Control* outer = w->FindControl(QStringLiteral("GB_outer"));
    fw::Control* child = w->FindControl(QStringLiteral("CB_L"));
    fw::Control* deep = w->FindControl(QStringLiteral("ST_deep"));
    fw::Control* hiddenChild = w->FindControl(QStringLiteral("PB_R"));
    hiddenChild->setVisible(false);

    outer->setVisible(false);
    EXPECT_FALSE(child->widget()->isVisible());
    EXPECT_FALSE(deep->widget()->isVisible());
    EXPECT_TRUE(child->Visible()) << "own flag";
    EXPECT_TRUE(deep->Visible()) << "own flag";

    outer->setVisible(true);
    EXPECT_TRUE(child->widget()->isVisible());
    EXPECT_TRUE(deep->widget()->isVisible());
    EXPECT_FALSE(hiddenChild->widget()->isVisible()) << "a child hidden on its own stays hidden";
    EXPECT_FALSE(hiddenChild->Visible());

    outer->setEnabled(false);
    EXPECT_FALSE(child->widget()->isEnabled());
    EXPECT_TRUE(child->Enabled()) << "own flag";
    outer->setEnabled(true);
    EXPECT_TRUE(child->widget()->isEnabled());
}

class PageWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Pages"), 400, 300); }
    void CreateControls() override
    {
        auto* panel = add(new fw::PagePanel, QStringLiteral("PP"), 20, 30, 300, 200, LockLeft | LockTop | LockRight | LockBottom);
        panel->setPanelCount(3);
        panel->setValue(0);
        for (int page = 1; page < 3; ++page) {
            add(new fw::EditField(true), QStringLiteral("EF_page"), 30, 50, 280, 170,
                LockLeft | LockTop | LockRight | LockBottom, panel, page - 1, page);
        }
    }
};

TEST_F(WidgetLayout, PagePanelShowsOnlyTheControlsOfItsCurrentPage)
{
    auto* w = fw::Window::New<PageWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    auto* panel = w->control<fw::PagePanel>(QStringLiteral("PP"));
    fw::Control* first = w->FindControl(QStringLiteral("EF_page"), 0);
    fw::Control* second = w->FindControl(QStringLiteral("EF_page"), 1);

    const struct {
        int page;
        bool firstShows;
        bool secondShows;
    } pages[] = {{0, false, false}, {1, true, false}, {2, false, true}, {1, true, false}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.page);
        panel->setValue(p.page);
        EXPECT_EQ(panel->Value(), p.page);
        EXPECT_EQ(first->widget()->isVisible(), p.firstShows);
        EXPECT_EQ(second->widget()->isVisible(), p.secondShows);
    }
    panel->setVisible(false);
    EXPECT_FALSE(first->widget()->isVisible());
    panel->setVisible(true);
    EXPECT_TRUE(first->widget()->isVisible());

    testsupport::settle();
    expectQtGeometryMatches(*w);
    panel->setWidth(250);
    w->setSize(450, 320);
    testsupport::settle();
    EXPECT_EQ(rectText(bounds(*second)), rectText(QRect(30, 50, 280, 190)));
    expectQtGeometryMatches(*w);
}

// A pane squeezed below zero by its locks keeps the size it has below zero: written back through its
// own reading (as a window does when it moves a pane's sides) and grown again, it lands where it was.
TEST_F(WidgetLayout, SizesBelowZeroSurviveBeingReadAndWrittenBack)
{
    auto* w = fw::Window::New<PageWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    auto* panel = w->control<fw::PagePanel>(QStringLiteral("PP"));
    panel->setValue(1);
    fw::Control* pane = w->FindControl(QStringLiteral("EF_page"), 0);
    const QRect start = bounds(*pane);

    panel->setBounds(20, 30, 10, -5);
    EXPECT_EQ(pane->widget()->size(), QSize(0, 0)) << "a size below zero shows as nothing";
    pane->setBounds(pane->Left(), pane->Top(), pane->Width(), pane->Height());
    pane->setWidth(pane->Width());
    pane->setHeight(pane->Height());
    panel->setBounds(20, 30, 300, 200);
    EXPECT_EQ(rectText(bounds(*pane)), rectText(start));
    EXPECT_EQ(rectText(QRect(pane->widget()->mapTo(w, QPoint(0, 0)), pane->widget()->size())), rectText(start));
}

// The report window: a small window with every search row shown squeezes the panes below zero; moving
// the split slider and bringing the rows back leaves each pane exactly inside its page panel.
TEST_F(WidgetLayout, ReportPanesComeBackToTheirPanelsAfterBeingSqueezed)
{
    testsupport::MessageLog log;
    auto* w = fw::Window::New<RW_reportOutputWindow>();
    testsupport::showReport(*w, QStringLiteral("one\ntwo\n"));
    auto inset = [w](const char* panel, const char* pane) {
        const fw::Control* pp = w->FindControl(QLatin1String(panel));
        const fw::Control* ef = w->FindControl(QLatin1String(pane), 0);
        return QRect(ef->Left() - pp->Left(), ef->Top() - pp->Top(), pp->Width() - ef->Width(),
                     pp->Height() - ef->Height());
    };
    const QRect left = inset("PP_resultsLeft", "EF_mainResultsLeft");
    const QRect right = inset("PP_resultsRight", "EF_mainResultsRight");

    w->setSize(720, 472);
    for (int k = 0; k < 6; ++k)
        w->control<fw::PushButton>(QStringLiteral("PB_NewCriteria"), k)->Push();
    auto* slider = w->control<fw::Slider>(QStringLiteral("SL_widthAdjuster"));
    slider->setValue(slider->Value() + 7);
    for (int j = 5; j >= 0; --j)
        w->control<fw::PushButton>(QStringLiteral("PB_srchHide"), j)->Push();
    w->setSize(940, 659);
    slider->setValue(slider->Value() - 3);
    EXPECT_TRUE(log.messages().isEmpty());
    EXPECT_EQ(rectText(inset("PP_resultsLeft", "EF_mainResultsLeft")), rectText(left));
    EXPECT_EQ(rectText(inset("PP_resultsRight", "EF_mainResultsRight")), rectText(right));
}

// Text of the sizes the windows give fits the controls they give it, descenders included.
TEST_F(WidgetLayout, TextFitsTheHeightOfItsControl)
{
    const struct {
        const char* label;
        fw::ControlFont font;
        int height;
    } cases[] = {
        {"phrase field", {QStringLiteral("System"), 15}, 23},
        {"system font in a row field", {QStringLiteral("System"), 0}, 22},
        {"hit-number field", {QStringLiteral("System"), 0}, 23},
        {"size field", {QStringLiteral("System"), 12}, 22},
    };
    auto* w = fw::Window::New<PageWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto* field = w->add(new fw::EditField, QStringLiteral("EF_fit"), 10, 240, 200, c.height, LockLeft | LockTop,
                             nullptr, n++);
        field->setBorder(true);
        field->setFont(c.font);
        field->setText(QStringLiteral("gpyÅ"));
        // The field's one line stands in the pane's viewport, inside the border.
        auto* pane = field->textPane();
        EXPECT_LE(QFontMetrics(pane->font()).height(), pane->viewport()->height());
    }
    // Pane text sizes, of the whole pane or of a run, are pixel sizes like the fields' font sizes: a
    // pane shows as many lines as fit lines of that size.
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("line %1 gpy").arg(i);
    auto* sized = w->add(new fw::EditField(true), QStringLiteral("EF_pane"), 10, 10, 300, 200, LockLeft | LockTop, nullptr, 0);
    auto* styled = w->add(new fw::EditField(true), QStringLiteral("EF_pane"), 10, 10, 300, 200, LockLeft | LockTop, nullptr, 1);
    sized->setTextSize(30);
    sized->setText(lines.join('\n'));
    styled->setTextSize(10);
    styled->setText(lines.join('\n'));
    fw::TextStyle big;
    big.size = 30;
    styled->setStyleRun(0, 4, big);
    testsupport::settle();
    for (fw::EditField* pane : {sized, styled}) {
        QFont font = pane->widget()->font();
        font.setPixelSize(30);
        const int line = int(std::ceil(QFontMetricsF(font).lineSpacing()));
        const int viewport = pane->textPane()->viewport()->height();
        EXPECT_GE(pane->textPane()->visibleLineCount(), (viewport - 8) / line);
        EXPECT_LE(pane->textPane()->visibleLineCount(), viewport / line);
    }
}

// A count too wide for its label is drawn whole in a smaller font, never cut; the label does not move.
TEST_F(WidgetLayout, StaticTextThatDoesNotFitIsDrawnSmallerWhole)
{
    const struct {
        const char* text;
        int width;
        int height;
        int align;
    } cases[] = {
        {"of 4000004", 64, 22, 0},  {"12345678", 57, 21, 0},  {"2080002", 45, 23, 1},
        {"99999", 52, 22, 2},       {"Test cases:", 77, 21, 2}, {"0", 57, 21, 0},
    };
    auto* w = fw::Window::New<PageWindow>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto* label = w->add(new fw::StaticText, QStringLiteral("ST_count"), 10, 240, c.width, c.height,
                             LockLeft | LockTop, nullptr, n++);
        label->setTextAlign(c.align);
        label->setText(QString::fromLatin1(c.text));
        auto* widget = static_cast<QLabel*>(label->widget());
        const QFontMetrics metrics(widget->font());
        EXPECT_LE(metrics.horizontalAdvance(widget->text()), widget->contentsRect().width());
        EXPECT_LE(metrics.height(), widget->contentsRect().height());
        EXPECT_EQ(label->Text(), QString::fromLatin1(c.text));
        EXPECT_EQ(rectText(bounds(*label)), rectText(QRect(10, 240, c.width, c.height)));
    }
    // A label that fits again after a wider text left takes its own font back.
    auto* label = w->control<fw::StaticText>(QStringLiteral("ST_count"), 1);
    const QFont own = w->control<fw::StaticText>(QStringLiteral("ST_count"), 5)->widget()->font();
    label->setText(QStringLiteral("7"));
    EXPECT_EQ(label->widget()->font(), own);

    // So is a number in a field that shows its text whole (the hit-number fields), typed or set; the
    // pane's text room is its viewport less the frame, a pixel each side and the caret.
    for (const char* number : {"21465", "999999999", "7", "2147483647"}) {
        SCOPED_TRACE(number);
        auto* field = w->add(new fw::EditField, QStringLiteral("EF_hit"), 140, 200, 37, 23, LockLeft, nullptr, n++);
        field->setBorder(true);
        field->setAlignment(2);
        field->setShowWhole(true);
        field->setText(QString::fromLatin1(number).left(1));
        field->SetFocus();
        QTest::keyClicks(field->widget(), QString::fromLatin1(number).mid(1));
        const auto* pane = field->textPane();
        EXPECT_EQ(field->Text(), QString::fromLatin1(number));
        const int frame = pane->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        EXPECT_LE(QFontMetricsF(pane->font()).horizontalAdvance(field->Text()),
                  pane->viewport()->width() - 2 * frame - 3);
        EXPECT_EQ(rectText(bounds(*field)), rectText(QRect(140, 200, 37, 23)));
        field->setText(QStringLiteral("7"));
        EXPECT_EQ(pane->font(), own);
    }
}

} // namespace
