#include "platform/TextPaneInternals.h"

#include <QInputMethodEvent>

#include <algorithm>

namespace fw {

// Single-line mode: what an input method (compose sequences, CJK input) commits is typed text; a
// text still being composed is not shown in the field.
void TextPane::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
    // A text being composed comes with no commit: nothing changes yet.
    if (!singleLine_ || readOnly_ || (event->commitString().isEmpty() && event->replacementLength() == 0))
        return;
    int from = std::min(anchor_, caret_);
    int to = std::max(anchor_, caret_);
    if (event->replacementLength() > 0 && from == to) {
        from = std::clamp(caret_ + event->replacementStart(), 0, int(text_.size()));
        to = std::clamp(from + event->replacementLength(), from, int(text_.size()));
    }
    userEdit(from, to, event->commitString(), true);
}

QVariant TextPane::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return singleLine_ && !readOnly_;
    case Qt::ImCursorRectangle:
        return QRectF(caretRect_.translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return int(Qt::ImhNone);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

} // namespace fw
