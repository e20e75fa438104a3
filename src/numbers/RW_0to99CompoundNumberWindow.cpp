#include "numbers/RW_0to99CompoundNumberWindow.h"

#include "common/CC_genericTransportObject.h"

#include <array>

namespace {

const QString kBoxes = QStringLiteral("CB_0to99");
const QString kSelectRow = QStringLiteral("PB_selectRow");
const QString kClearRow = QStringLiteral("PB_clearRow");
const QString kSelectColumn = QStringLiteral("PB_selectColumn");
const QString kClearColumn = QStringLiteral("PB_clearColumn");
const QString kGroup = QStringLiteral("GroupBox1");

// The grid's columns are not evenly spaced; the lefts are the design's own.
constexpr std::array<int, 10> kBoxLeft = {114, 180, 247, 314, 381, 448, 515, 582, 649, 716};
constexpr std::array<int, 10> kColumnButtonLeft = {97, 164, 232, 300, 367, 435, 503, 570, 638, 706};

constexpr int kBoxWidth = 50;
constexpr int kBoxHeight = 26;
constexpr int kSmallButtonWidth = 60;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 22;
constexpr int kRowButtonSelectLeft = 36;
constexpr int kRowButtonClearLeft = 767;
constexpr int kColumnButtonSelectTop = 31;
constexpr int kColumnButtonClearTop = 439;
constexpr int kBottomButtonTop = 489;

constexpr int rowTop(int row)
{
    return 63 + 38 * row;
}

// Boxes made by each creation pass: 0-46, 47-96, 97-99.
constexpr int kFirstBoxOfPass1 = 47;
constexpr int kFirstBoxOfPass2 = 97;

} // namespace

RW_0to99CompoundNumberWindow* RW_0to99CompoundNumberWindow::instance()
{
    return fw::Window::implicitInstance<RW_0to99CompoundNumberWindow>();
}

fw::WindowRecord RW_0to99CompoundNumberWindow::Layout()
{
    fw::WindowRecord record;
    record.title = QStringLiteral("Number Selector: 0 to 99");
    record.width = 868;
    record.height = 531;
    record.frame = fw::WindowRecord::Document;
    record.placement = fw::WindowRecord::DefaultPlacement;
    record.visible = false;
    record.resizeable = false;
    record.minWidth = 64;
    record.minHeight = 64;
    record.maxWidth = 32000;
    record.maxHeight = 32000;
    record.closeButton = true;
    record.minimizeButton = true;
    record.maximizeButton = false;
    return record;
}

void RW_0to99CompoundNumberWindow::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
    _CreateControls2();
}

void RW_0to99CompoundNumberWindow::addBox(int number)
{
    auto* element = new CB_0to99(number);
    add(element, kBoxes, kBoxLeft[number % kColumns], rowTop(number / kColumns), kBoxWidth, kBoxHeight,
        fw::LockNone, FindControl(kGroup), element->arrayIndex());
    element->setCaption(QString::number(number));
}

void RW_0to99CompoundNumberWindow::_CreateControls0()
{
    auto* done = add(new fw::PushButton, QStringLiteral("PB_done"), 725, kBottomButtonTop, kButtonWidth,
                     kButtonHeight, fw::LockRight | fw::LockBottom);
    done->setCaption(QStringLiteral("Done"));
    done->Action = [this](fw::PushButton&) { PB_done_Action(); };

    auto* cancel = add(new fw::PushButton, QStringLiteral("PB_cancel"), 20, kBottomButtonTop, kButtonWidth,
                       kButtonHeight, fw::LockLeft | fw::LockBottom);
    cancel->setCaption(QStringLiteral("Cancel"));
    cancel->Action = [this](fw::PushButton&) { PB_cancel_Action(); };

    auto* group = add(new fw::GroupBox, kGroup, 20, 8, 828, 466,
                      fw::LockLeft | fw::LockTop | fw::LockRight | fw::LockBottom);
    group->setCaption(QStringLiteral("Check All That Apply"));
    fw::ControlFont bold;
    bold.bold = true;
    group->setFont(bold);

    for (int n = 0; n < kFirstBoxOfPass1; ++n)
        addBox(n);
}

void RW_0to99CompoundNumberWindow::_CreateControls1()
{
    for (int n = kFirstBoxOfPass1; n < kFirstBoxOfPass2; ++n)
        addBox(n);
}

void RW_0to99CompoundNumberWindow::_CreateControls2()
{
    for (int n = kFirstBoxOfPass2; n < kBoxCount; ++n)
        addBox(n);

    fw::Control* group = FindControl(kGroup);
    auto bindArray = [this](fw::PushButton* button, const QString& caption,
                            void (RW_0to99CompoundNumberWindow::*handler)(fw::PushButton&)) {
        button->setCaption(caption);
        button->Action = [this, handler](fw::PushButton& sender) { (this->*handler)(sender); };
    };

    for (int r = 0; r < kRows; ++r) {
        auto* element = new PB_selectRow(r);
        add(element, kSelectRow, kRowButtonSelectLeft, rowTop(r), kSmallButtonWidth, kButtonHeight, fw::LockNone,
            group, element->arrayIndex());
        bindArray(element, QStringLiteral("All"), &RW_0to99CompoundNumberWindow::PB_selectRow_Action);
    }
    for (int r = 0; r < kRows; ++r) {
        auto* element = new PB_clearRow(r);
        add(element, kClearRow, kRowButtonClearLeft, rowTop(r), kSmallButtonWidth, kButtonHeight, fw::LockNone,
            group, element->arrayIndex());
        bindArray(element, QStringLiteral("None"), &RW_0to99CompoundNumberWindow::PB_clearRow_Action);
    }
    for (int c = 0; c < kColumns; ++c) {
        auto* element = new PB_selectColumn(c);
        add(element, kSelectColumn, kColumnButtonLeft[c], kColumnButtonSelectTop, kSmallButtonWidth, kButtonHeight,
            fw::LockNone, group, element->arrayIndex());
        bindArray(element, QStringLiteral("All"), &RW_0to99CompoundNumberWindow::PB_selectColumn_Action);
    }
    for (int c = 0; c < kColumns; ++c) {
        auto* element = new PB_clearColumn(c);
        add(element, kClearColumn, kColumnButtonLeft[c], kColumnButtonClearTop, kSmallButtonWidth, kButtonHeight,
            fw::LockNone, group, element->arrayIndex());
        bindArray(element, QStringLiteral("None"), &RW_0to99CompoundNumberWindow::PB_clearColumn_Action);
    }

    auto* selectAll = add(new fw::PushButton, QStringLiteral("PB_selectAll"), 466, kBottomButtonTop, kButtonWidth,
                          kButtonHeight, fw::LockBottom);
    selectAll->setCaption(QStringLiteral("Select All"));
    selectAll->Action = [this](fw::PushButton&) { PB_selectAll_Action(); };

    auto* clearAll = add(new fw::PushButton, QStringLiteral("PB_clearAll"), 243, kBottomButtonTop, kButtonWidth,
                         kButtonHeight, fw::LockBottom);
    clearAll->setCaption(QStringLiteral("Clear All"));
    clearAll->Action = [this](fw::PushButton&) { PB_clearAll_Action(); };
}

fw::CheckBox* RW_0to99CompoundNumberWindow::box(int number) const
{
    return control<fw::CheckBox>(kBoxes, number);
}

void RW_0to99CompoundNumberWindow::setRow(int row, bool ticked)
{
    if (row < 0 || row >= kRows)
        return;
    for (int n = row * kColumns; n < (row + 1) * kColumns; ++n)
        box(n)->setValue(ticked);
}

void RW_0to99CompoundNumberWindow::setColumn(int column, bool ticked)
{
    if (column < 0 || column >= kColumns)
        return;
    for (int n = column; n < kBoxCount; n += kColumns)
        box(n)->setValue(ticked);
}

void RW_0to99CompoundNumberWindow::setAll(bool ticked)
{
    for (int n = 0; n < kBoxCount; ++n)
        box(n)->setValue(ticked);
}

// The answer is always a new list: the caller's list must stay exactly as it was handed in.
void RW_0to99CompoundNumberWindow::PB_done_Action()
{
    if (transport) {
        auto ticked = std::make_shared<IntList>();
        ticked->reserve(kBoxCount);
        for (int n = 0; n < kBoxCount; ++n) {
            if (box(n)->Value())
                ticked->push_back(n);
        }
        transport->setIntArray(ticked);
        transport->setUserCancel(false);
    }
    Close();
}

void RW_0to99CompoundNumberWindow::PB_cancel_Action()
{
    Close();
}

void RW_0to99CompoundNumberWindow::PB_selectRow_Action(fw::PushButton& sender)
{
    setRow(sender.Index(), true);
}

void RW_0to99CompoundNumberWindow::PB_clearRow_Action(fw::PushButton& sender)
{
    setRow(sender.Index(), false);
}

void RW_0to99CompoundNumberWindow::PB_selectColumn_Action(fw::PushButton& sender)
{
    setColumn(sender.Index(), true);
}

void RW_0to99CompoundNumberWindow::PB_clearColumn_Action(fw::PushButton& sender)
{
    setColumn(sender.Index(), false);
}

void RW_0to99CompoundNumberWindow::PB_selectAll_Action()
{
    setAll(true);
}

void RW_0to99CompoundNumberWindow::PB_clearAll_Action()
{
    setAll(false);
}

void RW_0to99CompoundNumberWindow::initialize(std::shared_ptr<CC_genericTransportObject> transportObject)
{
    transport = std::move(transportObject);
    if (!transport)
        return;
    const IntListRef numbers = transport->getIntArray();
    for (qint32 v : *numbers) {
        if (v >= 0 && v < kBoxCount)
            box(v)->setValue(true);
    }
    transport->setUserCancel(true);
}
