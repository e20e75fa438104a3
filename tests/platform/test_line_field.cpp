// The single-line EditField: a line of megabytes typed into, walked, copied and painted in time of
// what the field shows, shown with the right characters at its end; the "#" mask as a typing filter;
// alignment; keys left to the window; Tab selecting all; undo; the indexes an edit shifts; the frame and
// the focus; input methods; the same keys and clicks doing what they do in a line edit.

#include "platform/EditField.h"
#include "platform/SharedText.h"
#include "platform/TextHelpers.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QTest>
#include <QTextCharFormat>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <variant>
#include <vector>

namespace {

class FieldWindow : public fw::Window {
public:
    QStringList keys;

protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Fields"), 420, 200); }
    void CreateControls() override {}
    bool KeyDown(const QString& key) override
    {
        keys << key;
        return false;
    }
};

class LineField : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = fw::Window::New<FieldWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        field = addField(10);
    }
    void TearDown() override { testsupport::closeAllWindows(); }

    fw::EditField* addField(int top, int width = 220)
    {
        auto* f = window->add(new fw::EditField, QStringLiteral("EF_line"), 10, top, width, 22, fw::LockLeft | fw::LockTop,
                              nullptr, index_++);
        f->setBorder(true);
        fw::ControlFont font;
        font.name = QStringLiteral("System");
        font.size = 12;
        f->setFont(font);
        return f;
    }

    QPointer<FieldWindow> window;
    fw::EditField* field = nullptr;
    int index_ = 0;
};

void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &up);
}

// A comma list of count seven-digit numbers, as pasted into the number window.
QString commaList(int count)
{
    QString text;
    text.reserve(qsizetype(count) * 8);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += u',';
        text += QString::number(1'000'000 + i);
    }
    return text;
}

qint64 msFor(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.elapsed();
}

// The field as the user sees it, without the focus (so without a blinking caret).
QImage shot(fw::EditField* f)
{
    return f->widget()->grab().toImage();
}

using testsupport::inkColumns;
using testsupport::showsWhole;

// A font's width as a percentage of its family's normal width.
int stretchOf(const QFont& font)
{
    return font.stretch() > 0 ? font.stretch() : 100;
}

// Eight megabytes in one line: typing, moving the caret, selecting all and copying, a click and a
// repaint each take a few milliseconds, not the time to lay out the whole line.
TEST_F(LineField, EightMegabytesInOneLineStayQuick)
{
    const QString list = commaList(1'000'000);
    field->setText(list);
    field->SetFocus();
    QWidget* w = field->widget();
    QTRY_VERIFY(w->hasFocus());
    const int budget = testsupport::timeBudgetMs(150);

    EXPECT_LT(msFor([&] { press(w, Qt::Key_End); }), budget);
    EXPECT_LT(msFor([&] { press(w, Qt::Key_5, Qt::NoModifier, QStringLiteral("5")); }), budget) << "typing";
    EXPECT_LT(msFor([&] { w->repaint(); }), budget) << "painting";
    EXPECT_EQ(field->TextLength(), list.size() + 1);
    EXPECT_EQ(field->SelStart(), list.size() + 1);
    EXPECT_LT(msFor([&] { press(w, Qt::Key_Left); }), budget);
    EXPECT_EQ(field->SelStart(), list.size());
    EXPECT_LT(msFor([&] { press(w, Qt::Key_Backspace); }), budget) << "deleting";
    EXPECT_TRUE(field->Text() == list.chopped(1) + u'5');
    EXPECT_LT(msFor([&] { press(w, Qt::Key_Home); }), budget);
    EXPECT_EQ(field->SelStart(), 0);
    EXPECT_LT(msFor([&] { press(w, Qt::Key_End, Qt::ShiftModifier); }), budget);
    EXPECT_EQ(field->SelLength(), list.size());

    // A click lands among the characters shown, here near the end of the line.
    EXPECT_LT(msFor([&] { QTest::mouseClick(field->textPane()->viewport(), Qt::LeftButton, {}, QPoint(8, 11)); }),
              budget) << "clicking";
    EXPECT_GT(field->SelStart(), list.size() - 100);

    QGuiApplication::clipboard()->clear();
    EXPECT_LT(msFor([&] {
        press(w, Qt::Key_A, Qt::ControlModifier);
        press(w, Qt::Key_C, Qt::ControlModifier);
    }),
              budget) << "select all and copy";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), field->Text()) << "every character is copied";

    // The undo history is bounded in memory: of three pastes of 8 MB over the whole text, only the
    // newest can be undone.
    for (const char16_t digit : {u'7', u'8', u'9'}) {
        QGuiApplication::clipboard()->setText(QString(list.size(), QChar(digit)));
        press(w, Qt::Key_A, Qt::ControlModifier);
        press(w, Qt::Key_V, Qt::ControlModifier);
    }
    for (int i = 0; i < 3; ++i)
        press(w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(field->Text() == QString(list.size(), u'8'));
}

// The end of a long line shows the same characters as the same end alone: nothing is cut, no x runs
// out of range, whatever came before.
TEST_F(LineField, TheEndOfALongLineShowsAsTyped)
{
    const QString list = commaList(1'000'000);
    const QString tail = list.right(300);
    auto* shortField = addField(50);
    field->setText(list);
    shortField->setText(tail);
    testsupport::settle();
    EXPECT_EQ(field->SelStart(), field->TextLength()) << "the caret goes to the end, as in a line edit";
    const QImage tailAlone = shot(shortField);
    const auto [left, right] = inkColumns(tailAlone);
    ASSERT_LT(left, right) << "nothing drawn";
    EXPECT_TRUE(shot(field) == tailAlone);
}

// The mask limits what the user types and pastes, never what code sets: typing that leaves anything
// but digits is refused, while text from outside (a paste, an assistive tool) keeps its digits, as
// many as there are places left, so a number copied with a line end or blanks goes in.
TEST_F(LineField, MaskFiltersTypingOnly)
{
    field->setMask(QStringLiteral("###"));
    const auto paste = [](const QString& text) {
        return [text](QWidget* w) {
            QGuiApplication::clipboard()->setText(text);
            press(w, Qt::Key_V, Qt::ControlModifier);
        };
    };
    const auto assistiveInsert = [](const QString& text) {
        return [text](QWidget* w) {
            QAccessibleInterface* view = QAccessible::queryAccessibleInterface(w);
            view->editableTextInterface()->insertText(view->textInterface()->cursorPosition(), text);
        };
    };
    const struct {
        const char* label;
        QString before;
        std::function<void(QWidget*)> edit;
        QString after;
    } cases[] = {
        {"digits up to the places", "", [](QWidget* w) { QTest::keyClicks(w, QStringLiteral("1234")); }, "123"},
        {"a letter", "4", [](QWidget* w) { QTest::keyClicks(w, QStringLiteral("a")); }, "4"},
        {"a letter after digits", "", [](QWidget* w) { QTest::keyClicks(w, QStringLiteral("4x5")); }, "45"},
        {"a paste with a letter", "", paste(QStringLiteral("5x")), "5"},
        {"a paste of digits", "", paste(QStringLiteral("56")), "56"},
        {"a paste ending in a line end", "", paste(QStringLiteral("45\n")), "45"},
        {"a paste ending in a Windows line end", "", paste(QStringLiteral("45\r\n")), "45"},
        {"a paste after blanks", "", paste(QStringLiteral(" 12")), "12"},
        {"a paste with a letter inside", "", paste(QStringLiteral("4x5")), "45"},
        {"a paste beyond the places", "1", paste(QStringLiteral("2345")), "123"},
        {"a paste into a full field", "123", paste(QStringLiteral("4")), "123"},
        {"a paste of letters only", "", paste(QStringLiteral("abc")), ""},
        {"a paste of letters over a selection", "78",
         [&](QWidget* w) {
             press(w, Qt::Key_A, Qt::ControlModifier);
             paste(QStringLiteral("ab"))(w);
         },
         "78"},
        {"a paste over a selection", "789",
         [&](QWidget* w) {
             press(w, Qt::Key_A, Qt::ControlModifier);
             paste(QStringLiteral("\t1,2\n"))(w);
         },
         "12"},
        {"an assistive tool's text", "9", assistiveInsert(QStringLiteral("4x5\n")), "945"},
        {"an assistive tool's letters", "9", assistiveInsert(QStringLiteral("x")), "9"},
        {"replacing the selection", "78",
         [](QWidget* w) {
             press(w, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(w, QStringLiteral("9"));
         },
         "9"},
        {"deleting a digit", "78", [](QWidget* w) { press(w, Qt::Key_Backspace); }, "7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(c.before);
        c.edit(field->widget());
        EXPECT_EQ(field->Text(), c.after);
    }
    field->setText(QStringLiteral("abc123"));
    EXPECT_EQ(field->Text(), QStringLiteral("abc123"));
    press(field->widget(), Qt::Key_Home);
    paste(QStringLiteral("7"))(field->widget());
    EXPECT_EQ(field->Text(), QStringLiteral("abc123")) << "a field holding more than digits takes no paste";

    // Without a mask a paste goes in as it came.
    field->setMask(QString());
    field->setText(QString());
    paste(QStringLiteral(" 4x5\n"))(field->widget());
    EXPECT_EQ(field->Text(), QStringLiteral(" 4x5\n"));
}

// A short line stands left, centred or right, mirrored in right-to-left text; a line wider than the
// field starts at its left edge.
TEST_F(LineField, AlignmentPlacesALineThatFits)
{
    const int width = field->widget()->width();
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
    const struct {
        QString text;
        int alignment;
        int centreFrom;
        int centreTo;
    } cases[] = {{QStringLiteral("42"), 1, 0, width / 4},
                 {QStringLiteral("42"), 2, width / 2 - 6, width / 2 + 6},
                 {QStringLiteral("42"), 3, width * 3 / 4, width},
                 {hebrew, 1, width * 3 / 4, width},
                 {hebrew, 2, width / 2 - 12, width / 2 + 12},
                 {hebrew, 3, 0, width / 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alignment);
        field->setText(c.text);
        field->setAlignment(c.alignment);
        const auto [left, right] = inkColumns(shot(field));
        ASSERT_LE(left, right) << "nothing drawn";
        EXPECT_GE((left + right) / 2, c.centreFrom);
        EXPECT_LE((left + right) / 2, c.centreTo);
    }
    field->setText(QString(200, u'8'));
    field->setSelStart(0);
    const auto [left, right] = inkColumns(shot(field));
    EXPECT_LT(left, 10);
    EXPECT_GT(right, width - 10);
}

// A field that shows its text whole (the hit numbers, 37 pixels wide): a number too wide for it in
// its own font shows from its first digit to its last, centred, in the largest narrower font that
// fits, condensed before it is made smaller, so up to nine digits stay readable. That holds after
// every change of the text (set by code or typed), of the font, of the size and of the focus. A text
// that fits keeps the field's own font, also one that fits with less than a pixel to spare, and a
// field that does not show its text whole is never narrowed.
TEST_F(LineField, ANumberTooWideForItsFieldShowsWhole)
{
    fw::EditField* hit = addField(40, 37);
    hit->setAlignment(2);
    hit->setShowWhole(true);
    fw::TextPane* pane = hit->textPane();
    const auto ownPixels = [hit] { return hit->font().size; };
    const auto check = [&](const char* step) {
        SCOPED_TRACE(testing::Message() << step << ": \"" << hit->Text().toStdString() << '"');
        EXPECT_TRUE(showsWhole(*hit));
        const QFont font = pane->font();
        QFont own = font;
        own.setPixelSize(ownPixels());
        own.setStretch(QFont::Unstretched);
        if (QFontMetricsF(own).horizontalAdvance(hit->Text()) < pane->lineRoom() - 1) {
            EXPECT_EQ(font.pixelSize(), ownPixels());
            EXPECT_EQ(stretchOf(font), 100);
        } else if (ownPixels() == 12) {
            // Narrowed to half the width before the size goes down: 6 digits keep the size.
            EXPECT_GE(font.pixelSize(), hit->TextLength() <= 6 ? 12 : hit->TextLength() <= 9 ? 8 : 1);
            EXPECT_TRUE(font.pixelSize() == ownPixels() || stretchOf(font) == QFont::UltraCondensed);
        }
    };

    for (const char* number : {"7", "42", "390000", "1234567", "99999999", "123456789", "2147483647", "3", "0000"}) {
        hit->setText(QLatin1String(number));
        check("set by code");
    }
    hit->SetFocus();
    QTRY_VERIFY(pane->hasFocus());
    press(pane, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    for (const QChar digit : QStringLiteral("123456")) {
        QTest::keyClick(pane, digit.toLatin1());
        check("typed");
    }
    EXPECT_EQ(hit->Text(), QStringLiteral("123456"));
    fw::EditField* other = addField(80);
    other->SetFocus();
    QTRY_VERIFY(other->widget()->hasFocus());
    check("focus left");
    QTest::keyClick(other->widget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(pane->hasFocus());
    EXPECT_EQ(hit->SelText(), QStringLiteral("123456"));
    check("focus back by Tab");
    other->SetFocus();
    QTRY_VERIFY(other->widget()->hasFocus());

    hit->setTextSize(16);
    check("a larger font");
    hit->setText(QStringLiteral("7"));
    check("a larger font, one digit");
    hit->setTextSize(12);
    hit->setText(QStringLiteral("1234567"));
    hit->setWidth(100);
    check("widened");
    hit->setWidth(37);
    check("narrowed again");

    // A text too wide for the field's margins takes the whole width inside the frame, less a pixel each
    // side, before it is narrowed: four digits keep the field's own font in the 37-pixel field.
    hit->setText(QStringLiteral("7"));
    const qreal standardRoom = pane->lineRoom();
    hit->setText(QStringLiteral("1234"));
    check("four digits");
    EXPECT_GT(pane->lineTextWidth(1e6), standardRoom);
    EXPECT_EQ(stretchOf(pane->font()), 100) << "narrowed while the frame had room";
    const qreal wholeRoom = pane->lineRoom();
    EXPECT_GE(wholeRoom, 37 - 2 * pane->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 3);

    // The longest text that fits that room, the field made exactly as wide as it needs: own font.
    hit->setWidth(200);
    hit->setText(QStringLiteral("1234567"));
    const qreal needed = pane->lineTextWidth(1e6);
    const int width = 37 + int(std::ceil(needed - wholeRoom));
    hit->setWidth(width);
    EXPECT_LT(pane->lineRoom() - needed, 1);
    check("just fits");
    EXPECT_EQ(pane->font().pixelSize(), 12);
    EXPECT_EQ(stretchOf(pane->font()), 100) << "a text that fits is never narrowed";
    hit->setWidth(width - 1);
    EXPECT_LT(stretchOf(pane->font()), 100) << "one pixel less";
    check("one pixel too narrow");
    hit->setWidth(37);

    // A field that scrolls (the range bounds) keeps its own font whatever it holds.
    fw::EditField* range = addField(120, 33);
    range->setMask(QString(22, u'#'));
    range->setText(QStringLiteral("9999999999"));
    range->setWidth(35);
    range->SetFocus();
    QTRY_VERIFY(range->widget()->hasFocus());
    EXPECT_EQ(range->textPane()->font().pixelSize(), 12);
    EXPECT_EQ(stretchOf(range->textPane()->font()), 100);
}

// Return and Enter reach KeyDown and then the window, never a line break; Up and Down move nothing;
// what an input method commits is typed.
TEST_F(LineField, KeysForTheWindowLeaveTheTextAlone)
{
    QStringList fieldKeys;
    field->KeyDown = [&fieldKeys](fw::EditField&, const QString& key) {
        fieldKeys << key;
        return false;
    };
    field->setText(QStringLiteral("ab\ncd"));
    const int end = field->TextLength();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp}) {
        SCOPED_TRACE(key);
        fieldKeys.clear();
        window->keys.clear();
        press(field->widget(), key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier,
              key == Qt::Key_Return || key == Qt::Key_Enter ? QStringLiteral("\r") : QString());
        EXPECT_EQ(field->Text(), QStringLiteral("ab\ncd"));
        EXPECT_EQ(field->SelStart(), end);
        EXPECT_EQ(fieldKeys.size(), 1);
        EXPECT_EQ(window->keys.size(), 1) << "the key goes on to the window";
    }
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("\u00e9"));
    QApplication::sendEvent(field->widget(), &composed);
    EXPECT_EQ(field->Text(), QStringLiteral("ab\ncd\u00e9"));
}

// Tab into a field selects its whole text; leaving drops the selection; Ctrl+Z undoes typing, as far
// back as the history's bounds keep it.
TEST_F(LineField, TabSelectsAllAndCtrlZUndoes)
{
    auto* second = addField(50);
    second->setText(QStringLiteral("second"));
    field->setText(QStringLiteral("first"));
    field->SetFocus();
    QTRY_VERIFY(field->widget()->hasFocus());
    QTest::keyClick(field->widget(), Qt::Key_Tab);
    QTRY_VERIFY(second->widget()->hasFocus());
    EXPECT_EQ(second->SelStart(), 0);
    EXPECT_EQ(second->SelText(), QStringLiteral("second"));

    // Typing in a row is one step; a paste is another.
    QTest::keyClicks(second->widget(), QStringLiteral("xy"));
    QGuiApplication::clipboard()->setText(QStringLiteral("+"));
    press(second->widget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("xy+"));
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("xy"));
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("second"));
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("xy"));

    press(second->widget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(second->widget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(field->widget()->hasFocus());
    EXPECT_EQ(second->SelLength(), 0) << "leaving the field drops its selection";
    EXPECT_EQ(field->SelText(), QStringLiteral("first"));

    // The history's bounds drop the oldest steps, never the newest: after more steps than it holds,
    // undo goes back no further than the oldest kept; after a paste larger than all the text it may
    // hold, that paste alone is kept and undone.
    const auto pasteText = [&](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        press(second->widget(), Qt::Key_V, Qt::ControlModifier);
    };
    second->setText(QString());
    for (size_t i = 0; i <= fw::TextPane::MaxUndoSteps; ++i)
        pasteText(QStringLiteral("x"));
    for (size_t i = 0; i <= fw::TextPane::MaxUndoSteps; ++i)
        press(second->widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("x"));
    second->setText(QStringLiteral("ab"));
    QTest::keyClicks(second->widget(), QStringLiteral("c"));
    const QString huge(fw::TextPane::MaxUndoUnits + 1, u'7');
    pasteText(huge);
    EXPECT_EQ(second->TextLength(), huge.size() + 3);
    QGuiApplication::clipboard()->clear();
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(second->TextLength(), 3) << "the newest step stays, however large";
    EXPECT_EQ(second->Text(), QStringLiteral("abc"));
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(second->Text(), QStringLiteral("abc")) << "the steps before it went";
    press(second->widget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(second->TextLength(), huge.size() + 3);
    second->setText(QString());
}

// A TextChange handler that sets the text anew, as the hit-number fields clamp what the user enters,
// runs with the caret already after the user's edit, and leaves the caret where its own text put it:
// the user goes on editing that text.
TEST_F(LineField, AHandlerThatSetsTheTextAnewKeepsTheCaretInIt)
{
    field->setMask(QStringLiteral("######"));
    std::vector<std::pair<int, int>> seen; // caret and length, as the handler found them
    field->TextChange = [&seen](fw::EditField& f) {
        seen.emplace_back(f.SelStart(), f.TextLength());
        if (f.Text().startsWith(u'0') || f.TextLength() > 4)
            f.setText(QStringLiteral("1"));
    };
    const auto paste = [this](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        press(field->widget(), Qt::Key_V, Qt::ControlModifier);
    };
    const struct {
        const char* label;
        QString before;
        std::function<void()> edit;
        QString after;
    } cases[] = {
        {"a paste set anew", "", [&] { paste(QStringLiteral("000000")); }, "1"},
        {"typing set anew", "12", [&] {
             press(field->widget(), Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(field->widget(), QStringLiteral("0"));
         }, "1"},
        {"typing past four digits", "", [&] { QTest::keyClicks(field->widget(), QStringLiteral("98765")); }, "1"},
        {"a paste kept", "", [&] { paste(QStringLiteral("42")); }, "42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(c.before);
        seen.clear();
        c.edit();
        EXPECT_EQ(field->Text(), c.after);
        for (const auto& [caret, length] : seen)
            EXPECT_LE(caret, length) << "the handler found the caret outside the text";
        EXPECT_EQ(field->SelStart(), field->TextLength());
        QTest::keyClicks(field->widget(), QStringLiteral("3"));
        EXPECT_EQ(field->Text(), c.after + QStringLiteral("3")) << "typing goes on at the end";
        press(field->widget(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(field->Text(), c.after);
    }
}

// An index shifted by replace converts every position as one built afresh over the edited text:
// random edits of texts of letters, line ends, pairs and lone halves, cutting pairs and joining halves.
TEST(CharIndexReplace, AgreesWithAFreshIndex)
{
    const QString pieces[] = {QStringLiteral("a"), QStringLiteral("\n"), QString(QChar(0xD83D)),
                              QString(QChar(0xDE00)), QString::fromUtf8("\xF0\x9F\x98\x80")};
    std::mt19937 random(7);
    const auto randomText = [&](int maxPieces) {
        QString text;
        for (int n = int(random() % (maxPieces + 1)); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        QString text = randomText(8);
        fw::CharIndex shifted;
        shifted.reset(text);
        const int from = int(random() % (text.size() + 1));
        const int to = from + int(random() % (text.size() - from + 1));
        const QString with = randomText(3);
        text.replace(from, to - from, with);
        shifted.replace(from, to, int(with.size()), text);
        fw::CharIndex fresh;
        fresh.reset(text);
        ASSERT_EQ(shifted.charLength(), fresh.charLength()) << round;
        for (int u = 0; u <= text.size(); ++u)
            ASSERT_EQ(shifted.toChar(u), fresh.toChar(u)) << round << " unit " << u;
        for (int c = 0; c <= fresh.charLength(); ++c)
            ASSERT_EQ(shifted.toUtf16(c), fresh.toUtf16(c)) << round << " char " << c;
    }
}

// Edits adding and removing line ends leave one line: Home and End after each edit reach the ends
// of the whole text.
TEST_F(LineField, EditsAcrossLineEndsKeepOneLine)
{
    field->setText(QStringLiteral("ab\ncd\nef"));
    QWidget* w = field->widget();
    const auto lineAround = [&] {
        press(w, Qt::Key_Home);
        const int start = field->SelStart();
        press(w, Qt::Key_End, Qt::ShiftModifier);
        return field->Text().mid(start, field->SelLength());
    };
    field->setSelStart(4); // "c|d"
    EXPECT_EQ(lineAround(), QStringLiteral("ab\ncd\nef"));
    field->setSelStart(1);
    field->setSelLength(5); // "b\ncd\n" goes
    QTest::keyClicks(w, QStringLiteral("X"));
    EXPECT_EQ(field->Text(), QStringLiteral("aXef"));
    EXPECT_EQ(lineAround(), QStringLiteral("aXef"));
    QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n2"));
    field->setSelStart(2);
    press(w, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->Text(), QStringLiteral("aX1\r\n2ef"));
    EXPECT_EQ(lineAround(), QStringLiteral("aX1\r\n2ef"));
    EXPECT_EQ(field->textPane()->lineCount(), 1);
    press(w, Qt::Key_Z, Qt::ControlModifier);
    field->setSelStart(1);
    EXPECT_EQ(lineAround(), QStringLiteral("aXef"));
}

// Pasted line ends break nothing: the whole text stays on the field's one line, each line end drawn
// in its place as a mark of its own (laid out as the mark character typed there would be, but dim),
// and the text keeps the characters themselves.
TEST_F(LineField, LineEndsShowAsMarksOnTheOneLine)
{
    auto* typedMarks = addField(50);
    const struct {
        const char* label;
        QString text;
    } cases[] = {
        {"a pasted column", QStringLiteral("100\n200\r\n300,400")},
        {"carriage returns only", QStringLiteral("1\r2\r3")},
        {"line ends at both ends", QStringLiteral("\n42\r")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText({});
        QGuiApplication::clipboard()->setText(c.text);
        press(field->widget(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(field->Text(), c.text);
        EXPECT_EQ(field->textPane()->lineCount(), 1);
        QString marked = c.text;
        marked.replace(u'\r', u'\u21B5').replace(u'\n', u'\u21B5');
        typedMarks->setText(marked);
        const QImage shown = shot(field);
        const QImage expected = shot(typedMarks);
        const auto [left, right] = inkColumns(shown);
        ASSERT_LT(left, right) << "nothing drawn";
        EXPECT_EQ(inkColumns(shown), inkColumns(expected)) << "the first and last characters stand where they should";
        EXPECT_FALSE(shown == expected) << "the marks are drawn dim, unlike the text's own characters";
    }
}

// The caret crosses each line end as one character, moving right at every step; a double-click on a
// mark between marks selects its one character, Backspace deletes one, copying gives the text as it is.
TEST_F(LineField, CaretCrossesLineEndsOneCharacterAtATime)
{
    const QString text = QStringLiteral("100\n200\r\n300,400");
    field->setText(text);
    field->SetFocus();
    QWidget* w = field->widget();
    QTRY_VERIFY(w->hasFocus());
    QWidget* view = field->textPane()->viewport();
    const auto caretX = [&] {
        view->repaint();
        return w->inputMethodQuery(Qt::ImCursorRectangle).toRectF().x() - view->x();
    };
    press(w, Qt::Key_Home);
    std::vector<qreal> xs{caretX()};
    for (int i = 1; i <= text.size(); ++i) {
        press(w, Qt::Key_Right);
        ASSERT_EQ(field->SelStart(), i);
        xs.push_back(caretX());
        ASSERT_GT(xs[size_t(i)], xs[size_t(i) - 1]) << "step " << i;
    }
    // The left half of the pair's second mark: its "\n" alone.
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(int(xs[8]) + 2, view->height() / 2));
    EXPECT_EQ(field->SelText(), QStringLiteral("\n"));

    QGuiApplication::clipboard()->clear();
    press(w, Qt::Key_A, Qt::ControlModifier);
    press(w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);

    field->setSelStart(9);
    press(w, Qt::Key_Backspace);
    EXPECT_EQ(field->Text(), QStringLiteral("100\n200\r300,400"));
}

// A selection the user makes with the keyboard or the mouse becomes the primary selection (one from
// code does not); a middle click pastes it at the click and a drop goes in at the drop point, both
// through the mask, which keeps their digits; selecting all of a report of a million lines hands it
// over without its text.
TEST_F(LineField, PrimarySelectionMiddleClickAndDropsGoThroughTheMask)
{
    fw::TextPane::setPrimarySelectionEmulated(true);
    fw::TextPane* pane = field->textPane();
    field->setText(QStringLiteral("12,345"));
    pane->setFocus();
    press(pane, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(fw::TextPane::primarySelectionText(), QStringLiteral("12,345"));
    field->setSelStart(1);
    field->setSelLength(2);
    EXPECT_EQ(fw::TextPane::primarySelectionText(), QStringLiteral("12,345")) << "a selection from code";
    int wordX = 0;
    while (wordX < 200 && pane->charPosAt(QPoint(wordX, 11)) < 5)
        ++wordX;
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, QPoint(wordX, 11));
    QTest::mouseRelease(pane->viewport(), Qt::LeftButton, {}, QPoint(wordX, 11));
    EXPECT_EQ(fw::TextPane::primarySelectionText(), QStringLiteral("345"));

    fw::EditField* digits = addField(40);
    digits->setMask(QStringLiteral("######"));
    digits->setText(QStringLiteral("9"));
    QWidget* viewport = digits->textPane()->viewport();
    QTest::mouseClick(viewport, Qt::MiddleButton, {}, QPoint(1, 11));
    EXPECT_EQ(digits->Text(), QStringLiteral("3459"));
    // A drop offered as a copy or a move and proposed as a move (Shift held): the action the field
    // took it as, or none when it refused it.
    const auto drop = [viewport](const QString& text) -> std::optional<Qt::DropAction> {
        QMimeData data;
        data.setText(text);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(1, 11), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(QPointF(1, 11), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(viewport, &dropped);
        if (!enter.isAccepted() || !dropped.isAccepted())
            return std::nullopt;
        EXPECT_EQ(dropped.proposedAction(), Qt::MoveAction);
        return dropped.dropAction();
    };
    EXPECT_EQ(drop(QStringLiteral("12")), Qt::MoveAction);
    EXPECT_EQ(digits->Text(), QStringLiteral("123459"));
    EXPECT_EQ(drop(QStringLiteral("7")), std::nullopt) << "no place left";
    digits->setText(QStringLiteral("99"));
    EXPECT_EQ(drop(QStringLiteral(" 4x\n")), Qt::CopyAction) << "the source keeps what did not go in";
    EXPECT_EQ(digits->Text(), QStringLiteral("499"));
    EXPECT_EQ(drop(QStringLiteral("x")), std::nullopt);
    digits->setText(QStringLiteral("99"));
    pane->setFocus();
    press(pane, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
    QTest::mouseClick(viewport, Qt::MiddleButton, {}, QPoint(1, 11));
    EXPECT_EQ(digits->Text(), QStringLiteral("123499")) << "the comma list's digits, as many as there are places";

    // A number copied from a report by a triple-click on its line ends in a line end; pasted, its
    // digits go in.
    auto* numbers = window->add(new fw::EditField(true), QStringLiteral("EF_numbers"), 240, 10, 150, 60);
    numbers->setReadOnly(true);
    numbers->setText(QStringLiteral("390000\nninety\n"));
    QWidget* numbersView = numbers->textPane()->viewport();
    QTest::mouseDClick(numbersView, Qt::LeftButton, {}, QPoint(12, 8));
    QTest::mouseClick(numbersView, Qt::LeftButton, {}, QPoint(12, 8));
    ASSERT_EQ(numbers->SelText(), QStringLiteral("390000\n"));
    numbers->textPane()->setFocus();
    press(numbers->textPane(), Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("390000\n"));
    digits->setText(QString());
    digits->textPane()->setFocus();
    press(digits->textPane(), Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
    EXPECT_EQ(digits->Text(), QStringLiteral("390000"));

    auto* report = window->add(new fw::EditField(true), QStringLiteral("EF_report"), 10, 80, 400, 100);
    report->setReadOnly(true);
    auto shared = std::make_shared<fw::SharedText>();
    QString lines;
    for (int i = 0; i < 1000; ++i)
        lines += QStringLiteral("%1 words\n").arg(i, 7);
    for (int i = 0; i < 1000; ++i)
        shared->append(lines);
    report->showSharedText(shared);
    report->textPane()->setFocus();
    const qint64 ms = msFor([&] { press(report->textPane(), Qt::Key_A, Qt::ControlModifier, QString(QChar(1))); });
    EXPECT_LT(ms, testsupport::timeBudgetMs(20));
    QTest::mouseClick(report->textPane()->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
    EXPECT_EQ(report->TextLength(), shared->text().size()) << "a read-only pane takes no paste";
    const QString primary = fw::TextPane::primarySelectionText();
    EXPECT_EQ(primary.size(), shared->text().size());
    EXPECT_TRUE(primary.endsWith(QStringLiteral("    999 words\n")));
    fw::TextPane::setPrimarySelectionEmulated(false);
}

// The frame shows the focus even where no caret does, and stays whole at fractional scales, on every
// side, wherever the field stands.
TEST_F(LineField, FrameShowsTheFocusAndStaysWholeWhenScaled)
{
    field->setText(QStringLiteral("123"));
    field->setReadOnly(true);
    const QImage unfocused = shot(field);
    field->SetFocus();
    QTRY_VERIFY(field->widget()->hasFocus());
    EXPECT_NE(shot(field), unfocused) << "a focused field with no caret looks unfocused";

    QWidget* w = field->widget();
    const QColor background = w->palette().color(QPalette::Window);
    for (const qreal scale : {1.5, 1.25, 1.75}) {
        for (const int offset : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << ", offset " << offset);
            // The field drawn as part of a scaled window, its top-left corner at a fractional device pixel.
            QImage image((QSizeF(w->size() + QSize(offset + 2, offset + 2)) * scale).toSize(),
                         QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(background);
            {
                QPainter painter(&image);
                w->render(&painter, QPoint(offset, offset), QRegion(), QWidget::DrawChildren);
            }
            const QRgb base = image.pixel(int((offset + w->width() / 2) * scale), int((offset + w->height() / 2) * scale));
            const auto edgeInk = [&](int x, int y, int dx, int dy) {
                // Walking inwards from just outside the field, a pixel that is neither window nor base.
                for (int i = 0; i < 5; ++i, x += dx, y += dy) {
                    const QRgb p = image.pixel(x, y);
                    if (p != background.rgb() && p != base)
                        return true;
                }
                return false;
            };
            const int left = int(std::floor(offset * scale)) - 1;
            const int top = left;
            const int right = int(std::ceil((offset + w->width()) * scale));
            const int bottom = int(std::ceil((offset + w->height()) * scale));
            for (int x = left + 8; x < right - 8; ++x) {
                ASSERT_TRUE(edgeInk(x, std::max(0, top), 0, 1)) << "top border missing at x " << x;
                ASSERT_TRUE(edgeInk(x, bottom, 0, -1)) << "bottom border missing at x " << x;
            }
            for (int y = top + 8; y < bottom - 8; ++y) {
                ASSERT_TRUE(edgeInk(std::max(0, left), y, 1, 0)) << "left border missing at y " << y;
                ASSERT_TRUE(edgeInk(right, y, -1, 0)) << "right border missing at y " << y;
            }
        }
    }
}

// The input method's queries, told from a window around the caret in a long text; a composed text
// is drawn at the caret, in place of the selection, which the commit then replaces.
TEST_F(LineField, InputMethodQueriesAndComposing)
{
    QWidget* w = field->widget();
    auto* masked = addField(50);
    masked->setMask(QStringLiteral("###"));
    const QString list = commaList(1'000'000);
    struct Query {
        Qt::InputMethodQuery query;
        QVariant expected;
    };
    const struct {
        const char* label;
        fw::EditField* field;
        QString text;
        int anchor;
        int caret;
        std::vector<Query> queries;
    } cases[] = {
        {"caret inside", field, QStringLiteral("12345"), 2, 2,
         {{Qt::ImEnabled, true},
          {Qt::ImSurroundingText, QStringLiteral("12345")},
          {Qt::ImCursorPosition, 2},
          {Qt::ImAnchorPosition, 2},
          {Qt::ImCurrentSelection, QString()},
          {Qt::ImTextBeforeCursor, QStringLiteral("12")},
          {Qt::ImTextAfterCursor, QStringLiteral("345")},
          {Qt::ImHints, int(Qt::ImhNone)},
          {Qt::ImMaximumTextLength, QVariant()}}},
        {"selection backwards", field, QStringLiteral("12345"), 4, 1,
         {{Qt::ImCursorPosition, 1}, {Qt::ImAnchorPosition, 4}, {Qt::ImCurrentSelection, QStringLiteral("234")}}},
        {"digit mask", masked, QStringLiteral("7"), 1, 1,
         {{Qt::ImHints, int(Qt::ImhDigitsOnly)}, {Qt::ImMaximumTextLength, 3}, {Qt::ImSurroundingText, QStringLiteral("7")}}},
        {"eight megabytes, caret in the middle", field, list, 4'000'000, 4'000'000,
         {{Qt::ImAbsolutePosition, 4'000'000}, {Qt::ImCurrentSelection, QString()}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        c.field->setText(c.text);
        c.field->textPane()->setSelection(c.anchor, c.caret);
        QWidget* target = c.field->widget();
        for (const Query& q : c.queries) {
            SCOPED_TRACE(q.query);
            EXPECT_EQ(target->inputMethodQuery(q.query), q.expected);
        }
        // The surroundings are a window of the text, bounded, and the cursor stands where the caret does.
        QElapsedTimer timer;
        timer.start();
        const QString around = target->inputMethodQuery(Qt::ImSurroundingText).toString();
        const int cursor = target->inputMethodQuery(Qt::ImCursorPosition).toInt();
        EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(20));
        EXPECT_LE(around.size(), 4096);
        EXPECT_EQ(around.left(cursor), c.text.left(c.caret).right(cursor));
        EXPECT_TRUE(c.text.mid(c.caret).startsWith(around.mid(cursor)));
    }

    field->setText(QStringLiteral("12345"));
    field->SetFocus();
    QTRY_VERIFY(w->hasFocus());
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0); // a caret that never blinks, for steady pictures
    field->textPane()->setSelection(1, 3);
    const QImage before = shot(field);
    const qreal caretBefore = w->inputMethodQuery(Qt::ImCursorRectangle).toRectF().x();
    QTextCharFormat underlined;
    underlined.setFontUnderline(true);
    QInputMethodEvent composing(QStringLiteral("WWWW"), {{QInputMethodEvent::TextFormat, 0, 4, underlined},
                                                        {QInputMethodEvent::Cursor, 2, 1, QVariant()}});
    QApplication::sendEvent(w, &composing);
    EXPECT_EQ(field->Text(), QStringLiteral("12345")) << "a composed text is no edit yet";
    const QImage composed = shot(field);
    EXPECT_NE(composed, before) << "the composed text is not drawn";
    EXPECT_GT(inkColumns(composed).second, inkColumns(before).second + 10);
    const qreal caretComposing = w->inputMethodQuery(Qt::ImCursorRectangle).toRectF().x();
    EXPECT_GT(caretComposing, caretBefore + 5) << "the caret stands inside the composed text";

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("x"));
    QApplication::sendEvent(w, &commit);
    EXPECT_EQ(field->Text(), QStringLiteral("1x45"));
    EXPECT_EQ(field->SelStart(), 2);
    EXPECT_EQ(field->SelLength(), 0);

    // A click or the loss of the focus ends a composition where it stands, as typed text.
    QInputMethodEvent composingAgain(QStringLiteral("yz"), {});
    QApplication::sendEvent(w, &composingAgain);
    QTest::mouseClick(field->textPane()->viewport(), Qt::LeftButton, {}, QPoint(2, w->height() / 2));
    EXPECT_EQ(field->Text(), QStringLiteral("1xyz45"));
    EXPECT_EQ(field->SelStart(), 0) << "the click still places the caret";
    QInputMethodEvent composingLast(QStringLiteral("q"), {});
    QApplication::sendEvent(w, &composingLast);
    w->clearFocus();
    EXPECT_EQ(field->Text(), QStringLiteral("q1xyz45"));
    QApplication::setCursorFlashTime(flashTime);
}

// One step of a sequence given to both fields: a key, or a click or double-click at a fraction of the
// way from where the caret stands at the text's start to where it stands at its end (a click at once
// after a double-click is a triple-click).
struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QString text = {};
};
struct Click {
    qreal at;
    int count = 1;
};
using Step = std::variant<Key, Click>;

Key ctrl(Qt::Key key)
{
    return {key, Qt::ControlModifier};
}
Key ctrlShift(Qt::Key key)
{
    return {key, Qt::ControlModifier | Qt::ShiftModifier};
}
Key typed(char16_t c)
{
    return {Qt::Key_unknown, Qt::NoModifier, QString(QChar(c))};
}

// Code points in the first units of a text.
int charsIn(const QString& text, int units)
{
    return int(QStringView(text).left(units).toUcs4().size());
}

// The same keys and clicks leave a line edit and the field with the same text, caret and selection
// (counted in characters), and the caret on the same side, after every step: word moves and deletes,
// characters of several code points, triple-click, undo, right-to-left text.
TEST_F(LineField, KeysAndClicksDoWhatALineEditDoes)
{
    auto* reference = new QLineEdit(window);
    reference->setGeometry(10, 50, 220, 22);
    reference->setFocusPolicy(Qt::NoFocus); // the field keeps the focus
    reference->setFont(field->widget()->font());
    reference->show();
    field->SetFocus();
    QWidget* w = field->widget();
    QWidget* view = field->textPane()->viewport();
    QTRY_VERIFY(w->hasFocus());
    const auto fieldCaretX = [&] {
        view->repaint();
        return w->inputMethodQuery(Qt::ImCursorRectangle).toRectF().center().x();
    };
    const auto referenceCaretX = [&] {
        reference->repaint(); // where the text stands is worked out in painting
        return reference->inputMethodQuery(Qt::ImCursorRectangle).toRectF().center().x();
    };
    const QString hebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD");
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString flag = QStringLiteral("\U0001F1EB\U0001F1F7");
    const struct {
        const char* label;
        QString text;
        std::vector<Step> steps;
    } cases[] = {
        {"words forward", QStringLiteral("alpha beta, gamma-delta  (x) 1,200"),
         {Key{Qt::Key_Home}, ctrl(Qt::Key_Right), ctrl(Qt::Key_Right), ctrl(Qt::Key_Right), ctrl(Qt::Key_Right),
          ctrl(Qt::Key_Right), ctrl(Qt::Key_Right), ctrl(Qt::Key_Right), ctrl(Qt::Key_Right), ctrl(Qt::Key_Right)}},
        {"words backward and selected", QStringLiteral("alpha beta, gamma-delta  (x)"),
         {ctrl(Qt::Key_Left), ctrl(Qt::Key_Left), ctrl(Qt::Key_Left), ctrlShift(Qt::Key_Left),
          ctrlShift(Qt::Key_Left), ctrlShift(Qt::Key_Right), ctrlShift(Qt::Key_Right), ctrlShift(Qt::Key_Right)}},
        {"words deleted and undone", QStringLiteral("one two, three four"),
         {ctrl(Qt::Key_Backspace), ctrl(Qt::Key_Backspace), Key{Qt::Key_Home}, ctrl(Qt::Key_Delete),
          ctrl(Qt::Key_Delete), ctrl(Qt::Key_Z), ctrl(Qt::Key_Z), ctrl(Qt::Key_Z), ctrlShift(Qt::Key_Z)}},
        {"a letter with its mark", QStringLiteral("e\u0301x"),
         {Key{Qt::Key_Left}, Key{Qt::Key_Left}, typed(u'Z'), Key{Qt::Key_Right, Qt::ShiftModifier},
          Key{Qt::Key_Left}, Key{Qt::Key_Delete}}},
        {"a flag", QStringLiteral("a") + flag + QStringLiteral("b"),
         {Key{Qt::Key_Left}, Key{Qt::Key_Backspace}, Key{Qt::Key_Home}, Key{Qt::Key_Right},
          Key{Qt::Key_Right}, Key{Qt::Key_Left, Qt::ShiftModifier}, Key{Qt::Key_Delete}}},
        {"an emoji sequence", QStringLiteral("x") + family + QStringLiteral("y"),
         {Key{Qt::Key_Home}, Key{Qt::Key_Right}, Key{Qt::Key_Right}, Key{Qt::Key_Left}, Key{Qt::Key_Delete}}},
        {"clicks among marks", QStringLiteral("ae\u0301b ") + flag + QStringLiteral("c"),
         {Click{0.1}, Click{0.2}, Click{0.3}, Click{0.45}, Click{0.6}, Click{0.75}, Click{0.9}}},
        {"a triple-click", QStringLiteral("one two three"), {Click{0.5, 2}, Click{0.5}, typed(u'X')}},
        {"Backspaces undone in one step", QStringLiteral("abcd"),
         {Key{Qt::Key_Backspace}, Key{Qt::Key_Backspace}, Key{Qt::Key_Backspace}, ctrl(Qt::Key_Z),
          ctrlShift(Qt::Key_Z), ctrl(Qt::Key_Z)}},
        {"Deletes, typing and Backspace undone", QStringLiteral("abcdef"),
         {Key{Qt::Key_Home}, Key{Qt::Key_Delete}, Key{Qt::Key_Delete}, typed(u'x'), typed(u'y'),
          Key{Qt::Key_Backspace}, ctrl(Qt::Key_Z), ctrl(Qt::Key_Z), ctrl(Qt::Key_Z), ctrl(Qt::Key_Z)}},
        {"a replaced selection undone", QStringLiteral("hello world"),
         {ctrlShift(Qt::Key_Left), typed(u'y'), typed(u'o'), ctrl(Qt::Key_Z), ctrl(Qt::Key_Z)}},
        {"right-to-left text", hebrew,
         {Key{Qt::Key_Home}, Key{Qt::Key_Right}, Key{Qt::Key_Left}, Key{Qt::Key_Left},
          Key{Qt::Key_Left, Qt::ShiftModifier}, ctrl(Qt::Key_Right), ctrl(Qt::Key_Left), Key{Qt::Key_End},
          Click{0.55}, Click{0.83}}},
        {"right-to-left text with a left-to-right word", hebrew + QStringLiteral(" abc 12"),
         {Key{Qt::Key_Home}, Key{Qt::Key_Left}, Key{Qt::Key_Left}, ctrl(Qt::Key_Left), ctrl(Qt::Key_Left),
          ctrlShift(Qt::Key_Right), Key{Qt::Key_End}, Key{Qt::Key_Right}, ctrl(Qt::Key_Backspace)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(c.text);
        reference->setText(c.text);
        // Where the caret stands at both ends of the text, for the clicks.
        reference->setCursorPosition(0);
        const qreal referenceFrom = referenceCaretX();
        reference->setCursorPosition(int(c.text.size()));
        const qreal referenceTo = referenceCaretX();
        field->setSelStart(0);
        const qreal fieldFrom = fieldCaretX();
        field->setSelStart(field->TextLength());
        const qreal fieldTo = fieldCaretX();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(i);
            if (const Key* key = std::get_if<Key>(&c.steps[i])) {
                press(w, key->key, key->modifiers, key->text);
                press(reference, key->key, key->modifiers, key->text);
            } else {
                const Click& click = std::get<Click>(c.steps[i]);
                const auto clicks = [&](QWidget* target, qreal x) {
                    const QPoint p(int(x), target->height() / 2);
                    if (click.count == 2)
                        QTest::mouseDClick(target, Qt::LeftButton, {}, p);
                    else
                        QTest::mouseClick(target, Qt::LeftButton, {}, p);
                };
                clicks(view, fieldFrom + click.at * (fieldTo - fieldFrom) - view->x());
                clicks(reference, referenceFrom + click.at * (referenceTo - referenceFrom));
            }
            const QString text = reference->text();
            EXPECT_EQ(field->Text(), text);
            EXPECT_EQ(field->SelStart(), charsIn(text, reference->hasSelectedText() ? reference->selectionStart()
                                                                                   : reference->cursorPosition()));
            EXPECT_EQ(field->SelLength(), int(reference->selectedText().toUcs4().size()));
            EXPECT_EQ(field->SelStart() + (field->textPane()->caretPosition() == field->SelStart() ? 0 : field->SelLength()),
                      charsIn(text, reference->cursorPosition())) << "the caret is at the same end";
            EXPECT_EQ(fieldCaretX() > w->width() / 2, referenceCaretX() > reference->width() / 2)
                << "the caret stands on the same side";
        }
    }
}

} // namespace
