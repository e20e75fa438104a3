#include "numbers/RW_compoundNumberWindow.h"

#include "common/CC_genericTransportObject.h"
#include "common/M_globals.h"
#include "common/Pictures.h"
#include "common/cListBox.h"
#include "common/headCanvas.h"
#include "numbers/EntryParsing.h"
#include "numbers/RF_numberList.h"
#include "numbers/RW_0to99CompoundNumberWindow.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "platform/Graphics.h"
#include "platform/TextHelpers.h"

#include <QLocale>

#include <algorithm>
#include <new>
#include <system_error>

using namespace fw;

namespace {

const QString kRangeMask = QStringLiteral("######################");

PushButton* makeButton(Window* w, const QString& name, int l, int t, int wd, int h, const QString& caption,
                       const QString& helpTag, Control* parent)
{
    auto* b = w->add(new PushButton, name, l, t, wd, h, LockLeft | LockTop, parent);
    b->setCaption(caption);
    if (!helpTag.isEmpty())
        b->setHelpTag(helpTag);
    return b;
}

GroupBox* makeGroup(Window* w, const QString& name, int l, int t, int wd, int h, const QString& caption)
{
    auto* g = w->add(new GroupBox, name, l, t, wd, h);
    g->setCaption(caption);
    g->setFont({QStringLiteral("System"), 0, true});
    return g;
}

// The numbers from, from + step, ... up to to, in decimal.
QStringList numbersFrom(int from, int to, int step)
{
    QStringList numbers;
    for (int n = from; n <= to; n += step)
        numbers << QString::number(n);
    return numbers;
}

} // namespace

WindowRecord RW_compoundNumberWindow::Layout()
{
    WindowRecord r;
    r.title = QStringLiteral("Number Selection");
    r.width = 686;
    r.height = 509;
    r.frame = WindowRecord::Document;
    r.visible = false;
    r.resizeable = false;
    r.closeButton = true;
    r.minimizeButton = true;
    r.maximizeButton = false;
    return r;
}

void RW_compoundNumberWindow::CreateControls()
{
    _CreateControls0();
}

void RW_compoundNumberWindow::_CreateControls0()
{
    auto* options = makeGroup(this, QStringLiteral("GroupBox5"), 252, 276, 219, 176, QStringLiteral("Options"));
    makeButton(this, QStringLiteral("PB_loadNumbers"), 272, 375, 179, 22, QStringLiteral("Augment List..."),
               QStringLiteral("Augment the current list with a previously saved list"), options)
        ->Action = [this](PushButton&) { PB_loadNumbers_Action(); };
    makeButton(this, QStringLiteral("PB_saveNumbers"), 272, 412, 179, 22, QStringLiteral("Save List..."),
               QStringLiteral("Save this list of numbers/numeric sequences for future use"), options)
        ->Action = [this](PushButton&) { PB_saveNumbers_Action(); };
    makeButton(this, QStringLiteral("PB_clearNumbers"), 272, 301, 179, 22, QStringLiteral("Clear All Selections"),
               QStringLiteral("Empty list of numbers on the right, and reset all controls in this section"), options)
        ->Action = [this](PushButton&) { PB_clearNumbers_Action(); };
    makeButton(this, QStringLiteral("PB_removeNumbers"), 272, 338, 179, 22, QStringLiteral("Remove Highlighted"),
               QStringLiteral("Remove any highlighted numbers in the list"), options)
        ->Action = [this](PushButton&) { PB_removeNumbers_Action(); };

    auto* header = add(new headCanvas, QStringLiteral("headCanvas1"), 42, 0, 644, 42);
    auto* title = add(new StaticText, QStringLiteral("StaticText1"), 60, 5, 415, 32, LockLeft | LockTop, header);
    title->setText(QStringLiteral("Number Selection"));
    title->setFont({QStringLiteral("Arial"), 20});
    title->setTextColor(QColor(0x2A, 0x2F, 0x85));

    makeButton(this, QStringLiteral("PB_doneAndExit"), 504, 472, 162, 22, QStringLiteral("Generate Words"), QString(),
               nullptr)
        ->Action = [this](PushButton&) { PB_doneAndExit_Action(); };

    auto* digits = makeGroup(this, QStringLiteral("GroupBox2"), 20, 55, 451, 88, QStringLiteral("Single Digit Numbers"));
    static const int lefts[10] = {53, 109, 165, 221, 277, 53, 108, 164, 220, 276};
    for (int d = 0; d < 10; ++d) {
        auto* box = add(new CB_0to10(d), QStringLiteral("CB_0to10"), lefts[d], d < 5 ? 77 : 111, 32, 22,
                        LockLeft | LockTop, digits, d);
        box->setCaption(QString::number(d));
        box->Action = [this](CheckBox& b) { CB_0to10_Action(static_cast<CB_0to10&>(b)); };
    }
    makeButton(this, QStringLiteral("PB_checkAllRadio"), 345, 77, 106, 22, QStringLiteral("Add All"), QString(), digits)
        ->Action = [this](PushButton&) { PB_checkAllRadio_Action(); };
    makeButton(this, QStringLiteral("PB_clearAllRadio"), 345, 111, 106, 22, QStringLiteral("Remove All"), QString(),
               digits)
        ->Action = [this](PushButton&) { PB_clearAllRadio_Action(); };

    auto* multiple = makeGroup(this, QStringLiteral("GroupBox3"), 20, 155, 451, 109, QStringLiteral("Multiple Numbers"));
    auto label = [&](const QString& name, int l, int t, int wd, const QString& text) {
        auto* s = add(new StaticText, name, l, t, wd, 18, LockLeft | LockTop, multiple);
        s->setText(text);
        s->setTextAlign(2);
    };
    label(QStringLiteral("StaticText3"), 101, 186, 113, QStringLiteral("Range From"));
    label(QStringLiteral("StaticText4"), 254, 188, 27, QStringLiteral("To"));
    label(QStringLiteral("StaticText8"), 38, 225, 176, QStringLiteral("Comma Separated List"));
    // Assistive tools name each field by the label before it.
    auto field = [&](const QString& name, const QString& spokenName, int l, int wd, int t, const QString& mask,
                     const QString& tag) {
        auto* f = add(new EditField, name, l, t, wd, 24, LockLeft | LockTop, multiple);
        f->setAccessibleName(spokenName);
        f->setBorder(true);
        f->setBackColor(Qt::white);
        f->setMask(mask);
        // A bound too wide for its narrow field is drawn narrower, so that the number read is the whole one.
        f->setShowWhole(!mask.isEmpty());
        if (!tag.isEmpty())
            f->setHelpTag(tag);
        return f;
    };
    field(QStringLiteral("EF_rangeStart"), QStringLiteral("Range From"), 226, 33, 182, kRangeMask,
          QStringLiteral("Lower bound of number range (number itself is added to list)"))
        ->TextChange = [this](EditField&) { EF_rangeStart_TextChange(); };
    field(QStringLiteral("EF_rangeEnd"), QStringLiteral("Range To"), 290, 35, 182, kRangeMask,
          QStringLiteral("Upper bound of number range (number itself is added to list)"))
        ->TextChange = [this](EditField&) { EF_rangeEnd_TextChange(); };
    auto* addRange = makeButton(this, QStringLiteral("PB_addRange"), 345, 182, 106, 22, QStringLiteral("Add Range"),
                                QStringLiteral("Add all numbers specified by the inclusive range at left"), multiple);
    addRange->setEnabled(false);
    addRange->Action = [this](PushButton&) { PB_addRange_Action(); };
    field(QStringLiteral("EF_CSV"), QStringLiteral("Comma Separated List"), 226, 99, 219, QString(), QString())
        ->TextChange = [this](EditField&) {
        EF_CSV_TextChange();
    };
    auto* addCsv = makeButton(this, QStringLiteral("PB_addCSV"), 345, 220, 106, 22, QStringLiteral("Add List"),
                              QStringLiteral("Add a comma separated list of numbers, like \"1, 2, 13, 24, 55\" to the list"),
                              multiple);
    addCsv->setEnabled(false);
    addCsv->Action = [this](PushButton&) { PB_addCSV_Action(); };

    auto* sets = makeGroup(this, QStringLiteral("GroupBox1"), 20, 276, 220, 176, QStringLiteral("Sets of Numbers"));
    auto* grid = makeButton(this, QStringLiteral("PB_add0to99"), 38, 301, 184, 22, QStringLiteral("Add 0-99..."),
                            QStringLiteral("Allows more granular selection of numbers ranging from zero to ninety-nine"),
                            sets);
    grid->setFont({QStringLiteral("System"), 11});
    grid->Action = [this](PushButton&) { PB_add0to99_Action(); };
    makeButton(this, QStringLiteral("PB_addEH"), 38, 375, 184, 22, QStringLiteral("Add Hundreds (n00)"),
               QStringLiteral("Adds 100, 200, 300, etc. up to 900"), sets)
        ->Action = [this](PushButton&) { PB_addEH_Action(); };
    makeButton(this, QStringLiteral("PB_addEvenTens"), 38, 338, 184, 22, QStringLiteral("Add Tens (n0)"),
               QStringLiteral("Adds 10, 20, 30, etc. up to 90"), sets)
        ->Action = [this](PushButton&) { PB_addEvenTens_Action(); };
    makeButton(this, QStringLiteral("PB_addET"), 38, 412, 184, 22, QStringLiteral("Add Thousands (n000)"),
               QStringLiteral("Adds 1000, 2000, 3000, etc. up to 99000"), sets)
        ->Action = [this](PushButton&) { PB_addET_Action(); };

    auto* selected = makeGroup(this, QStringLiteral("GroupBox4"), 483, 55, 183, 397, QStringLiteral("Test Numbers Selected"));
    auto* list = add(new cListBox, QStringLiteral("LB_numberSelected"), 504, 86, 142, 330, LockBottom, selected);
    list->setModel(&entries);
    list->setSelectionType(1);
    list->setHelpTag(QStringLiteral("These are the numbers that will be fed to each number set in the report"));
    list->setAccessibleName(QStringLiteral("Test Numbers Selected"));
    auto* casesLabel = add(new StaticText, QStringLiteral("StaticText13"), 500, 421, 77, 21, LockBottom, selected);
    casesLabel->setText(QStringLiteral("Test cases:"));
    casesLabel->setTextAlign(2);
    auto* count = add(new StaticText, QStringLiteral("ST_numTestCases"), 589, 421, 57, 21, LockBottom, selected);
    count->setText(QStringLiteral("0"));
    count->setTextAlign(0);

    auto* logoBox = add(new fw::Rectangle, QStringLiteral("Rectangle1"), 0, 0, 42, 43);
    logoBox->setFillColor(Qt::white);
    logoBox->setBorder(1, Qt::black, Qt::black);
    auto* logo = add(new Canvas, QStringLiteral("logoCanvas"), 5, 5, 32, 32, LockLeft | LockTop, logoBox);
    logo->onPaint = [this](Canvas&, Graphics& g) { logoCanvas_Paint(g); };

    add(new fw::Line, QStringLiteral("Line1"), 0, 43, 686, 2)->setLine(0, 43, 686, 43, 2, Qt::black);
}

void RW_compoundNumberWindow::logoCanvas_Paint(Graphics& g)
{
    g.DrawPicture(logoBadge(), 0, 0);
}

void RW_compoundNumberWindow::CloseEvent()
{
    // No grid window outlives the number selection.
    RW_0to99CompoundNumberWindow::instance()->Close();
}

CB_0to10* RW_compoundNumberWindow::digitBox(int digit) const
{
    return control<CB_0to10>(QStringLiteral("CB_0to10"), digit);
}

// ---- the list of test entries

void RW_compoundNumberWindow::addToListBox(const QString& entry)
{
    if (entries.add(entry))
        showNumberOfTests();
}

QString RW_compoundNumberWindow::listBoundsText(SelectionList::Growth growth) const
{
    const QLocale english(QLocale::English);
    const SelectionList& list = entries.list();
    QStringList passed;
    // One bound: what the list would hold, what it may, and the room left ("full" when none).
    const auto pass = [&](qint64 held, qint64 adding, qint64 most, const QString& wouldHold, const QString& full,
                          const QString& roomFor) {
        if (held + adding <= most)
            return;
        const qint64 room = std::max<qint64>(0, most - held);
        passed << wouldHold.arg(english.toString(held + adding), english.toString(most),
                                room == 0 ? full : roomFor.arg(english.toString(room)));
    };
    pass(list.rowCount(), growth.entries, SelectionList::kMaxEntries,
         QStringLiteral("the list would hold %1 entries, and it may hold at most %2: %3"), QStringLiteral("it is full"),
         QStringLiteral("it has room for %1 more"));
    pass(list.texts().bytes(), growth.textBytes, SelectionList::kMaxTextBytes,
         QStringLiteral("the list's text entries (those that are not whole numbers) would hold %1 bytes, and they may "
                        "hold at most %2: %3"),
         QStringLiteral("they are full"), QStringLiteral("they have room for %1 more bytes"));
    return passed.join(QStringLiteral("; "))
           + QStringLiteral(". A list holds no more, so that every saved list reads back. To make room, remove entries "
                            "(select them and press \"Remove Highlighted\") or clear the list (\"Clear All Selections\").");
}

bool RW_compoundNumberWindow::hasRoomFor(SelectionList::Growth growth, const QString& refusal)
{
    if (entries.list().hasRoomFor(growth))
        return true;
    MsgBox(refusal + listBoundsText(growth));
    return false;
}

bool RW_compoundNumberWindow::hasRoomForAll(const QStringList& adding)
{
    return hasRoomFor(entries.list().growthOf(adding));
}

void RW_compoundNumberWindow::dropfromListBox(const QString& entry)
{
    entries.remove(entry);
    showNumberOfTests();
}

void RW_compoundNumberWindow::showNumberOfTests()
{
    control<StaticText>(QStringLiteral("ST_numTestCases"))->setText(Str(entries.rowCount()));
}

void RW_compoundNumberWindow::addEntries(const QStringList& lines)
{
    std::vector<qint32> numbers;
    TextEntries texts;
    SelectionList::sortEntries(lines, numbers, texts);
    const SelectionList::Growth growth = entries.list().growthOf(numbers, texts);
    if (!hasRoomFor(growth))
        return;
    entries.addSorted(std::move(numbers), std::move(texts), growth);
    // The digits' boxes are ticked once the merge has added them, so that their events find them present.
    for (const QString& line : lines) {
        const EntryKind kind = classifyEntry(line);
        if (kind.kind == EntryKind::Number && kind.value >= 0 && kind.value < numCheckBoxes && !line.isEmpty())
            digitBox(kind.value)->setValue(true);
    }
    showNumberOfTests();
}

void RW_compoundNumberWindow::CB_0to10_Action(CB_0to10& box)
{
    const QString digit = Str(box.Index());
    if (!box.Value())
        dropfromListBox(digit);
    else if (hasRoomFor(entries.list().growthOf(digit)))
        addToListBox(digit);
    else
        box.setValue(false); // a box is ticked only while its digit is listed
}

void RW_compoundNumberWindow::PB_checkAllRadio_Action()
{
    if (!hasRoomForAll(numbersFrom(0, numCheckBoxes - 1, 1)))
        return;
    for (int i = 0; i < numCheckBoxes; ++i)
        digitBox(i)->setValue(true);
}

void RW_compoundNumberWindow::PB_clearAllRadio_Action()
{
    for (int i = 0; i < numCheckBoxes; ++i)
        digitBox(i)->setValue(false);
}

void RW_compoundNumberWindow::PB_clearNumbers_Action()
{
    if (!M_globals::dialogConfirm(QStringLiteral("Are you sure you want to clear all numbers?"), QString()))
        return;
    entries.clear();
    control<EditField>(QStringLiteral("EF_rangeEnd"))->setText(QString());
    control<EditField>(QStringLiteral("EF_rangeStart"))->setText(QString());
    control<EditField>(QStringLiteral("EF_CSV"))->setText(QString());
    for (int i = 0; i < numCheckBoxes; ++i)
        digitBox(i)->setValue(false);
    showNumberOfTests();
}

void RW_compoundNumberWindow::PB_removeNumbers_Action()
{
    auto* list = control<cListBox>(QStringLiteral("LB_numberSelected"));
    const std::vector<int> rows = list->selectedRows();
    if (rows.empty())
        return;
    // Digits leave through their boxes; every other selected row goes in one pass over the list.
    std::vector<int> others;
    std::vector<int> digits;
    others.reserve(rows.size());
    const SelectionList& selected = entries.list();
    for (int row : rows) {
        const qint32 value =
            selected.isNumberRow(row) ? selected.numberList()[size_t(row - selected.textCount())] : -1;
        if (value >= 0 && value < numCheckBoxes)
            digits.push_back(value);
        else
            others.push_back(row);
    }
    if (!others.empty())
        entries.removeRowsAt(std::move(others));
    for (int digit : digits)
        digitBox(digit)->setValue(false);
    showNumberOfTests();
}

// ---- ranges, comma lists, presets

void RW_compoundNumberWindow::updateRangeButton()
{
    const bool bothFilled = !control<EditField>(QStringLiteral("EF_rangeStart"))->Text().isEmpty()
                            && !control<EditField>(QStringLiteral("EF_rangeEnd"))->Text().isEmpty();
    control<PushButton>(QStringLiteral("PB_addRange"))->setEnabled(bothFilled);
}

void RW_compoundNumberWindow::EF_rangeStart_TextChange()
{
    updateRangeButton();
}

void RW_compoundNumberWindow::EF_rangeEnd_TextChange()
{
    updateRangeButton();
}

void RW_compoundNumberWindow::PB_addRange_Action()
{
    const RangeBound start = parseRangeBound(control<EditField>(QStringLiteral("EF_rangeStart"))->Text());
    const RangeBound end = parseRangeBound(control<EditField>(QStringLiteral("EF_rangeEnd"))->Text());
    if (start.error == BoundError::TooLarge || end.error == BoundError::TooLarge) {
        MsgBox(QStringLiteral("RANGE ERROR: Range numbers may not be larger than 2147483647"));
        return;
    }
    if (end.value < start.value) {
        MsgBox(QStringLiteral("RANGE ERROR: Start number must be less than end number"));
        return;
    }
    if (rangeSize(start.value, end.value) > kMaxRangeValues) {
        MsgBox(QStringLiteral("RANGE ERROR: A range may add at most %1 numbers at once")
                   .arg(QLocale(QLocale::English).toString(kMaxRangeValues)));
        return;
    }
    if (!hasRoomFor({entries.list().missingInRange(start.value, end.value), 0}))
        return;
    for (qint32 d = start.value; d <= end.value && d < numCheckBoxes; ++d)
        digitBox(d)->setValue(true);
    if (end.value >= numCheckBoxes) {
        entries.addRange(std::max<qint32>(start.value, numCheckBoxes), end.value);
        showNumberOfTests();
    }
}

void RW_compoundNumberWindow::EF_CSV_TextChange()
{
    control<PushButton>(QStringLiteral("PB_addCSV"))
        ->setEnabled(!control<EditField>(QStringLiteral("EF_CSV"))->Text().isEmpty());
}

void RW_compoundNumberWindow::PB_addCSV_Action()
{
    addEntries(splitCommaList(control<EditField>(QStringLiteral("EF_CSV"))->Text()));
}

void RW_compoundNumberWindow::PB_addEvenTens_Action()
{
    addPreset(numbersFrom(10, 90, 10));
}

void RW_compoundNumberWindow::PB_addEH_Action()
{
    addPreset(numbersFrom(100, 900, 100));
}

void RW_compoundNumberWindow::PB_addET_Action()
{
    addPreset(numbersFrom(1000, 99000, 1000));
}

void RW_compoundNumberWindow::addPreset(const QStringList& preset)
{
    if (!hasRoomForAll(preset))
        return;
    for (const QString& entry : preset)
        addToListBox(entry);
}

// ---- the 0-to-99 grid

void RW_compoundNumberWindow::PB_add0to99_Action()
{
    RW_0to99CompoundNumberWindow* grid = RW_0to99CompoundNumberWindow::instance();
    if (grid->Visible()) {
        grid->SetFocus();
        return;
    }
    auto transport = std::make_shared<CC_genericTransportObject>();
    auto chosen = std::make_shared<IntList>();
    for (qint32 v : numberList()) {
        if (v > 99)
            break;
        if (v >= 0)
            chosen->push_back(v);
    }
    transport->setIntArray(chosen);
    grid->initialize(transport);
    grid->ShowModal();
    if (transport->getUserCancel())
        return;
    const IntListRef answer = transport->getIntArray();
    bool inAnswer[100] = {};
    for (qint32 v : *answer) {
        if (v >= 0 && v <= 99)
            inAnswer[v] = true;
    }
    // The answer is judged by the list it gives: the numbers it takes out make room for those it puts in.
    qint64 growth = 0;
    for (int n = 0; n <= 99; ++n) {
        if (inAnswer[n] != entries.list().containsNumber(n))
            growth += inAnswer[n] ? 1 : -1;
    }
    if (!hasRoomFor({growth, 0}, QStringLiteral("Nothing was changed: ")))
        return;
    // Out first, then in, so that the list keeps to its bound at every step.
    for (const bool in : {false, true}) {
        for (int n = 0; n <= 99; ++n) {
            if (inAnswer[n] != in)
                continue;
            if (n < numCheckBoxes)
                digitBox(n)->setValue(in);
            else if (in)
                addToListBox(Str(n));
            else
                dropfromListBox(Str(n));
        }
    }
}

// ---- number-list files

QString RW_compoundNumberWindow::suggestedListFileName(const QDate& day)
{
    return QStringLiteral("numList_%1%2%3.%4")
        .arg(day.year())
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(RF_numberList::NumberList().Extensions);
}

void RW_compoundNumberWindow::PB_saveNumbers_Action()
{
    SaveAsDialog dialog;
    dialog.InitialDirectory = FolderItem::applicationFolder();
    dialog.SuggestedFileName = suggestedListFileName(QDate::currentDate());
    dialog.Filter = RF_numberList::NumberList().filterText();
    dialog.Title = QStringLiteral("Select a number list file name to create");
    dialog.DefaultExtension = RF_numberList::NumberList().Extensions;
    const std::optional<FolderItem> target = dialog.ShowModal();
    if (!target)
        return;
    QString error;
    std::unique_ptr<TextOutputStream> out = target->CreateTextFile(&error);
    if (out) {
        writeListRows(entries.list(), *out);
        if (out->Close())
            return;
        error = out->errorString();
    }
    MsgBox(QStringLiteral("Could not save the number list file \"%1\": %2").arg(target->path(), error));
}

void RW_compoundNumberWindow::PB_loadNumbers_Action()
{
    OpenDialog dialog;
    dialog.InitialDirectory = FolderItem::applicationFolder();
    dialog.Title = QStringLiteral("Select a number list file to open");
    dialog.Filter = RF_numberList::NumberList().filterText();
    const std::optional<FolderItem> source = dialog.ShowModal();
    if (!source)
        return;
    // The whole file is read and closed before any entry reaches the list; a refused file adds nothing.
    // A read left by the user (the window closed, the program quits) adds nothing; one that cannot
    // even start says why.
    NumberListContent content;
    try {
        if (!Window::runBusy([&content, &source] { content = readNumberList(*source); }))
            return;
    } catch (const std::system_error& failure) {
        MsgBox(QStringLiteral("Could not read the number list file \"%1\": the read could not be started (%2).")
                   .arg(source->path(), QString::fromLocal8Bit(failure.code().message())));
        return;
    } catch (const std::bad_alloc&) {
        MsgBox(QStringLiteral("Could not read the number list file \"%1\": there is not enough memory.").arg(source->path()));
        return;
    }
    // The digits' boxes are ticked once the merge has added them, so that their events find them present.
    std::vector<int> digits;
    const auto& numbers = content.numbers;
    for (auto it = std::lower_bound(numbers.begin(), numbers.end(), 0); it != numbers.end() && *it < numCheckBoxes; ++it)
        digits.push_back(*it);
    if (content.refusal.isEmpty()) {
        const SelectionList::Growth growth = entries.list().growthOf(content.numbers, content.texts);
        if (entries.list().hasRoomFor(growth)) {
            entries.addSorted(std::move(content.numbers), std::move(content.texts), growth);
        } else {
            content.refusal = QStringLiteral("Nothing was added from the number list file \"%1\": ").arg(source->path())
                              + listBoundsText(growth);
        }
    }
    if (!content.refusal.isEmpty()) {
        const QString refusal = content.refusal;
        content = {};
        releaseFreedMemory();
        MsgBox(refusal);
        return;
    }
    for (const int digit : digits)
        digitBox(digit)->setValue(true);
    showNumberOfTests();
}
