#include "platform/TextPaneInternals.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHints>

#include <algorithm>

namespace fw {

namespace {

// Caret stops are looked for this many units either side of the caret, so that finding one costs
// what a view shows, not what the line holds.
constexpr int StopReach = 512;

bool isWordCharacter(char32_t c)
{
    return c == U'_' || QChar::isLetterOrNumber(c);
}

} // namespace

// ---- caret commands

void TextPane::moveCaret(int unit, bool extend, bool keepGoalX)
{
    if (unit != caret_)
        typedEnd_ = -1;
    select(extend ? anchor_ : unit, unit, true, keepGoalX);
}

// Within a line, the stops of a QTextLayout of the window of StopReach units either side of unit (its
// ends kept off the inside of a pair); from a line's end forward or its start backward, one unit, into
// the next or the previous line. In single-line mode the line ends are the marks shown for them, one
// stop each.
int TextPane::caretStop(int unit, bool forward, QTextLayout::CursorMode mode) const
{
    const int line = lineOfUnit(unit);
    const int start = lineStarts_[size_t(line)];
    const int end = lineEndUnit(line);
    if (forward && unit >= end)
        return std::min(unit + 1, int(text_.size()));
    if (!forward && unit <= start)
        return std::max(unit - 1, 0);
    const int from = pairStart(std::max(start, unit - StopReach));
    const int to = pairStart(std::min(end, unit + StopReach));
    QString window = text_.mid(from, to - from);
    if (singleLine_)
        window.replace(u'\n', u'\u21B5').replace(u'\r', u'\u21B5');
    const QTextLayout layout(window);
    const int at = unit - from;
    return from + (forward ? layout.nextCursorPosition(at, mode) : layout.previousCursorPosition(at, mode));
}

void TextPane::moveLines(int delta, bool extend)
{
    const int line = lineOfUnit(caret_);
    if (goalX_ < 0)
        goalX_ = xOfUnit(line, caret_);
    const int target = std::clamp(line + delta, 0, lineCount() - 1);
    moveCaret(target == line ? caret_ : unitAtX(target, goalX_), extend, true);
}

void TextPane::selectWordAt(int unit)
{
    const int line = lineOfUnit(unit);
    const int start = lineStarts_[size_t(line)];
    // Only the shown part of a line is searched: a click never lands beyond it.
    const int end = singleLine_ ? lineEndUnit(line) : std::max(unit, shownEndUnit(line));
    const auto wordAt = [this, end](int u) { return u < end && isWordCharacter(codePointAt(text_, u)); };
    // A click on the right half of a word's last character lands after it: take that word.
    if (!wordAt(unit) && unit > start && wordAt(previousUnit(unit)))
        unit = previousUnit(unit);
    if (!wordAt(unit)) {
        select(unit, unit < end ? nextUnit(unit) : unit, true);
        return;
    }
    int from = unit;
    while (from > start && wordAt(previousUnit(from)))
        from = previousUnit(from);
    int to = unit;
    while (wordAt(to))
        to = nextUnit(to);
    select(from, to, true);
}

// ---- events

static bool isWordCommand(const QKeyEvent* key)
{
    for (const QKeySequence::StandardKey command :
         {QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord, QKeySequence::SelectNextWord,
          QKeySequence::SelectPreviousWord, QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord}) {
        if (key->matches(command))
            return true;
    }
    return false;
}

// Single-line mode: keys an editable field takes before any shortcut of its window, as line edits do.
static bool overridesShortcut(const QKeyEvent* key)
{
    if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
        return true;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return true;
    default:
        break;
    }
    const QString typed = key->text();
    return !typed.isEmpty() && typed.front().unicode() >= 0x20 && typed.front().unicode() != 0x7F;
}

bool TextPane::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            (!readOnly_ && (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)))) {
            event->accept();
            return true;
        }
        if (singleLine_ && !readOnly_ && (overridesShortcut(key) || isWordCommand(key))) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Shift+F10 opens the edit menu, as the Menu key does.
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint(), key->modifiers());
            contextMenuEvent(&menu);
            return true;
        }
        // A selection made with the keyboard becomes the primary selection, as one made with the mouse.
        const bool handled = QAbstractScrollArea::event(event);
        if (event->isAccepted())
            publishPrimarySelection();
        return handled;
    }
    return QAbstractScrollArea::event(event);
}

void TextPane::keyPressEvent(QKeyEvent* event)
{
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int selFrom = std::min(anchor_, caret_);
    const int selTo = std::max(anchor_, caret_);
    event->accept();
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        select(0, int(text_.size()), true);
        return;
    }
    if (singleLine_) {
        if (!readOnly_ && (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))) {
            undoOrRedo(event->matches(QKeySequence::Redo));
            return;
        }
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->ignore();
            return;
        default:
            break;
        }
    }
    // Left and Right go backward and forward in the text, the other way round in right-to-left text.
    const bool reversed = singleLine_ && rightToLeft_;
    const auto stop = [this](bool forward, QTextLayout::CursorMode mode) { return caretStop(caret_, forward, mode); };
    if (event->matches(QKeySequence::MoveToNextWord) || event->matches(QKeySequence::SelectNextWord)) {
        moveCaret(stop(!reversed, QTextLayout::SkipWords), event->matches(QKeySequence::SelectNextWord));
        return;
    }
    if (event->matches(QKeySequence::MoveToPreviousWord) || event->matches(QKeySequence::SelectPreviousWord)) {
        moveCaret(stop(reversed, QTextLayout::SkipWords), event->matches(QKeySequence::SelectPreviousWord));
        return;
    }
    const bool wordBack = event->matches(QKeySequence::DeleteStartOfWord);
    if (wordBack || event->matches(QKeySequence::DeleteEndOfWord)) {
        // The word is selected first, so that undo brings it back selected, as line edits do.
        if (!readOnly_ && selFrom == selTo)
            moveCaret(stop(!wordBack, QTextLayout::SkipWords), true);
        if (!readOnly_ && anchor_ != caret_)
            userEdit(std::min(anchor_, caret_), std::max(anchor_, caret_), QString());
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveCaret(!extend && selFrom != selTo ? selFrom : stop(reversed, QTextLayout::SkipCharacters), extend);
        return;
    case Qt::Key_Right:
        moveCaret(!extend && selFrom != selTo ? selTo : stop(!reversed, QTextLayout::SkipCharacters), extend);
        return;
    case Qt::Key_Up:
        moveLines(-1, extend);
        return;
    case Qt::Key_Down:
        moveLines(1, extend);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = event->key() == Qt::Key_PageUp ? -visibleLineCount() : visibleLineCount();
        setFirstVisibleLine(firstVisibleLine() + page);
        moveLines(page, extend);
        return;
    }
    case Qt::Key_Home:
        moveCaret(control ? 0 : lineStarts_[size_t(lineOfUnit(caret_))], extend);
        return;
    case Qt::Key_End:
        moveCaret(control ? int(text_.size()) : lineEndUnit(lineOfUnit(caret_)), extend);
        return;
    default:
        break;
    }
    if (!readOnly_) {
        if (event->matches(QKeySequence::Cut)) {
            copySelection();
            userEdit(selFrom, selTo, QString());
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            paste(QClipboard::Clipboard);
            return;
        }
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            userEdit(selFrom, selTo, QStringLiteral("\n"));
            return;
        case Qt::Key_Backspace:
            if (selFrom != selTo)
                userEdit(selFrom, selTo, QString());
            else if (caret_ > 0)
                userEdit(previousUnit(caret_), caret_, QString(), EditKind::Backspace);
            return;
        case Qt::Key_Delete:
            if (selFrom != selTo)
                userEdit(selFrom, selTo, QString());
            else if (caret_ < text_.size())
                userEdit(caret_, caretStop(caret_, true, QTextLayout::SkipCharacters), QString(), EditKind::Delete);
            return;
        default:
            break;
        }
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() != 0x7F;
        });
        if (printable && !control && !(event->modifiers() & Qt::MetaModifier)) {
            userEdit(selFrom, selTo, typed, EditKind::Typed);
            return;
        }
    }
    event->ignore();
}

void TextPane::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    commitComposition();
    if (pasteOnMiddleClick(event))
        return;
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    if (sinceDoubleClick_.isValid() &&
        sinceDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
        (at - doubleClickAt_).manhattanLength() < QGuiApplication::styleHints()->startDragDistance()) {
        // A triple-click: the whole field, or in a pane the line with its line end.
        sinceDoubleClick_.invalidate();
        const int line = lineOfUnit(caret_);
        const int lineEnd = lineEndUnit(line);
        select(lineStarts_[size_t(line)], singleLine_ ? lineEnd : std::min(lineEnd + 1, int(text_.size())), true);
        typedEnd_ = -1;
        dragging_ = false;
        return;
    }
    const int unit = unitAt(at);
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    moveCaret(unit, extend);
    dragging_ = true;
}

void TextPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    select(anchor_, unitAt(event->position().toPoint()), true);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        publishPrimarySelection();
    }
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    selectWordAt(unitAt(event->position().toPoint()));
    typedEnd_ = -1;
    dragging_ = false;
    sinceDoubleClick_.start();
    doubleClickAt_ = event->position().toPoint();
}

void TextPane::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (singleLine_) {
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            select(0, int(text_.size()), true);
        restartBlink();
    }
    viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        commitComposition();
    if (singleLine_) {
        blink_.stop();
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            select(caret_, caret_, false);
    }
    viewport()->update();
}

} // namespace fw
