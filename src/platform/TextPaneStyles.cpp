#include "platform/TextPaneInternals.h"

#include <QScrollBar>

#include <algorithm>
#include <climits>

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

void TextPane::retainStyle(int id)
{
    StyleSlot& slot = styles_[size_t(id)];
    if (++slot.uses == 1 && slot.style.size > 0)
        sizedStylesChanged_ = true;
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
    retainStyle(style);
}

bool TextPane::isPlain(const TextStyle& style) const
{
    return !style.bold && !style.italic && !style.underline && style.size == 0
           && style.color == palette().color(QPalette::Text);
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
    flattenLayers();
    // A run that looks exactly like the pane's own text is no run at all: it only clears what it
    // covers, so resetting many highlights leaves nothing behind to store or paint.
    insertRun(from, to, isPlain(style) ? -1 : internStyle(style));
    styleChanged(from, to);
}

void TextPane::addStyleLayer(std::shared_ptr<const Offsets> starts, int charLength, const TextStyle& style)
{
    if (!starts || starts->empty() || charLength <= 0)
        return;
    const int id = isPlain(style) ? -1 : internStyle(style);
    // An earlier layer over the same offsets and no longer than this one shows nowhere any more.
    std::erase_if(layers_, [&](const StyleLayer& layer) {
        if (layer.starts != starts || layer.length > charLength)
            return false;
        if (layer.style >= 0)
            releaseStyle(layer.style);
        return true;
    });
    if (id >= 0)
        retainStyle(id);
    layers_.push_back({std::move(starts), charLength, id});
    // A plain layer with nothing beneath it clears nothing.
    while (!layers_.empty() && layers_.front().style < 0 && runs_.empty())
        layers_.erase(layers_.begin());
    styleChanged(0, int(text_.size()));
}

void TextPane::detachStyleLayers(const Offsets* starts)
{
    // A plain layer shows only where it clears a run or a layer beneath it that is not plain: it keeps
    // just those offsets, so that taking off a highlight of many hits keeps no copy of them. One pass
    // over the list and the layers beneath it (the ends of a layer's ranges ascend with its offsets).
    const auto coveringOffsets = [this](size_t index) {
        const StyleLayer& layer = layers_[index];
        struct Cursor {
            const Offsets* starts;
            int length;
            size_t next;
        };
        std::vector<Cursor> beneath;
        for (size_t j = 0; j < index; ++j) {
            if (layers_[j].style >= 0)
                beneath.push_back({layers_[j].starts.get(), layers_[j].length, 0});
        }
        Offsets kept;
        for (const qint32 start : *layer.starts) {
            const qint64 end = qint64(start) + layer.length;
            bool covers = false;
            for (Cursor& c : beneath) {
                while (c.next < c.starts->size() && qint64((*c.starts)[c.next]) + c.length <= start)
                    ++c.next;
                covers = covers || (c.next < c.starts->size() && (*c.starts)[c.next] < end);
            }
            if (!covers && !runs_.empty()) {
                const auto [from, to] = layerUnits(start, layer.length);
                const auto run = runCovering(from);
                covers = run != runs_.end() && run->first < to;
            }
            if (covers)
                kept.push_back(start);
        }
        kept.shrink_to_fit();
        return kept;
    };
    for (size_t i = 0; i < layers_.size(); ++i) {
        StyleLayer& layer = layers_[i];
        if (layer.starts.get() == starts)
            layer.starts = std::make_shared<const Offsets>(layer.style >= 0 ? *starts : coveringOffsets(i));
    }
    std::erase_if(layers_, [](const StyleLayer& layer) { return layer.style < 0 && layer.starts->empty(); });
}

qint64 TextPane::styleRunCount() const
{
    qint64 count = qint64(runs_.size());
    for (const StyleLayer& layer : layers_) {
        if (layer.style >= 0)
            count += qint64(layer.starts->size());
    }
    return count;
}

// The units [fromUnit, toUnit) may look different now: metrics when a sized style came or went, the
// widths of long lines measured there, and the view where it shows them.
void TextPane::styleChanged(int fromUnit, int toUnit)
{
    if (toUnit - fromUnit >= int(text_.size()))
        forgetLayout();
    else
        forgetLayout(lineOfUnit(fromUnit), lineOfUnit(std::max(fromUnit, toUnit - 1)));
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
        updateScrollBars();
        viewport()->update();
        return;
    }
    const int first = firstVisibleLine();
    const int last = std::min(lineCount() - 1, first + visibleLineCount() + 1);
    if (toUnit > lineStarts_[size_t(first)] && fromUnit <= lineEndUnit(last))
        viewport()->update();
}

const TextStyle* TextPane::styleAt(int charPos) const
{
    if (charPos < 0 || charPos >= chars_.charLength())
        return nullptr;
    // The topmost layer that covers the position decides; below all layers, the runs.
    for (auto layer = layers_.rbegin(); layer != layers_.rend(); ++layer) {
        const Offsets& starts = *layer->starts;
        const auto after = std::upper_bound(starts.begin(), starts.end(), charPos);
        if (after != starts.begin() && qint64(*std::prev(after)) + layer->length > charPos)
            return layer->style >= 0 ? &styles_[size_t(layer->style)].style : nullptr;
    }
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

void TextPane::styleSpans(int from, int to, std::vector<StyleSpan>& spans) const
{
    spans.clear();
    if (layers_.empty()) {
        for (auto it = runCovering(from); it != runs_.end() && it->first < to; ++it)
            spans.push_back({std::max(it->first, from), std::min(it->second.end, to), it->second.style});
        return;
    }
    // Each unit takes the style of the last run or layer over it: the stretch is a block of a line,
    // and a layer adds only the offsets that meet it.
    std::vector<int> unitStyles(size_t(to - from), -1);
    const auto paint = [&](int a, int b, int style) {
        a = std::max(a, from);
        b = std::min(b, to);
        if (a < b)
            std::fill(unitStyles.begin() + (a - from), unitStyles.begin() + (b - from), style);
    };
    for (auto it = runCovering(from); it != runs_.end() && it->first < to; ++it)
        paint(it->first, it->second.end, it->second.style);
    const int fromChar = toCharPos(from);
    const int toChar = toCharPos(to);
    for (const StyleLayer& layer : layers_) {
        const Offsets& starts = *layer.starts;
        // The offsets ascend and share one length, so their ends ascend too.
        auto start = std::upper_bound(starts.begin(), starts.end(), qint64(fromChar) - layer.length,
                                      [](qint64 value, qint32 offset) { return value < offset; });
        for (; start != starts.end() && *start < toChar; ++start) {
            const auto [a, b] = layerUnits(*start, layer.length);
            paint(a, b, layer.style);
        }
    }
    for (int unit = from; unit < to;) {
        const int style = unitStyles[size_t(unit - from)];
        int end = unit + 1;
        while (end < to && unitStyles[size_t(end - from)] == style)
            ++end;
        if (style >= 0)
            spans.push_back({unit, end, style});
        unit = end;
    }
}

std::pair<int, int> TextPane::layerUnits(qint32 start, int length) const
{
    return {toUnit(std::max(0, start)), toUnit(int(std::min<qint64>(qint64(start) + length, INT_MAX)))};
}

void TextPane::dropRuns()
{
    for (const auto& [start, run] : runs_)
        releaseStyle(run.style);
    runs_.clear();
    for (const StyleLayer& layer : layers_) {
        if (layer.style >= 0)
            releaseStyle(layer.style);
    }
    layers_.clear();
}

void TextPane::flattenLayers()
{
    const std::vector<StyleLayer> layers = std::move(layers_);
    layers_.clear();
    for (const StyleLayer& layer : layers) {
        for (const qint32 start : *layer.starts) {
            const auto [from, to] = layerUnits(start, layer.length);
            if (from < to)
                insertRun(from, to, layer.style);
        }
        if (layer.style >= 0)
            releaseStyle(layer.style);
    }
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
