// The multi-line view behind EditField(true): positions in characters over a text that grows in
// pieces, its line index, style runs, selection by code, user and events, painting, and its cost.

#include "platform/EditField.h"
#include "platform/TextPane.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

namespace {

const QString Smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two UTF-16 units

class PaneWindow : public fw::Window {
protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Pane"), 420, 320); }
    void CreateControls() override {}
};

class TextPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = fw::Window::New<PaneWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        field = window->add(new fw::EditField(true), QStringLiteral("EF_pane"), 10, 10, 400, 300);
        fw::ControlFont courier;
        courier.name = QStringLiteral("courier");
        courier.size = 12;
        field->setFont(courier);
        pane = field->textPane();
        testsupport::settle();
    }
    void TearDown() override
    {
        if (window)
            window->Close();
        testsupport::settle();
    }

    QPointer<PaneWindow> window;
    fw::EditField* field = nullptr;
    fw::TextPane* pane = nullptr;
};

// Text and lines after a sequence of appends, against the text read back.
struct AppendCase {
    const char* label;
    std::vector<QString> pieces;
    QString text; // as read back: line ends are "\n"
    int length;
    std::vector<int> lineStarts; // characters
};

TEST_F(TextPaneTest, AppendsKeepCharactersAndLinesInStep)
{
    const QString high = Smile.left(1);
    const QString low = Smile.right(1);
    const AppendCase cases[] = {
        {"nothing", {}, "", 0, {0}},
        {"line ends at piece boundaries", {"ab\n", "\ncd", "\n"}, "ab\n\ncd\n", 7, {0, 3, 4, 7}},
        {"last line without a line end", {"ab\nc", "d"}, "ab\ncd", 5, {0, 3}},
        {"a pair before the positions", {"a" + Smile + "b\nc"}, "a" + Smile + "b\nc", 5, {0, 4}},
        {"a pair split across two appends", {"x" + high, low + "y\n", "z"}, "x" + Smile + "y\nz", 5, {0, 4}},
        {"\\r\\n and a lone \\r", {"a\r\nb\rc"}, "a\nb\nc", 5, {0, 2, 4}},
        {"\\r ends a piece, \\n starts the next", {"a\r", "\nb"}, "a\nb", 3, {0, 2}},
        {"\\r ends a piece, a letter follows", {"a\r", "b\r", "\r\n"}, "a\nb\n\n", 5, {0, 2, 4, 5}},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(QString());
        for (const QString& piece : c.pieces)
            field->AppendText(piece);
        EXPECT_EQ(field->Text(), c.text);
        EXPECT_EQ(field->TextLength(), c.length);
        ASSERT_EQ(pane->lineCount(), int(c.lineStarts.size()));
        for (size_t line = 0; line < c.lineStarts.size(); ++line) {
            const int start = c.lineStarts[line];
            EXPECT_EQ(pane->lineStartChar(int(line)), start) << "line " << line;
            EXPECT_EQ(field->LineNumAtCharPos(start), int(line)) << "start of line " << line;
            if (start > 0) {
                EXPECT_EQ(field->LineNumAtCharPos(start - 1), int(line) - 1) << "line end before line " << line;
            }
        }
        // Past the end: the last line.
        EXPECT_EQ(field->LineNumAtCharPos(c.length + 10), int(c.lineStarts.size()) - 1);
        EXPECT_EQ(field->LineNumAtCharPos(-3), 0);
    }
}

TEST_F(TextPaneTest, SelectionCountsCharactersAcrossPairsAndLines)
{
    // Characters: a0 smile1 b2 \n3 smile4 c5
    field->setText("a" + Smile + "b\n" + Smile + "c");
    const struct {
        int start, length;
        QString text;
        int readStart, readLength;
    } cases[] = {
        {1, 1, Smile, 1, 1},
        {2, 3, "b\n" + Smile, 2, 3},
        {4, 10, Smile + "c", 4, 2}, // clamped at the end
        {9, 1, "", 6, 0},
        {0, 6, "a" + Smile + "b\n" + Smile + "c", 0, 6},
    };
    for (const auto& c : cases) {
        field->setSelStart(c.start);
        field->setSelLength(c.length);
        EXPECT_EQ(field->SelStart(), c.readStart) << c.start;
        EXPECT_EQ(field->SelLength(), c.readLength) << c.start;
        EXPECT_EQ(field->SelText(), c.text) << c.start;
    }

    // A style run counts characters too: it covers exactly the smile on the second line; so does a
    // layer, over the smile and the b after the first one.
    fw::TextStyle bold;
    bold.bold = true;
    field->setStyleRun(4, 1, bold);
    EXPECT_EQ(pane->styleAt(3), nullptr);
    ASSERT_NE(pane->styleAt(4), nullptr);
    EXPECT_TRUE(pane->styleAt(4)->bold);
    EXPECT_EQ(pane->styleAt(5), nullptr) << "the c after the smile";
    EXPECT_EQ(pane->lineOfChar(4), 1);
    fw::TextStyle italic;
    italic.italic = true;
    field->addStyleLayer(std::make_shared<const std::vector<qint32>>(std::vector<qint32>{1, 4}), 2, italic);
    QString seen;
    for (int i = 0; i < field->TextLength(); ++i)
        seen += pane->styleAt(i) ? (pane->styleAt(i)->italic ? QLatin1Char('i') : QLatin1Char('b')) : QLatin1Char('.');
    EXPECT_EQ(seen, QStringLiteral(".ii.ii"));
    // Painted over the pairs, then an edit elsewhere: the layer becomes runs over the same characters.
    field->widget()->grab();
    field->setReadOnly(false);
    field->setSelStart(6);
    QTest::keyClicks(pane, QStringLiteral("z"));
    seen.clear();
    for (int i = 0; i < field->TextLength(); ++i)
        seen += pane->styleAt(i) ? QLatin1Char('s') : QLatin1Char('.');
    EXPECT_EQ(seen, QStringLiteral(".ss.ss."));
    EXPECT_EQ(pane->styleLayerCount(), 0);
}

// Style runs and layers by a letter each; '.' is unstyled, and as a step's letter the pane's plain style.
// Later runs and layers replace what they cover.
struct StyleStep {
    std::vector<int> starts; // one start: a run; a list: a layer
    int length;
    char letter;
    bool layer;
};
StyleStep run(int start, int length, char letter)
{
    return {{start}, length, letter, false};
}
StyleStep layer(std::vector<int> starts, int length, char letter)
{
    return {std::move(starts), length, letter, true};
}
struct RunCase {
    const char* label;
    std::vector<StyleStep> steps;
    const char* expected;
    int runCount;
};

TEST_F(TextPaneTest, LaterStyleRunsReplaceWhatTheyCover)
{
    const RunCase cases[] = {
        {"apart", {run(1, 2, 'A'), run(5, 2, 'B')}, ".AA..BB...", 2},
        {"overlapping the end of an earlier run", {run(2, 3, 'A'), run(4, 4, 'B')}, "..AABBBB..", 2},
        {"overlapping the start of an earlier run", {run(4, 4, 'A'), run(2, 3, 'B')}, "..BBBAAA..", 2},
        {"inside an earlier run: split", {run(0, 10, 'A'), run(3, 2, 'B')}, "AAABBAAAAA", 3},
        {"covering several runs", {run(1, 2, 'A'), run(5, 2, 'B'), run(0, 9, 'C')}, "CCCCCCCCC.", 1},
        {"exactly the same range", {run(3, 3, 'A'), run(3, 3, 'B')}, "...BBB....", 1},
        {"past the end: clamped; empty: ignored", {run(8, 50, 'A'), run(4, 0, 'B'), run(-2, 3, 'C')}, "C.......AA", 2},
        {"a layer over a run", {run(0, 10, 'A'), layer({1, 5}, 2, 'B')}, "ABBAABBAAA", 3},
        {"a layer over a layer", {layer({0, 4}, 3, 'A'), layer({2, 8}, 2, 'B')}, "AABBAAA.BB", 4},
        {"a plain layer clears what lies beneath", {layer({0, 5}, 3, 'A'), layer({1, 5}, 1, '.')}, "A.A...AA..", 2},
        {"a plain layer over nothing is dropped", {layer({1, 5}, 1, '.'), layer({0, 3}, 1, 'A')}, "A..A......", 2},
        {"a run over a layer", {layer({0, 3, 6}, 2, 'A'), run(1, 3, 'B')}, "ABBBA.AA..", 4},
        {"a layer past the end: cut", {layer({8, 20}, 5, 'A')}, "........AA", 2},
    };
    const auto styleOf = [](char letter) {
        fw::TextStyle s;
        if (letter == '.')
            return s;
        s.color = QColor(letter * 2, 0, 0);
        s.bold = letter == 'B';
        return s;
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(QStringLiteral("0123456789"));
        for (const StyleStep& step : c.steps) {
            if (step.layer) {
                const auto starts = std::make_shared<const std::vector<qint32>>(step.starts.begin(), step.starts.end());
                field->addStyleLayer(starts, step.length, styleOf(step.letter));
            } else {
                field->setStyleRun(step.starts[0], step.length, styleOf(step.letter));
            }
        }
        QString seen;
        for (int i = 0; i < 10; ++i) {
            const fw::TextStyle* s = pane->styleAt(i);
            seen += s ? QChar(s->color.red() / 2) : QChar('.');
        }
        EXPECT_EQ(seen, QString::fromLatin1(c.expected));
        EXPECT_EQ(pane->styleRunCount(), c.runCount);
    }
    field->setText(QStringLiteral("new"));
    EXPECT_EQ(pane->styleRunCount(), 0) << "setText drops the runs";
    EXPECT_EQ(pane->styleLayerCount(), 0) << "and the layers";
}

TEST_F(TextPaneTest, SelectingFromCodeScrollsTheSelectionIntoView)
{
    QStringList rows;
    for (int i = 0; i < 1000; ++i)
        rows << QStringLiteral("row %1").arg(i);
    rows[700] = QString(400, QLatin1Char('-')) + QStringLiteral("hit") + QString(400, QLatin1Char('-'));
    {
        // Lines a little wider than the view, as report lines are in a narrow pane.
        const QFontMetricsF m(pane->font());
        const int columns = int((pane->viewport()->width() - 2 * 4 - 1) / m.horizontalAdvance(QLatin1Char('-')));
        for (int line = 701; line <= 703; ++line)
            rows[line] = QString(columns + 10, QLatin1Char('-'));
    }
    field->setText(rows.join('\n'));
    testsupport::settle();
    EXPECT_EQ(field->ScrollPosition(), 0);

    const int hit = pane->lineStartChar(700) + 400;
    field->setSelStart(hit);
    field->setSelLength(3);
    const int first = field->ScrollPosition();
    EXPECT_LE(first, 700);
    EXPECT_GT(first + pane->visibleLineCount(), 700);
    // The hit is inside the viewport horizontally too.
    const int hbar = pane->horizontalScrollBar()->value();
    EXPECT_GT(hbar, 0);
    const QFontMetricsF metrics(pane->font());
    const qreal hitX = 4 + 400 * metrics.horizontalAdvance(QLatin1Char('-')) - hbar;
    EXPECT_GE(hitX, 0);
    EXPECT_LE(hitX, pane->viewport()->width());

    field->setSelStart(pane->lineStartChar(5));
    EXPECT_LE(field->ScrollPosition(), 5);
    EXPECT_EQ(pane->horizontalScrollBar()->value(), 0);

    // A selection wholly in view moves the view neither sideways nor down; one that is not comes into
    // view with as little scrolling as it needs, as in the desktop's read-only text views: hit after
    // hit, the view never jumps back to the line's start while the hit is in view.
    const qreal cell = metrics.horizontalAdvance(QLatin1Char('-'));
    const int width = pane->viewport()->width() - 2 * 4 - 1;
    const int columns = int(width / cell); // a line of columns + 10 is a little wider than the view
    const int wide = 702; // scrolled into view by the first row that selects in it
    const int ending = 703;
    enum : int { LeftEdge = -1, RightEdge = -2, Stays = -3, AtHitStart = -4 };
    const struct {
        const char* label;
        int scrolledTo; // before, in pixels; -1: where the row before left it; AtHitStart: the hit's x
        int line, start, length;
        int expected; // in pixels, or LeftEdge, RightEdge (the selection's end at the view's edge), Stays
    } reveals[] = {
        {"a short line, left scrolled past the selection: its start at the left edge", 1000, 6, 4, 1, LeftEdge},
        {"a short line whose selection is in view: stays", 12, 6, 4, 1, Stays},
        {"the end of a long line", 0, 700, 800, 3, RightEdge},
        {"further left on the long line, in view: stays", -1, 700, 790, 3, Stays},
        {"the start of a long line", -1, 700, 0, 3, 0},
        {"the last hit of a line a little wider than the view", 0, wide, columns + 6, 3, RightEdge},
        {"the hit before it, in view, fits from the line's start: stays", -1, wide, columns - 4, 3, Stays},
        {"the hit before that, in view, on the line above: stays", -1, wide - 1, columns - 8, 1, Stays},
        {"a hit just right of the view: as far as its end", -1, ending, columns + 8, 2, RightEdge},
        {"a hit just left of the view: as far as its start", -1, ending, 2, 3, LeftEdge},
        {"a hit starting exactly at the view's left edge: stays", AtHitStart, ending, 5, 3, Stays},
        {"a hit wider than the view: its start at the left edge", 0, 700, 300, columns + 20, LeftEdge},
    };
    for (const auto& r : reveals) {
        SCOPED_TRACE(r.label);
        if (r.scrolledTo >= 0)
            pane->horizontalScrollBar()->setValue(r.scrolledTo);
        int start = r.start;
        if (r.scrolledTo == AtHitStart) {
            // The first start from the row's on whose x is a whole pixel (advances are 64ths of one).
            while (start * cell != std::floor(start * cell) && start < r.start + 64)
                ++start;
            pane->horizontalScrollBar()->setValue(int(start * cell));
        }
        const int before = pane->horizontalScrollBar()->value();
        const int firstLine = field->ScrollPosition();
        field->setSelStart(pane->lineStartChar(r.line) + start);
        field->setSelLength(r.length);
        const int h = pane->horizontalScrollBar()->value();
        if (r.expected >= 0)
            EXPECT_EQ(h, r.expected);
        else if (r.expected == RightEdge)
            EXPECT_NEAR(h, (start + r.length) * cell - width, 2);
        else if (r.expected == LeftEdge)
            EXPECT_NEAR(h, start * cell, 2);
        else
            EXPECT_EQ(h, before);
        if (r.expected == Stays) {
            EXPECT_EQ(field->ScrollPosition(), firstLine) << "nor down";
        }
    }

    // Scroll positions are clamped to the lines there are.
    field->setScrollPosition(5000);
    EXPECT_EQ(field->ScrollPosition(), 1000 - pane->visibleLineCount());
    field->setText(QString());
    field->setScrollPosition(3);
    EXPECT_EQ(field->ScrollPosition(), 0);
}

TEST_F(TextPaneTest, TextChangeAndSelChangeAreRaisedOncePerChange)
{
    int texts = 0;
    int selections = 0;
    field->TextChange = [&texts](fw::EditField&) { ++texts; };
    field->SelChange = [&selections](fw::EditField&) { ++selections; };
    const struct {
        const char* label;
        std::function<void()> act;
        int texts, selections;
    } steps[] = {
        {"setText", [&] { field->setText("abc\ndef"); }, 1, 0},
        {"AppendText", [&] { field->AppendText("\nghi"); }, 1, 0},
        {"AppendText of nothing", [&] { field->AppendText(QString()); }, 0, 0},
        {"setSelStart", [&] { field->setSelStart(5); }, 0, 1},
        {"setSelStart to the same place", [&] { field->setSelStart(5); }, 0, 0},
        {"setSelLength", [&] { field->setSelLength(2); }, 0, 1},
        {"setText moves the caret home", [&] { field->setText("xyz"); }, 1, 1},
        {"arrow key", [&] { QTest::keyClick(pane, Qt::Key_Right); }, 0, 1},
        {"shift+End", [&] { QTest::keyClick(pane, Qt::Key_End, Qt::ShiftModifier); }, 0, 1},
        {"style run", [&] { field->setStyleRun(0, 2, fw::TextStyle{}); }, 0, 0},
    };
    for (const auto& s : steps) {
        texts = selections = 0;
        s.act();
        EXPECT_EQ(texts, s.texts) << s.label;
        EXPECT_EQ(selections, s.selections) << s.label;
    }
}

TEST_F(TextPaneTest, KeyboardMovesAndExtendsTheSelection)
{
    field->setReadOnly(true);
    field->setText("ab" + Smile + "d\nxy\nlast line");
    using Mods = Qt::KeyboardModifiers;
    const struct {
        Qt::Key key;
        Mods mods;
        int selStart, selLength;
    } steps[] = {
        {Qt::Key_Right, {}, 1, 0},
        {Qt::Key_Right, Qt::ShiftModifier, 1, 1},
        {Qt::Key_Right, Qt::ShiftModifier, 1, 2}, // over the pair at once
        {Qt::Key_Left, {}, 1, 0}, // collapses to the start
        {Qt::Key_End, Qt::ShiftModifier, 1, 3},
        {Qt::Key_Down, {}, 7, 0}, // line 1 is shorter: its end
        {Qt::Key_Home, {}, 5, 0},
        {Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier, 5, 12},
        {Qt::Key_Up, {}, 7, 0}, // from the end of the text to the end of the shorter line above
        {Qt::Key_PageDown, {}, 17, 0}, // clamped to the last line, same column as before
        {Qt::Key_Home, Qt::ControlModifier, 0, 0},
        {Qt::Key_Right, Qt::ControlModifier, 4, 0}, // by word: to the line end, then over it
        {Qt::Key_Right, Qt::ControlModifier, 5, 0},
        {Qt::Key_Right, Qt::ControlModifier, 7, 0},
        {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, 7, 1},
        {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, 7, 6}, // "last " with the line end
        {Qt::Key_Left, Qt::ControlModifier, 8, 0},
        {Qt::Key_Left, Qt::ControlModifier, 7, 0},
        {Qt::Key_A, Qt::ControlModifier, 0, 17},
    };
    for (const auto& s : steps) {
        QTest::keyClick(pane, s.key, s.mods);
        EXPECT_EQ(field->SelStart(), s.selStart) << QKeySequence(s.key | s.mods).toString().toStdString();
        EXPECT_EQ(field->SelLength(), s.selLength) << QKeySequence(s.key | s.mods).toString().toStdString();
    }
    field->setSelStart(2);
    field->setSelLength(4);
    QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Smile + "d\nx");
    QTest::keyClick(pane, Qt::Key_Q);
    EXPECT_EQ(field->Text(), "ab" + Smile + "d\nxy\nlast line") << "read-only";

    // A triple-click selects the line with its line end.
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, QPoint(10, 6));
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(10, 6));
    EXPECT_EQ(field->SelStart(), 0);
    EXPECT_EQ(field->SelLength(), 5);
}

TEST_F(TextPaneTest, EditingKeepsLinesAndRunsInStep)
{
    // Characters: a0 b1 smile2 c3 \n4 l5 i6 n7 e8; the run styles "line".
    field->setText("ab" + Smile + "c\nline");
    fw::TextStyle bold;
    bold.bold = true;
    field->setStyleRun(5, 4, bold);
    // And a layer styles "a" and "c"; an edit keeps the characters both styled.
    field->addStyleLayer(std::make_shared<const std::vector<qint32>>(std::vector<qint32>{0, 3}), 1, bold);
    int texts = 0;
    field->TextChange = [&texts](fw::EditField&) { ++texts; };
    const auto styled = [this] {
        QString out;
        for (int i = 0; i < field->TextLength(); ++i)
            out += pane->styleAt(i) ? QLatin1Char('s') : QLatin1Char('.');
        return out;
    };
    const struct {
        const char* label;
        std::function<void()> act;
        QString text;
        const char* runs;
        int lines;
    } steps[] = {
        {"backspace removes the pair", [&] { field->setSelStart(3); QTest::keyClick(pane, Qt::Key_Backspace); },
         "abc\nline", "s.s.ssss", 2},
        {"typing at the caret", [&] { QTest::keyClicks(pane, QStringLiteral("X")); }, "abXc\nline",
         "s..s.ssss", 2},
        {"return splits the line", [&] { QTest::keyClick(pane, Qt::Key_Return); }, "abX\nc\nline", "s...s.ssss", 3},
        {"delete over a selection into the run", [&] { field->setSelStart(4); field->setSelLength(4);
                                                       QTest::keyClick(pane, Qt::Key_Delete); },
         "abX\nne", "s...ss", 2},
    };
    for (const auto& s : steps) {
        texts = 0;
        s.act();
        EXPECT_EQ(field->Text(), s.text) << s.label;
        EXPECT_EQ(styled(), QString::fromLatin1(s.runs)) << s.label;
        EXPECT_EQ(pane->lineCount(), s.lines) << s.label;
        EXPECT_EQ(field->LineNumAtCharPos(field->TextLength()), s.lines - 1) << s.label;
        EXPECT_EQ(texts, 1) << s.label;
    }
}

// A run of combining marks outside the BMP, longer than a layout block may move its end to find a
// character start, and begun at an odd unit: clicks anywhere on it put the caret at a character
// start, so what is typed there never leaves half a pair.
TEST_F(TextPaneTest, ClicksAmongAstralMarksLandOnCharacterStarts)
{
    QString marks;
    for (int i = 0; i < 40; ++i)
        marks += QString::fromUcs4(U"\U0001D165", 1);
    const QString text = QString(127, QLatin1Char('a')) + marks + QStringLiteral("b");
    for (int x = 1; x < pane->viewport()->width(); x += 3) {
        field->setText(text);
        pane->setSelection(140, 140);
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QTest::keyClicks(pane, QStringLiteral("Z"));
        const QString typed = field->Text();
        const qsizetype at = typed.indexOf(QLatin1Char('Z'));
        ASSERT_GT(at, 0);
        EXPECT_FALSE(typed[at - 1].isHighSurrogate()) << "a click at x " << x << " split a pair";
    }
}

TEST_F(TextPaneTest, HandlersSeeInputFirstAndMayConsumeIt)
{
    QStringList rows;
    for (int i = 0; i < 300; ++i)
        rows << QStringLiteral("line %1").arg(i);
    field->setText(rows.join('\n'));
    bool consume = true;
    int wheels = 0, presses = 0, keys = 0;
    field->MouseWheel = [&](fw::EditField&, int, int, int, int) { ++wheels; return consume; };
    field->MouseDown = [&](fw::EditField&, int, int) { ++presses; return consume; };
    field->KeyDown = [&](fw::EditField&, const QString&) { ++keys; return consume; };
    QWidget* viewport = pane->viewport();
    const QPoint onLine2(30, 2 + pane->fontMetrics().lineSpacing() * 2 + 3);
    const auto wheel = [&] {
        QWheelEvent event(QPointF(50, 50), viewport->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &event);
    };

    wheel();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, onLine2);
    QTest::keyClick(pane, Qt::Key_Down);
    EXPECT_EQ(field->ScrollPosition(), 0);
    EXPECT_EQ(field->SelStart(), 0);
    EXPECT_EQ(wheels + presses + keys, 3);

    consume = false;
    wheel();
    EXPECT_GT(field->ScrollPosition(), 0) << "the wheel scrolls";
    field->setScrollPosition(0);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, onLine2);
    EXPECT_EQ(field->LineNumAtCharPos(field->SelStart()), 2);
    EXPECT_TRUE(pane->hasFocus()) << "a click gives the view the focus";
    QTest::keyClick(pane, Qt::Key_Down);
    EXPECT_EQ(field->LineNumAtCharPos(field->SelStart()), 3);
    // Drag from line 3 to line 5, then shift-click on line 1 extends from the same anchor.
    const int step = pane->fontMetrics().lineSpacing();
    QTest::mousePress(viewport, Qt::LeftButton, {}, onLine2 + QPoint(0, step));
    const int anchor = field->SelStart();
    EXPECT_EQ(field->LineNumAtCharPos(anchor), 3);
    const QPoint onLine5 = onLine2 + QPoint(0, 3 * step);
    QMouseEvent drag(QEvent::MouseMove, onLine5, viewport->mapToGlobal(onLine5), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drag);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, onLine5);
    EXPECT_EQ(field->SelStart(), anchor);
    EXPECT_EQ(field->LineNumAtCharPos(field->SelStart() + field->SelLength()), 5);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, onLine2 - QPoint(0, step));
    EXPECT_EQ(field->LineNumAtCharPos(field->SelStart()), 1);
    EXPECT_EQ(field->SelStart() + field->SelLength(), anchor);
}

TEST_F(TextPaneTest, PaintingShowsTheSelectedHitAndStyledRuns)
{
    field->setBackColor(Qt::white);
    field->setTextColor(Qt::black);
    field->setText(QStringLiteral("plain text with a hit in it\n") + Smile + QStringLiteral(" 数字 and bold\nthird"));
    fw::TextStyle red;
    red.color = QColor(0xFF, 0, 0);
    red.bold = true;
    field->setStyleRun(29, 7, red); // the second line's non-ASCII, bold
    field->addStyleLayer(std::make_shared<const std::vector<qint32>>(std::vector<qint32>{18}), 3, red); // "hit"
    const QImage before = field->widget()->grab().toImage();
    field->setSelStart(18);
    field->setSelLength(3);
    const QImage after = field->widget()->grab().toImage();

    const QColor highlight = pane->palette().color(QPalette::Active, QPalette::Highlight);
    int highlighted = 0, reddish = 0, changed = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            const QColor c = after.pixelColor(x, y);
            highlighted += c == highlight;
            reddish += c.red() > 150 && c.green() < 90 && c.blue() < 90;
            changed += c != before.pixelColor(x, y);
        }
    }
    EXPECT_GT(highlighted, 20) << "the selected hit has the highlight behind it";
    EXPECT_GT(reddish, 10) << "the styled runs are drawn in their colour";
    EXPECT_GT(changed, 20);
    EXPECT_EQ(after.pixelColor(after.width() - 40, after.height() - 40), QColor(Qt::white)) << "background";
}

// A long line is laid out in blocks of about 128 UTF-16 units: a hit or a run across a block's edge
// keeps its style on both sides, in what is painted and in what styleAt says, also where the units of
// the text run ahead of its characters (an astral character on the line before).
TEST_F(TextPaneTest, HitsAcrossLayoutBlocksKeepTheirWholeHighlight)
{
    constexpr int Columns = 600;
    constexpr int LineStart = 2; // characters before the long line: an astral character and "\n"
    constexpr int Block = 128; // the long line's blocks start at columns 0, 128, 256, ... (ASCII)
    field->setBackColor(Qt::white);
    field->setTextColor(Qt::black);
    fw::TextStyle red;
    red.color = QColor(0xFF, 0, 0);
    const qreal cell = QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('X'));
    QScrollBar* h = pane->horizontalScrollBar();
    const struct {
        const char* label;
        std::vector<qint32> starts; // columns of the long line
        int length;
        bool run; // set as a run rather than a layer (one start)
    } cases[] = {
        {"a hit across the first block's edge", {120}, 16, false},
        {"a hit ending at the edge", {120}, 8, false},
        {"a hit starting at the edge", {128}, 8, false},
        {"a hit one unit across the edge", {127}, 2, false},
        {"hits on both sides of the edge and across it", {110, 125, 140}, 6, false},
        {"a hit longer than a block, across two edges", {100}, 200, false},
        {"a run across the edge", {124}, 9, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->setText(Smile + QStringLiteral("\n") + QString(Columns, QLatin1Char('X')));
        if (c.run) {
            field->setStyleRun(LineStart + c.starts[0], c.length, red);
        } else {
            auto starts = std::make_shared<std::vector<qint32>>();
            for (const qint32 start : c.starts)
                starts->push_back(LineStart + start);
            field->addStyleLayer(starts, c.length, red);
        }
        std::vector<bool> styled(Columns, false);
        std::vector<int> looks; // columns to look around: where hits start and end, and the edges
        for (const qint32 start : c.starts) {
            std::fill(styled.begin() + start, styled.begin() + start + c.length, true);
            looks.push_back(start);
            looks.push_back(start + c.length);
        }
        for (int edge = Block; edge < c.starts.back() + c.length; edge += Block) {
            if (edge > c.starts.front())
                looks.push_back(edge);
        }
        for (const int around : looks) {
            h->setValue(int((around - 8) * cell));
            testsupport::settle();
            const QImage image = pane->viewport()->grab().toImage();
            for (int column = around - 5; column < around + 5; ++column) {
                const qreal left = 4 + column * cell - h->value();
                bool redInk = false;
                bool blackInk = false;
                for (int x = int(std::ceil(left + cell * 0.15)); x < int(left + cell * 0.85); ++x) {
                    for (int y = 0; y < image.height(); ++y) {
                        const QColor p = image.pixelColor(x, y);
                        redInk |= p.red() - std::max(p.green(), p.blue()) > 80;
                        blackInk |= std::max({p.red(), p.green(), p.blue()}) < 140;
                    }
                }
                const fw::TextStyle* style = pane->styleAt(LineStart + column);
                EXPECT_EQ(redInk, bool(styled[size_t(column)])) << "column " << column << " painted";
                EXPECT_EQ(blackInk, !styled[size_t(column)]) << "column " << column << " painted";
                EXPECT_EQ(style != nullptr, bool(styled[size_t(column)])) << "column " << column << " styleAt";
            }
        }
    }
}

// How strongly each pixel of one line is inked, whatever the colours: 0 background, 1 full text colour.
// Inside [selFromX, selToX) the background is the highlight and the ink the highlighted text colour.
std::vector<double> inkOfLine(const QImage& image, int top, int height, int selFromX, int selToX, QColor base,
                              QColor text, QColor highlight, QColor highlightedText)
{
    std::vector<double> ink;
    ink.reserve(size_t(image.width() * height));
    const auto alpha = [](QColor c, QColor bg, QColor fg) {
        // The channel where background and ink differ most measures the blend best.
        const int channels[3][3] = {{c.red(), bg.red(), fg.red()}, {c.green(), bg.green(), fg.green()},
                                    {c.blue(), bg.blue(), fg.blue()}};
        int best = 0;
        for (int i = 1; i < 3; ++i) {
            if (std::abs(channels[i][2] - channels[i][1]) > std::abs(channels[best][2] - channels[best][1]))
                best = i;
        }
        const double span = channels[best][2] - channels[best][1];
        return std::clamp((channels[best][0] - channels[best][1]) / span, 0.0, 1.0);
    };
    for (int y = top; y < top + height; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool selected = x >= selFromX && x < selToX;
            ink.push_back(alpha(image.pixelColor(x, y), selected ? highlight : base,
                                selected ? highlightedText : text));
        }
    }
    return ink;
}

TEST_F(TextPaneTest, CaretSelectionAndGlyphsLineUpOnMixedScriptLines)
{
    // A proportional font with kerning ("To", "AV") and CJK characters from a fallback font: every
    // position is taken from the shaping of the whole visible line.
    fw::ControlFont sans;
    sans.name = QStringLiteral("DejaVu Sans");
    sans.size = 18;
    field->setFont(sans);
    field->setBackColor(Qt::white);
    field->setTextColor(Qt::black);
    const QString line = QString::fromUtf8("数字 To AV 漢字 Wo");
    field->setText(line + QStringLiteral("\nnext"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    pane->setFocus();
    ASSERT_TRUE(pane->hasFocus());
    QWidget* viewport = pane->viewport();
    const QColor base = Qt::white;
    const QColor text = Qt::black;
    const QColor highlight = pane->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor highlightedText = pane->palette().color(QPalette::Active, QPalette::HighlightedText);
    const int top = 2;
    const int height = pane->fontMetrics().lineSpacing();
    const auto grab = [&] { return viewport->grab().toImage(); };
    // Columns covered by the highlight on the line's top row, which no glyph reaches.
    const auto highlightSpan = [&](const QImage& image) {
        int from = -1, to = -1;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, top) == highlight) {
                if (from < 0)
                    from = x;
                to = x + 1;
            }
        }
        return std::pair{from, to};
    };
    // The column where the caret is drawn: the only difference between the pane with and without focus.
    const auto caretColumn = [&](int position) {
        field->setSelStart(position);
        const QImage focused = grab();
        pane->clearFocus();
        const QImage unfocused = grab();
        pane->setFocus();
        for (int x = 0; x < focused.width(); ++x) {
            for (int y = top; y < top + height; ++y) {
                if (focused.pixelColor(x, y) != unfocused.pixelColor(x, y))
                    return x;
            }
        }
        return -1;
    };

    field->setSelStart(0);
    pane->clearFocus();
    const QImage plain = grab();
    pane->setFocus();
    const std::vector<double> plainInk = inkOfLine(plain, top, height, 0, 0, base, text, highlight, highlightedText);
    for (int from = 0; from < line.size(); ++from) {
        for (int to = from + 1; to <= line.size(); to += 2) {
            SCOPED_TRACE(QStringLiteral("selected %1 to %2").arg(from).arg(to).toStdString());
            field->setSelStart(to);
            field->setSelLength(0);
            const int caret = caretColumn(to);
            field->setSelStart(from);
            field->setSelLength(to - from);
            pane->clearFocus();
            const QImage selected = grab();
            pane->setFocus();
            const auto [spanFrom, spanTo] = highlightSpan(selected);
            ASSERT_GE(spanFrom, 0);
            EXPECT_NEAR(spanTo, caret + 1, 1) << "the selection ends where the caret stands";
            // Selecting does not move a glyph: the ink is where it was.
            const std::vector<double> ink =
                inkOfLine(selected, top, height, spanFrom, spanTo, base, text, highlight, highlightedText);
            double moved = 0, total = 0;
            for (size_t i = 0; i < ink.size(); ++i) {
                const int x = int(i % size_t(selected.width()));
                if (x < spanFrom - 2 || x >= spanTo + 2)
                    continue;
                moved += std::abs(ink[i] - plainInk[i]);
                total += plainInk[i];
            }
            EXPECT_LT(moved, 0.2 * total + 2) << "ink inside the selection moved";
        }
    }
}

TEST_F(TextPaneTest, LongLineGrowingInPiecesHitsAsIfSetAtOnce)
{
    // Wide and narrow characters, a pair and combining marks, so that positions are not a count.
    QString line;
    for (int i = 0; line.size() < 3000; ++i)
        line += QStringLiteral("word%1 ").arg(i) + QString::fromUtf8(i % 3 ? "数字" : "e\u0301") + Smile;
    auto* whole = window->add(new fw::EditField(true), QStringLiteral("EF_whole"), 10, 10, 400, 300);
    fw::TextPane* wholePane = whole->textPane();
    const auto hits = [](fw::TextPane* p) {
        std::vector<int> out;
        for (int scroll : {0, 3000, 9000, 20000}) {
            p->horizontalScrollBar()->setValue(scroll);
            for (int x = 0; x < 400; x += 7)
                out.push_back(p->charPosAt(QPoint(x, 5)));
        }
        return out;
    };

    // A fixed-pitch font (ASCII and CJK measured without shaping) and a proportional one with kerning.
    for (const char* fontName : {"courier", "DejaVu Sans"}) {
        SCOPED_TRACE(fontName);
        fw::ControlFont font;
        font.name = QString::fromLatin1(fontName);
        font.size = 12;
        field->setFont(font);
        whole->setFont(font);
        field->setText(QString());
        testsupport::settle();

        // Each piece is looked at before the next arrives, so positions are measured on a shorter line.
        for (int at = 0; at < line.size(); at += 37) {
            field->AppendText(line.mid(at, 37));
            field->setSelStart(field->TextLength());
            pane->charPosAt(QPoint(300, 5));
        }
        whole->setText(line);
        ASSERT_EQ(field->Text(), line);
        EXPECT_EQ(hits(pane), hits(wholePane));

        // A bold run, set after the line was measured, hits as if it had been there first.
        fw::TextStyle bold;
        bold.bold = true;
        const std::vector<int> before = hits(pane);
        field->setStyleRun(200, 100, bold);
        whole->setText(line);
        whole->setStyleRun(200, 100, bold);
        EXPECT_EQ(hits(pane), hits(wholePane));
        if (QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('i')) !=
            QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('M'))) {
            EXPECT_NE(hits(pane), before) << "bold is wider in a proportional font";
        }
    }
}

TEST_F(TextPaneTest, OneLineOfMillionsOfCharactersStaysQuickAndWhole)
{
    constexpr int Chunks = 40;
    constexpr int ChunkUnits = 50000;
    QString chunk;
    for (int i = 0; i < ChunkUnits; ++i)
        chunk += i % 1000 == 999 ? QChar(0x6570) : QChar(u'a' + i % 26);
    field->setBackColor(Qt::white);
    field->setTextColor(Qt::black);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    pane->setFocus();
    QWidget* viewport = pane->viewport();
    const auto inked = [viewport] {
        const QImage image = viewport->grab().toImage();
        int count = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).lightness() < 128;
        }
        return count;
    };

    QElapsedTimer timer;
    timer.start();
    // As a run shows its output: append, put the caret before the last character, paint.
    for (int i = 0; i < Chunks; ++i) {
        field->AppendText(chunk);
        field->setSelStart(field->TextLength() - 1);
        field->setSelLength(1);
        field->setSelLength(0);
        viewport->repaint();
    }
    EXPECT_EQ(field->TextLength(), Chunks * ChunkUnits);
    EXPECT_EQ(pane->lineCount(), 1);
    QScrollBar* h = pane->horizontalScrollBar();
    EXPECT_GT(h->maximum(), 0);
    EXPECT_NEAR(h->value(), h->maximum(), 2) << "the end of what is shown is in view";
    EXPECT_GT(inked(), 50) << "the line is drawn, not blank";

    // Home shows the start; a click lands on the character under the pointer (fixed pitch).
    QTest::keyClick(pane, Qt::Key_Home);
    EXPECT_EQ(field->SelStart(), 0);
    EXPECT_EQ(h->value(), 0);
    const qreal cell = QFontMetricsF(pane->font()).horizontalAdvance(QLatin1Char('a'));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(4 + int(std::lround(cell * 10.0 + cell * 0.3)), 8));
    EXPECT_EQ(field->SelStart(), 10);
    EXPECT_GT(inked(), 50);

    // End: the caret goes to the real end of the line, though only the start of the line is laid out.
    QTest::keyClick(pane, Qt::Key_End);
    EXPECT_EQ(field->SelStart(), Chunks * ChunkUnits);
    EXPECT_NEAR(h->value(), h->maximum(), 2);
    // A click lands on the character under the pointer, near the cut.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() / 2, 8));
    const int halfView = int(viewport->width() / 2 / cell);
    EXPECT_GT(field->SelStart(), fw::TextPane::MaxShownUnits - 2 * halfView);
    EXPECT_LT(field->SelStart(), fw::TextPane::MaxShownUnits - halfView / 2);
    QTest::keyClick(pane, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(field->SelLength(), 1);

    // Select all and copy give every character.
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied.size(), Chunks * ChunkUnits);
    EXPECT_TRUE(copied == field->Text());
    EXPECT_TRUE(copied.endsWith(chunk));
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(3000));
}

TEST_F(TextPaneTest, TextAfterSeparatorsAndControlsInALineIsDrawn)
{
    field->setBackColor(Qt::white);
    field->setTextColor(Qt::black);
    const auto ink = [this] {
        const QImage image = pane->viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).lightness() < 128;
        }
        return count;
    };
    for (const char16_t separator : {u'\u2028', u'\u2029', u'\u0085', u'\t', u'\v', u'\f'}) {
        SCOPED_TRACE(int(separator));
        field->setText(QStringLiteral("ab") + QChar(separator));
        const int before = ink();
        field->setText(QStringLiteral("ab") + QChar(separator) + QStringLiteral("WW"));
        EXPECT_GT(ink(), before + 20) << "what follows is drawn";
        EXPECT_EQ(pane->lineCount(), 1);
        EXPECT_EQ(pane->charPosAt(QPoint(390, 8)), 5) << "a click right of the line reaches its end";
    }
}

TEST_F(TextPaneTest, MillionsOfLinesAppendInTimeOfTheAppendedText)
{
    constexpr int Lines = 4000000;
    constexpr int LinesPerPiece = 5000;
    QString piece;
    for (int i = 0; i < LinesPerPiece; ++i)
        piece += QStringLiteral("%1 words\n").arg(i, 7);
    QElapsedTimer timer;
    timer.start();
    for (int done = 0; done < Lines; done += LinesPerPiece) {
        field->AppendText(piece);
        field->setSelStart(field->TextLength() - 1);
    }
    QCoreApplication::processEvents();
    const qint64 appendMs = timer.elapsed();
    EXPECT_LT(appendMs, testsupport::timeBudgetMs(3000));
    EXPECT_EQ(pane->lineCount(), Lines + 1);
    EXPECT_EQ(field->LineNumAtCharPos(field->TextLength() - 1), Lines - 1);
    EXPECT_GE(field->ScrollPosition(), Lines - pane->visibleLineCount());

    // 100,000 runs set from the end backwards, then width changes: none depends on the text's size.
    timer.restart();
    fw::TextStyle bold;
    bold.bold = true;
    for (int i = 100000; i-- > 0;)
        field->setStyleRun(i * 160 + 2, 5, bold);
    for (int width = 200; width <= 400; width += 50) {
        field->setWidth(width);
        field->widget()->grab();
    }
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(3000));
    EXPECT_EQ(pane->styleRunCount(), 100000);
}

// What a screen reader gets from a report pane and a one-line field: roles, value, the text
// interface at offsets, edits through the field's mask, and answers bounded whatever the length of
// the text.
TEST_F(TextPaneTest, AssistiveToolsReadPanesAndFieldsInBoundedPieces)
{
    field->setReadOnly(true);
    field->setText(QStringLiteral("alpha beta\nsecond line\nend"));
    testsupport::settle();
    QAccessibleInterface* paneView = QAccessible::queryAccessibleInterface(pane);
    ASSERT_TRUE(paneView);
    EXPECT_EQ(paneView->role(), QAccessible::EditableText);
    EXPECT_TRUE(paneView->state().readOnly && paneView->state().multiLine);
    EXPECT_EQ(paneView->editableTextInterface(), nullptr) << "a read-only pane offers no editing";
    QAccessibleTextInterface* paneText = paneView->textInterface();
    ASSERT_TRUE(paneText);
    int from = -1;
    int to = -1;
    EXPECT_EQ(paneText->characterCount(), 26);
    EXPECT_EQ(paneText->textAtOffset(14, QAccessible::LineBoundary, &from, &to), QStringLiteral("second line\n"));
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(11, 23));
    EXPECT_EQ(paneText->textBeforeOffset(14, QAccessible::LineBoundary, &from, &to), QStringLiteral("alpha beta\n"));
    EXPECT_EQ(paneText->textAfterOffset(14, QAccessible::LineBoundary, &from, &to), QStringLiteral("end"));
    EXPECT_EQ(paneText->textAtOffset(7, QAccessible::WordBoundary, &from, &to), QStringLiteral("beta"));
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(6, 10));
    EXPECT_EQ(paneText->textAtOffset(25, QAccessible::CharBoundary, &from, &to), QStringLiteral("d"));
    paneText->setSelection(0, 6, 10);
    EXPECT_EQ(field->SelText(), QStringLiteral("beta"));
    paneText->selection(0, &from, &to);
    EXPECT_EQ(std::make_tuple(paneText->selectionCount(), from, to, paneText->cursorPosition()), std::make_tuple(1, 6, 10, 10));
    const QRect cell = paneText->characterRect(13);
    ASSERT_FALSE(cell.isEmpty());
    EXPECT_EQ(paneText->offsetAtPoint(cell.center()), 13);

    auto* line = window->add(new fw::EditField, QStringLiteral("EF_line"), 10, 10, 200, 22);
    line->setMask(QStringLiteral("####"));
    line->setText(QStringLiteral("12"));
    QAccessibleInterface* lineView = QAccessible::queryAccessibleInterface(line->textPane());
    ASSERT_TRUE(lineView && lineView->editableTextInterface());
    EXPECT_EQ(lineView->role(), QAccessible::EditableText);
    EXPECT_TRUE(lineView->state().editable && !lineView->state().multiLine);
    EXPECT_EQ(lineView->text(QAccessible::Value), QStringLiteral("12"));
    EXPECT_EQ(lineView->childCount(), 0);
    lineView->editableTextInterface()->insertText(2, QStringLiteral("34"));
    lineView->editableTextInterface()->insertText(0, QStringLiteral("x"));
    EXPECT_EQ(line->Text(), QStringLiteral("1234")) << "the mask refuses what typing could not enter";
    lineView->editableTextInterface()->deleteText(0, 2);
    EXPECT_EQ(line->Text(), QStringLiteral("34"));

    // Three million characters on one line: every answer holds a bounded piece around its offset.
    field->setText(QString(3000000, u'7') + QStringLiteral("\nlast"));
    constexpr int Bound = fw::TextPane::MaxAccessibleUnits;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(paneView->text(QAccessible::Value).size(), Bound);
    EXPECT_EQ(paneText->text(0, paneText->characterCount()).size(), Bound);
    EXPECT_EQ(paneText->textAtOffset(2000000, QAccessible::LineBoundary, &from, &to).size(), Bound);
    EXPECT_TRUE(from <= 2000000 && to > 2000000 && to - from == Bound) << from << " " << to;
    EXPECT_LE(paneText->textAtOffset(1500000, QAccessible::WordBoundary, &from, &to).size(), 4096);
    EXPECT_TRUE(from <= 1500000 && to > 1500000);
    EXPECT_EQ(paneText->textAfterOffset(1500000, QAccessible::LineBoundary, &from, &to), QStringLiteral("last"));
    EXPECT_EQ(paneText->textAtOffset(-1, QAccessible::NoBoundary, &from, &to).size(), Bound);
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(200));
}

} // namespace
