#include "platform/TextPaneInternals.h"

#include <utility>

namespace fw {

namespace {

bool isStrong(char32_t c)
{
    if (c < 0x80) // digits, signs and punctuation are weak or neutral, letters left-to-right
        return (c | 0x20) >= U'a' && (c | 0x20) <= U'z';
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirL || d == QChar::DirR || d == QChar::DirAL;
}

bool opensRightToLeft(char32_t c)
{
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirR || d == QChar::DirAL;
}

} // namespace

void TextPane::replaceRange(int from, int to, const QString& with, int anchorAfter, int caretAfter)
{
    flattenLayers(); // while the offsets still count the characters they were given for
    const QString removed = announcedText(from, to);
    const std::shared_ptr<const SharedText> previous = leaveSharedText(true);
    keepPrimarySelectionText();
    text_.replace(from, to - from, with);
    pendingCarriageReturn_ = false;
    if (singleLine_) {
        shiftIndexes(from, to, with);
        updateDirection(from, to, int(with.size()));
    } else {
        rebuildIndex();
    }

    shiftRuns(from, to, int(with.size()));
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
    }
    widestSeen_ = 0;
    updateScrollBars();
    viewport()->update();
    announceEdit(from, removed, int(with.size()));
    if (caretAfter < 0)
        anchorAfter = caretAfter = from + int(with.size());
    // The selection is in place before anyone hears of the edit: a handler of textChanged finds it
    // within the text, and one that sets a text of its own keeps the selection that leaves.
    select(anchorAfter, caretAfter, true);
    emit textChanged();
}

// Single-line mode's index update after text_ had [from, to) replaced by with: surrogate pairs inside
// the range go, those after it move, those of with come in; the unchanged text is not scanned again.
// The text stays one line. The longest line is not kept: nothing in this mode reads it.
void TextPane::shiftIndexes(int from, int to, const QString& with)
{
    forgetLayout();
    chars_.replace(from, to, int(with.size()), text_);
}

// The first unit of [from, to) that starts a strong character, or -1.
int TextPane::firstStrong(int from, int to) const
{
    for (int u = from; u < to; u = nextUnit(u)) {
        if (isStrong(codePointAt(text_, u)))
            return u;
    }
    return -1;
}

// Single-line mode: looks for the first strong character from unit from on, where none was found
// before it. Called with 0 for a new text and with the old end for an append.
void TextPane::noteDirectionFrom(int from)
{
    if (from == 0)
        strongUnit_ = -1;
    if (!singleLine_ || strongUnit_ >= 0)
        return;
    strongUnit_ = firstStrong(from, int(text_.size()));
    rightToLeft_ = strongUnit_ >= 0 && opensRightToLeft(codePointAt(text_, strongUnit_));
}

// After [from, to) was replaced by insertedUnits units: only the inserted text is looked at, unless
// the edit removed the first strong character, when the text after the edit is scanned up to the next
// one (as far as the edit itself moved the text).
void TextPane::updateDirection(int from, int to, int insertedUnits)
{
    if (strongUnit_ >= 0 && strongUnit_ < from)
        return;
    const bool removed = strongUnit_ >= from && strongUnit_ < to;
    const int after = strongUnit_ >= to ? strongUnit_ - (to - from) + insertedUnits : -1;
    strongUnit_ = firstStrong(from, removed ? int(text_.size()) : from + insertedUnits);
    if (strongUnit_ < 0)
        strongUnit_ = after;
    rightToLeft_ = strongUnit_ >= 0 && opensRightToLeft(codePointAt(text_, strongUnit_));
}

bool TextPane::userEdit(int from, int to, const QString& with, EditKind kind)
{
    if (from == to && with.isEmpty())
        return false;
    if (editFilter_ && !editFilter_(toCharPos(from), toCharPos(to), with))
        return false;
    if (singleLine_) {
        // An edit of the same kind where the last one left the caret, with no selection, goes on in
        // its step: typing in a row, Backspaces in a row, Deletes in a row.
        UndoStep* last = undo_.empty() ? nullptr : &undo_.back();
        const bool goesOn = last && kind != EditKind::Other && last->kind == kind && typedEnd_ >= 0 &&
                            caret_ == typedEnd_ && anchor_ == caret_;
        if (goesOn && kind == EditKind::Typed && from == to && from == typedEnd_) {
            last->inserted += with;
        } else if (goesOn && kind == EditKind::Backspace && to == typedEnd_ && with.isEmpty()) {
            last->removed.prepend(QStringView(text_).sliced(from, to - from));
            last->from = from;
        } else if (goesOn && kind == EditKind::Delete && from == typedEnd_ && with.isEmpty()) {
            last->removed += QStringView(text_).sliced(from, to - from);
        } else {
            undo_.push_back({from, text_.mid(from, to - from), with, anchor_, caret_, kind});
        }
        undoUnits_ += (to - from) + with.size();
        for (const UndoStep& dropped : redo_)
            undoUnits_ -= dropped.removed.size() + dropped.inserted.size();
        redo_.clear();
        trimUndo();
    }
    replaceRange(from, to, with);
    typedEnd_ = kind == EditKind::Other ? -1 : caret_;
    return true;
}

// Drops the oldest steps beyond the bounds; the newest step stays, however large.
void TextPane::trimUndo()
{
    size_t drop = 0;
    while (undo_.size() - drop > 1 && (undo_.size() - drop > MaxUndoSteps || undoUnits_ > MaxUndoUnits)) {
        undoUnits_ -= undo_[drop].removed.size() + undo_[drop].inserted.size();
        ++drop;
    }
    undo_.erase(undo_.begin(), undo_.begin() + qsizetype(drop));
}

// Undo puts back what the step removed and the selection before it; redo makes the edit again and
// shows the selection as it was when the user went on to the next step (the caret after the edit
// when none follows), as line edits do. The step changes sides before the edit is made: a handler of
// the edit that sets a text of its own starts a history of its own, which the step stays out of.
void TextPane::undoOrRedo(bool redo)
{
    std::vector<UndoStep>& from = redo ? redo_ : undo_;
    std::vector<UndoStep>& to = redo ? undo_ : redo_;
    if (from.empty())
        return;
    UndoStep step = std::move(from.back());
    from.pop_back();
    typedEnd_ = -1;
    const int at = step.from;
    const int replaced = int((redo ? step.removed : step.inserted).size());
    const QString with = redo ? step.inserted : step.removed;
    int anchor = -1;
    int caret = -1;
    if (!redo) {
        anchor = step.anchor;
        caret = step.caret;
    } else if (!redo_.empty()) {
        anchor = redo_.back().anchor;
        caret = redo_.back().caret;
    }
    to.push_back(std::move(step));
    replaceRange(at, at + replaced, with, anchor, caret);
}

} // namespace fw
