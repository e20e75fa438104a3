#include "platform/TextPaneInternals.h"

#include <QScrollBar>

#include <algorithm>

namespace fw {

bool operator==(const TextStyle& a, const TextStyle& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.size == b.size &&
           a.color == b.color;
}

// ---- style runs

int TextPane::internStyle(const TextStyle& style)
{
    if (lastStyle_ >= 0 && styles_[size_t(lastStyle_)].style == style)
        return lastStyle_;
    int free = -1;
    for (size_t i = 0; i < styles_.size(); ++i) {
        if (styles_[i].uses > 0 && styles_[i].style == style)
            return lastStyle_ = int(i);
        if (styles_[i].uses == 0 && free < 0)
            free = int(i);
    }
    if (free < 0) {
        free = int(styles_.size());
        styles_.push_back({});
    }
    styles_[size_t(free)].style = style;
    if (size_t(free) + 1 < fonts_.size())
        fonts_[size_t(free) + 1].reset();
    return lastStyle_ = free;
}

void TextPane::releaseStyle(int id)
{
    StyleSlot& slot = styles_[size_t(id)];
    if (--slot.uses == 0 && slot.style.size > 0)
        sizedStylesChanged_ = true;
}

void TextPane::insertRun(int from, int to, int style)
{
    auto it = runs_.lower_bound(from);
    if (it != runs_.begin()) {
        const auto previous = std::prev(it);
        if (previous->second.end > from) {
            const Run old = previous->second;
            previous->second.end = from;
            if (old.end > to) {
                runs_.emplace_hint(it, to, old);
                ++styles_[size_t(old.style)].uses;
            }
        }
    }
    while (it != runs_.end() && it->first < to) {
        if (it->second.end > to) {
            const Run rest = it->second;
            it = runs_.erase(it);
            it = runs_.emplace_hint(it, to, rest);
            break;
        }
        releaseStyle(it->second.style);
        it = runs_.erase(it);
    }
    if (style < 0)
        return; // the range is left plain
    runs_.emplace_hint(it, from, Run{to, style});
    StyleSlot& slot = styles_[size_t(style)];
    if (++slot.uses == 1 && slot.style.size > 0)
        sizedStylesChanged_ = true;
}

void TextPane::setStyleRun(int charStart, int charLength, const TextStyle& style)
{
    if (charLength <= 0)
        return;
    const int startChar = std::max(0, charStart);
    const int endChar = int(std::min<qint64>(qint64(charStart) + charLength, chars_.charLength()));
    const int from = toUnit(startChar);
    const int to = toUnit(endChar);
    if (from >= to)
        return;
    // A run that looks exactly like the pane's own text is no run at all: it only clears what it
    // covers, so resetting many highlights leaves nothing behind to store or paint.
    const bool plain = !style.bold && !style.italic && !style.underline && style.size == 0
                       && style.color == palette().color(QPalette::Text);
    insertRun(from, to, plain ? -1 : internStyle(style));
    forgetLayout(lineOfUnit(from), lineOfUnit(to - 1));
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
        updateScrollBars();
        viewport()->update();
        return;
    }
    const int first = firstVisibleLine();
    const int last = std::min(lineCount() - 1, first + visibleLineCount() + 1);
    if (to > lineStarts_[size_t(first)] && from <= lineEndUnit(last))
        viewport()->update();
}

const TextStyle* TextPane::styleAt(int charPos) const
{
    const int unit = toUnit(charPos);
    auto it = runs_.upper_bound(unit);
    if (it == runs_.begin())
        return nullptr;
    --it;
    return it->second.end > unit ? &styles_[size_t(it->second.style)].style : nullptr;
}

std::map<int, TextPane::Run>::const_iterator TextPane::runCovering(int unit) const
{
    auto it = runs_.upper_bound(unit);
    if (it != runs_.begin()) {
        const auto previous = std::prev(it);
        if (previous->second.end > unit)
            return previous;
    }
    return it;
}

void TextPane::dropRuns()
{
    for (const auto& [start, run] : runs_)
        releaseStyle(run.style);
    runs_.clear();
}

// After [from, to) was replaced by withSize units: runs keep the characters they styled, the parts
// inside the replaced range go, later ones move.
void TextPane::shiftRuns(int from, int to, int withSize)
{
    const int delta = withSize - (to - from);
    std::map<int, Run> kept;
    for (const auto& [start, run] : runs_) {
        if (run.end <= from) {
            kept.emplace_hint(kept.end(), start, run);
            continue;
        }
        if (start >= to) {
            kept.emplace_hint(kept.end(), start + delta, Run{run.end + delta, run.style});
            continue;
        }
        int pieces = 0;
        if (start < from) {
            kept.emplace_hint(kept.end(), start, Run{from, run.style});
            ++pieces;
        }
        if (run.end > to) {
            kept.emplace_hint(kept.end(), to + delta, Run{run.end + delta, run.style});
            ++pieces;
        }
        styles_[size_t(run.style)].uses += pieces;
        releaseStyle(run.style);
    }
    runs_ = std::move(kept);
}

} // namespace fw
