#include "platform/TextPaneInternals.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QStyleHints>

#include <algorithm>
#include <memory>

namespace fw {

namespace {

const QString PlainText = QStringLiteral("text/plain");
const QString PlainTextUtf8 = QStringLiteral("text/plain;charset=utf-8");

// The primary selection as the pane hands it over: a reference to the text and the selected range,
// turned into text only when another program (or a paste) asks for it, so that selecting all of a
// report of gigabytes stays instant. The text referred to is either the pane's own text (shared
// with the pane, never written through) or a shared report text, which only ever grows at its end.
//
// Lifetime: the clipboard owns it from setMimeData on and deletes it when another selection
// replaces it; the pane only watches it.
class PrimarySelection : public QMimeData {
public:
    PrimarySelection(QString text, std::shared_ptr<const SharedText> shared, int from, int to)
        : text_(std::move(text))
        , shared_(std::move(shared))
        , from_(from)
        , to_(to)
    {
    }

    QStringList formats() const override { return {PlainText, PlainTextUtf8}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == PlainText || mimeType == PlainTextUtf8; }

    // Whether this is the given selection of the given text already.
    bool isSelection(const QString& text, const SharedText* shared, int from, int to) const
    {
        return from == from_ && to == to_ && (shared ? shared == shared_.get() : text_.isSharedWith(text));
    }

    // While it refers to text (a pane's own, about to be changed in place), keeps the selected part only.
    void keepSelectionOf(const QString& text)
    {
        if (shared_ || !text_.isSharedWith(text))
            return;
        text_ = text_.mid(from_, to_ - from_);
        to_ -= from_;
        from_ = 0;
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (!hasFormat(mimeType))
            return {};
        // From a shared text, a copy of its own: one sharing the buffer would make the next append
        // copy the whole report.
        const QString selected =
            shared_ ? QString(shared_->text().constData() + from_, to_ - from_) : text_.mid(from_, to_ - from_);
        if (type.id() == QMetaType::QString)
            return selected;
        return selected.toUtf8();
    }

private:
    QString text_;
    std::shared_ptr<const SharedText> shared_;
    int from_;
    int to_;
};

bool emulatedPrimary = false;
std::unique_ptr<QMimeData>& heldPrimary()
{
    static std::unique_ptr<QMimeData> held;
    return held;
}

bool hasPrimarySelection()
{
    return emulatedPrimary || QGuiApplication::clipboard()->supportsSelection();
}

QString withShortcut(const char* text, QKeySequence::StandardKey key)
{
    QString label = QCoreApplication::translate("QLineEdit", text);
    const QKeySequence sequence(key);
    if (!sequence.isEmpty() && !QCoreApplication::testAttribute(Qt::AA_DontShowShortcutsInContextMenus) &&
        QGuiApplication::styleHints()->showShortcutsInContextMenus())
        label += u'\t' + sequence.toString(QKeySequence::NativeText);
    return label;
}

} // namespace

// ---- clipboard and primary selection

void TextPane::setPrimarySelectionEmulated(bool emulated)
{
    emulatedPrimary = emulated;
    heldPrimary().reset();
}

QString TextPane::primarySelectionText()
{
    if (!emulatedPrimary)
        return QGuiApplication::clipboard()->text(QClipboard::Selection);
    return heldPrimary() ? heldPrimary()->text() : QString();
}

QString TextPane::incomingText(const QString& text) const
{
    // A NUL ends the text for most programs the field's text goes on to (a file a list is saved to
    // among them), and no key types one: it is left out as the other keys' control characters are.
    QString kept = text;
    if (kept.contains(QChar(0)))
        kept.remove(QChar(0));
    if (singleLine_)
        return kept;
    bool endsWithCarriageReturn = false;
    return unifiedLineEnds(kept, endsWithCarriageReturn);
}

QString TextPane::clipboardText(QClipboard::Mode mode) const
{
    return incomingText(mode == QClipboard::Selection ? primarySelectionText() : QGuiApplication::clipboard()->text(mode));
}

bool TextPane::insertIncoming(int from, int to, const QString& text, bool* whole)
{
    if (whole)
        *whole = true;
    if (!incomingFilter_)
        return userEdit(from, to, text);
    const QString kept = incomingFilter_(toCharPos(from), toCharPos(to), text);
    if (kept.isEmpty() && !text.isEmpty())
        return false;
    if (whole)
        *whole = kept == text;
    return userEdit(from, to, kept);
}

void TextPane::paste(QClipboard::Mode mode)
{
    if (readOnly_)
        return;
    insertIncoming(std::min(anchor_, caret_), std::max(anchor_, caret_), clipboardText(mode));
}

void TextPane::publishPrimarySelection()
{
    if (anchor_ == caret_ || !hasPrimarySelection())
        return;
    const int from = std::min(anchor_, caret_);
    const int to = std::max(anchor_, caret_);
    if (primary_ && static_cast<PrimarySelection*>(primary_.data())->isSelection(text_, shared_.get(), from, to))
        return;
    // While a shared text is shown, text_ views its buffer, which may move as it grows: refer to the
    // shared text itself instead.
    auto* selection = shared_ ? new PrimarySelection(QString(), shared_, from, to)
                              : new PrimarySelection(text_, nullptr, from, to);
    primary_ = selection;
    if (emulatedPrimary)
        heldPrimary().reset(selection);
    else
        QGuiApplication::clipboard()->setMimeData(selection, QClipboard::Selection);
}

void TextPane::keepPrimarySelectionText()
{
    if (primary_ && !shared_)
        static_cast<PrimarySelection*>(primary_.data())->keepSelectionOf(text_);
}

// ---- middle click and drops

bool TextPane::pasteOnMiddleClick(QMouseEvent* event)
{
    if (event->button() != Qt::MiddleButton || !hasPrimarySelection())
        return false;
    if (!readOnly_) {
        const int unit = unitAt(event->position().toPoint());
        insertIncoming(unit, unit, clipboardText(QClipboard::Selection));
    }
    return true;
}

void TextPane::dragEnterEvent(QDragEnterEvent* event)
{
    if (!readOnly_ && event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TextPane::dragMoveEvent(QDragMoveEvent* event)
{
    if (!readOnly_ && event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

// The dropped text goes in at the drop point as a paste does; a drop that puts nothing in is
// refused, and one that puts in only part of the text is taken as a copy, so that a moving source
// keeps what did not go in.
void TextPane::dropEvent(QDropEvent* event)
{
    if (readOnly_ || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    const QString text = incomingText(event->mimeData()->text());
    const int unit = unitAt(event->position().toPoint());
    bool whole = true;
    if (!insertIncoming(unit, unit, text, &whole)) {
        event->ignore();
        return;
    }
    if (whole) {
        event->acceptProposedAction();
    } else {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

// ---- the edit menu

QMenu* TextPane::createStandardContextMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("qt_edit_menu"));
    const bool selected = anchor_ != caret_;
    const bool editable = !readOnly_;
    // A read-only multi-line pane offers only what reading needs.
    const bool editing = singleLine_ || editable;
    const auto add = [menu](const QString& label, bool enabled, auto&& triggered) {
        QAction* action = menu->addAction(label);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, triggered);
    };
    if (editing) {
        add(withShortcut("&Undo", QKeySequence::Undo), editable && !undo_.empty(), [this] { undoOrRedo(false); });
        add(withShortcut("&Redo", QKeySequence::Redo), editable && !redo_.empty(), [this] { undoOrRedo(true); });
        menu->addSeparator();
        add(withShortcut("Cu&t", QKeySequence::Cut), editable && selected, [this] {
            copySelection();
            userEdit(std::min(anchor_, caret_), std::max(anchor_, caret_), QString());
        });
    }
    add(withShortcut("&Copy", QKeySequence::Copy), selected, [this] { copySelection(); });
    if (editing) {
        add(withShortcut("&Paste", QKeySequence::Paste), editable && !QGuiApplication::clipboard()->text().isEmpty(),
            [this] { paste(QClipboard::Clipboard); });
        add(QCoreApplication::translate("QLineEdit", "Delete"), editable && selected,
            [this] { userEdit(std::min(anchor_, caret_), std::max(anchor_, caret_), QString()); });
    }
    menu->addSeparator();
    const bool allSelected = std::min(anchor_, caret_) == 0 && std::max(anchor_, caret_) == text_.size();
    add(withShortcut("Select All", QKeySequence::SelectAll), !text_.isEmpty() && !allSelected,
        [this] { select(0, int(text_.size()), true); });
    return menu;
}

void TextPane::openContextMenu(const QPoint& globalPos)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void TextPane::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse) {
        openContextMenu(event->globalPos());
        return;
    }
    // From the keyboard: at the caret when it is in view.
    const QRect caret = unitRect(caret_);
    const QPoint at = caret.isEmpty() ? viewport()->rect().center() : caret.bottomLeft();
    openContextMenu(viewport()->mapToGlobal(at));
}

} // namespace fw
