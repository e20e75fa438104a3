#include "platform/TextPaneInternals.h"

#include <utility>

namespace fw {

namespace {

// Single-line mode: undo steps kept.
constexpr size_t MaxUndoSteps = 100;

} // namespace

void TextPane::replaceRange(int from, int to, const QString& with)
{
    flattenLayers(); // while the offsets still count the characters they were given for
    const QString removed = announcedText(from, to);
    const std::shared_ptr<const SharedText> previous = leaveSharedText(true);
    keepPrimarySelectionText();
    text_.replace(from, to - from, with);
    pendingCarriageReturn_ = false;
    if (singleLine_)
        shiftIndexes(from, to, with);
    else
        rebuildIndex();

    shiftRuns(from, to, int(with.size()));
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
    }
    widestSeen_ = 0;
    updateScrollBars();
    viewport()->update();
    emit textChanged();
    announceEdit(from, removed, int(with.size()));
    const int caret = from + int(with.size());
    select(caret, caret, true);
}

// Single-line mode's index update after text_ had [from, to) replaced by with: surrogate pairs inside
// the range go, those after it move, those of with come in; the unchanged text is not scanned again.
// The text stays one line. The longest line is not kept: nothing in this mode reads it.
void TextPane::shiftIndexes(int from, int to, const QString& with)
{
    forgetLayout();
    chars_.replace(from, to, int(with.size()), text_);
}

void TextPane::userEdit(int from, int to, const QString& with, bool typed)
{
    if (from == to && with.isEmpty())
        return;
    if (editFilter_ && !editFilter_(toCharPos(from), toCharPos(to), with))
        return;
    if (singleLine_) {
        // Characters typed one after another, the caret not moved in between, are one step.
        if (typed && from == to && from == typedEnd_ && caret_ == typedEnd_ && !undo_.empty()) {
            undo_.back().inserted += with;
        } else {
            if (undo_.size() >= MaxUndoSteps)
                undo_.erase(undo_.begin());
            undo_.push_back({from, text_.mid(from, to - from), with});
        }
        redo_.clear();
    }
    replaceRange(from, to, with);
    typedEnd_ = typed ? from + int(with.size()) : -1;
}

void TextPane::undoOrRedo(bool redo)
{
    std::vector<UndoStep>& from = redo ? redo_ : undo_;
    std::vector<UndoStep>& to = redo ? undo_ : redo_;
    if (from.empty())
        return;
    UndoStep step = std::move(from.back());
    from.pop_back();
    typedEnd_ = -1;
    replaceRange(step.from, step.from + int(step.inserted.size()), step.removed);
    std::swap(step.removed, step.inserted);
    to.push_back(std::move(step));
}

} // namespace fw
