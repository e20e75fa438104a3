// The report window's record and its three creation passes (147 controls).

#include "report/RW_reportOutputWindow.h"

#include "common/headCanvas.h"
#include "platform/Controls.h"
#include "platform/EditField.h"
#include "search/SearchRowControls.h"

using namespace fw;

namespace {

// Row tops of the search rows (the top of each row's phrase field) at the design size.
const int kRowTop[] = {400, 434, 468, 503, 538, 573, 608};
const int kApplyColorTop[] = {401, 435, 469, 504, 541, 576, 609};
const int kColorLabelTop[] = {401, 437, 471, 504, 539, 574, 609};
const int kUpDnLeftHeight[] = {27, 31, 29, 29, 29, 29, 29};

const QColor kWhite = QColor(0xFF, 0xFF, 0xFF);
const QColor kBlack = QColor(0, 0, 0);

Control* searchGroup(const RW_reportOutputWindow* w)
{
    return w->FindControl(QStringLiteral("GB_search"));
}

// Registers an element of a search-row array inside the search group under its element number.
template <class C>
C* addRowElement(RW_reportOutputWindow* w, C* element, const char* name, int left, int top, int width, int height,
                 int locks)
{
    return w->add(element, QLatin1String(name), left, top, width, height, locks, searchGroup(w), element->element);
}

void makeHeading(RW_reportOutputWindow* w, const char* name, const QString& text, int left, int width, int locks)
{
    auto* heading = w->add(new StaticText, QLatin1String(name), left, 368, width, 23, locks, searchGroup(w));
    heading->setText(text);
    heading->setTextAlign(1);
    ControlFont font;
    font.underline = true;
    heading->setFont(font);
}

// A row's hit-number field: single line, centred, disabled until a search has hits in the pane. Assistive
// tools name it by its column heading, its side and its row.
void styleHitNumberField(EditField* field, const QString& side, const QString& helpTag)
{
    field->setAccessibleName(QStringLiteral("Index on %1, row %2").arg(side).arg(field->Index() + 1));
    field->setAlignment(2);
    field->setBorder(true);
    field->setBackColor(kWhite);
    field->setReadOnly(false);
    field->setHelpTag(helpTag);
    field->setEnabled(false);
}

void makeCounter(StaticText* counter)
{
    counter->setText(QStringLiteral("99999"));
    counter->setTextAlign(1);
}

void makeSearchTotal(RW_reportOutputWindow* w, int k)
{
    makeCounter(addRowElement(w, new ST_searchTotal(k), "ST_searchTotal", 769, kRowTop[k] + 2, 52, 23,
                              LockTop | LockRight));
}

void makeSearchShowingLeft(RW_reportOutputWindow* w, int k)
{
    makeCounter(addRowElement(w, new ST_searchShowingLeft(k), "ST_searchShowingLeft", 202, kRowTop[k] + 3, 45, 23,
                              LockLeft | LockTop));
}

void makeSearchShowingRight(RW_reportOutputWindow* w, int k)
{
    makeCounter(addRowElement(w, new ST_searchShowingRight(k), "ST_searchShowingRight", 656, kRowTop[k] + 2, 45, 23,
                              LockTop | LockRight));
}

// Assistive tools name a row's hit arrows by what each steps to, with the side and the row, as they name
// the row's hit-number field.
void nameHitArrows(UpDownArrows* arrows, const char* up, const char* down, const char* side)
{
    const QString place = QStringLiteral("on %1, row %2").arg(QLatin1String(side)).arg(arrows->Index() + 1);
    arrows->setAccessibleName(QStringLiteral("%1 or %2 Hit %3").arg(QLatin1String(up), QLatin1String(down), place));
    arrows->setArrowNames(QStringLiteral("%1 Hit %2").arg(QLatin1String(up), place),
                          QStringLiteral("%1 Hit %2").arg(QLatin1String(down), place));
}

void makeUpDnLeft(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new UDA_srchUpDnLeft(k), "UDA_srchUpDnLeft", 127, kRowTop[k] + 1, 16,
                            kUpDnLeftHeight[k], LockLeft | LockTop);
    e->setHelpTag(QStringLiteral("Search Up/Down in the left-side text"));
    nameHitArrows(e, "Previous", "Next", "Left");
    e->setVisible(false);
    e->Down = [w](UpDownArrows& s) { w->UDA_srchUpDnLeft_Down(s); };
    e->Up = [w](UpDownArrows& s) { w->UDA_srchUpDnLeft_Up(s); };
}

void makeFirstLastLeft(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new UDA_srchFirstLastLeft(k), "UDA_srchFirstLastLeft", 177, kRowTop[k] + 1, 13, 28,
                            LockLeft);
    e->setHelpTag(QStringLiteral("Find first or last entry in the left-side text"));
    nameHitArrows(e, "First", "Last", "Left");
    e->setVisible(false);
    e->Up = [w](UpDownArrows& s) { w->UDA_srchFirstLastLeft_Up(s); };
    e->Down = [w](UpDownArrows& s) { w->UDA_srchFirstLastLeft_Down(s); };
}

void makeUpDnRight(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new UDA_srchUpDnRight(k), "UDA_srchUpDnRight", 573, kRowTop[k], 16, 27,
                            LockTop | LockRight);
    e->setHelpTag(QStringLiteral("Search Up/Down in the right-side text"));
    nameHitArrows(e, "Previous", "Next", "Right");
    e->setVisible(false);
    e->Down = [w](UpDownArrows& s) { w->UDA_srchUpDnRight_Down(s); };
    e->Up = [w](UpDownArrows& s) { w->UDA_srchUpDnRight_Up(s); };
}

void makeFirstLastRight(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new UDA_srchFirstLastRight(k), "UDA_srchFirstLastRight", 623, kRowTop[k], 13, 28,
                            LockRight);
    e->setHelpTag(QStringLiteral("Find first or last entry in the right-side text"));
    nameHitArrows(e, "First", "Last", "Right");
    e->setVisible(false);
    e->Down = [w](UpDownArrows& s) { w->UDA_srchFirstLastRight_Down(s); };
    e->Up = [w](UpDownArrows& s) { w->UDA_srchFirstLastRight_Up(s); };
}

void makeInstanceLeft(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new EF_searchInstanceLeft(k), "EF_searchInstanceLeft", 140, kRowTop[k] + 1, 37, 23,
                            LockLeft);
    styleHitNumberField(e, QStringLiteral("Left"),
                        QStringLiteral("Enter a specific number to find this occurance in the left-side text"));
    e->TextChange = [w](EditField& s) { w->EF_searchInstanceLeft_TextChange(s); };
    e->MouseWheel = [w](EditField& s, int x, int y, int dx, int dy) {
        return w->EF_searchInstanceLeft_MouseWheel(s, x, y, dx, dy);
    };
}

void makeInstanceRight(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new EF_searchInstanceRight(k), "EF_searchInstanceRight", 586, kRowTop[k], 37, 23,
                            LockRight);
    styleHitNumberField(e, QStringLiteral("Right"),
                        QStringLiteral("Enter a specific number to find this occurance in the right-side text"));
    e->MouseWheel = [w](EditField& s, int x, int y, int dx, int dy) {
        return w->EF_searchInstanceRight_MouseWheel(s, x, y, dx, dy);
    };
    e->TextChange = [w](EditField& s) { w->EF_searchInstanceRight_TextChange(s); };
}

void makeSearchText(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new EF_searchText(k), "EF_searchText", 259, kRowTop[k], 297, 23,
                            LockLeft | LockTop | LockRight);
    ControlFont font;
    font.size = 15;
    e->setFont(font);
    e->setBorder(true);
    e->setBackColor(kWhite);
    e->setAccessibleName(QStringLiteral("Search Criteria, row %1").arg(k + 1));
    e->TextChange = [w](EditField& s) { w->EF_searchText_TextChange(s); };
    e->KeyDown = [w](EditField& s, const QString& key) { return w->EF_searchText_KeyDown(s, key); };
}

void makeFind(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new PB_find(k), "PB_find", 720, kRowTop[k] + 2, 48, 23, LockTop | LockRight);
    e->setCaption(QStringLiteral("Find"));
    e->setEnabled(false);
    e->Action = [w](PushButton& s) { w->PB_find_Action(s); };
}

void makeClearSearch(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new PB_clearSearch(k), "PB_clearSearch", 822, kRowTop[k], 62, 23, LockTop | LockRight);
    e->setCaption(QStringLiteral("Reset"));
    e->setVisible(false);
    e->Action = [w](PushButton& s) { w->PB_clearSearch_Action(s); };
}

// "+" of row k.
void makeNewCriteria(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new PB_NewCriteria(k), "PB_NewCriteria", 892, kRowTop[k] + 5, 13, 13, LockRight);
    e->setCaption(QStringLiteral("+"));
    e->setHelpTag(QStringLiteral("Additional search"));
    e->setVisible(k == 0);
    e->Action = [w](PushButton& s) { w->PB_NewCriteria_Action(s); };
}

// "-" element j, standing on row j + 1.
void makeSrchHide(RW_reportOutputWindow* w, int j)
{
    auto* e = addRowElement(w, new PB_srchHide(j), "PB_srchHide", 35, kRowTop[j + 1] + 6, 13, 13, LockLeft);
    e->setCaption(QStringLiteral("-"));
    e->setHelpTag(QStringLiteral("Hide this search criteria"));
    e->setVisible(j == 5);
    e->Action = [w](PushButton& s) { w->PB_srchHide_Action(s); };
}

void makeApplyColor(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new ChB_applyColor(k), "ChB_applyColor", 54, kApplyColorTop[k], 18, 22, LockLeft);
    e->setCaption(QStringLiteral("Color"));
    e->setAccessibleName(QStringLiteral("Highlight Hits in Color, row %1").arg(k + 1));
}

void makeColorLabel(RW_reportOutputWindow* w, int k)
{
    auto* e = addRowElement(w, new ST_searchColorLabel(k), "ST_searchColorLabel", 78, kColorLabelTop[k], 48, 22,
                            LockLeft);
    e->setText(QStringLiteral("Color"));
    e->setTextAlign(0);
    ControlFont font;
    font.bold = true;
    font.underline = true;
    e->setFont(font);
}

void nameSizeArrows(UpDownArrows* arrows, const QString& side)
{
    arrows->setAccessibleName(QStringLiteral("Text Size Arrows on ") + side);
    arrows->setArrowNames(QStringLiteral("Larger Text on ") + side, QStringLiteral("Smaller Text on ") + side);
}

StaticText* makeLabel(RW_reportOutputWindow* w, const char* name, int left, int top, int width, int height, int locks,
                      const QString& text, int align, const QString& helpTag = QString())
{
    auto* label = w->add(new StaticText, QLatin1String(name), left, top, width, height, locks,
                         w->FindControl(QStringLiteral("GB_reportOutput")));
    label->setText(text);
    label->setTextAlign(align);
    if (!helpTag.isEmpty())
        label->setHelpTag(helpTag);
    return label;
}

} // namespace

WindowRecord RW_reportOutputWindow::Layout()
{
    WindowRecord r;
    r.title = QStringLiteral("Report Results");
    r.width = 940;
    r.height = 659;
    r.minWidth = 720;
    r.minHeight = 472;
    r.maxWidth = 32000;
    r.maxHeight = 32000;
    r.placement = WindowRecord::Stagger;
    r.frame = WindowRecord::Document;
    r.visible = true;
    r.resizeable = true;
    r.closeButton = true;
    r.maximizeButton = true;
    r.minimizeButton = true;
    return r;
}

void RW_reportOutputWindow::CreateControls()
{
    _CreateControls0();
    _CreateControls1();
    _CreateControls2();
    // The window opens on the first control of the report area, not on the first control in reading
    // order: that is "Return to Number Selection", whose accidental Space would throw the running
    // report away. The set-up at the run's end moves the focus on to a pane.
    if (auto* split = FindControl(QStringLiteral("SL_widthAdjuster")))
        split->SetFocus();
}

// Pass 0: the report area (controls 1 to 23), the search group and the first search-row elements.
void RW_reportOutputWindow::_CreateControls0()
{
    auto* report = add(new GroupBox, QStringLiteral("GB_reportOutput"), 20, 49, 900, 283,
                       LockLeft | LockTop | LockRight | LockBottom);
    report->setCaption(QStringLiteral("Report Output"));
    ControlFont bold;
    bold.bold = true;
    report->setFont(bold);

    auto* slider = add(new Slider, QStringLiteral("SL_widthAdjuster"), 26, 65, 886, 24, LockLeft | LockRight, report);
    slider->setMinimum(0);
    slider->setMaximum(100);
    slider->setValue(0);
    slider->setLineStep(1);
    slider->setPageStep(20);
    slider->setLiveScroll(true);
    slider->setAccessibleName(QStringLiteral("Split between Left and Right Reports"));
    slider->ValueChanged = [this](Slider&) { SL_widthAdjuster_ValueChanged(); };

    const QString prompt = QStringLiteral("---- PLEASE SELECT REPORT RESULTS ----");
    auto* choiceLeft = add(new PopupMenu, QStringLiteral("PM_displayChoiceLeft"), 35, 66, 429, 22,
                           LockLeft | LockTop | LockRight, slider);
    choiceLeft->setEnabled(false);
    choiceLeft->AddRow(prompt);
    choiceLeft->setListIndex(0);
    choiceLeft->Change = [this](PopupMenu&) { PM_displayChoiceLeft_Change(); };

    auto* choiceRight = add(new PopupMenu, QStringLiteral("PM_displayChoiceRight"), 478, 66, 427, 22,
                            LockTop | LockRight | LockBottom, slider);
    choiceRight->setEnabled(false);
    choiceRight->AddRow(prompt);
    choiceRight->setListIndex(0);
    choiceRight->Change = [this](PopupMenu&) { PM_displayChoiceRight_Change(); };

    auto* pagesLeft = add(new PagePanel, QStringLiteral("PP_resultsLeft"), 27, 90, 441, 162,
                          LockLeft | LockTop | LockRight | LockBottom, report);
    pagesLeft->setPanelCount(2);
    pagesLeft->setValue(0);

    auto stylePane = [](EditField* pane, const QString& side) {
        pane->setAccessibleName(QStringLiteral("Report on ") + side);
        ControlFont courier;
        courier.name = QStringLiteral("courier");
        courier.size = 12;
        pane->setFont(courier);
        pane->setTextSize(12);
        pane->setReadOnly(true);
        pane->setBorder(true);
        pane->setTextColor(kBlack);
        pane->setBackColor(kWhite);
        pane->setAlignment(0);
    };

    auto* paneLeft = new EF_mainResultsLeft(0);
    add(paneLeft, QStringLiteral("EF_mainResultsLeft"), 35, 99, 429, 145, LockLeft | LockTop | LockRight | LockBottom,
        pagesLeft, paneLeft->element, 1);
    stylePane(paneLeft, QStringLiteral("Left"));
    paneLeft->KeyDown = [this](EditField& s, const QString& key) { return EF_mainResultsLeft_KeyDown(s, key); };
    paneLeft->MouseDown = [this](EditField& s, int x, int y) { return EF_mainResultsLeft_MouseDown(s, x, y); };
    paneLeft->MouseMove = [this](EditField& s, int x, int y) { EF_mainResultsLeft_MouseMove(s, x, y); };
    paneLeft->MouseWheel = [this](EditField& s, int x, int y, int dx, int dy) {
        return EF_mainResultsLeft_MouseWheel(s, x, y, dx, dy);
    };
    paneLeft->SelChange = [this](EditField& s) { EF_mainResultsLeft_SelChange(s); };

    makeLabel(this, "ST_textSizeLeft", 20, 298, 70, 22, LockLeft | LockBottom, QStringLiteral("Text Size:"), 2);

    auto* sizeArrowsLeft = add(new UpDownArrows, QStringLiteral("UDA_fontSizeLeft"), 124, 298, 14, 28,
                               LockLeft | LockBottom, report);
    sizeArrowsLeft->setHelpTag(
        QStringLiteral("Click up or down to increase or decrease the text size on the left"));
    nameSizeArrows(sizeArrowsLeft, QStringLiteral("Left"));
    sizeArrowsLeft->Down = [this](UpDownArrows&) { UDA_fontSizeLeft_Down(); };
    sizeArrowsLeft->Up = [this](UpDownArrows&) { UDA_fontSizeLeft_Up(); };

    makeLabel(this, "ST_lineNumberLeft", 251, 298, 52, 22, LockLeft | LockBottom, QStringLiteral("99999"), 2,
              QStringLiteral("Line number on the left where cursor is located"));
    makeLabel(this, "ST_totalLineCountLeft", 308, 298, 64, 22, LockLeft | LockBottom, QStringLiteral("of 99999"), 0,
              QStringLiteral("Total number of lines on the left"));

    // A size of three digits or more, set by the arrows, is drawn narrower so that it shows whole.
    auto styleSizeField = [](EditField* field, const QString& side, const QString& helpTag) {
        field->setAccessibleName(QStringLiteral("Text Size on ") + side);
        field->setShowWhole(true);
        field->setMask(QStringLiteral("##"));
        field->setBorder(true);
        field->setReadOnly(false);
        field->setTextColor(kBlack);
        field->setBackColor(kWhite);
        field->setHelpTag(helpTag);
    };
    auto* sizeLeft = add(new EditField, QStringLiteral("EF_fontLeft"), 96, 298, 28, 22, LockLeft | LockBottom, report);
    styleSizeField(sizeLeft, QStringLiteral("Left"), QStringLiteral("Enter text size of text on the left"));
    sizeLeft->TextChange = [this](EditField&) { EF_fontLeft_TextChange(); };

    auto styleBookmarks = [](BevelButton* button) {
        button->setEnabled(false);
        button->setCaption(QStringLiteral("Click to add bookmark"));
        button->setCaptionAlign(3);
        button->setHasMenu(0);
        button->setMenuValue(0);
    };
    auto* bookmarksLeft = add(new BevelButton, QStringLiteral("BB_bookmarksLeft"), 35, 264, 429, 22,
                              LockLeft | LockRight | LockBottom, report);
    styleBookmarks(bookmarksLeft);
    bookmarksLeft->Action = [this](BevelButton&) { BB_bookmarksLeft_Action(); };

    auto styleWordButton = [](PushButton* button) {
        button->setEnabled(false);
        button->setCaption(QStringLiteral("MS-Word..."));
        button->setHelpTag(QStringLiteral("Open MS-Word and add the above data"));
    };
    auto* wordLeft = add(new PushButton, QStringLiteral("PB_openInWordLeft"), 146, 298, 103, 22,
                         LockLeft | LockBottom, report);
    styleWordButton(wordLeft);
    wordLeft->Action = [this](PushButton&) { PB_openInWordLeft_Action(); };

    auto* pagesRight = add(new PagePanel, QStringLiteral("PP_resultsRight"), 472, 90, 438, 162,
                           LockTop | LockRight | LockBottom, report);
    pagesRight->setPanelCount(2);
    pagesRight->setValue(0);

    auto* paneRight = new EF_mainResultsRight(0);
    add(paneRight, QStringLiteral("EF_mainResultsRight"), 478, 98, 427, 145,
        LockLeft | LockTop | LockRight | LockBottom, pagesRight, paneRight->element, 1);
    stylePane(paneRight, QStringLiteral("Right"));
    paneRight->KeyDown = [this](EditField& s, const QString& key) { return EF_mainResultsRight_KeyDown(s, key); };
    paneRight->MouseDown = [this](EditField& s, int x, int y) { return EF_mainResultsRight_MouseDown(s, x, y); };
    paneRight->MouseMove = [this](EditField& s, int x, int y) { EF_mainResultsRight_MouseMove(s, x, y); };
    paneRight->SelChange = [this](EditField& s) { EF_mainResultsRight_SelChange(s); };

    makeLabel(this, "ST_textSizeRight", 568, 298, 70, 22, LockRight | LockBottom, QStringLiteral("Text Size:"), 2);

    auto* sizeRight = add(new EditField, QStringLiteral("EF_fontRight"), 646, 299, 28, 22, LockRight | LockBottom,
                          report);
    styleSizeField(sizeRight, QStringLiteral("Right"), QStringLiteral("Enter text size of text on the right"));
    sizeRight->TextChange = [this](EditField&) { EF_fontRight_TextChange(); };

    auto* sizeArrowsRight = add(new UpDownArrows, QStringLiteral("UDA_fontSizeRight"), 674, 298, 14, 28,
                                LockRight | LockBottom, report);
    sizeArrowsRight->setHelpTag(
        QStringLiteral("Click up or down to increase or decrease the text size on the right"));
    nameSizeArrows(sizeArrowsRight, QStringLiteral("Right"));
    sizeArrowsRight->Down = [this](UpDownArrows&) { UDA_fontSizeRight_Down(); };
    sizeArrowsRight->Up = [this](UpDownArrows&) { UDA_fontSizeRight_Up(); };

    makeLabel(this, "ST_totalLineCountRight", 856, 298, 64, 22, LockRight | LockBottom, QStringLiteral("of 99999"), 0,
              QStringLiteral("Total number of lines on the right"));
    makeLabel(this, "ST_lineNumberRight", 800, 298, 52, 22, LockRight | LockBottom, QStringLiteral("99999"), 2,
              QStringLiteral("Line number on the right where cursor is located"));

    auto* wordRight = add(new PushButton, QStringLiteral("PB_openInWordRight"), 698, 298, 103, 22,
                          LockRight | LockBottom, report);
    styleWordButton(wordRight);
    wordRight->Action = [this](PushButton&) { PB_openInWordRight_Action(); };

    auto* bookmarksRight = add(new BevelButton, QStringLiteral("BB_bookmarksRight"), 478, 264, 427, 22,
                               LockRight | LockBottom, report);
    styleBookmarks(bookmarksRight);
    bookmarksRight->Action = [this](BevelButton&) { BB_bookmarksRight_Action(); };

    auto* progress = add(new ProgressBar, QStringLiteral("PrB_progressBar"), 381, 298, 178, 22,
                         LockLeft | LockRight | LockBottom, report);
    progress->setMaximum(100);
    progress->setValue(0);
    progress->setAccessibleName(QStringLiteral("Search Progress"));

    // The search area.
    auto* search = add(new GroupBox, QStringLiteral("GB_search"), 20, 344, 900, 295,
                       LockLeft | LockRight | LockBottom);
    search->setCaption(QStringLiteral("Search Output"));
    search->setFont(bold);
    search->setEnabled(false);

    for (int k = 0; k <= 2; ++k)
        makeSearchTotal(this, k);
    makeHeading(this, "StaticText201", QStringLiteral("On Left"), 202, 45, LockLeft | LockTop);
    makeHeading(this, "StaticText200", QStringLiteral("Total"), 774, 37, LockTop | LockRight);
    makeHeading(this, "StaticText203", QStringLiteral("Index"), 140, 37, LockLeft | LockTop);
    for (int k = 0; k <= 2; ++k)
        makeSearchShowingLeft(this, k);
    for (int k = 0; k <= 2; ++k)
        makeUpDnLeft(this, k);
    for (int k = 0; k <= 2; ++k)
        makeFirstLastLeft(this, k);
    makeSrchHide(this, 1);
    for (int k = 3; k <= 4; ++k) {
        makeSearchTotal(this, k);
        makeSearchShowingLeft(this, k);
        makeUpDnLeft(this, k);
        makeFirstLastLeft(this, k);
    }
    makeSearchTotal(this, 5);
    makeSearchShowingLeft(this, 5);

    paneInsets_[0] = {paneLeft->Left() - pagesLeft->Left(),
                      pagesLeft->Left() + pagesLeft->Width() - paneLeft->Left() - paneLeft->Width()};
    paneInsets_[1] = {paneRight->Left() - pagesRight->Left(),
                      pagesRight->Left() + pagesRight->Width() - paneRight->Left() - paneRight->Width()};
}

// Pass 1: most of the search rows.
void RW_reportOutputWindow::_CreateControls1()
{
    makeUpDnLeft(this, 5);
    makeFirstLastLeft(this, 5);
    makeFind(this, 6);
    makeSearchTotal(this, 6);
    makeSearchShowingLeft(this, 6);
    makeUpDnLeft(this, 6);
    makeFirstLastLeft(this, 6);
    for (int k = 0; k <= 5; ++k) {
        makeSearchText(this, k);
        makeFind(this, k);
        makeInstanceLeft(this, k);
        makeClearSearch(this, k);
        makeNewCriteria(this, k);
        if (k != 1)
            makeSrchHide(this, k);
    }
    makeSearchText(this, 6);
    makeInstanceLeft(this, 6);
    makeClearSearch(this, 6);
    makeHeading(this, "StaticText202", QStringLiteral("On Right"), 644, 68, LockTop | LockRight);
    makeHeading(this, "StaticText204", QStringLiteral("Index"), 586, 37, LockTop | LockRight);
    makeUpDnRight(this, 0);
    makeFirstLastRight(this, 0);
    makeInstanceRight(this, 0);
}

// Pass 2: the rest of the search rows, two headings, the header band, the logo box and the rule.
void RW_reportOutputWindow::_CreateControls2()
{
    makeSearchShowingRight(this, 0);
    for (int r = 1; r <= 6; ++r) {
        makeUpDnRight(this, r);
        makeFirstLastRight(this, r);
        makeInstanceRight(this, r);
        makeSearchShowingRight(this, r);
    }
    makeApplyColor(this, 0);
    for (int k = 0; k <= 6; ++k)
        makeColorLabel(this, k);
    for (int k = 1; k <= 6; ++k)
        makeApplyColor(this, k);

    makeHeading(this, "StaticText205", QStringLiteral("Search Criteria"), 259, 297, LockLeft | LockTop | LockRight);

    auto* header = add(new headCanvas, QStringLiteral("headCanvas1"), 42, 0, 898, 42, LockLeft | LockTop | LockRight);
    auto* title = add(new StaticText, QStringLiteral("StaticText2"), 59, 5, 302, 32, LockNone, header);
    title->setText(QStringLiteral("Numbers As Words"));
    ControlFont arial;
    arial.name = QStringLiteral("Arial");
    arial.size = 20;
    title->setFont(arial);
    title->setTextColor(QColor(0x2A, 0x2F, 0x85));
    title->setTextAlign(0);

    // Kept at its distance to the header's right end, so that it stays on view down to the window's
    // minimum width of 720 (at design width it stands at 731, as placed).
    auto* back = add(new PushButton, QStringLiteral("PushButton1"), 731, 10, 196, 22, LockTop | LockRight, header);
    back->setCaption(QStringLiteral("Return to Number Selection"));
    back->Action = [this](PushButton&) { PushButton1_Action(); };

    auto* logoBox = add(new fw::Rectangle, QStringLiteral("Rectangle1"), 0, 0, 42, 43, LockNone);
    logoBox->setFillColor(kWhite);
    logoBox->setBorder(1, kBlack, kBlack);
    auto* logo = add(new Canvas, QStringLiteral("logoCanvas1"), 5, 5, 32, 32, LockNone, logoBox);
    logo->onPaint = [this](Canvas&, Graphics& g) { logoCanvas1_Paint(g); };

    add(new fw::Line, QStringLiteral("Line1"), 0, 43, 940, 2, LockNone)->setLine(0, 43, 940, 43, 2, kBlack);

    makeHeading(this, "StaticText206", QStringLiteral("Highlight"), 49, 65, LockLeft | LockTop);
}
