#include "platform/TextPaneInternals.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// Single-line mode: a walk back from the caret for the first shown character gives up after this
// many units, so that a run of zero-width characters cannot make it long.
constexpr int MaxWalkUnits = 1 << 16;

} // namespace

// ---- single-line mode

void TextPane::setSingleLine(bool singleLine)
{
    singleLine_ = singleLine;
    setAttribute(Qt::WA_InputMethodEnabled, singleLine_ && !readOnly_);
    const Qt::ScrollBarPolicy policy = singleLine ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    origin_ = 0;
    viewport()->update();
}

void TextPane::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    viewport()->update();
}

// Blocks are cut the same way from wherever a walk starts, so that painting, hit-testing and the
// caret's x agree.
int TextPane::blockEndFrom(int from, int end) const
{
    return from + BlockUnits >= end ? end : boundaryFrom(from + BlockUnits, end);
}

// Width of [from, to) of one line; once it passes limit the walk stops and a value above limit
// comes back, so that the cost stays within what a view of that width shows.
qreal TextPane::widthBetween(int from, int to, qreal limit) const
{
    qreal width = 0;
    while (from < to && width <= limit) {
        const int next = std::min(blockEndFrom(from, to), to);
        width += blockWidth(from, next);
        from = next;
    }
    return width;
}

// The first unit to show so that unit stands at most width from the left edge: a walk back from
// unit, stopping once the width is filled.
int TextPane::originShowing(int unit, qreal width) const
{
    qreal filled = 0;
    int from = unit;
    while (from > 0 && unit - from < MaxWalkUnits) {
        int start = std::max(0, from - BlockUnits);
        for (int moved = 0; start > 0 && moved < BoundarySlack && !startsCharacter(start); ++moved)
            --start;
        const qreal w = blockWidth(start, from);
        if (filled + w > width) {
            // Within this block: the leftmost unit whose distance to the block's end still fits.
            const BlockLayout layout(*this, start, from);
            const qreal cut = layout.width - (width - filled);
            int u = std::max(start, layout.unitAt(cut));
            while (u < from && layout.xOf(u) < cut)
                u = nextUnit(u);
            return u;
        }
        filled += w;
        from = start;
    }
    return from;
}

qreal TextPane::availableWidth() const
{
    return std::max(1, viewSize().width() - 2 * LeftMargin - CaretWidth);
}

// Viewport x where the first shown unit is drawn: the margin, and for a line that fits the view and
// is not aligned left, the room its alignment leaves.
qreal TextPane::singleLineLeft() const
{
    if (alignment_ == Qt::AlignLeft || alignment_ == 0)
        return LeftMargin;
    if (origin_ > 0)
        return LeftMargin;
    const qreal room = availableWidth();
    const qreal width = widthBetween(0, int(text_.size()), room);
    if (width > room)
        return LeftMargin;
    return LeftMargin + (alignment_ & Qt::AlignHCenter ? (room - width) / 2 : room - width);
}

int TextPane::singleLineTop() const
{
    return (viewSize().height() - lineHeight_) / 2;
}

// The unit nearest to x from the first shown unit; left of it, the unit before it, so that dragging
// out at the left edge scrolls back one character at a time.
int TextPane::singleLineUnitAt(qreal x) const
{
    const int end = int(text_.size());
    const int origin = std::clamp(origin_, 0, end);
    if (x < 0)
        return previousUnit(origin);
    qreal left = 0;
    for (int from = origin; from < end;) {
        const int to = blockEndFrom(from, end);
        const qreal w = blockWidth(from, to);
        if (x < left + w)
            return BlockLayout(*this, from, to).unitAt(x - left);
        left += w;
        from = to;
    }
    return end;
}

// Moves the first shown unit so that unit is in view: to unit itself when it lies to the left, so
// that unit stands at the right edge when it lies to the right, and back so far as the text's end
// leaves room (after a deletion).
void TextPane::revealInLine(int unit)
{
    const int end = int(text_.size());
    if (origin_ < 0 || origin_ > end)
        origin_ = 0;
    const qreal room = availableWidth();
    if (unit < origin_)
        origin_ = unit;
    else if (widthBetween(origin_, unit, room) > room)
        origin_ = originShowing(unit, room);
    if (origin_ > 0 && widthBetween(origin_, end, room) < room)
        origin_ = std::min(origin_, originShowing(end, room));
    viewport()->update();
}

void TextPane::paintSingleLine(QPainter& painter, const QRect& area)
{
    const int end = int(text_.size());
    const int origin = std::clamp(origin_, 0, end);
    const int selFrom = std::min(anchor_, caret_);
    const int selTo = std::max(anchor_, caret_);
    const qreal left = singleLineLeft();
    const int top = singleLineTop();
    const int right = viewport()->width();
    qreal x = left;
    qreal caretX = -1;
    int from = origin;
    while (from < end && x < right) {
        const int to = blockEndFrom(from, end);
        if (caret_ == from)
            caretX = x;
        if (caret_ <= from || caret_ >= to) {
            // A block outside the repainted area is measured, not laid out.
            const qreal w = blockWidth(from, to);
            if (x + w < area.left() || x > area.right()) {
                x += w;
                from = to;
                continue;
            }
        }
        const BlockLayout layout(*this, from, to);
        paintBlock(painter, layout, x, top, selFrom, selTo);
        if (caret_ > from && caret_ < to)
            caretX = x + layout.xOf(caret_);
        x += layout.width;
        from = to;
    }
    if (from == end && caret_ == end)
        caretX = x;
    caretRect_ = QRect();
    if (hasFocus() && !readOnly_ && caretX >= 0) {
        caretRect_ = QRect(int(std::floor(caretX)), top, CaretWidth + 1, lineHeight_);
        if (caretShown_)
            painter.fillRect(QRectF(caretX, top, CaretWidth, lineHeight_), palette().brush(QPalette::Text));
    }
}

void TextPane::restartBlink()
{
    caretShown_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (singleLine_ && hasFocus() && flash > 0)
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void TextPane::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != blink_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    caretShown_ = !caretShown_;
    // Only the caret's few pixels are repainted.
    if (!caretRect_.isEmpty())
        viewport()->update(caretRect_);
}

} // namespace fw
