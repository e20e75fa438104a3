#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "search/RC_searchCriteriaClass.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <cstddef>
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the address sanitizer's run time
#else
#include <malloc.h>
#endif

namespace {

// Bytes of the heap in use now.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}

// True when a field is drawn as the style draws a disabled line edit: the disabled background inside its
// frame, and any text in the disabled text colour (grey, its edges blended into the background), not in
// the field's own colours.
bool drawnDisabled(const fw::Control& field)
{
    const QPalette palette = QApplication::palette();
    const QColor base = palette.color(QPalette::Disabled, QPalette::Base);
    const int text = palette.color(QPalette::Disabled, QPalette::Text).lightness();
    const QImage image = field.widget()->grab().toImage();
    bool grey = image.pixelColor(3, image.height() / 2) == base;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x) {
            const QColor c = image.pixelColor(x, y);
            grey = grey && c.hslSaturation() < 16 && c.lightness() >= text - 8;
        }
    }
    return grey;
}

using Report = RW_reportOutputWindow;
using Crit = std::shared_ptr<RC_searchCriteriaClass>;

// U+1D11E, outside the Basic Multilingual Plane: one character, two UTF-16 units.
const QString Clef = QString::fromUcs4(U"\U0001D11E");
const QString NoneFound = QStringLiteral("NONE FOUND: Search results not found in any area of the report.");
const char* const TextSizeControls[] = {"UDA_fontSizeLeft", "UDA_fontSizeRight", "EF_fontLeft", "EF_fontRight"};

// `lines` report lines "line n: hit", with the character offsets of "hit" and of "line".
struct Sample {
    QString text;
    IntList hitOffsets;
    IntList lineOffsets;

    explicit Sample(int lines)
    {
        for (int n = 0; n < lines; ++n) {
            lineOffsets.push_back(fw::Len(text));
            text += QStringLiteral("line ") + QString::number(n) + QStringLiteral(": ");
            hitOffsets.push_back(fw::Len(text));
            text += QStringLiteral("hit\n");
        }
    }
};

class SearchFindTest : public ::testing::Test {
protected:
    enum Side { Left, Right };

    void SetUp() override { w = fw::Window::New<Report>(); }

    void TearDown() override
    {
        w->Close();
        testsupport::settle();
    }

    // A new window and no messages, for the next case of a table.
    void fresh()
    {
        TearDown();
        log.clear();
        SetUp();
    }

    void setUpWith(const QString& text) { testsupport::showReport(*w, text); }

    static QString name(const char* base, Side s)
    {
        return QLatin1String(base) + (s == Left ? QLatin1String("Left") : QLatin1String("Right"));
    }
    template <class C>
    C* c(const char* n, int index = -1) const
    {
        return w->control<C>(QLatin1String(n), index);
    }

    fw::EditField* pane(Side s) const { return w->control<fw::EditField>(name("EF_mainResults", s), 0); }
    fw::EditField* phrase(int k) const { return c<fw::EditField>("EF_searchText", k); }
    fw::PushButton* findButton(int k) const { return c<fw::PushButton>("PB_find", k); }
    fw::PushButton* resetButton(int k) const { return c<fw::PushButton>("PB_clearSearch", k); }
    fw::CheckBox* colourBox(int k) const { return c<fw::CheckBox>("ChB_applyColor", k); }
    fw::ProgressBar* progress() const { return c<fw::ProgressBar>("PrB_progressBar"); }
    QString total(int k) const { return c<fw::StaticText>("ST_searchTotal", k)->Text(); }
    QString showing(Side s, int k) const { return w->control<fw::StaticText>(name("ST_searchShowing", s), k)->Text(); }
    fw::EditField* hitField(Side s, int k) const { return w->control<fw::EditField>(name("EF_searchInstance", s), k); }
    bool arrowsShown(Side s, int k) const
    {
        return w->control<fw::UpDownArrows>(name("UDA_srchUpDn", s), k)->Visible()
               || w->control<fw::UpDownArrows>(name("UDA_srchFirstLast", s), k)->Visible();
    }
    Crit crit(Side s, int k) const
    {
        const auto record = s == Left ? w->reportRecordLeft(1) : w->reportRecordRight(1);
        return record->searchCrit[size_t(k)];
    }
    const fw::TextStyle* styleAt(Side s, int charPos) const { return pane(s)->textPane()->styleAt(charPos); }

    void find(int k, const QString& text, bool colour = false)
    {
        colourBox(k)->setValue(colour);
        phrase(k)->setText(text);
        findButton(k)->Push();
    }

    bool textSizeControlsEnabled(bool expected) const
    {
        for (const char* n : TextSizeControls) {
            if (w->FindControl(QLatin1String(n))->Enabled() != expected)
                return false;
        }
        return true;
    }

    void expectInactive(int k) const
    {
        EXPECT_EQ(total(k), QStringLiteral("-"));
        for (Side s : {Left, Right}) {
            EXPECT_EQ(showing(s, k), QStringLiteral("-"));
            EXPECT_FALSE(hitField(s, k)->Enabled());
            EXPECT_TRUE(hitField(s, k)->Text().isEmpty());
            EXPECT_FALSE(arrowsShown(s, k));
        }
        EXPECT_TRUE(findButton(k)->Visible());
        EXPECT_FALSE(resetButton(k)->Visible());
        EXPECT_TRUE(phrase(k)->Enabled());
    }

    void expectHitSelected(Side s, int k, int hit, int offset, const QString& text) const
    {
        EXPECT_EQ(hitField(s, k)->Text(), QString::number(hit + 1));
        EXPECT_EQ(crit(s, k)->lastSearchIdx, hit);
        EXPECT_EQ(pane(s)->SelStart(), offset);
        EXPECT_EQ(pane(s)->SelLength(), fw::Len(text));
        EXPECT_EQ(pane(s)->SelText(), text);
    }

    void expectEndsEmptyWithMaximum10() const
    {
        EXPECT_EQ(progress()->Value(), 0);
        EXPECT_EQ(progress()->Maximum(), 10);
    }

    bool leftPaneHasFocus() const
    {
        w->activateWindow();
        return testsupport::waitUntil([&] { return QApplication::focusWidget() == pane(Left)->widget(); }, 2000);
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
};

// Counts, per pane and in total, as the scan defines hits (leftmost, non-overlapping).
TEST_F(SearchFindTest, FindCountsSelectsHitOneAndLocksTheRow)
{
    struct Case {
        const char* name;
        QString text;
        QString phrase;
        IntList offsets;
    };
    const Case cases[] = {
        {"hits on every line", Sample(12).text, QStringLiteral("hit"), Sample(12).hitOffsets},
        {"overlapping occurrences count once each", QStringLiteral("aaaa\naaa"), QStringLiteral("aa"), {0, 2, 5}},
        {"failed candidate resumes one further", QStringLiteral("aab"), QStringLiteral("ab"), {1}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        fresh();
        setUpWith(tc.text);
        find(0, tc.phrase);

        EXPECT_TRUE(log.shown.empty());
        const QString count = QString::number(tc.offsets.size());
        EXPECT_EQ(total(0), count);
        for (Side s : {Left, Right}) {
            EXPECT_EQ(showing(s, 0), count);
            EXPECT_TRUE(hitField(s, 0)->Enabled());
            EXPECT_EQ(hitField(s, 0)->Mask(), QString(count.size(), QLatin1Char('#')));
            EXPECT_TRUE(arrowsShown(s, 0));
            expectHitSelected(s, 0, 0, tc.offsets[0], tc.phrase);
            EXPECT_EQ(*crit(s, 0)->arrFoundIndexes, tc.offsets);
            EXPECT_EQ(crit(s, 0)->currSearch, tc.phrase);
        }
        // One list for both panes; only the left criterion was scanned.
        EXPECT_EQ(crit(Left, 0)->arrFoundIndexes, crit(Right, 0)->arrFoundIndexes);
        EXPECT_EQ(crit(Left, 0)->lastSearch, tc.phrase);
        EXPECT_TRUE(crit(Right, 0)->lastSearch.isEmpty());

        EXPECT_FALSE(findButton(0)->Visible());
        EXPECT_TRUE(resetButton(0)->Visible());
        EXPECT_FALSE(phrase(0)->Enabled());
        EXPECT_TRUE(textSizeControlsEnabled(false));
        EXPECT_EQ(w->numActiveSearches, 1);
        EXPECT_TRUE(c<fw::Control>("PP_resultsLeft")->Visible() && c<fw::Control>("PP_resultsRight")->Visible());
        expectEndsEmptyWithMaximum10();
        // Unticked colour box: nothing painted.
        EXPECT_EQ(pane(Left)->textPane()->styleRunCount(), 0);
        EXPECT_EQ(pane(Right)->textPane()->styleRunCount(), 0);
    }
    EXPECT_TRUE(leftPaneHasFocus());
}

TEST_F(SearchFindTest, NoHitAnywhereSaysSoAndLeavesTheRowInactive)
{
    struct Case {
        const char* name;
        QString phrase;
        bool byReturn;
    };
    const Case cases[] = {
        {"phrase absent", QStringLiteral("miss"), false},
        {"capitals do not match lower case", QStringLiteral("HIT"), false},
        {"longer than the text", Sample(2).text + QStringLiteral("x"), false},
        {"Return in an empty phrase field", QString(), true},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        fresh();
        setUpWith(Sample(2).text);
        phrase(0)->setText(tc.phrase);
        if (tc.byReturn)
            QTest::keyClick(phrase(0)->widget(), Qt::Key_Return);
        else
            findButton(0)->Push();

        EXPECT_EQ(log.messages(), QStringList{NoneFound});
        expectInactive(0);
        EXPECT_EQ(w->numActiveSearches, 0);
        EXPECT_TRUE(textSizeControlsEnabled(true));
        EXPECT_TRUE(c<fw::Control>("PP_resultsLeft")->Visible() && c<fw::Control>("PP_resultsRight")->Visible());
        for (Side s : {Left, Right}) {
            EXPECT_EQ(crit(s, 0)->currSearch, tc.phrase);
            EXPECT_TRUE(crit(s, 0)->arrFoundIndexes->empty());
        }
        EXPECT_EQ(crit(Left, 0)->lastSearch, tc.phrase);
    }
}

TEST_F(SearchFindTest, FindIsOfferedOnlyForAPhrase)
{
    setUpWith(Sample(2).text);
    EXPECT_FALSE(findButton(0)->Enabled());
    QTest::keyClicks(phrase(0)->widget(), QStringLiteral("h"));
    EXPECT_TRUE(findButton(0)->Enabled());
    QTest::keyClick(phrase(0)->widget(), Qt::Key_Backspace);
    EXPECT_FALSE(findButton(0)->Enabled());
    EXPECT_TRUE(log.shown.empty());
}

// Return and Enter run the Find as the button does: painting turns the progress bar indeterminate (busy,
// animated) and the Find ends it empty and determinate, never left busy while nothing runs.
TEST_F(SearchFindTest, ReturnAndEnterInThePhraseFieldFind)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key == Qt::Key_Return ? "Return" : "Enter");
        fresh();
        const Sample sample(3);
        setUpWith(sample.text);
        colourBox(0)->setValue(true);
        phrase(0)->setText(QStringLiteral("hit"));
        QTest::keyClick(phrase(0)->widget(), key);

        EXPECT_TRUE(log.shown.empty());
        EXPECT_EQ(total(0), QStringLiteral("3"));
        expectHitSelected(Left, 0, 0, sample.hitOffsets[0], QStringLiteral("hit"));
        expectEndsEmptyWithMaximum10();
    }
}

// Painting happens only with the row's colour box ticked, over exactly the phrase's characters, in the
// row's colour at the pane's text size.
TEST_F(SearchFindTest, HighlightsOnlyWithTheColourBoxTicked)
{
    const Sample sample(4);
    setUpWith(sample.text);
    pane(Right)->setTextSize(17);
    find(0, QStringLiteral("hit"), false);
    find(1, QStringLiteral("line"), true);

    for (Side s : {Left, Right}) {
        SCOPED_TRACE(s == Left ? "left" : "right");
        for (const qint32 o : sample.hitOffsets)
            EXPECT_EQ(styleAt(s, o), nullptr);
        for (const qint32 o : sample.lineOffsets) {
            const fw::TextStyle* first = styleAt(s, o);
            const fw::TextStyle* last = styleAt(s, o + 3);
            ASSERT_NE(first, nullptr);
            ASSERT_NE(last, nullptr);
            EXPECT_EQ(first->color, searchRowColor(1));
            EXPECT_TRUE(first->bold && first->underline);
            EXPECT_EQ(first->size, s == Left ? 12 : 17);
            EXPECT_EQ(styleAt(s, o + 4), nullptr);
            if (o > 0) {
                EXPECT_EQ(styleAt(s, o - 1), nullptr);
            }
        }
        EXPECT_EQ(pane(s)->textPane()->styleRunCount(), int(sample.lineOffsets.size()));
    }
    EXPECT_EQ(crit(Left, 1)->size, 12);
    EXPECT_EQ(crit(Right, 1)->size, 17);
    EXPECT_EQ(crit(Left, 0)->size, 0);
}

TEST_F(SearchFindTest, ResetReturnsTheRowToInactiveAndKeepsItsHits)
{
    for (const bool painted : {true, false}) {
        SCOPED_TRACE(painted ? "painted" : "not painted");
        fresh();
        const Sample sample(5);
        setUpWith(sample.text);
        find(0, QStringLiteral("hit"), painted);
        c<fw::UpDownArrows>("UDA_srchUpDnLeft", 0)->PressDown();
        const IntListRef list = crit(Left, 0)->arrFoundIndexes;
        resetButton(0)->Push();

        expectInactive(0);
        EXPECT_EQ(w->numActiveSearches, 0);
        EXPECT_TRUE(textSizeControlsEnabled(true));
        expectEndsEmptyWithMaximum10();
        EXPECT_TRUE(log.shown.empty());
        // Every hit run is plain now, its size included, whether or not the Find painted it.
        for (Side s : {Left, Right}) {
            for (const qint32 o : sample.hitOffsets) {
                // A plain run may be stored as no run at all.
                const fw::TextStyle* style = styleAt(s, o + 2);
                EXPECT_TRUE(style == nullptr || *style == fw::TextStyle());
            }
        }
        // The criteria keep phrase, hits and current hit.
        EXPECT_EQ(crit(Left, 0)->arrFoundIndexes, list);
        EXPECT_EQ(*list, sample.hitOffsets);
        EXPECT_EQ(crit(Left, 0)->lastSearch, QStringLiteral("hit"));
        EXPECT_EQ(crit(Right, 0)->currSearch, QStringLiteral("hit"));
        EXPECT_EQ(crit(Left, 0)->lastSearchIdx, 1);
        EXPECT_EQ(phrase(0)->Text(), QStringLiteral("hit"));
        EXPECT_EQ(colourBox(0)->Value(), painted);
        EXPECT_TRUE(w->defaultSearchCriteria->currSearch.isEmpty());
    }
    EXPECT_TRUE(leftPaneHasFocus());
}

// Where two rows' hits overlap, the row painted last colours the shared characters; resetting it makes
// them plain and leaves the other row's remaining characters coloured.
TEST_F(SearchFindTest, ResetOfOverlappingHitsLeavesTheOtherRowsRest)
{
    setUpWith(QStringLiteral("abcdef"));
    find(0, QStringLiteral("abcd"), true);
    find(1, QStringLiteral("cdef"), true);
    const QColor expected[] = {searchRowColor(0), searchRowColor(0), searchRowColor(1),
                               searchRowColor(1), searchRowColor(1), searchRowColor(1)};
    for (int i = 0; i < 6; ++i) {
        ASSERT_NE(styleAt(Left, i), nullptr);
        EXPECT_EQ(styleAt(Left, i)->color, expected[i]) << i;
    }

    resetButton(1)->Push();
    for (int i = 0; i < 6; ++i) {
        for (Side s : {Left, Right}) {
            const fw::TextStyle* style = styleAt(s, i);
            EXPECT_EQ(style ? style->color : QColor(Qt::black), i < 2 ? searchRowColor(0) : QColor(Qt::black)) << i;
        }
    }
    EXPECT_EQ(total(0), QStringLiteral("1"));

    // Row 1 over all of it, then row 0 reset: "cd" plain. Row 0 finding another phrase refills its hit
    // list; the plain "cd" stays where it was, and "ef" keeps row 1's colour.
    resetButton(0)->Push();
    find(1, QStringLiteral("abcdef"), true);
    find(0, QStringLiteral("cd"), true);
    resetButton(0)->Push();
    find(0, QStringLiteral("ef"), false);
    EXPECT_EQ(*crit(Left, 0)->arrFoundIndexes, IntList{4});
    for (Side s : {Left, Right}) {
        QString seen;
        for (int i = 0; i < 6; ++i)
            seen += styleAt(s, i) && styleAt(s, i)->color == searchRowColor(1) ? QLatin1Char('g') : QLatin1Char('.');
        EXPECT_EQ(seen, QStringLiteral("gg..gg"));
    }
}

// A million highlighted hits cost a few bytes each beyond their hit list, Find and Reset time linear in
// the hits and small, and Reset gives back what the highlight held. The hits far down are painted.
TEST_F(SearchFindTest, MillionsOfHighlightedHitsCostFewBytesAndResetGivesThemBack)
{
    constexpr int Lines = 500000;
    QString text; // "line n: hit": two hits of "i" per line
    for (int n = 0; n < Lines; ++n)
        text += QStringLiteral("line ") + QString::number(n) + QStringLiteral(": hit\n");
    setUpWith(text);
    const qint64 before = heapInUse();
    QElapsedTimer timer;
    timer.start();
    find(0, QStringLiteral("i"), true);
    const qint64 findMs = timer.elapsed();
    const qint64 held = heapInUse() - before;
    const qint64 hits = qint64(crit(Left, 0)->arrFoundIndexes->size());
    ASSERT_EQ(hits, 2 * Lines);
    EXPECT_LE(held, 16 * hits) << "bytes per hit for both panes: " << double(held) / double(hits);
    EXPECT_LT(findMs, testsupport::timeBudgetMs(1500));

    const auto redPixels = [this] {
        const QImage image = pane(Left)->widget()->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 90 && c.blue() < 90;
            }
        }
        return red;
    };
    pane(Left)->setScrollPosition(Lines - 300);
    EXPECT_GT(redPixels(), 20);

    timer.restart();
    resetButton(0)->Push();
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(150));
    EXPECT_LE(heapInUse() - before, 8 * hits) << "only the hit list is kept";
    EXPECT_EQ(redPixels(), 0);
    for (Side s : {Left, Right}) {
        EXPECT_EQ(pane(s)->textPane()->styleRunCount(), 0);
        EXPECT_EQ(pane(s)->textPane()->styleLayerCount(), 0);
    }
}

// A row that found many hits and then, after Reset, fewer (or none) holds no more than the smaller
// list needs: its list gives its storage back, and no pane that painted the old hits in the plain style
// keeps a copy of them, also while another row's highlight lies beneath.
TEST_F(SearchFindTest, ASmallerFindGivesBackTheMemoryOfTheLargerHitList)
{
    constexpr int Lines = 250000;
    QString text; // "line n: hit": two blanks per line, one hit of "hit"
    for (int n = 0; n < Lines; ++n)
        text += QStringLiteral("line ") + QString::number(n) + QStringLiteral(": hit\n");
    struct Case {
        const char* name;
        bool paintBig;
        bool otherRowBeneath;
        QString smaller;
        qint64 smallerHits;
    };
    const Case cases[] = {
        {"unpainted, then one hit", false, false, QStringLiteral("line 4711:"), 1},
        {"painted, then one hit", true, false, QStringLiteral("line 4711:"), 1},
        {"painted over another row's hits, then one hit", true, true, QStringLiteral("line 4711:"), 1},
        {"painted over another row's hits, then no hit", true, true, QStringLiteral("absent"), 0},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        fresh();
        setUpWith(text);
        if (tc.otherRowBeneath)
            find(1, QStringLiteral("hit"), true);
        const qint64 before = heapInUse();
        find(0, QStringLiteral(" "), tc.paintBig);
        const IntListRef list = crit(Left, 0)->arrFoundIndexes;
        ASSERT_EQ(qint64(list->size()), 2 * Lines);
        const qint64 bigBytes = qint64(list->size() * sizeof(qint32));
        resetButton(0)->Push();
        find(0, tc.smaller, true);

        EXPECT_EQ(crit(Left, 0)->arrFoundIndexes, list);
        EXPECT_EQ(qint64(list->size()), tc.smallerHits);
        EXPECT_LE(list->capacity(), size_t(2 * tc.smallerHits));
        EXPECT_LE(heapInUse() - before, bigBytes / 8) << "bytes kept of " << bigBytes;
        // What the panes show is unchanged by the refill: row 1's hits keep their colour.
        if (tc.otherRowBeneath) {
            for (Side s : {Left, Right}) {
                ASSERT_NE(styleAt(s, 8), nullptr);
                EXPECT_EQ(styleAt(s, 8)->color, searchRowColor(1));
                EXPECT_EQ(styleAt(s, 4), nullptr);
            }
        }
        if (tc.smallerHits == 0) {
            EXPECT_EQ(log.messages(), QStringList{NoneFound});
        } else {
            EXPECT_TRUE(log.shown.empty());
            EXPECT_EQ(total(0), QStringLiteral("1"));
        }
    }
}

// The text sizes are locked while any row is active; an active row cannot be hidden.
TEST_F(SearchFindTest, ActiveRowsLockTextSizesAndTheirHideButton)
{
    setUpWith(Sample(3).text);
    c<fw::EditField>("EF_fontLeft")->setText(QStringLiteral("12"));
    for (int k = 0; k <= 2; ++k)
        c<fw::PushButton>("PB_NewCriteria", k)->Push();
    ASSERT_TRUE(phrase(3)->Visible());
    auto hideEnabled = [&](int j) { return c<fw::PushButton>("PB_srchHide", j)->Enabled(); };

    find(0, QStringLiteral("hit"));
    for (int j = 0; j <= 5; ++j)
        EXPECT_TRUE(hideEnabled(j)) << j;
    find(3, QStringLiteral("line"));
    EXPECT_FALSE(hideEnabled(2));
    EXPECT_EQ(w->numActiveSearches, 2);
    EXPECT_TRUE(textSizeControlsEnabled(false));
    // Disabled fields look disabled, as the desktop's line edits do: the locked text size, the active
    // row's phrase in its row colour, an empty hit number.
    const fw::EditField* locked[] = {c<fw::EditField>("EF_fontLeft"), phrase(3),
                                     c<fw::EditField>("EF_searchInstanceRight", 1)};
    for (const fw::EditField* field : locked) {
        EXPECT_FALSE(field->Enabled()) << field->Name().toStdString();
        EXPECT_TRUE(drawnDisabled(*field)) << field->Name().toStdString();
    }

    // The disabled "-" does not hide row 3.
    c<fw::PushButton>("PB_srchHide", 2)->Push();
    EXPECT_TRUE(phrase(3)->Visible());

    resetButton(0)->Push();
    EXPECT_EQ(w->numActiveSearches, 1);
    EXPECT_TRUE(textSizeControlsEnabled(false));
    EXPECT_FALSE(hideEnabled(2));

    resetButton(3)->Push();
    EXPECT_EQ(w->numActiveSearches, 0);
    EXPECT_TRUE(textSizeControlsEnabled(true));
    EXPECT_FALSE(drawnDisabled(*c<fw::EditField>("EF_fontLeft")));
    EXPECT_FALSE(drawnDisabled(*phrase(3)));
    EXPECT_TRUE(hideEnabled(2));
    EXPECT_TRUE(log.shown.empty());
}

// A Find of the phrase the row found last answers from the kept hits without reading the text; another
// phrase clears them (in the list both panes share) and scans anew.
TEST_F(SearchFindTest, RefindingReusesTheHitsAndANewPhraseClearsThem)
{
    const Sample sample(6);
    setUpWith(sample.text);
    find(0, QStringLiteral("hit"));
    resetButton(0)->Push();
    const IntListRef list = crit(Left, 0)->arrFoundIndexes;

    // The panes' text changes behind the search's back: a rescan would find other offsets.
    const QString shifted = QStringLiteral("__") + sample.text + QStringLiteral("hit");
    pane(Left)->setText(shifted);
    pane(Right)->setText(shifted);

    findButton(0)->Push();
    EXPECT_EQ(total(0), QStringLiteral("6"));
    EXPECT_EQ(*list, sample.hitOffsets);
    for (Side s : {Left, Right})
        EXPECT_EQ(pane(s)->SelStart(), sample.hitOffsets[0]);
    resetButton(0)->Push();

    phrase(0)->setText(QStringLiteral("hi"));
    findButton(0)->Push();
    EXPECT_EQ(total(0), QStringLiteral("7"));
    IntList expected;
    for (const qint32 o : sample.hitOffsets)
        expected.push_back(o + 2);
    expected.push_back(fw::Len(shifted) - 3);
    EXPECT_EQ(crit(Left, 0)->arrFoundIndexes, list);
    EXPECT_EQ(*crit(Right, 0)->arrFoundIndexes, expected);
    EXPECT_EQ(crit(Left, 0)->lastSearch, QStringLiteral("hi"));
    expectHitSelected(Right, 0, 0, expected[0], QStringLiteral("hi"));
}

// A phrase with characters outside the BMP, hit at the very start and the very end of a text full of
// them: offsets, selections and painted runs count characters, not UTF-16 units.
TEST_F(SearchFindTest, PhraseOutsideTheBmpHitAtStartAndEnd)
{
    const QString p = Clef + QStringLiteral("\u00e9z");
    const QString text = p + QStringLiteral("\n") + Clef + Clef + QStringLiteral(" x ") + p + Clef + QStringLiteral("\n") + p;
    const IntList offsets{0, 9, 14};
    ASSERT_EQ(fw::Len(text), 17);
    setUpWith(text);
    find(0, p, true);

    EXPECT_EQ(total(0), QStringLiteral("3"));
    EXPECT_EQ(*crit(Left, 0)->arrFoundIndexes, offsets);
    for (Side s : {Left, Right}) {
        expectHitSelected(s, 0, 0, 0, p);
        for (const qint32 o : offsets) {
            ASSERT_NE(styleAt(s, o), nullptr);
            ASSERT_NE(styleAt(s, o + 2), nullptr);
            EXPECT_EQ(styleAt(s, o)->color, searchRowColor(0));
            if (o + 3 < 17) {
                EXPECT_EQ(styleAt(s, o + 3), nullptr);
            }
        }
    }
    c<fw::UpDownArrows>("UDA_srchFirstLastRight", 0)->PressDown();
    expectHitSelected(Right, 0, 2, 14, p);
    expectHitSelected(Left, 0, 0, 0, p);
}

} // namespace
