// The report window's display half: set-up, report choice per pane, pane split and resizing, line
// numbers, text sizes, return to the number selection and the header logo.

#include "report/RW_reportOutputWindow.h"

#include "common/Pictures.h"
#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/Graphics.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "search/RC_searchCriteriaClass.h"

#include <algorithm>

using namespace fw;

QString RW_reportOutputWindow::sideName(const char* base, Side side)
{
    return QLatin1String(base) + (side == Side::Left ? QLatin1String("Left") : QLatin1String("Right"));
}

const char* const RW_reportOutputWindow::kSplitControls[6] = {"PP_resultsLeft",  "PM_displayChoiceLeft",
                                                                "BB_bookmarksLeft", "PP_resultsRight",
                                                                "PM_displayChoiceRight", "BB_bookmarksRight"};

std::shared_ptr<RC_outputDataClass> RW_reportOutputWindow::reportRecord(Side side, int row) const
{
    auto* popup = sideCtl<PopupMenu>("PM_displayChoice", side);
    if (!popup || row <= 0)
        return nullptr;
    const auto* record = std::any_cast<std::shared_ptr<RC_outputDataClass>>(&popup->RowTag(row));
    return record ? *record : nullptr;
}

std::shared_ptr<RC_outputDataClass> RW_reportOutputWindow::reportRecordLeft(int row) const
{
    return reportRecord(Side::Left, row);
}

std::shared_ptr<RC_outputDataClass> RW_reportOutputWindow::reportRecordRight(int row) const
{
    return reportRecord(Side::Right, row);
}

EditField* RW_reportOutputWindow::shownPane(Side side) const
{
    auto* pages = sideCtl<PagePanel>("PP_results", side);
    if (!pages || pages->Value() <= 0)
        return nullptr;
    return sideCtl<EditField>("EF_mainResults", side, pages->Value() - 1);
}

// ---- set-up

void RW_reportOutputWindow::initialize(const QString& text)
{
    initialize(text, RC_outputDataClass::countLines(text));
}

void RW_reportOutputWindow::initialize(const QString& text, qint32 lines)
{
    // A window closed while its back-end still ran is only waiting to be deleted.
    if (isClosed())
        return;

    auto* pagesLeft = ctl<PagePanel>("PP_resultsLeft");
    auto* pagesRight = ctl<PagePanel>("PP_resultsRight");
    pagesLeft->setVisible(false);
    pagesRight->setVisible(false);

    // Row styles: count the search rows and show each row's colour in its phrase field and label.
    defaultSearchCriteria = std::make_shared<RC_searchCriteriaClass>();
    numSearchCriteria = 0;
    while (auto* phrase = ctl<EditField>("EF_searchText", numSearchCriteria)) {
        assignSearchTextCosmetics(defaultSearchCriteria, numSearchCriteria);
        phrase->setTextColor(defaultSearchCriteria->textColor);
        ControlFont font = phrase->font();
        font.bold = defaultSearchCriteria->bold;
        phrase->setFont(font);
        if (auto* label = ctl<StaticText>("ST_searchColorLabel", numSearchCriteria))
            label->setTextColor(defaultSearchCriteria->textColor);
        ++numSearchCriteria;
    }
    assignSearchTextCosmetics(defaultSearchCriteria, -1);

    // One record per side for the report "stdout". The records share the text (no copy); the panes
    // already hold it from the run's last refresh and are not rewritten.
    for (Side side : {Side::Left, Side::Right}) {
        auto record = std::make_shared<RC_outputDataClass>();
        record->displayableText = text;
        record->totalLineCount = lines;
        for (qint32 i = 1; i <= numSearchCriteria; ++i) {
            auto crit = std::make_shared<RC_searchCriteriaClass>();
            assignSearchTextCosmetics(crit, i - 1);
            record->searchCrit.push_back(crit);
        }
        auto* popup = sideCtl<PopupMenu>("PM_displayChoice", side);
        popup->AddRow(QStringLiteral("stdout"));
        popup->setRowTag(popup->ListCount() - 1, record);
    }

    for (const char* name : {"PB_openInWordLeft", "BB_bookmarksLeft", "PB_openInWordRight", "BB_bookmarksRight",
                             "GB_search", "PM_displayChoiceLeft", "PM_displayChoiceRight"}) {
        FindControl(QLatin1String(name))->setEnabled(true);
    }

    for (qint32 k = 0; k < numSearchCriteria; ++k) {
        for (const char* name : {"ST_searchTotal", "ST_searchShowingLeft", "ST_searchShowingRight"}) {
            if (auto* counter = ctl<StaticText>(name, k))
                counter->setText(QStringLiteral("-"));
        }
    }

    auto* slider = ctl<Slider>("SL_widthAdjuster");
    slider->setMinimum(0);
    slider->setMaximum(slider->Width() - 20);
    slider->setValue(slider->Maximum() / 2);
    lastSliderValue = slider->Value();
    resetOutputTo50Percent();

    // Collapse the search area to its first row.
    auto* reportArea = FindControl(QStringLiteral("GB_reportOutput"));
    auto* searchArea = FindControl(QStringLiteral("GB_search"));
    reportArea->setVisible(false);
    searchArea->setVisible(false);
    numSearchCriteriaVisible = numSearchCriteria;
    for (qint32 j = numSearchCriteria; j >= 2; --j)
        adjustWindowSizeForOneLessSearch();
    reportArea->setVisible(true);
    searchArea->setVisible(true);

    ctl<PopupMenu>("PM_displayChoiceLeft")->setListIndex(1);
    ctl<PopupMenu>("PM_displayChoiceRight")->setListIndex(1);

    pagesLeft->setVisible(true);
    pagesRight->setVisible(true);

    initializationFinished = true;
    ignoreSlider = false;
}

// ---- report choice per pane

void RW_reportOutputWindow::PM_displayChoiceLeft_Change()
{
    reportChoiceChanged(Side::Left);
}

void RW_reportOutputWindow::PM_displayChoiceRight_Change()
{
    reportChoiceChanged(Side::Right);
}

// Shows the chosen report's page and line total, brings every active search row up to date for it
// (count, navigation, current hit) and focuses the report's pane. The prompt row changes nothing.
void RW_reportOutputWindow::reportChoiceChanged(Side side)
{
    const int row = sideCtl<PopupMenu>("PM_displayChoice", side)->ListIndex();
    const std::shared_ptr<RC_outputDataClass> record = reportRecord(side, row);
    if (!record)
        return;

    sideCtl<StaticText>("ST_totalLineCount", side)->setText(QStringLiteral("of ") + Str(record->totalLineCount));
    // The page first: the hit-number fields written below find the pane through it.
    sideCtl<PagePanel>("PP_results", side)->setValue(row);

    for (qint32 k = 0; k < qint32(record->searchCrit.size()); ++k) {
        auto* total = ctl<StaticText>("ST_searchTotal", k);
        if (!total || total->Text() == QLatin1String("-"))
            continue;
        const std::shared_ptr<RC_searchCriteriaClass>& crit = record->searchCrit[size_t(k)];
        const qint32 hits = qint32(crit->arrFoundIndexes->size());
        sideCtl<StaticText>("ST_searchShowing", side, k)->setText(Str(hits));
        setNavigationProperties(side, k, hits, crit);
        auto* hitNumber = sideCtl<EditField>("EF_searchInstance", side, k);
        hitNumber->setText(hits == 0 ? QString() : Str(qint64(crit->lastSearchIdx) + 1));
    }

    if (auto* pane = sideCtl<EditField>("EF_mainResults", side, row - 1))
        pane->SetFocus();
}

// ---- pane split and resizing

void RW_reportOutputWindow::resetOutputTo50Percent()
{
    auto* area = FindControl(QStringLiteral("GB_reportOutput"));
    auto* pagesLeft = FindControl(QStringLiteral("PP_resultsLeft"));
    auto* pagesRight = FindControl(QStringLiteral("PP_resultsRight"));
    auto* paneLeft = FindControl(QStringLiteral("EF_mainResultsLeft"), 0);
    auto* paneRight = FindControl(QStringLiteral("EF_mainResultsRight"), 0);
    auto* bookmarksLeft = FindControl(QStringLiteral("BB_bookmarksLeft"));
    auto* bookmarksRight = FindControl(QStringLiteral("BB_bookmarksRight"));
    auto* choiceLeft = FindControl(QStringLiteral("PM_displayChoiceLeft"));
    auto* choiceRight = FindControl(QStringLiteral("PM_displayChoiceRight"));

    // Margins of 4 pixels at the left and between the panels; an odd pixel stays at the right.
    const int w = (area->Width() - 4 - 2 * 4) / 2;
    pagesLeft->setWidth(w);
    pagesRight->setWidth(w);
    pagesLeft->setLeft(area->Left() + 4);
    pagesRight->setLeft(pagesLeft->Left() + pagesLeft->Width() + 4);
    placePaneInPanel(Side::Left);
    placePaneInPanel(Side::Right);
    bookmarksLeft->setLeft(paneLeft->Left());
    bookmarksLeft->setWidth(paneLeft->Width());
    bookmarksRight->setLeft(paneRight->Left());
    bookmarksRight->setWidth(paneRight->Width());
    choiceLeft->setLeft(paneLeft->Left());
    choiceLeft->setWidth(paneLeft->Width() - 10);
    choiceRight->setLeft(paneRight->Left() + 6);
    choiceRight->setWidth(paneRight->Width() - 12);

    for (int i = 0; i < 6; ++i) {
        const Control* c = FindControl(QLatin1String(kSplitControls[i]));
        splitBase_[i] = {c->Left(), c->Width()};
    }
    splitBaseValue_ = ctl<Slider>("SL_widthAdjuster")->Value();
}

// Moves the boundary between the panes by one pixel per unit the slider moved since the last change:
// the left side's controls widen, the right side's narrow and move right; the outer edges stay.
void RW_reportOutputWindow::SL_widthAdjuster_ValueChanged()
{
    if (ignoreSlider)
        return;
    const int value = ctl<Slider>("SL_widthAdjuster")->Value();
    const int d = value - splitBaseValue_;
    for (int i = 0; i < 3; ++i)
        FindControl(QLatin1String(kSplitControls[i]))->setWidth(splitBase_[i].width + d);
    for (int i = 3; i < 6; ++i) {
        Control* c = FindControl(QLatin1String(kSplitControls[i]));
        c->setWidth(splitBase_[i].width - d);
        c->setLeft(splitBase_[i].left + d);
    }
    placePaneInPanel(Side::Left);
    placePaneInPanel(Side::Right);
    lastSliderValue = value;
}

void RW_reportOutputWindow::placePaneInPanel(Side side)
{
    const Control* pages = sideCtl<Control>("PP_results", side);
    Control* pane = sideCtl<Control>("EF_mainResults", side, 0);
    const PaneInsets& inset = paneInsets_[side == Side::Left ? 0 : 1];
    pane->setBounds(pages->Left() + inset.left, pane->Top(), pages->Width() - inset.left - inset.right,
                    pane->Height());
}

void RW_reportOutputWindow::Resized()
{
    if (!initializationFinished)
        return;
    ignoreSlider = true;
    auto* slider = ctl<Slider>("SL_widthAdjuster");
    slider->setMaximum(slider->Width() - 20);
    slider->setValue(slider->Maximum() / 2);
    lastSliderValue = slider->Value();
    resetOutputTo50Percent();
    ignoreSlider = false;
}

// ---- pane events and line numbers

bool RW_reportOutputWindow::EF_mainResultsLeft_KeyDown(EditField&, const QString&)
{
    updateLineNumberDisplayLeft();
    return false;
}

bool RW_reportOutputWindow::EF_mainResultsLeft_MouseDown(EditField&, int, int)
{
    updateLineNumberDisplayLeft();
    return false;
}

void RW_reportOutputWindow::EF_mainResultsLeft_MouseMove(EditField&, int, int)
{
    updateLineNumberDisplayLeft();
}

bool RW_reportOutputWindow::EF_mainResultsLeft_MouseWheel(EditField&, int, int, int, int)
{
    updateLineNumberDisplayLeft();
    return false;
}

void RW_reportOutputWindow::EF_mainResultsLeft_SelChange(EditField&)
{
    updateLineNumberDisplayLeft();
}

bool RW_reportOutputWindow::EF_mainResultsRight_KeyDown(EditField&, const QString&)
{
    updateLineNumberDisplayRight();
    return false;
}

bool RW_reportOutputWindow::EF_mainResultsRight_MouseDown(EditField&, int, int)
{
    updateLineNumberDisplayRight();
    return false;
}

void RW_reportOutputWindow::EF_mainResultsRight_MouseMove(EditField&, int, int)
{
    updateLineNumberDisplayRight();
}

void RW_reportOutputWindow::EF_mainResultsRight_SelChange(EditField&)
{
    updateLineNumberDisplayRight();
}

void RW_reportOutputWindow::updateLineNumberDisplayLeft()
{
    updateLineNumberDisplay(Side::Left);
}

void RW_reportOutputWindow::updateLineNumberDisplayRight()
{
    updateLineNumberDisplay(Side::Right);
}

// The 1-based line of the caret (the start of the selection) in the pane shown; the empty page leaves
// the display as it is. The caret's own position is taken, not the character after it: a caret at the
// end of a line, or on an empty line, belongs to that line and not to the next one.
void RW_reportOutputWindow::updateLineNumberDisplay(Side side)
{
    EditField* pane = shownPane(side);
    if (!pane)
        return;
    const int line = pane->LineNumAtCharPos(pane->SelStart());
    sideCtl<StaticText>("ST_lineNumber", side)->setText(Str(qint64(line) + 1));
}

// ---- text size
//
// The arrows only step the number in the side's size field; the field's own TextChange applies it to
// every report pane of the side. The field reads as its leading number (0 when it has none).

namespace {

// Lower bound 1: a field at 1, at 0 or without a number is left as it is.
void stepTextSizeDown(EditField& field)
{
    const qint32 size = numericValue32(field.Text());
    if (size > 1)
        field.setText(Str(qint64(size) - 1));
}

// No upper bound; an empty field becomes "1".
void stepTextSizeUp(EditField& field)
{
    field.setText(Str(qint64(numericValue32(field.Text())) + 1));
}

// Gives every report pane of one side the field's size (at least 1, the field's text is left as it is)
// while the side shows its empty page, then shows the page shown before again.
void applyTextSize(const Window& window, const EditField& field, const QString& pagesName, const QString& panesName)
{
    const qint32 size = std::max(numericValue32(field.Text()), qint32(1));
    auto* pages = window.control<PagePanel>(pagesName);
    if (!pages)
        return;
    const int saved = pages->Value();
    pages->setValue(0);
    for (int page = 1; page < pages->PanelCount(); ++page) {
        if (auto* pane = window.control<EditField>(panesName, page - 1))
            pane->setTextSize(size);
    }
    pages->setValue(saved);
}

} // namespace

void RW_reportOutputWindow::UDA_fontSizeLeft_Down()
{
    stepTextSizeDown(*ctl<EditField>("EF_fontLeft"));
}

void RW_reportOutputWindow::UDA_fontSizeLeft_Up()
{
    stepTextSizeUp(*ctl<EditField>("EF_fontLeft"));
}

void RW_reportOutputWindow::EF_fontLeft_TextChange()
{
    applyTextSize(*this, *ctl<EditField>("EF_fontLeft"), QStringLiteral("PP_resultsLeft"),
                  QStringLiteral("EF_mainResultsLeft"));
}

void RW_reportOutputWindow::UDA_fontSizeRight_Down()
{
    stepTextSizeDown(*ctl<EditField>("EF_fontRight"));
}

void RW_reportOutputWindow::UDA_fontSizeRight_Up()
{
    stepTextSizeUp(*ctl<EditField>("EF_fontRight"));
}

void RW_reportOutputWindow::EF_fontRight_TextChange()
{
    applyTextSize(*this, *ctl<EditField>("EF_fontRight"), QStringLiteral("PP_resultsRight"),
                  QStringLiteral("EF_mainResultsRight"));
}

// ---- header

void RW_reportOutputWindow::PushButton1_Action()
{
    RW_compoundNumberWindow::instance()->Show();
    Close();
}

void RW_reportOutputWindow::logoCanvas1_Paint(Graphics& g)
{
    g.DrawPicture(logoBadge(), 0, 0);
}
