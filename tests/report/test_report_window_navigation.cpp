#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "search/RC_searchCriteriaClass.h"
#include "support/TestSupport.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

namespace {

// One notch of the wheel over a field, as the system delivers it: spontaneous, to the widget under the
// pointer (the field's viewport), from where Qt passes it up while no widget accepts it. deltaY > 0
// turns towards the user (down); deltaX moves sideways.
void wheelOver(fw::EditField& field, int deltaX, int deltaY)
{
    QWidget* viewport = static_cast<QAbstractScrollArea*>(field.widget())->viewport();
    const QPointF at(viewport->width() / 2, viewport->height() / 2);
    QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(-120 * deltaX, -120 * deltaY), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(viewport, &event);
}

using testsupport::showsWhole;

using Report = RW_reportOutputWindow;
using Crit = std::shared_ptr<RC_searchCriteriaClass>;

// U+1D11E, outside the Basic Multilingual Plane: one character, two UTF-16 units.
const QString Clef = QString::fromUcs4(U"\U0001D11E");
const QString Phrase = QStringLiteral("hit");

// A report with `hits` lines "<prefix>line n: hit", and the character offsets of the hits.
struct Sample {
    QString text;
    IntList offsets;

    Sample(int hits, const QString& prefix)
    {
        for (int n = 0; n < hits; ++n) {
            text += prefix + QStringLiteral("line ") + QString::number(n) + QStringLiteral(": ");
            offsets.push_back(fw::Len(text));
            text += Phrase + QLatin1Char('\n');
        }
    }
};

class HitNavigationTest : public ::testing::Test {
protected:
    void SetUp() override { w = fw::Window::New<Report>(); }

    void TearDown() override
    {
        w->Close();
        testsupport::settle();
    }

    void setUpWith(const QString& text) { testsupport::showReport(*w, text); }

    enum Side { Left, Right };
    static const char* sfx(Side s) { return s == Left ? "Left" : "Right"; }
    QString name(const char* base, Side s) const { return QLatin1String(base) + QLatin1String(sfx(s)); }

    fw::EditField* pane(Side s) const { return w->control<fw::EditField>(name("EF_mainResults", s), 0); }
    fw::EditField* hitField(Side s, int k) const { return w->control<fw::EditField>(name("EF_searchInstance", s), k); }
    fw::UpDownArrows* upDown(Side s, int k) const { return w->control<fw::UpDownArrows>(name("UDA_srchUpDn", s), k); }
    fw::UpDownArrows* firstLast(Side s, int k) const
    {
        return w->control<fw::UpDownArrows>(name("UDA_srchFirstLast", s), k);
    }
    QString showing(Side s, int k) const { return w->control<fw::StaticText>(name("ST_searchShowing", s), k)->Text(); }
    Crit crit(Side s, int k) const
    {
        const auto record = s == Left ? w->reportRecordLeft(1) : w->reportRecordRight(1);
        return record->searchCrit[size_t(k)];
    }

    // Makes row k an active search with the given hits in both panes (one shared list, as a Find leaves
    // it) and lets both panes pick it up through a report switch.
    void activateRow(int k, const IntList& offsets, const QString& phrase = Phrase)
    {
        crit(Left, k)->currSearch = phrase;
        crit(Left, k)->lastSearch = phrase;
        *crit(Left, k)->arrFoundIndexes = offsets;
        crit(Right, k)->currSearch = phrase;
        crit(Right, k)->arrFoundIndexes = crit(Left, k)->arrFoundIndexes;
        w->control<fw::StaticText>(QStringLiteral("ST_searchTotal"), k)->setText(QString::number(offsets.size()));
        for (Side s : {Left, Right})
            w->control<fw::PopupMenu>(name("PM_displayChoice", s))->setListIndex(1);
    }

    void expectHitSelected(Side s, int k, int hit, const IntList& offsets, const QString& phrase = Phrase)
    {
        EXPECT_EQ(hitField(s, k)->Text(), QString::number(hit + 1));
        EXPECT_EQ(crit(s, k)->lastSearchIdx, hit);
        EXPECT_EQ(pane(s)->SelStart(), offsets[size_t(hit)]);
        EXPECT_EQ(pane(s)->SelLength(), fw::Len(phrase));
        EXPECT_EQ(pane(s)->SelText(), phrase);
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
};

TEST_F(HitNavigationTest, ReportSwitchShowsActiveRowsOnly)
{
    const Sample sample(7, QString());
    setUpWith(sample.text);
    activateRow(2, sample.offsets);

    for (Side s : {Left, Right}) {
        EXPECT_EQ(showing(s, 2), QStringLiteral("7"));
        EXPECT_TRUE(hitField(s, 2)->Enabled());
        EXPECT_EQ(hitField(s, 2)->Mask(), QStringLiteral("#"));
        EXPECT_TRUE(upDown(s, 2)->Visible() && firstLast(s, 2)->Visible());
        expectHitSelected(s, 2, 0, sample.offsets);
    }

    // A row whose total shows "-" is skipped although its criteria still hold hits.
    *crit(Left, 4)->arrFoundIndexes = sample.offsets;
    w->control<fw::PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->setListIndex(1);
    EXPECT_EQ(showing(Left, 4), QStringLiteral("-"));
    EXPECT_FALSE(hitField(Left, 4)->Enabled());
    EXPECT_FALSE(upDown(Left, 4)->Visible());

    // An active row without hits in the shown report: "0", navigation off, empty field.
    activateRow(5, {});
    EXPECT_EQ(showing(Left, 5), QStringLiteral("0"));
    EXPECT_FALSE(hitField(Left, 5)->Enabled());
    EXPECT_TRUE(hitField(Left, 5)->Text().isEmpty());
    EXPECT_FALSE(firstLast(Left, 5)->Visible());
    EXPECT_TRUE(log.shown.empty());
}

struct TypedCase {
    const char* typed;
    int hit;
};

TEST_F(HitNavigationTest, TypedHitNumbersAreClampedAndSelected)
{
    const Sample sample(7, QString());
    setUpWith(sample.text);
    activateRow(0, sample.offsets);

    const TypedCase cases[] = {{"3", 2}, {"9", 6}, {"0", 0}, {"7", 6}, {"", 0}, {"x", 0}, {"5", 4}, {"-4", 0}};
    for (Side s : {Left, Right}) {
        for (const TypedCase& tc : cases) {
            hitField(s, 0)->setText(QLatin1String(tc.typed));
            expectHitSelected(s, 0, tc.hit, sample.offsets);
        }
    }
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(HitNavigationTest, MaskHasOneDigitPlacePerDigitOfTheHitCount)
{
    setUpWith(QStringLiteral("text"));
    const struct {
        int count;
        const char* mask;
    } cases[] = {{1, "#"}, {9, "#"}, {10, "##"}, {99, "##"}, {100, "###"}, {1000, "####"}};
    for (const auto& mc : cases) {
        const Crit c = crit(Right, 1);
        c->arrFoundIndexes->assign(size_t(mc.count), 0);
        w->setNavigationPropertiesRight(1, mc.count, c);
        EXPECT_EQ(hitField(Right, 1)->Mask(), QLatin1String(mc.mask)) << mc.count;
        EXPECT_EQ(showing(Right, 1), QString::number(mc.count));
    }

    // Count 0 switches the row off but leaves the mask and the text to the caller.
    hitField(Right, 1)->setText(QStringLiteral("12"));
    w->setNavigationPropertiesRight(1, 0, crit(Right, 1));
    EXPECT_FALSE(hitField(Right, 1)->Enabled());
    EXPECT_FALSE(upDown(Right, 1)->Visible() || firstLast(Right, 1)->Visible());
    EXPECT_EQ(hitField(Right, 1)->Mask(), QStringLiteral("####"));
    EXPECT_EQ(hitField(Right, 1)->Text(), QStringLiteral("12"));
    EXPECT_EQ(showing(Right, 1), QStringLiteral("0"));
}

enum class Action { Next, Previous, First, Last, WheelDown, WheelUp, WheelNone };

struct StepCase {
    Action action;
    int from;
    int to;
};

TEST_F(HitNavigationTest, ArrowsAndWheelStepWithoutWrapping)
{
    const Sample sample(7, QString());
    setUpWith(sample.text);
    activateRow(3, sample.offsets);

    const StepCase cases[] = {
        {Action::Next, 2, 3},     {Action::Next, 6, 6},          {Action::Previous, 2, 1},
        {Action::Previous, 0, 0}, {Action::First, 5, 0},         {Action::Last, 1, 6},
        {Action::WheelDown, 2, 3}, {Action::WheelDown, 6, 6},    {Action::WheelUp, 2, 1},
        {Action::WheelUp, 0, 0},  {Action::WheelNone, 4, 4},
    };
    for (Side s : {Left, Right}) {
        for (const StepCase& sc : cases) {
            hitField(s, 3)->setText(QString::number(sc.from + 1));
            switch (sc.action) {
            case Action::Next: upDown(s, 3)->PressDown(); break;
            case Action::Previous: upDown(s, 3)->PressUp(); break;
            case Action::First: firstLast(s, 3)->PressUp(); break;
            case Action::Last: firstLast(s, 3)->PressDown(); break;
            case Action::WheelDown: wheelOver(*hitField(s, 3), 0, 1); break;
            case Action::WheelUp: wheelOver(*hitField(s, 3), 0, -1); break;
            case Action::WheelNone: wheelOver(*hitField(s, 3), 3, 0); break;
            }
            SCOPED_TRACE(testing::Message() << sfx(s) << " action " << int(sc.action) << " from " << sc.from);
            expectHitSelected(s, 3, sc.to, sample.offsets);
        }
        EXPECT_FALSE(hitField(s, 3)->MouseWheel(*hitField(s, 3), 5, 5, 0, 1)) << "the wheel is never consumed";
    }
    EXPECT_TRUE(log.shown.empty());
}

// A report of 390,000 hits: the hit number that the last-hit arrow writes into the narrow field, and one
// the user types there, show whole, from the first digit, and select their hit.
TEST_F(HitNavigationTest, SixDigitHitNumbersShowWhole)
{
    constexpr int Hits = 390000;
    QString text;
    text.reserve(Hits * 4);
    IntList offsets;
    offsets.reserve(Hits);
    for (int n = 0; n < Hits; ++n) {
        offsets.push_back(qint32(text.size()));
        text += n % 100 == 99 ? QStringLiteral("hit\n") : QStringLiteral("hit ");
    }
    setUpWith(text);
    activateRow(0, offsets);
    for (Side s : {Left, Right}) {
        SCOPED_TRACE(sfx(s));
        fw::EditField& field = *hitField(s, 0);
        firstLast(s, 0)->PressDown();
        expectHitSelected(s, 0, Hits - 1, offsets);
        EXPECT_TRUE(showsWhole(field));

        field.SetFocus();
        QTRY_VERIFY(field.textPane()->hasFocus());
        QTest::keyClick(field.textPane(), Qt::Key_A, Qt::ControlModifier);
        for (const char digit : {'1', '2', '3', '4', '5', '6'}) {
            QTest::keyClick(field.textPane(), digit);
            EXPECT_TRUE(showsWhole(field)) << "typed";
        }
        expectHitSelected(s, 0, 123455, offsets);
        upDown(s, 0)->PressUp();
        expectHitSelected(s, 0, 123454, offsets);
        EXPECT_FALSE(field.textPane()->hasFocus()) << "the arrow gives the focus to the pane";
        EXPECT_TRUE(showsWhole(field));
    }
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(HitNavigationTest, DisabledFieldIgnoresTextAndWheel)
{
    const Sample sample(4, QString());
    setUpWith(sample.text);
    activateRow(1, sample.offsets);
    hitField(Left, 1)->setText(QStringLiteral("3"));
    pane(Left)->setSelStart(0);

    w->setNavigationPropertiesLeft(1, 0, crit(Left, 1));
    hitField(Left, 1)->setText(QStringLiteral("1"));
    EXPECT_FALSE(hitField(Left, 1)->MouseWheel(*hitField(Left, 1), 0, 0, 0, 1));
    EXPECT_EQ(hitField(Left, 1)->Text(), QStringLiteral("1"));
    EXPECT_EQ(crit(Left, 1)->lastSearchIdx, 2);
    EXPECT_EQ(pane(Left)->SelStart(), 0);
    EXPECT_EQ(pane(Left)->SelLength(), 0);
}

TEST_F(HitNavigationTest, EnabledFieldWithoutHitsShowsTheGuardMessage)
{
    setUpWith(QStringLiteral("text"));
    for (Side s : {Left, Right}) {
        crit(s, 0)->lastSearchIdx = 5;
        hitField(s, 0)->setEnabled(true);
        hitField(s, 0)->setText(QStringLiteral("2"));
        EXPECT_EQ(crit(s, 0)->lastSearchIdx, 5);
        EXPECT_EQ(hitField(s, 0)->Text(), QStringLiteral("2"));
    }
    EXPECT_EQ(log.messages(),
              (QStringList{QStringLiteral("SNHE: in EF_searchInstanceLeft, ubound(searchObj.arrFoundIndexes) is -1; "
                                          "this control should have been disabled"),
                           QStringLiteral("SNHE: in EF_searchInstanceRight, ubound(searchObj.arrFoundIndexes) is -1; "
                                          "this control should have been disabled")}));
}

TEST_F(HitNavigationTest, HitsAfterCharactersOutsideTheBmpSelectTheRightCharacters)
{
    // Every line starts with two characters of two UTF-16 units each, and the phrase holds one too.
    const QString phrase = Clef + QStringLiteral("x");
    QString text;
    IntList offsets;
    for (int n = 0; n < 4; ++n) {
        text += Clef + Clef + QStringLiteral(" line ") + QString::number(n) + QStringLiteral(" ");
        offsets.push_back(fw::Len(text));
        text += phrase + QStringLiteral(" tail\n");
    }
    setUpWith(text);
    activateRow(6, offsets, phrase);
    for (Side s : {Left, Right}) {
        for (int hit : {0, 3, 1}) {
            hitField(s, 6)->setText(QString::number(hit + 1));
            expectHitSelected(s, 6, hit, offsets, phrase);
        }
    }
}

TEST_F(HitNavigationTest, EachPaneKeepsItsOwnCurrentHitAcrossReportSwitches)
{
    const Sample sample(6, QString());
    setUpWith(sample.text);
    activateRow(0, sample.offsets);
    hitField(Left, 0)->setText(QStringLiteral("5"));
    hitField(Right, 0)->setText(QStringLiteral("2"));

    w->control<fw::PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->setListIndex(0);
    EXPECT_EQ(w->control<fw::PagePanel>(QStringLiteral("PP_resultsLeft"))->Value(), 1);
    pane(Left)->setSelStart(0);
    w->control<fw::PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->setListIndex(1);
    expectHitSelected(Left, 0, 4, sample.offsets);
    expectHitSelected(Right, 0, 1, sample.offsets);
}

// Painting runs over hits is checked through Find; here, the calls that have nothing to paint.
TEST_F(HitNavigationTest, PaintingWithoutHitsKeepsTheProgressBarAndNilCriteriaAreReported)
{
    setUpWith(QStringLiteral("aa hit bb hit"));
    auto* progress = w->control<fw::ProgressBar>(QStringLiteral("PrB_progressBar"));
    progress->setMaximum(10);
    w->applyStyleToSearchTextRight(crit(Right, 1), 0);
    EXPECT_EQ(progress->Maximum(), 10);
    EXPECT_EQ(pane(Right)->textPane()->styleRunCount(), 0);
    w->applyStyleToSearchTextRight(nullptr, 0);
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("SNHE: NIL searchObj in applyStyleToSearchText!")});
}

} // namespace
