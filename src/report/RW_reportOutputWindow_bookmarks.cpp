// The report window's bookmarks: each pane's bevel button keeps named places (report, first visible
// line, selection, sideways scroll position) of that pane only, newest first, for the life of the window.

#include "report/RW_reportOutputWindow.h"

#include "common/CC_genericTransportObject.h"
#include "common/CW_fieldInputWindow.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"

#include <QPointer>

#include <memory>
#include <vector>

using namespace fw;

namespace {

const QString kAddRow = QStringLiteral("Add New Bookmark");
const QString kClearRow = QStringLiteral("Clear All Bookmarks");

enum class BookmarkAction { Add, Jump, Clear, Ignore };

// With n bookmarks the menu holds the n names (rows 0 .. n - 1), a separator (row n), "Add New
// Bookmark" (n + 1) and "Clear All Bookmarks" (n + 2). Without bookmarks the button has no menu and
// every click adds. A row outside these (the separator, or a value outside the menu) does nothing,
// so it is never used as an index into the lists.
BookmarkAction chooseBookmarkAction(qint64 count, qint64 menuValue)
{
    if (count == 0)
        return BookmarkAction::Add;
    if (menuValue == count + 2)
        return BookmarkAction::Clear;
    if (menuValue == count + 1)
        return BookmarkAction::Add;
    if (menuValue >= 0 && menuValue < count)
        return BookmarkAction::Jump;
    return BookmarkAction::Ignore;
}

// One side's bookmark lists (element k of each belongs to bookmark k, newest at 0) and its controls.
struct BookmarkSide {
    RW_reportOutputWindow& window;
    std::vector<qint32>& popupRows;
    std::vector<qint32>& scrollLines;
    std::vector<qint32>& selStarts;
    std::vector<qint32>& selLengths;
    std::vector<qint32>& sideScrolls;
    const char* suffix;
    QString promptTitle;
    void (RW_reportOutputWindow::*refreshLineNumber)();

    template <class C>
    C* control(const char* base, int index = -1) const
    {
        return window.control<C>(QLatin1String(base) + QLatin1String(suffix), index);
    }
    BevelButton* button() const { return control<BevelButton>("BB_bookmarks"); }
    PopupMenu* popup() const { return control<PopupMenu>("PM_displayChoice"); }
    EditField* pane(int element) const { return control<EditField>("EF_mainResults", element); }
};

void clearBookmarks(const BookmarkSide& side)
{
    side.popupRows.clear();
    side.scrollLines.clear();
    side.selLengths.clear();
    side.selStarts.clear();
    side.sideScrolls.clear();
    BevelButton* button = side.button();
    button->DeleteAllRows();
    button->setHasMenu(0);
    button->setCaptionAlign(3);
    button->setCaption(QStringLiteral("Click to Add Bookmark"));
}

// Shows the bookmark's report (the popup's Change shows its page and focuses its pane), then puts back
// the selection and, after it, the first visible line and the sideways position (the selection scrolls
// itself into view, which the view kept must override), and refreshes the side's line number.
void jumpToBookmark(const BookmarkSide& side, int m)
{
    const qint32 row = side.popupRows[size_t(m)];
    side.popup()->setListIndex(row);
    side.button()->setCaption(side.button()->MenuRow(m));
    if (EditField* pane = side.pane(row - 1)) {
        pane->setSelStart(side.selStarts[size_t(m)]);
        pane->setSelLength(side.selLengths[size_t(m)]);
        pane->setScrollPosition(side.scrollLines[size_t(m)]);
        pane->setSideScroll(side.sideScrolls[size_t(m)]);
    }
    (side.window.*side.refreshLineNumber)();
}

// Asks for a name (proposing "Line <first visible line>:  <report>") and, unless the prompt is
// cancelled, saves the pane's place as the newest bookmark. The pane itself is only read.
void addBookmark(const BookmarkSide& side)
{
    PopupMenu* popup = side.popup();
    if (popup->ListIndex() <= 0) {
        MsgBox(QStringLiteral(
            "INVALID REPORT: Please select one of the reports in the drop-down menu before setting a bookmark"));
        return;
    }
    auto* pages = side.control<PagePanel>("PP_results");
    EditField* pane = pages ? side.pane(pages->Value() - 1) : nullptr;
    if (!pane)
        return;

    const QString proposed = QStringLiteral("Line ") + Str(qint64(pane->ScrollPosition()) + 1) + QStringLiteral(":  ")
        + popup->List(popup->ListIndex());
    auto* prompt = Window::New<CW_fieldInputWindow>();
    auto transport = std::make_shared<CC_genericTransportObject>();
    prompt->setPrompt(QStringLiteral("Please choose a name for this bookmark."));
    prompt->setTitle(side.promptTitle);
    prompt->setFieldName(QStringLiteral("Bookmark Name"));
    transport->setStringData(proposed);
    prompt->initialize(transport);

    // The prompt closes itself and may be gone when ShowModal returns; so may the report window, if
    // something closed it meanwhile. Only the transport object is read afterwards.
    QPointer<RW_reportOutputWindow> alive(&side.window);
    prompt->ShowModal();
    if (!alive || side.window.isClosed() || transport->getUserCancel())
        return;
    const QString name = transport->getStringData();

    side.popupRows.insert(side.popupRows.begin(), popup->ListIndex());
    side.scrollLines.insert(side.scrollLines.begin(), pane->ScrollPosition());
    side.selStarts.insert(side.selStarts.begin(), pane->SelStart());
    side.selLengths.insert(side.selLengths.begin(), pane->SelLength());
    side.sideScrolls.insert(side.sideScrolls.begin(), pane->SideScroll());

    BevelButton* button = side.button();
    button->InsertRow(0, name);
    if (side.popupRows.size() == 1) {
        button->setHasMenu(2);
        button->AddSeparator();
        button->AddRow(kAddRow);
        button->AddRow(kClearRow);
    }
    button->setMenuValue(0);
    button->setCaptionAlign(0);
    button->setCaption(button->MenuRow(button->MenuValue()));
}

void bookmarkAction(const BookmarkSide& side)
{
    const int m = side.button()->MenuValue();
    switch (chooseBookmarkAction(qint64(side.popupRows.size()), m)) {
    case BookmarkAction::Clear:
        clearBookmarks(side);
        break;
    case BookmarkAction::Jump:
        jumpToBookmark(side, m);
        break;
    case BookmarkAction::Add:
        addBookmark(side);
        break;
    case BookmarkAction::Ignore:
        break;
    }
}

} // namespace

void RW_reportOutputWindow::BB_bookmarksLeft_Action()
{
    bookmarkAction({*this, bookmark_PM_indexLeft, bookmark_scrollIndexLeft, bookmark_selStartLeft,
                    bookmark_selLengthLeft, bookmark_sideScrollLeft, "Left", QStringLiteral("Add New Bookmark (left)"),
                    &RW_reportOutputWindow::updateLineNumberDisplayLeft});
}

void RW_reportOutputWindow::BB_bookmarksRight_Action()
{
    bookmarkAction({*this, bookmark_PM_indexRight, bookmark_scrollIndexRight, bookmark_selStartRight,
                    bookmark_selLengthRight, bookmark_sideScrollRight, "Right", QStringLiteral("Add New Bookmark (right)"),
                    &RW_reportOutputWindow::updateLineNumberDisplayRight});
}
