#pragma once

#include "numbers/SelectionListModel.h"
#include "platform/Controls.h"
#include "platform/Window.h"

#include <QDate>

namespace fw {
class Graphics;
}

// The digit boxes 0 to 9 of "Single Digit Numbers".
class CB_0to10 : public fw::CheckBox {
public:
    explicit CB_0to10(int index)
        : digit(index)
    {
    }
    const int digit;
};

// "Number Selection": the list of test entries and every way of filling it, and the report launch.
//
// The entries live in two sorted, duplicate-free collections (numbers, and all other text) behind the
// list box's model. A number below numCheckBoxes enters and leaves the list only through its digit box,
// so a box is ticked exactly when its digit is listed.
class RW_compoundNumberWindow : public fw::Window {
public:
    // The open number-selection window, or a new hidden one.
    static RW_compoundNumberWindow* instance() { return implicitInstance<RW_compoundNumberWindow>(); }

    const int numCheckBoxes = 10;
    const std::vector<qint32>& numberList() const { return entries.list().numberList(); }
    std::vector<QString> numStringList() const { return entries.list().numStringList(); }
    const SelectionListModel& selection() const { return entries; }

    void addToListBox(const QString& entry);
    void dropfromListBox(const QString& entry);
    void showNumberOfTests();

    void PB_loadNumbers_Action();
    void PB_saveNumbers_Action();
    void PB_clearNumbers_Action();
    void PB_removeNumbers_Action();
    void CB_0to10_Action(CB_0to10& box);
    void PB_doneAndExit_Action();
    void PB_checkAllRadio_Action();
    void PB_clearAllRadio_Action();
    void EF_rangeStart_TextChange();
    void EF_rangeEnd_TextChange();
    void PB_addRange_Action();
    void EF_CSV_TextChange();
    void PB_addCSV_Action();
    void PB_add0to99_Action();
    void PB_addEH_Action();
    void PB_addEvenTens_Action();
    void PB_addET_Action();
    void logoCanvas_Paint(fw::Graphics& g);

    // The suggested name of a saved list on the given day: numList_YYYYMMDD.rcn.
    static QString suggestedListFileName(const QDate& day);

protected:
    fw::WindowRecord Layout() override;
    void CreateControls() override;
    void CloseEvent() override;

private:
    void _CreateControls0();
    CB_0to10* digitBox(int digit) const;
    // Adds many entries at once, in one pass over the list, or none when the list has no room for them;
    // the digits' boxes are ticked after.
    void addEntries(const QStringList& entries);
    void updateRangeButton();
    void addPreset(const QStringList& preset);
    // Whether the list has room for what a change would add; if not, the user is told what was not
    // done (refusal), then why.
    bool hasRoomFor(SelectionList::Growth growth, const QString& refusal = QStringLiteral("Nothing was added: "));
    bool hasRoomForAll(const QStringList& adding);
    // Why a change that grows the list by growth was refused: which bound it passes, the room left,
    // and how to make room.
    QString listBoundsText(SelectionList::Growth growth) const;

    SelectionListModel entries;
};
