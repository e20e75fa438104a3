#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "report/RC_outputDataClass.h"
#include "search/RC_searchCriteriaClass.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Report = RW_reportOutputWindow;

class ReportWindowTest : public ::testing::Test {
protected:
    void SetUp() override { w = fw::Window::New<Report>(); }
    void TearDown() override { testsupport::closeAllWindows(); }

    fw::Control* c(const char* name, int index = -1) const { return w->FindControl(QLatin1String(name), index); }
    template <class C>
    C* as(const char* name, int index = -1) const
    {
        return w->control<C>(QLatin1String(name), index);
    }
    QString text(const char* name, int index = -1) const { return as<fw::StaticText>(name, index)->Text(); }
    bool visible(const char* name, int index) const { return c(name, index)->Visible(); }

    // Resizes the window and waits until the controls have followed.
    void resizeTo(int width, int height)
    {
        w->setSize(width, height);
        ASSERT_TRUE(testsupport::waitUntil([&] { return w->Width() == width && w->Height() == height; }));
        testsupport::settle();
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
};

const char* const kCounters[] = {"ST_searchTotal", "ST_searchShowingLeft", "ST_searchShowingRight"};

TEST_F(ReportWindowTest, DesignTimeStateBeforeTheRunCompletes)
{
    EXPECT_EQ(w->Title(), QStringLiteral("Report Results"));
    EXPECT_EQ(w->controls().size(), 147u);
    EXPECT_FALSE(w->initializationFinished);
    EXPECT_TRUE(w->ignoreSlider);
    EXPECT_EQ(w->numSearchCriteriaVisible, 1);

    for (const char* name : {"PM_displayChoiceLeft", "PM_displayChoiceRight"}) {
        auto* popup = as<fw::PopupMenu>(name);
        EXPECT_FALSE(popup->Enabled()) << name;
        ASSERT_EQ(popup->ListCount(), 1) << name;
        EXPECT_EQ(popup->List(0), QStringLiteral("---- PLEASE SELECT REPORT RESULTS ----"));
        EXPECT_EQ(popup->ListIndex(), 0);
    }
    for (const char* name : {"BB_bookmarksLeft", "BB_bookmarksRight", "PB_openInWordLeft", "PB_openInWordRight",
                             "GB_search"})
        EXPECT_FALSE(c(name)->Enabled()) << name;
    EXPECT_EQ(as<fw::PagePanel>("PP_resultsLeft")->Value(), 0);
    EXPECT_EQ(as<fw::PagePanel>("PP_resultsRight")->Value(), 0);

    for (int k = 0; k < 7; ++k) {
        for (const char* counter : kCounters)
            EXPECT_EQ(text(counter, k), QStringLiteral("99999")) << counter << k;
        EXPECT_FALSE(c("PB_find", k)->Enabled());
        EXPECT_FALSE(visible("PB_clearSearch", k));
        EXPECT_FALSE(c("EF_searchInstanceLeft", k)->Enabled());
        EXPECT_FALSE(c("EF_searchInstanceRight", k)->Enabled());
        EXPECT_FALSE(visible("UDA_srchUpDnLeft", k));
        EXPECT_FALSE(visible("UDA_srchFirstLastRight", k));
        EXPECT_TRUE(visible("EF_searchText", k));
    }
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(visible("PB_NewCriteria", j), j == 0) << j;
        EXPECT_EQ(visible("PB_srchHide", j), j == 5) << j;
    }
    // Six "+" and six "-"; one pane per side.
    EXPECT_EQ(c("PB_NewCriteria", 6), nullptr);
    EXPECT_EQ(c("PB_srchHide", 6), nullptr);
    EXPECT_EQ(c("EF_searchText", 7), nullptr);
    EXPECT_EQ(c("EF_mainResultsLeft", 1), nullptr);

    // The left up/down arrows differ in height by row; the "-" of row k + 1 stands on that row.
    const int heights[] = {27, 31, 29, 29, 29, 29, 29};
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(c("UDA_srchUpDnLeft", k)->Height(), heights[k]) << k;
    EXPECT_EQ(c("PB_srchHide", 0)->Top(), 440);
    EXPECT_EQ(c("PB_NewCriteria", 5)->Top(), 578);
}

TEST_F(ReportWindowTest, SliderAndResizeMoveNoPaneBeforeSetUp)
{
    const int leftWidth = c("PP_resultsLeft")->Width();
    as<fw::Slider>("SL_widthAdjuster")->setValue(60);
    EXPECT_EQ(c("PP_resultsLeft")->Width(), leftWidth);
    EXPECT_EQ(w->lastSliderValue, 0);

    resizeTo(1040, 659);
    // Only the locks act: the left panel stretches, the right one moves.
    EXPECT_EQ(c("PP_resultsLeft")->Width(), leftWidth + 100);
    EXPECT_EQ(c("PP_resultsRight")->Left(), 572);
    EXPECT_EQ(w->lastSliderValue, 0);
}

struct LineCase {
    const char* text;
    int lines;
};

TEST_F(ReportWindowTest, SetUpEndState)
{
    w->initialize(QStringLiteral("one\ntwo\n"));

    EXPECT_TRUE(w->initializationFinished);
    EXPECT_FALSE(w->ignoreSlider);
    EXPECT_TRUE(log.shown.empty());
    EXPECT_EQ(w->numSearchCriteria, 7);
    EXPECT_EQ(w->numSearchCriteriaVisible, 1);

    for (const char* name : {"PM_displayChoiceLeft", "PM_displayChoiceRight"}) {
        auto* popup = as<fw::PopupMenu>(name);
        EXPECT_TRUE(popup->Enabled());
        ASSERT_EQ(popup->ListCount(), 2);
        EXPECT_EQ(popup->List(1), QStringLiteral("stdout"));
        EXPECT_EQ(popup->ListIndex(), 1);
    }
    const auto left = w->reportRecordLeft(1);
    const auto right = w->reportRecordRight(1);
    ASSERT_TRUE(left && right);
    EXPECT_NE(left, right);
    EXPECT_EQ(left->totalLineCount, 3);
    EXPECT_EQ(right->totalLineCount, 3);
    ASSERT_EQ(left->searchCrit.size(), 7u);
    ASSERT_EQ(right->searchCrit.size(), 7u);
    EXPECT_NE(left->searchCrit[0], right->searchCrit[0]);
    EXPECT_EQ(w->reportRecordLeft(0), nullptr);

    for (const char* name : {"BB_bookmarksLeft", "BB_bookmarksRight", "PB_openInWordLeft", "PB_openInWordRight",
                             "GB_search"})
        EXPECT_TRUE(c(name)->Enabled()) << name;
    for (int k = 0; k < 7; ++k) {
        for (const char* counter : kCounters)
            EXPECT_EQ(text(counter, k), QStringLiteral("-")) << counter << k;
    }

    auto* slider = as<fw::Slider>("SL_widthAdjuster");
    EXPECT_EQ(slider->Minimum(), 0);
    EXPECT_EQ(slider->Maximum(), 866);
    EXPECT_EQ(slider->Value(), 433);
    EXPECT_EQ(w->lastSliderValue, 433);

    // Six rows collapsed: the boundary between the two areas moved 210 pixels down.
    EXPECT_EQ(c("GB_search")->Top(), 344 + 210);
    EXPECT_EQ(c("GB_search")->Height(), 295 - 210);
    EXPECT_EQ(c("GB_reportOutput")->Height(), 283 + 210);
    EXPECT_EQ(c("EF_searchText", 0)->Top(), 400 + 210);
    EXPECT_TRUE(c("GB_search")->Visible());
    EXPECT_TRUE(c("GB_reportOutput")->Visible());

    for (const char* name : {"PP_resultsLeft", "PP_resultsRight"}) {
        EXPECT_EQ(as<fw::PagePanel>(name)->Value(), 1) << name;
        EXPECT_TRUE(c(name)->Visible()) << name;
    }
    EXPECT_EQ(text("ST_totalLineCountLeft"), QStringLiteral("of 3"));
    EXPECT_EQ(text("ST_totalLineCountRight"), QStringLiteral("of 3"));
}

TEST_F(ReportWindowTest, RowStylesAndPlainStyle)
{
    w->initialize(QStringLiteral("x"));
    const QRgb colours[] = {0xFF0000, 0x00FF00, 0x2500FF, 0xCC0099, 0x990000, 0x00CCFF, 0x0F0F0F};
    const auto record = w->reportRecordLeft(1);
    for (int k = 0; k < 7; ++k) {
        const QColor colour = QColor::fromRgb(colours[k]);
        EXPECT_EQ(c("EF_searchText", k)->TextColor(), colour) << k;
        EXPECT_TRUE(c("EF_searchText", k)->font().bold) << k;
        EXPECT_EQ(c("ST_searchColorLabel", k)->TextColor(), colour) << k;
        const auto& crit = record->searchCrit[size_t(k)];
        EXPECT_EQ(crit->textColor, colour) << k;
        EXPECT_TRUE(crit->bold && crit->underline) << k;
        EXPECT_EQ(crit->size, 0) << k;
    }
    ASSERT_TRUE(w->defaultSearchCriteria);
    EXPECT_EQ(w->defaultSearchCriteria->textColor, QColor(0, 0, 0));
    EXPECT_FALSE(w->defaultSearchCriteria->bold || w->defaultSearchCriteria->underline);
    EXPECT_EQ(w->defaultSearchCriteria->size, 0);

    // The plain style takes the left text size as a number; letters only read as 0.
    const struct {
        const char* field;
        int size;
    } sizes[] = {{"14", 14}, {"", 0}, {"ab", 0}, {"9x", 9}};
    for (const auto& s : sizes) {
        as<fw::EditField>("EF_fontLeft")->setText(QLatin1String(s.field));
        w->assignSearchTextCosmetics(w->defaultSearchCriteria, -1);
        EXPECT_EQ(w->defaultSearchCriteria->size, s.size) << s.field;
    }
}

TEST_F(ReportWindowTest, LineTotalsCountPiecesAtLineEnds)
{
    const LineCase cases[] = {{"a\nb\n", 3}, {"a\nb", 2}, {"", 1}, {"\n", 2}, {"single", 1}};
    for (const LineCase& lc : cases) {
        EXPECT_EQ(RC_outputDataClass::countLines(QString::fromUtf8(lc.text)), lc.lines) << lc.text;
        Report* other = fw::Window::New<Report>();
        other->initialize(QString::fromUtf8(lc.text));
        const QString expected = QStringLiteral("of ") + QString::number(lc.lines);
        EXPECT_EQ(other->control<fw::StaticText>(QStringLiteral("ST_totalLineCountLeft"))->Text(), expected);
        EXPECT_EQ(other->control<fw::StaticText>(QStringLiteral("ST_totalLineCountRight"))->Text(), expected);
        EXPECT_EQ(other->reportRecordRight(1)->totalLineCount, lc.lines);
        other->Close();
    }
}

TEST_F(ReportWindowTest, SetUpOfALargeReportStaysLinear)
{
    // 2 000 000 lines of 10 characters: the set-up only counts line ends and shares the text.
    const QString line = QStringLiteral("123456789\n");
    QString big;
    big.reserve(line.size() * 2000000);
    for (int i = 0; i < 2000000; ++i)
        big += line;
    QElapsedTimer timer;
    timer.start();
    w->initialize(big);
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(2000));
    EXPECT_EQ(text("ST_totalLineCountLeft"), QStringLiteral("of 2000001"));
    EXPECT_EQ(w->reportRecordLeft(1)->displayableText.size(), big.size());
}

TEST_F(ReportWindowTest, InitializeOnAClosedWindowDoesNothing)
{
    QPointer<Report> guard(w);
    w->Close();
    w->initialize(QStringLiteral("late output"));
    EXPECT_FALSE(w->initializationFinished);
    EXPECT_EQ(w->control<fw::PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->ListCount(), 1);
    testsupport::settle();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(ReportWindowTest, EqualSplitAndSliderMoves)
{
    w->initialize(QStringLiteral("text"));

    // Report area 20..920: panels of (900 - 12) / 2 = 444 from 24 and from 472.
    EXPECT_EQ(c("PP_resultsLeft")->Left(), 24);
    EXPECT_EQ(c("PP_resultsLeft")->Width(), 444);
    EXPECT_EQ(c("PP_resultsRight")->Left(), 472);
    EXPECT_EQ(c("PP_resultsRight")->Width(), 444);
    auto* paneLeft = c("EF_mainResultsLeft", 0);
    auto* paneRight = c("EF_mainResultsRight", 0);
    EXPECT_EQ(c("BB_bookmarksLeft")->Left(), paneLeft->Left());
    EXPECT_EQ(c("BB_bookmarksLeft")->Width(), paneLeft->Width());
    EXPECT_EQ(c("BB_bookmarksRight")->Left(), paneRight->Left());
    EXPECT_EQ(c("BB_bookmarksRight")->Width(), paneRight->Width());
    EXPECT_EQ(c("PM_displayChoiceLeft")->Left(), paneLeft->Left());
    EXPECT_EQ(c("PM_displayChoiceLeft")->Width(), paneLeft->Width() - 10);
    EXPECT_EQ(c("PM_displayChoiceRight")->Left(), paneRight->Left() + 6);
    EXPECT_EQ(c("PM_displayChoiceRight")->Width(), paneRight->Width() - 12);

    const char* const moved[] = {"PP_resultsLeft", "PM_displayChoiceLeft", "BB_bookmarksLeft",
                                 "PP_resultsRight", "PM_displayChoiceRight", "BB_bookmarksRight",
                                 "EF_mainResultsLeft", "EF_mainResultsRight"};
    auto geometry = [&] {
        std::vector<QRect> rects;
        for (const char* name : moved) {
            fw::Control* ctl = c(name, QByteArray(name).startsWith("EF_") ? 0 : -1);
            rects.emplace_back(ctl->Left(), ctl->Top(), ctl->Width(), ctl->Height());
        }
        return rects;
    };
    const std::vector<QRect> before = geometry();

    auto* slider = as<fw::Slider>("SL_widthAdjuster");
    for (int d : {50, -120, -433, 433}) {
        slider->setValue(433 + d);
        EXPECT_EQ(c("PP_resultsLeft")->Width(), 444 + d) << d;
        EXPECT_EQ(c("PP_resultsRight")->Left(), 472 + d) << d;
        EXPECT_EQ(c("PP_resultsRight")->Width(), 444 - d) << d;
        EXPECT_EQ(c("PP_resultsRight")->Left() + c("PP_resultsRight")->Width(), 916) << d;
        EXPECT_EQ(c("BB_bookmarksRight")->Left(), before[5].left() + d) << d;
        EXPECT_EQ(c("PM_displayChoiceLeft")->Width(), std::max(0, before[1].width() + d)) << d;
        EXPECT_EQ(c("PM_displayChoiceRight")->Width(), std::max(0, before[4].width() - d)) << d;
        EXPECT_EQ(w->lastSliderValue, 433 + d);
        slider->setValue(433);
        // At the slider's ends the narrower chooser is held at width 0; it comes back exactly.
        EXPECT_EQ(geometry(), before) << d;
    }
}

TEST_F(ReportWindowTest, ResizeRestoresTheEqualSplitAndTheOddPixelGoesRight)
{
    w->initialize(QStringLiteral("text"));
    as<fw::Slider>("SL_widthAdjuster")->setValue(500);
    ASSERT_NE(c("PP_resultsLeft")->Width(), c("PP_resultsRight")->Width());

    resizeTo(941, 700);
    auto* slider = as<fw::Slider>("SL_widthAdjuster");
    EXPECT_EQ(slider->Width(), 887);
    EXPECT_EQ(slider->Maximum(), 867);
    EXPECT_EQ(slider->Value(), 433);
    EXPECT_EQ(w->lastSliderValue, 433);
    EXPECT_FALSE(w->ignoreSlider);

    auto* area = c("GB_reportOutput");
    auto* left = c("PP_resultsLeft");
    auto* right = c("PP_resultsRight");
    EXPECT_EQ(left->Width(), 444);
    EXPECT_EQ(right->Width(), 444);
    EXPECT_EQ(left->Left() - area->Left(), 4);
    EXPECT_EQ(right->Left() - (left->Left() + left->Width()), 4);
    EXPECT_EQ(area->Left() + area->Width() - (right->Left() + right->Width()), 5);

    // After the resize the slider acts again from its new centre.
    slider->setValue(443);
    EXPECT_EQ(left->Width(), 454);
    EXPECT_EQ(right->Left(), 482);
}

// The "+" and "-" buttons visible for v rows shown. The "-" of row 6 keeps its creation visibility (it
// lies outside the search area) until it is pressed; from then on it shows only while row 6 is the last.
void expectRowButtons(const Report* w, int v, bool sixthMinusPressed)
{
    for (int j = 0; j < 6; ++j) {
        const bool plus = w->FindControl(QStringLiteral("PB_NewCriteria"), j)->Visible();
        const bool minus = w->FindControl(QStringLiteral("PB_srchHide"), j)->Visible();
        EXPECT_EQ(plus, j == v - 1) << "v=" << v << " + " << j;
        EXPECT_EQ(minus, j == v - 2 || (j == 5 && !sixthMinusPressed)) << "v=" << v << " - " << j;
    }
}

TEST_F(ReportWindowTest, SearchRowsShownAndHiddenToBothEnds)
{
    w->initialize(QStringLiteral("text"));
    const int searchTop = c("GB_search")->Top();
    const int reportHeight = c("GB_reportOutput")->Height();
    expectRowButtons(w, 1, false);
    as<fw::EditField>("EF_searchText", 3)->setText(QStringLiteral("kept"));

    for (int k = 0; k < 6; ++k) {
        as<fw::PushButton>("PB_NewCriteria", k)->Push();
        const int v = k + 2;
        EXPECT_EQ(w->numSearchCriteriaVisible, v);
        EXPECT_EQ(c("GB_search")->Top(), searchTop - 35 * (v - 1));
        EXPECT_EQ(c("GB_search")->Top() + c("GB_search")->Height(), 639);
        EXPECT_EQ(c("GB_reportOutput")->Height(), reportHeight - 35 * (v - 1));
        EXPECT_TRUE(c("EF_searchText", k + 1)->Visible());
        EXPECT_TRUE(c("GB_search")->Visible() && c("GB_reportOutput")->Visible());
        expectRowButtons(w, v, false);
    }
    EXPECT_EQ(c("EF_searchText", 6)->Top(), 608);
    EXPECT_TRUE(log.shown.empty());

    w->adjustWindowSizeForOneMoreSearch();
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("SNHE: this function (adjustWindowSizeForOneMoreSearch) should "
                                                         "not have been called, numSearchCriteriaVisible=7, "
                                                         "totalSearchCrit=7")});
    EXPECT_EQ(c("GB_search")->Top(), 344);
    EXPECT_EQ(w->numSearchCriteriaVisible, 7);

    for (int j = 5; j >= 0; --j) {
        as<fw::PushButton>("PB_srchHide", j)->Push();
        const int v = j + 1;
        EXPECT_EQ(w->numSearchCriteriaVisible, v);
        EXPECT_FALSE(c("EF_searchText", j + 1)->Visible());
        EXPECT_EQ(c("GB_search")->Top(), searchTop - 35 * (v - 1));
        expectRowButtons(w, v, true);
    }
    EXPECT_EQ(c("GB_reportOutput")->Height(), reportHeight);

    w->adjustWindowSizeForOneLessSearch();
    ASSERT_EQ(log.shown.size(), 2u);
    EXPECT_EQ(log.shown[1].message, QStringLiteral("SNHE: this function (adjustWindowSizeForOneLessSearch) should not "
                                                   "have been called, numSearchCriteriaVisible=1, totalSearchCrit=7"));
    EXPECT_EQ(c("GB_search")->Top(), searchTop);
    EXPECT_EQ(w->numSearchCriteriaVisible, 1);

    // A row hidden and shown again keeps its phrase.
    for (int k = 0; k < 3; ++k)
        as<fw::PushButton>("PB_NewCriteria", k)->Push();
    EXPECT_EQ(as<fw::EditField>("EF_searchText", 3)->Text(), QStringLiteral("kept"));
    EXPECT_EQ(as<fw::PagePanel>("PP_resultsLeft")->Value(), 1);
}

} // namespace
