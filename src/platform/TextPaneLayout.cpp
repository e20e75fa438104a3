#include "platform/TextPaneInternals.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCharFormat>

#include <algorithm>
#include <climits>
#include <cmath>

namespace fw {

namespace {

// Long lines whose block positions are kept; more lines than fit in a view, few enough to search.
constexpr size_t CachedLongLines = 256;
// Horizontal scroll positions stay far inside int, whatever the text size.
constexpr qreal MaxContentWidth = INT_MAX / 4;
// Drawn after a line that is cut, where its hidden rest begins.
constexpr char16_t CutMark = u'\u2026';
// Single-line mode: drawn, dim, in place of each "\n" and "\r" of the text, one unit for one unit.
constexpr char16_t LineEndMark = u'\u21B5';

// A view of part of a text without copying it, for Qt calls that take a QString.
QString rawPart(const QString& text, int from, int to)
{
    return QString::fromRawData(text.constData() + from, to - from);
}

// CJK ideographs, kana, Hangul syllables and full- and half-width forms: characters that shaping
// neither joins, kerns nor combines with their neighbours, so that a run of them is as wide as its
// characters one by one.
bool isSeparateWide(char16_t c)
{
    return (c >= 0x3000 && c <= 0x3029) || (c >= 0x3041 && c <= 0x3096) || (c >= 0x309B && c <= 0x30FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF9F) || (c >= 0xFFE0 && c <= 0xFFE6);
}

bool isLineEnd(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

// Units [from, to) of text as a single-line pane shows them: each line end becomes the mark, unit
// for unit, so that shaping sees one ordinary character there and breaks nothing. A view, not a
// copy, when the part holds no line end.
QString withLineEndMarks(const QString& text, int from, int to)
{
    const QStringView part = QStringView(text).sliced(from, to - from);
    if (!std::any_of(part.begin(), part.end(), [](QChar c) { return isLineEnd(c.unicode()); }))
        return rawPart(text, from, to);
    QString shown = part.toString();
    for (QChar& c : shown) {
        if (isLineEnd(c.unicode()))
            c = QChar(LineEndMark);
    }
    return shown;
}

} // namespace

// ---- fonts and metrics

TextPane::FontEntry::FontEntry(const QFont& f, const QPaintDevice* device)
    : font(f)
    , metrics(f, device)
{
    // Printable ASCII all of one advance, and the shaping of a probe (ligatures, kerning) adding
    // up to that advance per character: then a run of printable ASCII is measured by counting.
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('M'));
    QString probe;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        if (metrics.horizontalAdvance(QChar(c)) != advance)
            return;
        probe += QChar(c);
    }
    probe += QStringLiteral("fi ffl ff -> <= == != www ||");
    if (metrics.horizontalAdvance(probe) == advance * qreal(probe.size()))
        cellWidth = advance;
}

qreal TextPane::FontEntry::wideAdvance(char16_t c) const
{
    const auto known = wideAdvances.constFind(c);
    if (known != wideAdvances.constEnd())
        return *known;
    const qreal advance = metrics.horizontalAdvance(QChar(c));
    wideAdvances.insert(c, advance);
    return advance;
}

// ---- block layout

TextPane::BlockLayout::BlockLayout(const TextPane& pane, int blockFrom, int blockTo)
    : from(blockFrom)
    , to(blockTo)
    , layout(pane.singleLine_ ? withLineEndMarks(pane.text_, from, to) : rawPart(pane.text_, from, to),
             pane.fontFor(-1).font, pane.viewport())
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    rightToLeft = pane.singleLine_ && pane.rightToLeft_;
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    QList<QTextLayout::FormatRange> formats;
    std::vector<StyleSpan> spans;
    pane.styleSpans(from, to, spans);
    for (const StyleSpan& span : spans) {
        QTextLayout::FormatRange range;
        range.start = span.from - from;
        range.length = span.to - span.from;
        const TextStyle& style = pane.styles_[size_t(span.style)].style;
        range.format.setFont(pane.fontFor(span.style).font, QTextCharFormat::FontPropertiesAll);
        if (style.color.isValid())
            range.format.setForeground(style.color);
        formats.append(range);
    }
    if (pane.singleLine_) {
        // The marks of line ends are dim, as the cut mark is: they are not the text's characters.
        for (int unit = from; unit < to; ++unit) {
            if (!isLineEnd(pane.text_[unit].unicode()))
                continue;
            QTextLayout::FormatRange mark;
            mark.start = unit - from;
            mark.length = 1;
            mark.format.setForeground(pane.palette().color(QPalette::PlaceholderText));
            formats.append(mark);
        }
    }
    layout.setFormats(formats);
    // A line or paragraph separator inside the text ends a QTextLine: the pieces are set side by
    // side on one baseline, so that nothing after a separator is lost.
    layout.beginLayout();
    for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine())
        lines.push_back(piece);
    layout.endLayout();
    for (const QTextLine& piece : lines)
        ascent = std::max(ascent, piece.ascent());
    for (QTextLine& piece : lines) {
        piece.setPosition(QPointF(width, ascent - piece.ascent()));
        width += piece.horizontalAdvance();
    }
}

qreal TextPane::BlockLayout::xOf(int unit) const
{
    const int at = std::clamp(unit, from, to) - from;
    return lineAt(at).cursorToX(at);
}

int TextPane::BlockLayout::unitAt(qreal x) const
{
    for (const QTextLine& piece : lines) {
        if (x < piece.x() + piece.horizontalAdvance()) {
            // Never between the halves of a pair, whatever the layout found there.
            int at = piece.xToCursor(x, QTextLine::CursorBetweenCharacters);
            const QString& shown = layout.text();
            if (at > 0 && at < shown.size() && shown[at].isLowSurrogate() && shown[at - 1].isHighSurrogate())
                --at;
            return from + at;
        }
    }
    return to;
}

void TextPane::BlockLayout::draw(QPainter& painter, QPointF topLeft,
                                 const QList<QTextLayout::FormatRange>& selections) const
{
    layout.draw(&painter, topLeft, selections);
}

const QTextLine& TextPane::BlockLayout::lineAt(int offset) const
{
    for (const QTextLine& piece : lines) {
        if (offset < piece.textStart() + piece.textLength())
            return piece;
    }
    return lines.back();
}

const TextPane::FontEntry& TextPane::fontFor(int style) const
{
    const size_t slot = size_t(style + 1);
    if (fonts_.size() <= slot)
        fonts_.resize(slot + 1);
    if (!fonts_[slot]) {
        QFont f = font();
        if (style >= 0) {
            const TextStyle& s = styles_[size_t(style)].style;
            f.setBold(s.bold);
            f.setItalic(s.italic);
            f.setUnderline(s.underline);
            if (s.size > 0)
                f.setPixelSize(s.size);
        }
        fonts_[slot] = std::make_unique<FontEntry>(f, viewport());
    }
    return *fonts_[slot];
}

void TextPane::updateMetrics()
{
    fonts_.clear();
    forgetLayout();
    const FontEntry& base = fontFor(-1);
    qreal spacing = base.metrics.lineSpacing();
    qreal ascent = base.metrics.ascent();
    charWidth_ = std::max<qreal>(1, base.metrics.horizontalAdvance(QLatin1Char('M')));
    for (size_t i = 0; i < styles_.size(); ++i) {
        if (styles_[i].uses == 0 || styles_[i].style.size <= 0)
            continue;
        const FontEntry& sized = fontFor(int(i));
        spacing = std::max(spacing, sized.metrics.lineSpacing());
        ascent = std::max(ascent, sized.metrics.ascent());
    }
    lineHeight_ = std::max(1, int(std::ceil(spacing)));
    ascent_ = int(std::ceil(ascent));
}

// ---- geometry

QSize TextPane::viewSize() const
{
    // A pane that has not been shown yet has not laid out its viewport.
    if (testAttribute(Qt::WA_PendingResizeEvent) || !testAttribute(Qt::WA_WState_Created))
        return maximumViewportSize();
    return viewport()->size();
}

int TextPane::visibleLineCount() const
{
    return std::max(1, (viewSize().height() - TopMargin) / lineHeight_);
}

int TextPane::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

void TextPane::setFirstVisibleLine(int line)
{
    verticalScrollBar()->setValue(line);
}

int TextPane::sideScroll() const
{
    return int(std::min<qint64>(std::llround(qreal(horizontalScrollBar()->value()) * 64 / charWidth_), INT_MAX));
}

void TextPane::setSideScroll(int position)
{
    horizontalScrollBar()->setValue(int(std::min<qint64>(std::llround(position * charWidth_ / 64), INT_MAX)));
}

void TextPane::updateScrollBars()
{
    scrollBarUpdatePending_ = false;
    const QSize view = viewSize();
    const int visible = visibleLineCount();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, lineCount() - visible));
    v->setPageStep(visible);
    v->setSingleStep(1);
    const qreal content = std::min<qreal>(std::max(estimatedWidth(), widestSeen_) + 2 * LeftMargin + CaretWidth,
                                          MaxContentWidth);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, int(std::ceil(content)) - view.width()));
    h->setPageStep(std::max(1, view.width()));
    h->setSingleStep(std::max(1, int(std::lround(charWidth_))));
}

void TextPane::scheduleScrollBarUpdate()
{
    if (scrollBarUpdatePending_)
        return;
    scrollBarUpdatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (scrollBarUpdatePending_)
                updateScrollBars();
        },
        Qt::QueuedConnection);
}

qreal TextPane::estimatedWidth() const
{
    return qreal(std::min(longestLineUnits_, MaxShownUnits)) * charWidth_ +
           (longestLineUnits_ > MaxShownUnits ? cutMarkWidth() : 0);
}

qreal TextPane::cutMarkWidth() const
{
    return fontFor(-1).metrics.horizontalAdvance(QChar(CutMark)) + 2;
}

bool TextPane::startsCharacter(int unit) const
{
    const QChar c = text_[unit];
    if (c.isLowSurrogate() && text_[unit - 1].isHighSurrogate())
        return false;
    if (text_[unit - 1].unicode() == 0x200D) // a zero-width joiner binds what follows
        return false;
    const char32_t code = codePointAt(text_, unit);
    if (code == 0x200D || (code >= 0x1F3FB && code <= 0x1F3FF)) // joiner, skin-tone modifiers
        return false;
    switch (QChar::category(code)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return false;
    default:
        return true;
    }
}

// A block boundary at or after unit: the next character start within BoundarySlack units, else at
// least a code point's start, so that no block splits a surrogate pair.
int TextPane::boundaryFrom(int unit, int end) const
{
    for (int moved = 0; unit < end && moved < BoundarySlack && !startsCharacter(unit); ++moved)
        ++unit;
    if (unit < end && pairStart(unit) != unit)
        ++unit;
    return std::min(unit, end);
}

// The start of the code point that holds unit: the unit before it when it is a pair's second half.
int TextPane::pairStart(int unit) const
{
    if (unit > 0 && unit < text_.size() && text_[unit].isLowSurrogate() && text_[unit - 1].isHighSurrogate())
        return unit - 1;
    return unit;
}

int TextPane::shownEndUnit(int line) const
{
    const int start = lineStarts_[size_t(line)];
    const int end = lineEndUnit(line);
    return end - start <= MaxShownUnits ? end : boundaryFrom(start + MaxShownUnits, end);
}

qreal TextPane::blockWidth(int from, int to) const
{
    // Fast path, without shaping: printable ASCII in fonts whose printable ASCII is all of one
    // advance, and characters that are as wide alone as among others.
    qreal width = 0;
    std::vector<StyleSpan> spans;
    styleSpans(from, to, spans);
    auto span = spans.cbegin();
    for (int unit = from; unit < to; ++unit) {
        while (span != spans.cend() && span->to <= unit)
            ++span;
        const FontEntry& font = fontFor(span != spans.cend() && span->from <= unit ? span->style : -1);
        const char16_t c = text_[unit].unicode();
        if (c >= 0x20 && c < 0x7F && font.cellWidth > 0)
            width += font.cellWidth;
        else if (isSeparateWide(c))
            width += font.wideAdvance(c);
        else if (singleLine_ && isLineEnd(c))
            width += font.wideAdvance(LineEndMark);
        else
            return BlockLayout(*this, from, to).width;
    }
    return width;
}

void TextPane::forgetLayout(int firstLine, int lastLine)
{
    if (firstLine <= 0 && lastLine == INT_MAX) {
        lineBlocks_.clear();
        return;
    }
    std::erase_if(lineBlocks_, [=](const LineBlocks& b) { return b.line >= firstLine && b.line <= lastLine; });
}

TextPane::LineBlocks& TextPane::blocksOf(int line) const
{
    const int start = lineStarts_[size_t(line)];
    const int end = lineEndUnit(line);
    LineBlocks* found = nullptr;
    for (LineBlocks& b : lineBlocks_) {
        if (b.line == line) {
            found = &b;
            break;
        }
    }
    if (!found) {
        if (lineBlocks_.size() < CachedLongLines) {
            found = &lineBlocks_.emplace_back();
        } else {
            found = &*std::min_element(lineBlocks_.begin(), lineBlocks_.end(),
                                       [](const LineBlocks& a, const LineBlocks& b) { return a.lastUse < b.lastUse; });
        }
        *found = LineBlocks{line, start, end, {}, {}, 0};
    }
    LineBlocks& b = *found;
    b.lastUse = ++layoutClock_;
    if (b.start != start || end < b.knownEnd) {
        b = LineBlocks{line, start, end, {}, {}, b.lastUse};
    } else if (end != b.knownEnd) {
        // The line grew at its end: a block that ended at the old end, or whose boundary was chosen
        // looking at units up to there, may end elsewhere now.
        while (!b.ends.empty() && b.ends.back() + BoundarySlack >= b.knownEnd) {
            b.ends.pop_back();
            b.rights.pop_back();
        }
        b.knownEnd = end;
    }
    return b;
}

void TextPane::measureBlocks(LineBlocks& b, int untilUnit, qreal untilX) const
{
    const int shownEnd = shownEndUnit(b.line);
    int from = b.ends.empty() ? b.start : b.ends.back();
    qreal x = b.rights.empty() ? 0 : b.rights.back();
    while (from < shownEnd && (from <= untilUnit || x <= untilX)) {
        const int to = from + BlockUnits >= shownEnd ? shownEnd : boundaryFrom(from + BlockUnits, shownEnd);
        x += blockWidth(from, to);
        b.ends.push_back(to);
        b.rights.push_back(x);
        from = to;
    }
}

TextPane::BlockSpan TextPane::blockAt(int line, int unit, qreal x) const
{
    const int start = lineStarts_[size_t(line)];
    const int shownEnd = shownEndUnit(line);
    if (shownEnd - start <= BlockUnits)
        return {start, shownEnd, 0, shownEnd};
    LineBlocks& b = blocksOf(line);
    measureBlocks(b, unit, x);
    if (b.ends.empty())
        return {start, start, 0, shownEnd};
    size_t k = 0;
    if (unit >= 0)
        k = size_t(std::upper_bound(b.ends.begin(), b.ends.end(), unit) - b.ends.begin());
    else
        k = size_t(std::upper_bound(b.rights.begin(), b.rights.end(), x) - b.rights.begin());
    k = std::min(k, b.ends.size() - 1);
    return {k ? b.ends[k - 1] : start, b.ends[k], k ? b.rights[k - 1] : 0, shownEnd};
}

qreal TextPane::xOfUnit(int line, int unit) const
{
    const int start = lineStarts_[size_t(line)];
    if (unit <= start)
        return 0;
    const BlockSpan block = blockAt(line, std::min(unit, shownEndUnit(line)), -1);
    if (unit <= block.from)
        return block.x;
    return block.x + BlockLayout(*this, block.from, block.to).xOf(unit);
}

int TextPane::unitAtX(int line, qreal x) const
{
    const BlockSpan block = blockAt(line, -1, x);
    if (block.from >= block.to)
        return block.from;
    const BlockLayout layout(*this, block.from, block.to);
    // Right of what is shown: the end of the line, or the cut of a line that is cut.
    if (block.to == block.shownEnd && x >= block.x + layout.width)
        return block.shownEnd;
    return layout.unitAt(x - block.x);
}

int TextPane::unitAt(const QPoint& viewportPoint) const
{
    if (singleLine_)
        return singleLineUnitAt(rightToLeft_ ? singleLineStart() - viewportPoint.x()
                                             : viewportPoint.x() - singleLineStart());
    const int dy = viewportPoint.y() - TopMargin;
    const int offset = dy >= 0 ? dy / lineHeight_ : -((-dy + lineHeight_ - 1) / lineHeight_);
    const int line = std::clamp(firstVisibleLine() + offset, 0, lineCount() - 1);
    const qreal x = viewportPoint.x() - LeftMargin + horizontalScrollBar()->value();
    return x <= 0 ? lineStarts_[size_t(line)] : unitAtX(line, x);
}

int TextPane::charPosAt(const QPoint& viewportPoint) const
{
    return toCharPos(unitAt(viewportPoint));
}

void TextPane::reveal(int unit)
{
    if (singleLine_) {
        revealInLine(unit);
        return;
    }
    const int line = lineOfUnit(unit);
    revealLine(line);
    const qreal x = caretX(line, unit);
    const int width = std::max(0, viewSize().width() - 2 * LeftMargin - CaretWidth);
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value())
        h->setValue(int(std::floor(x)));
    else if (x > h->value() + width)
        h->setValue(int(std::ceil(x)) - width);
}

void TextPane::revealSelection(int anchor, int caret)
{
    const int line = lineOfUnit(caret);
    if (lineOfUnit(anchor) != line) {
        reveal(anchor);
        reveal(caret);
        return;
    }
    revealLine(line);
    const qreal caretAt = caretX(line, caret);
    const qreal anchorAt = anchor == caret ? caretAt : caretX(line, anchor);
    const qreal left = std::min(anchorAt, caretAt);
    const qreal right = std::max(anchorAt, caretAt);
    const int width = std::max(0, viewSize().width() - 2 * LeftMargin - CaretWidth);
    QScrollBar* h = horizontalScrollBar();
    const int value = h->value();
    if (left >= value && right <= value + width)
        return; // wholly in view: the view stays, so stepping from hit to hit never jumps back and forth
    if (left < value || right - left > width) // one too wide shows as much as fits from its start
        h->setValue(int(std::floor(left)));
    else
        h->setValue(int(std::ceil(right)) - width);
}

void TextPane::revealLine(int line)
{
    const int first = firstVisibleLine();
    const int visible = visibleLineCount();
    if (line < first)
        setFirstVisibleLine(line);
    else if (line >= first + visible)
        setFirstVisibleLine(line - visible + 1);
}

qreal TextPane::caretX(int line, int unit)
{
    // A caret in the hidden rest of a cut line stands at the cut; the mark after it comes into view too.
    const qreal x = xOfUnit(line, unit) + (unit > shownEndUnit(line) ? cutMarkWidth() : 0);
    if (x > widestSeen_) {
        widestSeen_ = x;
        if (std::ceil(x) + 2 * LeftMargin + CaretWidth > horizontalScrollBar()->maximum() + viewSize().width())
            updateScrollBars();
    }
    return x;
}

// ---- painting

void TextPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    if (singleLine_) {
        paintSingleLine(painter, event->rect());
        return;
    }
    painter.fillRect(event->rect(), palette().brush(QPalette::Base));
    const int first = firstVisibleLine();
    const qreal left = LeftMargin - horizontalScrollBar()->value();
    const int selFrom = std::min(anchor_, caret_);
    const int selTo = std::max(anchor_, caret_);
    const int bottom = event->rect().bottom();
    const qreal widestBefore = widestSeen_;
    for (int line = first, top = TopMargin; line < lineCount() && top <= bottom; ++line, top += lineHeight_) {
        if (top + lineHeight_ > event->rect().top())
            paintLine(painter, line, left, top, selFrom, selTo);
    }
    if (hasFocus()) {
        const int line = lineOfUnit(caret_);
        if (line >= first && line <= first + visibleLineCount()) {
            const qreal x = left + xOfUnit(line, caret_);
            const int top = TopMargin + (line - first) * lineHeight_;
            painter.fillRect(QRectF(x, top, CaretWidth, lineHeight_), palette().brush(QPalette::Text));
        }
    }
    if (widestSeen_ > widestBefore && widestSeen_ > estimatedWidth())
        scheduleScrollBarUpdate();
}

void TextPane::paintLine(QPainter& painter, int line, qreal left, int top, int selFrom, int selTo)
{
    // Only the blocks that meet the view are laid out: content x from -left to -left + width.
    const qreal viewFrom = -left;
    const qreal viewTo = viewFrom + viewport()->width();
    const int end = lineEndUnit(line);
    BlockSpan block = blockAt(line, -1, std::max<qreal>(0, viewFrom));
    qreal lineRight = -1; // known once the last shown block has been met
    while (block.from < block.to && block.x < viewTo) {
        const BlockLayout layout(*this, block.from, block.to);
        const qreal right = block.x + layout.width;
        if (right >= viewFrom)
            paintBlock(painter, layout, left + block.x, top, selFrom, selTo);
        if (block.to >= block.shownEnd) {
            lineRight = right;
            break;
        }
        if (right > viewTo)
            break;
        block = blockAt(line, block.to, -1);
    }
    if (block.from >= block.to && block.to >= block.shownEnd)
        lineRight = block.x;
    if (lineRight < 0)
        return;
    widestSeen_ = std::max(widestSeen_, lineRight);
    const int shownEnd = block.shownEnd;
    if (shownEnd < end) {
        // The rest of the line is not drawn; a dim mark says that it goes on.
        widestSeen_ = std::max(widestSeen_, lineRight + cutMarkWidth());
        painter.setFont(fontFor(-1).font);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(QPointF(left + lineRight + 1, top + ascent_), QString(QChar(CutMark)));
        return;
    }
    // A selected line end shows as a small box after the line's text.
    if (line + 1 < lineCount() && selFrom <= end && end < selTo)
        painter.fillRect(QRectF(left + lineRight, top, charWidth_ / 2, lineHeight_),
                         palette().brush(QPalette::Active, QPalette::Highlight));
}

void TextPane::paintBlock(QPainter& painter, const BlockLayout& block, qreal x, int top, int selFrom, int selTo) const
{
    QList<QTextLayout::FormatRange> selections;
    const int a = std::clamp(selFrom, block.from, block.to);
    const int b = std::clamp(selTo, block.from, block.to);
    if (a < b) {
        // The highlight spans the whole line height; its edges come from the same shaping as the glyphs.
        const qreal xa = block.xOf(a);
        const qreal xb = block.xOf(b);
        painter.fillRect(QRectF(x + std::min(xa, xb), top, std::abs(xb - xa), lineHeight_),
                         palette().brush(QPalette::Active, QPalette::Highlight));
        QTextLayout::FormatRange selected;
        selected.start = a - block.from;
        selected.length = b - a;
        selected.format.setForeground(palette().color(QPalette::Active, QPalette::HighlightedText));
        selections.append(selected);
    }
    painter.setPen(palette().color(QPalette::Text));
    // Every block of a line shares the line's baseline, whatever fonts its glyphs came from.
    block.draw(painter, QPointF(x, top + ascent_ - block.ascent), selections);
}

// ---- size, font and palette changes, scrolling

void TextPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (singleLine_)
        revealInLine(caret_);
}

void TextPane::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        widestSeen_ = 0;
        updateScrollBars();
        if (singleLine_)
            revealInLine(caret_);
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange) {
        viewport()->update();
    }
}

void TextPane::scrollContentsBy(int, int)
{
    viewport()->update();
}

} // namespace fw
