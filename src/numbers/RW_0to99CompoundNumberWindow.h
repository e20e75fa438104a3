#pragma once

#include "platform/Controls.h"
#include "platform/Window.h"

#include <memory>

class CC_genericTransportObject;

// Element classes of the grid window's control arrays. Each element is built with its index; the
// window registers it under the array's name with that index, so element n is found as (name, n).
class CB_0to99 : public fw::CheckBox {
public:
    explicit CB_0to99(int index) : arrayIndex_(index) {}
    int arrayIndex() const { return arrayIndex_; }

private:
    int arrayIndex_;
};

class PB_selectRow : public fw::PushButton {
public:
    explicit PB_selectRow(int index) : arrayIndex_(index) {}
    int arrayIndex() const { return arrayIndex_; }

private:
    int arrayIndex_;
};

class PB_clearRow : public fw::PushButton {
public:
    explicit PB_clearRow(int index) : arrayIndex_(index) {}
    int arrayIndex() const { return arrayIndex_; }

private:
    int arrayIndex_;
};

class PB_selectColumn : public fw::PushButton {
public:
    explicit PB_selectColumn(int index) : arrayIndex_(index) {}
    int arrayIndex() const { return arrayIndex_; }

private:
    int arrayIndex_;
};

class PB_clearColumn : public fw::PushButton {
public:
    explicit PB_clearColumn(int index) : arrayIndex_(index) {}
    int arrayIndex() const { return arrayIndex_; }

private:
    int arrayIndex_;
};

// "Number Selector: 0 to 99": a 10 x 10 grid of check boxes, box n at row n / 10 and column n % 10,
// with "All" / "None" buttons per row and column and for the whole grid.
//
// Modal exchange: the caller obtains the window with instance(), hands it a transport object through
// initialize() (whose intArray holds the numbers to show ticked) and calls ShowModal(). "Done" writes a
// new ascending list of the ticked numbers into the object and clears userCancel; "Cancel" and the close
// box write nothing, so userCancel stays true and intArray stays the caller's list. The window closes
// in every case, and the next instance() builds a fresh one.
class RW_0to99CompoundNumberWindow : public fw::Window {
public:
    static constexpr int kRows = 10;
    static constexpr int kColumns = 10;
    static constexpr int kBoxCount = kRows * kColumns;

    // The open grid window, or a newly built hidden one with no box ticked; never null.
    static RW_0to99CompoundNumberWindow* instance();

    // Keeps the transport object, ticks the box of every number in its intArray (values outside
    // 0..99 have no box and are skipped) and sets its userCancel.
    void initialize(std::shared_ptr<CC_genericTransportObject> transportObject);

private:
    friend class fw::Window;
    RW_0to99CompoundNumberWindow() = default;

    fw::WindowRecord Layout() override;
    void CreateControls() override;
    void _CreateControls0();
    void _CreateControls1();
    void _CreateControls2();

    void PB_done_Action();
    void PB_cancel_Action();
    void PB_selectRow_Action(fw::PushButton& sender);
    void PB_clearRow_Action(fw::PushButton& sender);
    void PB_selectColumn_Action(fw::PushButton& sender);
    void PB_clearColumn_Action(fw::PushButton& sender);
    void PB_selectAll_Action();
    void PB_clearAll_Action();

    void addBox(int number);
    fw::CheckBox* box(int number) const;
    void setRow(int row, bool ticked);
    void setColumn(int column, bool ticked);
    void setAll(bool ticked);

    std::shared_ptr<CC_genericTransportObject> transport;
};
