#pragma once

#include "platform/EditField.h"
#include "platform/Window.h"

#include <QString>

#include <memory>
#include <vector>

namespace fw {
class CheckBox;
class Graphics;
class PopupMenu;
class PushButton;
class UpDownArrows;
}

class RC_outputDataClass;
class RC_searchCriteriaClass;

// The report panes: element i of each array stands on page i + 1 of its side's page panel and shows
// the report of popup row i + 1. Read-only for the user, multi-line, positions in characters.
class EF_mainResultsLeft : public fw::EditField {
public:
    explicit EF_mainResultsLeft(int index)
        : fw::EditField(true)
        , element(index)
    {
    }
    const int element;
};

class EF_mainResultsRight : public fw::EditField {
public:
    explicit EF_mainResultsRight(int index)
        : fw::EditField(true)
        , element(index)
    {
    }
    const int element;
};

// "Report Results": one window per back-end run. It shows the report in two side-by-side panes, each
// with its own report choice, split, text size, line number and bookmarks, and holds the seven search
// rows beneath them. Until initialize has run the window shows its design-time state and ignores the
// split slider and resizing; the run object writes the growing output into pane 0 of both sides.
//
// Per-pane search state lives in the report records (the popup rows' tags), not in the controls: the
// search-row controls show the criteria of the report each pane shows.
class RW_reportOutputWindow : public fw::Window {
public:
    // ---- properties
    std::vector<qint32> bookmark_scrollIndexLeft;
    std::vector<qint32> bookmark_PM_indexLeft;
    // The plain (unhighlighted) style; made by initialize.
    std::shared_ptr<RC_searchCriteriaClass> defaultSearchCriteria;
    qint32 numSearchCriteria = 0;
    qint32 numActiveSearches = 0;
    std::vector<qint32> bookmark_selStartLeft;
    std::vector<qint32> bookmark_selLengthLeft;
    qint32 numSearchCriteriaVisible = 1;
    qint32 pixelInterval = 35;
    std::vector<qint32> bookmark_PM_indexRight;
    std::vector<qint32> bookmark_scrollIndexRight;
    std::vector<qint32> bookmark_selLengthRight;
    std::vector<qint32> bookmark_selStartRight;
    // Beside each side's four bookmark lists: the pane's sideways scroll position (EditField::SideScroll).
    std::vector<qint32> bookmark_sideScrollLeft;
    std::vector<qint32> bookmark_sideScrollRight;
    qint32 lastSliderValue = 0;
    bool initializationFinished = false;
    // While true the split slider moves nothing.
    bool ignoreSlider = true;

    // ---- handlers (report area)
    void SL_widthAdjuster_ValueChanged();
    void PM_displayChoiceLeft_Change();
    void PM_displayChoiceRight_Change();
    bool EF_mainResultsLeft_KeyDown(fw::EditField& sender, const QString& key);
    bool EF_mainResultsLeft_MouseDown(fw::EditField& sender, int x, int y);
    void EF_mainResultsLeft_MouseMove(fw::EditField& sender, int x, int y);
    bool EF_mainResultsLeft_MouseWheel(fw::EditField& sender, int x, int y, int deltaX, int deltaY);
    void EF_mainResultsLeft_SelChange(fw::EditField& sender);
    void UDA_fontSizeLeft_Down();
    void UDA_fontSizeLeft_Up();
    void EF_fontLeft_TextChange();
    void BB_bookmarksLeft_Action();
    void PB_openInWordLeft_Action();
    bool EF_mainResultsRight_KeyDown(fw::EditField& sender, const QString& key);
    bool EF_mainResultsRight_MouseDown(fw::EditField& sender, int x, int y);
    void EF_mainResultsRight_MouseMove(fw::EditField& sender, int x, int y);
    void EF_mainResultsRight_SelChange(fw::EditField& sender);
    void EF_fontRight_TextChange();
    void UDA_fontSizeRight_Down();
    void UDA_fontSizeRight_Up();
    void PB_openInWordRight_Action();
    void BB_bookmarksRight_Action();

    // ---- handlers (search rows); each reads the row from the sender's Index
    void UDA_srchUpDnLeft_Down(fw::UpDownArrows& sender);
    void UDA_srchUpDnLeft_Up(fw::UpDownArrows& sender);
    void UDA_srchFirstLastLeft_Up(fw::UpDownArrows& sender);
    void UDA_srchFirstLastLeft_Down(fw::UpDownArrows& sender);
    void PB_srchHide_Action(fw::PushButton& sender);
    void PB_find_Action(fw::PushButton& sender);
    void EF_searchText_TextChange(fw::EditField& sender);
    bool EF_searchText_KeyDown(fw::EditField& sender, const QString& key);
    void EF_searchInstanceLeft_TextChange(fw::EditField& sender);
    bool EF_searchInstanceLeft_MouseWheel(fw::EditField& sender, int x, int y, int deltaX, int deltaY);
    void PB_clearSearch_Action(fw::PushButton& sender);
    void PB_NewCriteria_Action(fw::PushButton& sender);
    void UDA_srchUpDnRight_Down(fw::UpDownArrows& sender);
    void UDA_srchUpDnRight_Up(fw::UpDownArrows& sender);
    void UDA_srchFirstLastRight_Down(fw::UpDownArrows& sender);
    void UDA_srchFirstLastRight_Up(fw::UpDownArrows& sender);
    bool EF_searchInstanceRight_MouseWheel(fw::EditField& sender, int x, int y, int deltaX, int deltaY);
    void EF_searchInstanceRight_TextChange(fw::EditField& sender);

    // ---- handlers (header)
    void PushButton1_Action();
    void logoCanvas1_Paint(fw::Graphics& g);

    // ---- methods
    // Sets the window up from the back-end's complete output; called once, when the run completes.
    // Harmless on a window that has already been closed. `lines` is the text's line count as
    // RC_outputDataClass::countLines gives it: the run knows it, so the set-up takes no time in the
    // length of the report. Without it the text is counted.
    void initialize(const QString& text, qint32 lines);
    void initialize(const QString& text);
    void updateLineNumberDisplayLeft();
    qint32 locateSearchPhrase(const std::shared_ptr<RC_searchCriteriaClass>& crit, const QString& text);
    void assignSearchTextCosmetics(const std::shared_ptr<RC_searchCriteriaClass>& crit, qint32 row);
    void setNavigationPropertiesLeft(qint32 row, qint32 count, const std::shared_ptr<RC_searchCriteriaClass>& crit);
    void executeFind(qint32 row);
    void applyStyleToSearchTextLeft(const std::shared_ptr<RC_searchCriteriaClass>& crit, qint32 index);
    void applyStyleToSearchTextRight(const std::shared_ptr<RC_searchCriteriaClass>& crit, qint32 index);
    void setNavigationPropertiesRight(qint32 row, qint32 count, const std::shared_ptr<RC_searchCriteriaClass>& crit);
    void adjustWindowSizeForOneMoreSearch();
    void adjustWindowSizeForOneLessSearch();
    void updateLineNumberDisplayRight();
    void resetOutputTo50Percent();

    // The report record of row `row` of a side's report popup; nullptr for the prompt row.
    std::shared_ptr<RC_outputDataClass> reportRecordLeft(int row) const;
    std::shared_ptr<RC_outputDataClass> reportRecordRight(int row) const;

protected:
    fw::WindowRecord Layout() override;
    void CreateControls() override;
    void Resized() override;

private:
    enum class Side { Left, Right };

    void _CreateControls0();
    void _CreateControls1();
    void _CreateControls2();

    // The twin name of a per-pane control: base + "Left" or "Right".
    static QString sideName(const char* base, Side side);
    template <class C>
    C* ctl(const char* name, int index = -1) const
    {
        return control<C>(QLatin1String(name), index);
    }
    template <class C>
    C* sideCtl(const char* base, Side side, int index = -1) const
    {
        return control<C>(sideName(base, side), index);
    }

    std::shared_ptr<RC_outputDataClass> reportRecord(Side side, int row) const;
    // The pane of the page the side's page panel shows; nullptr while it shows the empty page.
    fw::EditField* shownPane(Side side) const;
    // Focus after a search action: the side's shown pane, else the other side's, else inRow.
    void focusAfterSearch(Side side, fw::Control* inRow);
    void reportChoiceChanged(Side side);
    void updateLineNumberDisplay(Side side);
    void setNavigationProperties(Side side, qint32 row, qint32 count, const std::shared_ptr<RC_searchCriteriaClass>& crit);
    void applyStyleToSearchText(Side side, const std::shared_ptr<RC_searchCriteriaClass>& crit, qint32 index);
    void hitNumberChanged(Side side, fw::EditField& field);
    bool hitNumberWheel(fw::EditField& field, int deltaY);
    void stepHitNumber(Side side, int row, qint64 step);
    void setHitNumber(Side side, int row, const QString& text);

    // The controls that follow the split (left page panel, chooser and bookmark button, then the right
    // ones), their left edges and widths at the last equal split, and the slider value then. The split
    // is applied from these, so that widths the layer holds at zero near the slider's ends come back
    // exactly when the slider returns.
    static const char* const kSplitControls[6];
    struct SplitPlace {
        int left = 0;
        int width = 0;
    };
    SplitPlace splitBase_[6];
    int splitBaseValue_ = 0;
    // Horizontal insets of each side's pane 0 within its page panel, as created. The pane is put back
    // at them after every split change, since a width the layer held at zero would otherwise leave
    // the pane wider than its panel from then on.
    struct PaneInsets {
        int left = 0;
        int right = 0;
    };
    PaneInsets paneInsets_[2];
    void placePaneInPanel(Side side);
};
