// The report window's search half: highlight styles, hit counters and hit navigation per pane, the
// search rows shown and hidden, the phrase scan with Find, and Reset of a search row.

#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "search/PhraseScan.h"
#include "search/RC_searchCriteriaClass.h"

using namespace fw;

// ---- highlight styles

void RW_reportOutputWindow::assignSearchTextCosmetics(const std::shared_ptr<RC_searchCriteriaClass>& crit, qint32 row)
{
    if (!crit)
        return;
    if (row < 0) {
        crit->textColor = QColor(0, 0, 0);
        crit->bold = false;
        crit->underline = false;
        auto* sizeField = ctl<EditField>("EF_fontLeft");
        crit->size = sizeField ? numericValue32(sizeField->Text()) : 0;
        return;
    }
    // The size of a row's style is the pane's text size, set when its hits are painted.
    crit->textColor = searchRowColor(row);
    crit->bold = true;
    crit->underline = true;
}

void RW_reportOutputWindow::applyStyleToSearchTextLeft(const std::shared_ptr<RC_searchCriteriaClass>& crit,
                                                       qint32 index)
{
    applyStyleToSearchText(Side::Left, crit, index);
}

void RW_reportOutputWindow::applyStyleToSearchTextRight(const std::shared_ptr<RC_searchCriteriaClass>& crit,
                                                        qint32 index)
{
    applyStyleToSearchText(Side::Right, crit, index);
}

// Paints every hit of crit, Len(currSearch) characters from each offset, in crit's style; the rest of
// the text, the selection and the scroll position stay as they are. The pane shares crit's hit list
// rather than styling each hit: painting and a later repainting in the plain style cost neither time
// nor memory per hit.
void RW_reportOutputWindow::applyStyleToSearchText(Side side, const std::shared_ptr<RC_searchCriteriaClass>& crit,
                                                   qint32 index)
{
    if (!crit) {
        MsgBox(QStringLiteral("SNHE: NIL searchObj in applyStyleToSearchText!"));
        return;
    }
    const IntList& hits = *crit->arrFoundIndexes;
    if (hits.empty())
        return;
    auto* pane = sideCtl<EditField>("EF_mainResults", side, index);
    if (!pane)
        return;

    TextStyle style;
    style.bold = crit->bold;
    style.color = crit->textColor;
    style.size = crit->size;
    style.underline = crit->underline;
    const int length = Len(crit->currSearch);

    auto* progress = ctl<ProgressBar>("PrB_progressBar");
    progress->setMaximum(0);
    progress->setValue(0);
    pane->addStyleLayer(crit->arrFoundIndexes, length, style);
}

// ---- hit counters and hit navigation

void RW_reportOutputWindow::setNavigationPropertiesLeft(qint32 row, qint32 count,
                                                        const std::shared_ptr<RC_searchCriteriaClass>& crit)
{
    setNavigationProperties(Side::Left, row, count, crit);
}

void RW_reportOutputWindow::setNavigationPropertiesRight(qint32 row, qint32 count,
                                                         const std::shared_ptr<RC_searchCriteriaClass>& crit)
{
    setNavigationProperties(Side::Right, row, count, crit);
}

// Switches one row's navigation for one pane on (count > 0) or off. The field's text is left to the
// caller, which writes it right after so that its TextChange acts on the new state.
void RW_reportOutputWindow::setNavigationProperties(Side side, qint32 row, qint32 count,
                                                    const std::shared_ptr<RC_searchCriteriaClass>& crit)
{
    auto* upDown = sideCtl<UpDownArrows>("UDA_srchUpDn", side, row);
    auto* firstLast = sideCtl<UpDownArrows>("UDA_srchFirstLast", side, row);
    auto* hitNumber = sideCtl<EditField>("EF_searchInstance", side, row);
    if (!upDown || !firstLast || !hitNumber)
        return;
    if (count > 0) {
        upDown->setVisible(true);
        firstLast->setVisible(true);
        hitNumber->setEnabled(true);
        hitNumber->setMask(hitNumberMask(crit ? qint64(crit->arrFoundIndexes->size()) : count));
    } else {
        upDown->setVisible(false);
        firstLast->setVisible(false);
        hitNumber->setEnabled(false);
    }
    sideCtl<StaticText>("ST_searchShowing", side, row)->setText(Str(count));
}

void RW_reportOutputWindow::EF_searchInstanceLeft_TextChange(EditField& sender)
{
    hitNumberChanged(Side::Left, sender);
}

void RW_reportOutputWindow::EF_searchInstanceRight_TextChange(EditField& sender)
{
    hitNumberChanged(Side::Right, sender);
}

// Turns the hit number in the field into the selection of that hit in the pane shown, after clamping
// it to 1 .. hit count (a clamped number is written back, which runs this handler once more, nested).
void RW_reportOutputWindow::hitNumberChanged(Side side, EditField& field)
{
    if (!field.Enabled())
        return;
    const int row = field.Index();
    const int page = sideCtl<PagePanel>("PP_results", side)->Value();
    const std::shared_ptr<RC_outputDataClass> record = reportRecord(side, page);
    if (!record || row < 0 || row >= int(record->searchCrit.size()))
        return;
    const std::shared_ptr<RC_searchCriteriaClass> crit = record->searchCrit[size_t(row)];
    const qint64 count = qint64(crit->arrFoundIndexes->size());

    qint64 i = qint64(numericValue32(field.Text())) - 1;
    if (count == 0) {
        MsgBox(QStringLiteral("SNHE: in ") + sideName("EF_searchInstance", side)
               + QStringLiteral(", ubound(searchObj.arrFoundIndexes) is -1; this control should have been disabled"));
        return;
    }
    if (i > count - 1) {
        i = count - 1;
        field.setText(Str(count));
    } else if (i < 0) {
        i = 0;
        field.setText(QStringLiteral("1"));
    }

    if (EditField* pane = sideCtl<EditField>("EF_mainResults", side, page - 1)) {
        pane->setSelStart((*crit->arrFoundIndexes)[size_t(i)]);
        pane->setSelLength(Len(crit->currSearch));
    }
    crit->lastSearchIdx = qint32(i);
}

bool RW_reportOutputWindow::EF_searchInstanceLeft_MouseWheel(EditField& sender, int, int, int, int deltaY)
{
    return hitNumberWheel(sender, deltaY);
}

bool RW_reportOutputWindow::EF_searchInstanceRight_MouseWheel(EditField& sender, int, int, int, int deltaY)
{
    return hitNumberWheel(sender, deltaY);
}

// The wheel steps the hit number: down (positive) to the next hit, up to the previous one.
bool RW_reportOutputWindow::hitNumberWheel(EditField& field, int deltaY)
{
    if (!field.Enabled() || deltaY == 0)
        return false;
    const qint64 value = numericValue32(field.Text());
    field.setText(Str(deltaY > 0 ? value + 1 : value - 1));
    return false;
}

void RW_reportOutputWindow::setHitNumber(Side side, int row, const QString& text)
{
    if (auto* field = sideCtl<EditField>("EF_searchInstance", side, row))
        field->setText(text);
    focusAfterSearch(side, nullptr);
}

// Gives the keyboard focus to the pane a search action names, or where that pane cannot take it (the
// split squeezed it to nothing, the rows left the panes no height) to the other pane, or else to
// inRow, a control of the row acted on; where none of them can, the focus stays where it is. So the
// focus never falls to whatever control the toolkit picks next, such as the return button.
void RW_reportOutputWindow::focusAfterSearch(Side side, Control* inRow)
{
    for (Side s : {side, side == Side::Left ? Side::Right : Side::Left}) {
        EditField* pane = shownPane(s);
        if (pane && pane->canTakeFocus()) {
            pane->SetFocus();
            return;
        }
    }
    if (inRow)
        inRow->SetFocus();
}

void RW_reportOutputWindow::stepHitNumber(Side side, int row, qint64 step)
{
    auto* field = sideCtl<EditField>("EF_searchInstance", side, row);
    if (!field)
        return;
    setHitNumber(side, row, Str(qint64(numericValue32(field->Text())) + step));
}

void RW_reportOutputWindow::UDA_srchUpDnLeft_Down(UpDownArrows& sender)
{
    stepHitNumber(Side::Left, sender.Index(), +1);
}

void RW_reportOutputWindow::UDA_srchUpDnLeft_Up(UpDownArrows& sender)
{
    stepHitNumber(Side::Left, sender.Index(), -1);
}

void RW_reportOutputWindow::UDA_srchFirstLastLeft_Up(UpDownArrows& sender)
{
    setHitNumber(Side::Left, sender.Index(), QStringLiteral("1"));
}

void RW_reportOutputWindow::UDA_srchFirstLastLeft_Down(UpDownArrows& sender)
{
    setHitNumber(Side::Left, sender.Index(), QStringLiteral("999999999"));
}

void RW_reportOutputWindow::UDA_srchUpDnRight_Down(UpDownArrows& sender)
{
    stepHitNumber(Side::Right, sender.Index(), +1);
}

void RW_reportOutputWindow::UDA_srchUpDnRight_Up(UpDownArrows& sender)
{
    stepHitNumber(Side::Right, sender.Index(), -1);
}

void RW_reportOutputWindow::UDA_srchFirstLastRight_Down(UpDownArrows& sender)
{
    setHitNumber(Side::Right, sender.Index(), QStringLiteral("999999999"));
}

void RW_reportOutputWindow::UDA_srchFirstLastRight_Up(UpDownArrows& sender)
{
    setHitNumber(Side::Right, sender.Index(), QStringLiteral("1"));
}

// ---- search rows shown and hidden

// "+" of row k (the last row shown) shows row k + 1.
void RW_reportOutputWindow::PB_NewCriteria_Action(PushButton& sender)
{
    const int k = sender.Index();
    sender.setVisible(false);
    if (k > 0) {
        if (auto* hide = ctl<PushButton>("PB_srchHide", k - 1))
            hide->setVisible(false);
    }
    if (auto* hide = ctl<PushButton>("PB_srchHide", k))
        hide->setVisible(true);
    if (k < numSearchCriteria - 2) {
        if (auto* more = ctl<PushButton>("PB_NewCriteria", k + 1))
            more->setVisible(true);
    }
    if (k < numSearchCriteria - 1) {
        if (auto* phrase = ctl<EditField>("EF_searchText", k + 1))
            phrase->setVisible(true);
    }
    auto* reportArea = FindControl(QStringLiteral("GB_reportOutput"));
    auto* searchArea = FindControl(QStringLiteral("GB_search"));
    reportArea->setVisible(false);
    searchArea->setVisible(false);
    adjustWindowSizeForOneMoreSearch();
    reportArea->setVisible(true);
    searchArea->setVisible(true);
    // Hiding the pressed button and both areas took the keyboard focus away; it goes to the phrase
    // of the row just shown rather than to whatever control the toolkit picked next.
    if (auto* phrase = ctl<EditField>("EF_searchText", k + 1))
        phrase->SetFocus();
}

// "-" element j stands on row j + 1 (the last row shown) and hides that row.
void RW_reportOutputWindow::PB_srchHide_Action(PushButton& sender)
{
    const int j = sender.Index();
    sender.setVisible(false);
    if (auto* more = ctl<PushButton>("PB_NewCriteria", j))
        more->setVisible(true);
    if (auto* phrase = ctl<EditField>("EF_searchText", j + 1))
        phrase->setVisible(false);
    if (j < numSearchCriteria - 2) {
        if (auto* more = ctl<PushButton>("PB_NewCriteria", j + 1))
            more->setVisible(false);
    }
    if (j > 0) {
        if (auto* hide = ctl<PushButton>("PB_srchHide", j - 1))
            hide->setVisible(true);
        if (auto* more = ctl<PushButton>("PB_NewCriteria", j - 1))
            more->setVisible(false);
    }
    auto* reportArea = FindControl(QStringLiteral("GB_reportOutput"));
    auto* searchArea = FindControl(QStringLiteral("GB_search"));
    reportArea->setVisible(false);
    searchArea->setVisible(false);
    adjustWindowSizeForOneLessSearch();
    reportArea->setVisible(true);
    searchArea->setVisible(true);
    // The focus stays in the search area, on the "+" that now ends the rows.
    if (auto* more = ctl<PushButton>("PB_NewCriteria", j))
        more->SetFocus();
}

// The boundary between the report area and the search area moves up by one row pitch; the search
// rows move with their group box, the report panes shrink by their locks.
void RW_reportOutputWindow::adjustWindowSizeForOneMoreSearch()
{
    if (numSearchCriteriaVisible >= numSearchCriteria) {
        MsgBox(QStringLiteral("SNHE: this function (adjustWindowSizeForOneMoreSearch) should not have been called, "
                              "numSearchCriteriaVisible=")
               + Str(numSearchCriteriaVisible) + QStringLiteral(", totalSearchCrit=") + Str(numSearchCriteria));
        return;
    }
    auto* searchArea = FindControl(QStringLiteral("GB_search"));
    auto* reportArea = FindControl(QStringLiteral("GB_reportOutput"));
    searchArea->setHeight(searchArea->Height() + pixelInterval);
    searchArea->setTop(searchArea->Top() - pixelInterval);
    reportArea->setHeight(reportArea->Height() - pixelInterval);
    ++numSearchCriteriaVisible;
}

void RW_reportOutputWindow::adjustWindowSizeForOneLessSearch()
{
    if (numSearchCriteriaVisible <= 1) {
        MsgBox(QStringLiteral("SNHE: this function (adjustWindowSizeForOneLessSearch) should not have been called, "
                              "numSearchCriteriaVisible=")
               + Str(numSearchCriteriaVisible) + QStringLiteral(", totalSearchCrit=") + Str(numSearchCriteria));
        return;
    }
    auto* searchArea = FindControl(QStringLiteral("GB_search"));
    auto* reportArea = FindControl(QStringLiteral("GB_reportOutput"));
    searchArea->setHeight(searchArea->Height() - pixelInterval);
    searchArea->setTop(searchArea->Top() + pixelInterval);
    reportArea->setHeight(reportArea->Height() + pixelInterval);
    --numSearchCriteriaVisible;
}

// ---- phrase scan and Find

namespace {

// A search row's criterion in a report record; nullptr where there is no record or no such row.
std::shared_ptr<RC_searchCriteriaClass> rowCriterion(const std::shared_ptr<RC_outputDataClass>& record, int row)
{
    if (!record || row < 0 || row >= int(record->searchCrit.size()))
        return nullptr;
    return record->searchCrit[size_t(row)];
}

} // namespace

// Fills crit's hit list with the character offsets of the phrase in currSearch within text. A phrase
// equal to the one the list was made for is answered from the list, without reading the text; the
// list object itself is kept, so a criterion sharing it sees the new hits. The old hits' storage goes
// back before the scan: a list holds at most twice what its own hits need, whatever it held before.
qint32 RW_reportOutputWindow::locateSearchPhrase(const std::shared_ptr<RC_searchCriteriaClass>& crit,
                                                 const QString& text)
{
    if (!crit)
        return 0;
    IntList& hits = *crit->arrFoundIndexes;
    if (!crit->lastSearch.isEmpty() && crit->lastSearch == crit->currSearch)
        return qint32(hits.size());

    IntList().swap(hits);
    const qint64 found = PhraseScan(crit->currSearch).findAll(text, hits);
    crit->lastSearch = crit->currSearch;
    return qint32(found);
}

// Searches every report for row k's phrase (the left pane's text; the right criterion shares the
// left one's hit list), paints the hits when the row's colour box is ticked, and makes the row an
// active search with hit 1 selected in both panes. Without any hit the row stays as it was.
void RW_reportOutputWindow::executeFind(qint32 row)
{
    auto* pagesLeft = ctl<PagePanel>("PP_resultsLeft");
    auto* pagesRight = ctl<PagePanel>("PP_resultsRight");
    auto* phraseField = ctl<EditField>("EF_searchText", row);
    if (!pagesLeft || !pagesRight || !phraseField)
        return;
    const int pL = pagesLeft->Value();
    const int pR = pagesRight->Value();
    const QString phrase = phraseField->Text();

    pagesLeft->setVisible(false);
    pagesRight->setVisible(false);

    qint64 total = 0;
    qint32 nL = 0;
    qint32 nR = 0;
    std::shared_ptr<RC_searchCriteriaClass> cL;
    std::shared_ptr<RC_searchCriteriaClass> cR;
    for (int i = 0; i <= pagesLeft->PanelCount() - 2; ++i) {
        const auto critL = rowCriterion(reportRecord(Side::Left, i + 1), row);
        const auto critR = rowCriterion(reportRecord(Side::Right, i + 1), row);
        auto* pane = ctl<EditField>("EF_mainResultsLeft", i);
        if (!critL || !critR || !pane)
            continue;
        critL->currSearch = phrase;
        critR->currSearch = phrase;
        if (critL->lastSearch != phrase) {
            // The scan refills the list in place: the panes that still paint the old hits (in the
            // plain style, over another row's) keep those of them that show.
            pane->detachStyleLayers(critL->arrFoundIndexes.get());
            if (auto* paneRight = ctl<EditField>("EF_mainResultsRight", i))
                paneRight->detachStyleLayers(critL->arrFoundIndexes.get());
        }
        const qint32 n = locateSearchPhrase(critL, pane->Text());
        critR->arrFoundIndexes = critL->arrFoundIndexes;
        total += n;
        if (pL == i + 1) {
            nL = n;
            cL = critL;
        }
        if (pR == i + 1) {
            nR = n;
            cR = critR;
        }
    }

    if (total == 0) {
        pagesLeft->setVisible(true);
        pagesRight->setVisible(true);
        MsgBox(QStringLiteral("NONE FOUND: Search results not found in any area of the report."));
        if (auto* hitNumber = ctl<EditField>("EF_searchInstanceLeft", row))
            hitNumber->SetFocus();
        return;
    }

    auto* applyColor = ctl<CheckBox>("ChB_applyColor", row);
    if (applyColor && applyColor->Value()) {
        // The hits keep the text size their pane shows; colour, weight and underline change.
        for (int i = 0; i <= pagesLeft->PanelCount() - 2; ++i) {
            const auto critL = rowCriterion(reportRecord(Side::Left, i + 1), row);
            const auto critR = rowCriterion(reportRecord(Side::Right, i + 1), row);
            auto* paneLeft = ctl<EditField>("EF_mainResultsLeft", i);
            auto* paneRight = ctl<EditField>("EF_mainResultsRight", i);
            if (!critL || !critR || !paneLeft || !paneRight)
                continue;
            critL->currSearch = phrase;
            critL->size = paneLeft->TextSize();
            critR->currSearch = phrase;
            critR->size = paneRight->TextSize();
            applyStyleToSearchTextLeft(critL, i);
            applyStyleToSearchTextRight(critR, i);
        }
    }

    ctl<PushButton>("PB_clearSearch", row)->setVisible(true);
    ctl<PushButton>("PB_find", row)->setVisible(false);
    phraseField->setEnabled(false);
    ctl<StaticText>("ST_searchTotal", row)->setText(Str(total));

    for (const char* name : {"UDA_fontSizeLeft", "UDA_fontSizeRight", "EF_fontLeft", "EF_fontRight"})
        FindControl(QLatin1String(name))->setEnabled(false);
    ++numActiveSearches;

    // An active row cannot be hidden.
    if (row > 0) {
        if (auto* hide = ctl<PushButton>("PB_srchHide", row - 1))
            hide->setEnabled(false);
    }

    // Hit 1 in each pane; writing the hit number selects it through the field's TextChange.
    const struct {
        Side side;
        qint32 count;
        const std::shared_ptr<RC_searchCriteriaClass>& crit;
    } panes[] = {{Side::Left, nL, cL}, {Side::Right, nR, cR}};
    for (const auto& p : panes) {
        setNavigationProperties(p.side, row, p.count, p.crit);
        auto* hitNumber = sideCtl<EditField>("EF_searchInstance", p.side, row);
        if (p.count < 1 || !p.crit) {
            hitNumber->setText(QString());
        } else {
            p.crit->lastSearchIdx = 0;
            hitNumber->setText(Str(qint64(p.crit->lastSearchIdx) + 1));
        }
    }

    pagesLeft->setVisible(true);
    pagesRight->setVisible(true);
    focusAfterSearch(Side::Left, ctl<PushButton>("PB_clearSearch", row));
}

// Painting the hits turns the bar indeterminate; the Find ends it empty and no longer busy, so that
// the bar never shows work where none goes on.
void RW_reportOutputWindow::PB_find_Action(PushButton& sender)
{
    auto* progress = ctl<ProgressBar>("PrB_progressBar");
    progress->setValue(0);
    executeFind(sender.Index());
    progress->setValue(0);
    progress->setMaximum(10);
}

// Find is offered only for a phrase of at least one character.
void RW_reportOutputWindow::EF_searchText_TextChange(EditField& sender)
{
    if (auto* find = ctl<PushButton>("PB_find", sender.Index()))
        find->setEnabled(!sender.Text().isEmpty());
}

// Return and Enter start a Find of the row as its button does, also for an empty phrase (which finds
// nothing and says so); the key is never consumed.
bool RW_reportOutputWindow::EF_searchText_KeyDown(EditField& sender, const QString& key)
{
    if (key.isEmpty() || (key.at(0).unicode() != 13 && key.at(0).unicode() != 3))
        return false;
    // The button's Find, whether or not the button is enabled.
    if (auto* find = ctl<PushButton>("PB_find", sender.Index()))
        PB_find_Action(*find);
    return false;
}

// ---- reset of a search row

// Ends row k's search: navigation and counters back to "-", Find back in place of Reset, the row's
// hits repainted in the plain style in every report and both panes. The criteria keep phrase and
// hits, so finding the same phrase again needs no scan.
void RW_reportOutputWindow::PB_clearSearch_Action(PushButton& sender)
{
    const int row = sender.Index();
    auto* progress = ctl<ProgressBar>("PrB_progressBar");
    progress->setValue(0);
    auto* pagesLeft = ctl<PagePanel>("PP_resultsLeft");
    auto* pagesRight = ctl<PagePanel>("PP_resultsRight");
    pagesLeft->setVisible(false);
    pagesRight->setVisible(false);

    for (Side side : {Side::Left, Side::Right}) {
        sideCtl<UpDownArrows>("UDA_srchUpDn", side, row)->setVisible(false);
        sideCtl<UpDownArrows>("UDA_srchFirstLast", side, row)->setVisible(false);
        // Disabled first, so that emptying the field selects nothing.
        auto* hitNumber = sideCtl<EditField>("EF_searchInstance", side, row);
        hitNumber->setEnabled(false);
        hitNumber->setText(QString());
        sideCtl<StaticText>("ST_searchShowing", side, row)->setText(QStringLiteral("-"));
    }

    ctl<PushButton>("PB_clearSearch", row)->setVisible(false);
    ctl<PushButton>("PB_find", row)->setVisible(true);
    ctl<EditField>("EF_searchText", row)->setEnabled(true);
    ctl<StaticText>("ST_searchTotal", row)->setText(QStringLiteral("-"));

    // The left criterion carries both panes' hits: the right one shares its list and phrase.
    for (int i = 0; i <= pagesLeft->PanelCount() - 2; ++i) {
        const auto crit = rowCriterion(reportRecord(Side::Left, i + 1), row);
        if (!crit || !defaultSearchCriteria)
            continue;
        defaultSearchCriteria->currSearch = crit->currSearch;
        defaultSearchCriteria->arrFoundIndexes = crit->arrFoundIndexes;
        applyStyleToSearchTextLeft(defaultSearchCriteria, i);
        applyStyleToSearchTextRight(defaultSearchCriteria, i);
    }
    if (defaultSearchCriteria)
        defaultSearchCriteria->currSearch.clear();

    --numActiveSearches;
    if (numActiveSearches == 0) {
        for (const char* name : {"UDA_fontSizeLeft", "EF_fontLeft", "UDA_fontSizeRight", "EF_fontRight"})
            FindControl(QLatin1String(name))->setEnabled(true);
    }
    if (row > 0) {
        if (auto* hide = ctl<PushButton>("PB_srchHide", row - 1))
            hide->setEnabled(true);
    }

    pagesLeft->setVisible(true);
    pagesRight->setVisible(true);
    focusAfterSearch(Side::Left, ctl<PushButton>("PB_find", row));
    progress->setValue(0);
    progress->setMaximum(10);
}
