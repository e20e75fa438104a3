// Events of the widget layer: raised by assignment (nested, before the setter returns, also for an
// unchanged value), raised once by a user's change, handlers of control arrays, look-up by name and
// index, and positions counted in characters.

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A plain visible window; each test adds the controls it needs.
class EventWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Events"), 400, 300); }
    void CreateControls() override {}
};

class WidgetEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = fw::Window::New<EventWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        if (window)
            window->Close();
        testsupport::settle();
    }

    QPointer<EventWindow> window;
};

// One assignment from code: what it does to a fresh control and what its handler must see.
struct AssignCase {
    const char* label;
    // Adds the control, binds its event to seen (called with the value the handler reads) and
    // returns the assignment to make.
    std::function<std::function<void()>(fw::Window&, std::function<void(QString)> seen)> arrange;
    QString expectedSeen;
};

std::function<void()> checkBox(fw::Window& w, std::function<void(QString)> seen, bool start, bool assign)
{
    auto* box = w.add(new fw::CheckBox, QStringLiteral("CB_x"), 10, 10, 100, 20);
    box->setValue(start);
    box->Action = [seen](fw::CheckBox& b) { seen(b.Value() ? QStringLiteral("1") : QStringLiteral("0")); };
    return [box, assign] { box->setValue(assign); };
}

std::function<void()> editField(fw::Window& w, std::function<void(QString)> seen, bool multiLine,
                                const QString& start, std::function<void(fw::EditField&)> assign,
                                const QString& mask = {})
{
    auto* field = w.add(new fw::EditField(multiLine), QStringLiteral("EF_x"), 10, 10, 200, multiLine ? 100 : 22);
    field->setMask(mask);
    field->setText(start);
    field->TextChange = [seen](fw::EditField& f) { seen(f.Text()); };
    return [field, assign] { assign(*field); };
}

std::function<void()> popup(fw::Window& w, std::function<void(QString)> seen, int start, int assign)
{
    auto* menu = w.add(new fw::PopupMenu, QStringLiteral("PM_x"), 10, 10, 100, 22);
    for (const char* row : {"x", "y", "z"})
        menu->AddRow(QString::fromLatin1(row));
    menu->setListIndex(start);
    menu->Change = [seen](fw::PopupMenu& m) { seen(QString::number(m.ListIndex()) + QLatin1Char(':') + m.Text()); };
    return [menu, assign] { menu->setListIndex(assign); };
}

std::function<void()> slider(fw::Window& w, std::function<void(QString)> seen, int start, int assign)
{
    auto* s = w.add(new fw::Slider, QStringLiteral("SL_x"), 10, 10, 200, 22);
    s->setMinimum(0);
    s->setMaximum(100);
    s->setValue(start);
    s->ValueChanged = [seen](fw::Slider& sl) { seen(QString::number(sl.Value())); };
    return [s, assign] { s->setValue(assign); };
}

const AssignCase assignCases[] = {
    {"check box ticked", [](auto& w, auto seen) { return checkBox(w, seen, false, true); }, "1"},
    {"check box unticked", [](auto& w, auto seen) { return checkBox(w, seen, true, false); }, "0"},
    {"check box unchanged", [](auto& w, auto seen) { return checkBox(w, seen, false, false); }, "0"},
    {"line field", [](auto& w, auto seen) { return editField(w, seen, false, {}, [](auto& f) { f.setText("abc"); }); }, "abc"},
    {"line field unchanged",
     [](auto& w, auto seen) { return editField(w, seen, false, "abc", [](auto& f) { f.setText("abc"); }); }, "abc"},
    {"line field emptied", [](auto& w, auto seen) { return editField(w, seen, false, "abc", [](auto& f) { f.setText(""); }); }, ""},
    {"line field beyond its mask",
     [](auto& w, auto seen) { return editField(w, seen, false, {}, [](auto& f) { f.setText("12a45"); }, "###"); },
     "12a45"},
    {"multi-line field",
     [](auto& w, auto seen) { return editField(w, seen, true, {}, [](auto& f) { f.setText("a\nb"); }); }, "a\nb"},
    {"multi-line field unchanged",
     [](auto& w, auto seen) { return editField(w, seen, true, "a\nb", [](auto& f) { f.setText("a\nb"); }); }, "a\nb"},
    {"multi-line append",
     [](auto& w, auto seen) { return editField(w, seen, true, "a\n", [](auto& f) { f.AppendText("b"); }); }, "a\nb"},
    {"line field append",
     [](auto& w, auto seen) { return editField(w, seen, false, "a", [](auto& f) { f.AppendText("b"); }); }, "ab"},
    {"popup row", [](auto& w, auto seen) { return popup(w, seen, 0, 2); }, "2:z"},
    {"popup row unchanged", [](auto& w, auto seen) { return popup(w, seen, 1, 1); }, "1:y"},
    {"slider", [](auto& w, auto seen) { return slider(w, seen, 0, 40); }, "40"},
    {"slider unchanged", [](auto& w, auto seen) { return slider(w, seen, 40, 40); }, "40"},
    {"slider clamped to its range", [](auto& w, auto seen) { return slider(w, seen, 0, 140); }, "100"},
};

TEST_F(WidgetEvents, AssignmentRaisesTheEventOnceBeforeTheSetterReturns)
{
    for (const AssignCase& c : assignCases) {
        SCOPED_TRACE(c.label);
        auto* w = fw::Window::New<EventWindow>();
        QStringList seen;
        const std::function<void()> assign = c.arrange(*w, [&seen](QString value) { seen.append(value); });
        ASSERT_TRUE(seen.isEmpty()) << "binding the handler raised it";
        assign();
        EXPECT_EQ(seen, QStringList{c.expectedSeen});
        w->Close();
    }
    testsupport::settle();
}

TEST_F(WidgetEvents, HandlerThatAssignsAnotherControlRunsNestedInOrder)
{
    QStringList log;
    auto* box = window->add(new fw::CheckBox, QStringLiteral("CB_a"), 10, 10, 100, 20);
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_b"), 10, 40, 100, 22);
    auto* menu = window->add(new fw::PopupMenu, QStringLiteral("PM_c"), 10, 70, 100, 22);
    auto* bar = window->add(new fw::Slider, QStringLiteral("SL_d"), 10, 100, 100, 22);
    menu->AddRow(QStringLiteral("zero"));
    menu->AddRow(QStringLiteral("one"));
    box->Action = [&](fw::CheckBox&) {
        log << "box begin";
        field->setText(QStringLiteral("from box"));
        log << "box end, field reads " + field->Text() + ", menu row " + QString::number(menu->ListIndex());
    };
    field->TextChange = [&](fw::EditField& f) {
        log << "field begin " + f.Text();
        menu->setListIndex(1);
        log << "field end";
    };
    menu->Change = [&](fw::PopupMenu& m) {
        log << "menu " + m.Text();
        bar->setValue(7);
        log << "menu sees slider " + QString::number(bar->Value());
    };
    bar->ValueChanged = [&](fw::Slider& s) { log << "slider " + QString::number(s.Value()); };

    box->setValue(true);
    log << "setter returned";

    const QStringList expected{
        "box begin", "field begin from box", "menu one", "slider 7", "menu sees slider 7",
        "field end", "box end, field reads from box, menu row 1", "setter returned",
    };
    EXPECT_EQ(log, expected);
}

// A user's change: one real input event to the control's widget.
struct UserCase {
    const char* label;
    // Adds the control, binds its event to count, and returns the user's action.
    std::function<std::function<void()>(fw::Window&, int& count)> arrange;
    // What the control shows afterwards.
    std::function<QString(fw::Window&)> shows;
    QString expected;
};

const UserCase userCases[] = {
    {"click on a check box",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* box = w.add(new fw::CheckBox, "CB_u", 10, 10, 120, 24);
         box->setCaption("Tick");
         box->Action = [&count](fw::CheckBox&) { ++count; };
         return [box] { QTest::mouseClick(box->widget(), Qt::LeftButton, {}, QPoint(8, 12)); };
     },
     [](fw::Window& w) { return w.control<fw::CheckBox>("CB_u")->Value() ? QString("1") : QString("0"); }, "1"},
    {"click on a push button",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* button = w.add(new fw::PushButton, "PB_u", 10, 10, 80, 24);
         button->setCaption("Go");
         button->Action = [&count](fw::PushButton&) { ++count; };
         return [button] { QTest::mouseClick(button->widget(), Qt::LeftButton); };
     },
     [](fw::Window& w) { return w.control<fw::PushButton>("PB_u")->Caption(); }, "Go"},
    {"typing into a line field",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* field = w.add(new fw::EditField, "EF_u", 10, 10, 100, 22);
         field->TextChange = [&count](fw::EditField&) { ++count; };
         return [field] { QTest::keyClick(field->widget(), Qt::Key_7); };
     },
     [](fw::Window& w) { return w.control<fw::EditField>("EF_u")->Text(); }, "7"},
    {"typing into a multi-line field",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* field = w.add(new fw::EditField(true), "EF_m", 10, 10, 200, 100);
         field->TextChange = [&count](fw::EditField&) { ++count; };
         return [field] { QTest::keyClick(field->textPane()->viewport(), Qt::Key_Q); };
     },
     [](fw::Window& w) { return w.control<fw::EditField>("EF_m")->Text(); }, "q"},
    {"choosing the next popup row",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* menu = w.add(new fw::PopupMenu, "PM_u", 10, 10, 100, 22);
         menu->AddRow("first");
         menu->AddRow("second");
         menu->Change = [&count](fw::PopupMenu&) { ++count; };
         return [menu] { QTest::keyClick(menu->widget(), Qt::Key_Down); };
     },
     [](fw::Window& w) { return w.control<fw::PopupMenu>("PM_u")->Text(); }, "second"},
    {"moving a slider by a step",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* s = w.add(new fw::Slider, "SL_u", 10, 10, 200, 22);
         s->setMaximum(10);
         s->ValueChanged = [&count](fw::Slider&) { ++count; };
         return [s] { QTest::keyClick(s->widget(), Qt::Key_Right); };
     },
     [](fw::Window& w) { return QString::number(w.control<fw::Slider>("SL_u")->Value()); }, "1"},
    {"click on the up arrow",
     [](fw::Window& w, int& count) -> std::function<void()> {
         auto* arrows = w.add(new fw::UpDownArrows, "UDA_u", 10, 10, 16, 30);
         arrows->Up = [&count](fw::UpDownArrows&) { ++count; };
         arrows->Down = [&count](fw::UpDownArrows&) { count += 100; };
         return [arrows] {
             QTest::mouseClick(arrows->widget()->findChildren<QToolButton*>().at(0), Qt::LeftButton);
         };
     },
     [](fw::Window&) { return QString("-"); }, "-"},
};

TEST_F(WidgetEvents, UserChangeRaisesTheEventOnce)
{
    for (const UserCase& c : userCases) {
        SCOPED_TRACE(c.label);
        auto* w = fw::Window::New<EventWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        int count = 0;
        const std::function<void()> act = c.arrange(*w, count);
        act();
        EXPECT_EQ(count, 1);
        EXPECT_EQ(c.shows(*w), c.expected);
        w->Close();
        testsupport::settle();
    }
}

TEST_F(WidgetEvents, PushRaisesActionOnlyWhenTheButtonCanBeClicked)
{
    auto* group = window->add(new fw::GroupBox, QStringLiteral("GB"), 10, 10, 200, 100);
    auto* button = window->add(new fw::PushButton, QStringLiteral("PB"), 20, 40, 80, 24, fw::LockLeft | fw::LockTop, group);
    int pressed = 0;
    button->Action = [&pressed](fw::PushButton&) { ++pressed; };

    button->Push();
    EXPECT_EQ(pressed, 1);
    button->setEnabled(false);
    button->Push();
    EXPECT_EQ(pressed, 1) << "a disabled button was pressed";
    button->setEnabled(true);
    group->setEnabled(false);
    button->Push();
    EXPECT_EQ(pressed, 1) << "a button inside a disabled group was pressed";
    EXPECT_TRUE(button->Enabled()) << "the button's own flag follows its parent";
    group->setEnabled(true);
    button->Push();
    EXPECT_EQ(pressed, 2);
}

TEST_F(WidgetEvents, ArrayHandlerReadsTheIndexOfTheRaisingElement)
{
    std::vector<int> raisedBy;
    for (int i = 0; i < 4; ++i) {
        auto* box = window->add(new fw::CheckBox, QStringLiteral("CB_arr"), 10, 10 + 25 * i, 80, 20, fw::LockLeft | fw::LockTop,
                                nullptr, i);
        box->Action = [&raisedBy](fw::CheckBox& b) { raisedBy.push_back(b.Index()); };
    }
    window->control<fw::CheckBox>(QStringLiteral("CB_arr"), 2)->setValue(true);
    QTest::mouseClick(window->control<fw::CheckBox>(QStringLiteral("CB_arr"), 0)->widget(), Qt::LeftButton, {},
                      QPoint(8, 10));
    window->control<fw::CheckBox>(QStringLiteral("CB_arr"), 3)->setValue(false);
    EXPECT_EQ(raisedBy, (std::vector<int>{2, 0, 3}));
}

struct LookupCase {
    const char* name;
    int index;
    bool found;
};

TEST_F(WidgetEvents, LookUpByNameAndByNamePlusIndex)
{
    auto* single = window->add(new fw::StaticText, QStringLiteral("ST_single"), 10, 10, 80, 20);
    std::vector<fw::Control*> elements;
    for (int i = 0; i < 3; ++i)
        elements.push_back(window->add(new fw::PushButton, QStringLiteral("PB_row"), 10, 40 + 30 * i, 80, 24,
                                       fw::LockLeft | fw::LockTop, nullptr, i));

    const LookupCase cases[] = {
        {"ST_single", -1, true}, {"PB_row", 0, true},    {"PB_row", 2, true},       {"PB_row", 3, false},
        {"PB_row", -1, false},   {"ST_single", 0, false}, {"ST_missing", -1, false}, {"st_single", -1, false},
        {"", -1, false},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(c.index));
        fw::Control* found = window->FindControl(QString::fromLatin1(c.name), c.index);
        if (!c.found) {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Name(), QString::fromLatin1(c.name));
        EXPECT_EQ(found->Index(), c.index);
    }
    EXPECT_EQ(window->FindControl(QStringLiteral("ST_single")), single);
    EXPECT_EQ(window->FindControl(QStringLiteral("PB_row"), 1), elements[1]);
    // The typed look-up yields nothing for a control of another class.
    EXPECT_EQ(window->control<fw::PushButton>(QStringLiteral("ST_single")), nullptr);
    EXPECT_EQ(window->control<fw::StaticText>(QStringLiteral("ST_single")), single);
}

// Positions and lengths of edit fields count characters: a character outside the BMP counts once.
TEST_F(WidgetEvents, LineFieldCountsCharactersNotUtf16Units)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_chars"), 10, 10, 200, 22);
    field->setText("a" + smile + "b" + smile + "c");
    EXPECT_EQ(field->TextLength(), 5);
    field->setSelStart(1);
    field->setSelLength(3);
    EXPECT_EQ(field->SelStart(), 1);
    EXPECT_EQ(field->SelLength(), 3);
    EXPECT_EQ(field->SelText(), smile + "b" + smile);
    field->setSelStart(4);
    EXPECT_EQ(field->SelStart(), 4);
    EXPECT_EQ(field->SelLength(), 0);
}

// Positions stay true to the text read back when the text comes with "\r\n" or "\r" line ends.
TEST_F(WidgetEvents, MultiLineFieldCountsCarriageReturnLineEndsAsOneCharacter)
{
    auto* field = window->add(new fw::EditField(true), QStringLiteral("EF_crlf"), 10, 10, 300, 200);
    field->setText("ab\r\ncd\re");
    EXPECT_EQ(field->Text(), QStringLiteral("ab\ncd\ne"));
    EXPECT_EQ(field->TextLength(), 7);
    field->AppendText("x\r\ny\r");
    EXPECT_EQ(field->Text(), QStringLiteral("ab\ncd\nex\ny\n"));
    EXPECT_EQ(field->TextLength(), 11);
    field->setSelStart(3);
    field->setSelLength(1);
    EXPECT_EQ(field->SelText(), QStringLiteral("c"));
    EXPECT_EQ(field->LineNumAtCharPos(3), 1);
    EXPECT_EQ(field->LineNumAtCharPos(9), 3);
    field->setSelStart(9);
    field->setSelLength(1);
    EXPECT_EQ(field->SelText(), QStringLiteral("y"));
}

TEST_F(WidgetEvents, ScrollPositionCountsLinesFromZero)
{
    auto* field = window->add(new fw::EditField(true), QStringLiteral("EF_scroll"), 10, 10, 200, 80);
    QStringList rows;
    for (int i = 0; i < 200; ++i)
        rows << QString::number(i);
    field->setText(rows.join('\n'));
    testsupport::settle();
    EXPECT_EQ(field->ScrollPosition(), 0);
    field->setScrollPosition(50);
    EXPECT_EQ(field->ScrollPosition(), 50);
    // The first visible line is line 50.
    const fw::TextPane* pane = field->textPane();
    EXPECT_EQ(pane->lineOfChar(pane->charPosAt(QPoint(2, 2))), 50);
}

} // namespace
