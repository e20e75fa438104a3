#include "platform/TextPaneInternals.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QTextCharFormat>

#include <algorithm>

namespace fw {

namespace {

// The surrounding text told to an input method reaches this many UTF-16 units either side of the
// caret, so that a query costs the same in a field of any length.
constexpr int SurroundingUnits = 1024;

} // namespace

// [start, end) in UTF-16 units: the text an input method is told of, around the caret, never
// splitting a surrogate pair. Its positions (cursor, anchor, the input method's selection) count
// from start; a text that short is told whole, so they are then the field's own.
std::pair<int, int> TextPane::surroundingWindow() const
{
    const int size = int(text_.size());
    int start = std::max(0, caret_ - SurroundingUnits);
    int end = std::min(size, caret_ + SurroundingUnits);
    if (start > 0 && text_[start].isLowSurrogate())
        ++start;
    if (end < size && text_[end].isLowSurrogate())
        --end;
    return {start, end};
}

// Single-line mode: the text being composed is shown at the caret, in place of the selection, until
// the input method commits; the commit replaces the selection, or the replacement range it names, as
// typed text.
void TextPane::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
    if (!singleLine_ || readOnly_) {
        preedit_.clear();
        return;
    }
    const int base = surroundingWindow().first;
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        int from = std::min(anchor_, caret_);
        int to = std::max(anchor_, caret_);
        if (event->replacementLength() > 0 && from == to) {
            from = std::clamp(caret_ + event->replacementStart(), 0, int(text_.size()));
            to = std::clamp(from + event->replacementLength(), from, int(text_.size()));
        }
        preedit_.clear();
        userEdit(from, to, event->commitString(), EditKind::Typed);
    }
    preedit_ = event->preeditString();
    preeditFormats_.clear();
    preeditCaret_ = int(preedit_.size());
    preeditCaretShown_ = true;
    const auto unitAtCharacter = [this](int unit) { return pairStart(std::clamp(unit, 0, int(text_.size()))); };
    for (const QInputMethodEvent::Attribute& a : event->attributes()) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (format.isValid())
                preeditFormats_.append({a.start, a.length, format});
        } else if (a.type == QInputMethodEvent::Cursor) {
            preeditCaret_ = std::clamp(a.start, 0, int(preedit_.size()));
            preeditCaretShown_ = a.length != 0;
        } else if (a.type == QInputMethodEvent::Selection && !composing()) {
            select(unitAtCharacter(base + a.start), unitAtCharacter(base + a.start + a.length), true);
        }
    }
    restartBlink();
    revealInLine(caret_);
    updateMicroFocus();
}

void TextPane::commitComposition()
{
    if (!composing())
        return;
    QGuiApplication::inputMethod()->commit();
    if (!composing())
        return;
    const QString composed = preedit_;
    preedit_.clear();
    preeditFormats_.clear();
    userEdit(std::min(anchor_, caret_), std::max(anchor_, caret_), composed, EditKind::Typed);
    QGuiApplication::inputMethod()->reset();
    viewport()->update();
}

QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query) const
{
    return inputMethodQuery(query, QVariant());
}

// Positions are UTF-16 units from the start of the surrounding window; texts are parts of that window.
QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query, QVariant argument) const
{
    if (query == Qt::ImEnabled)
        return singleLine_ && isEnabled() && !readOnly_;
    if (!singleLine_)
        return QAbstractScrollArea::inputMethodQuery(query);
    const auto [start, end] = surroundingWindow();
    const auto part = [this](int from, int to) { return text_.mid(from, std::max(0, to - from)); };
    const int limit = argument.isValid() && argument.toInt() >= 0 ? argument.toInt() : SurroundingUnits;
    switch (query) {
    case Qt::ImReadOnly:
        return readOnly_;
    case Qt::ImCursorRectangle: {
        const QRectF rect(caretViewX(), singleLineTop(), CaretWidth, lineHeight_);
        return rect.translated(viewport()->pos());
    }
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return int(inputMethodHints());
    case Qt::ImMaximumTextLength:
        return maxLength_ >= 0 ? QVariant(maxLength_) : QVariant();
    case Qt::ImSurroundingText:
        return part(start, end);
    case Qt::ImCursorPosition: {
        const QPointF point = argument.toPointF();
        if (argument.isValid() && !point.isNull())
            return std::clamp(unitAt(viewport()->mapFrom(this, point.toPoint())), start, end) - start;
        return caret_ - start;
    }
    case Qt::ImAnchorPosition:
        return std::clamp(anchor_, start, end) - start;
    case Qt::ImAbsolutePosition:
        return caret_;
    case Qt::ImCurrentSelection:
        return part(std::max(start, std::min(anchor_, caret_)), std::min(end, std::max(anchor_, caret_)));
    case Qt::ImTextBeforeCursor:
        return part(std::max(start, caret_ - limit), caret_);
    case Qt::ImTextAfterCursor:
        return part(caret_, std::min(end, caret_ + limit));
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

} // namespace fw
