#include "platform/TextPaneInternals.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// Single-line mode: a walk back from the caret for the first shown character gives up after this
// many units, so that a run of zero-width characters cannot make it long.
constexpr int MaxWalkUnits = 1 << 16;

} // namespace

// ---- single-line mode

// A single-line field is drawn as a line edit is: one widget, the style's line-edit panel and frame
// over all of it, the text inside. The viewport covers the whole pane, so no child edge cuts into the
// frame at fractional scales, and it is not opaque, so the window shows through the frame's corners.
void TextPane::setSingleLine(bool singleLine)
{
    singleLine_ = singleLine;
    setAttribute(Qt::WA_InputMethodEnabled, singleLine_ && !readOnly_);
    const Qt::ScrollBarPolicy policy = singleLine ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    if (singleLine_)
        setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(!singleLine_);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, !singleLine_);
    origin_ = 0;
    viewport()->update();
}

void TextPane::setLineFrame(bool frame)
{
    lineFrame_ = frame;
    revealInLine(caret_);
}

void TextPane::setLineMargin(int margin)
{
    if (margin == lineMargin_)
        return;
    lineMargin_ = margin;
    revealInLine(caret_);
}

// The line edit's option for this field: focus, enabled and active state from the pane, which holds
// the focus for its viewport.
static void initLineEditOption(const TextPane& pane, bool frame, bool readOnly, QStyleOptionFrame& option)
{
    option.initFrom(&pane);
    option.rect = pane.viewport()->rect();
    option.lineWidth = frame ? pane.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &pane) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (readOnly)
        option.state |= QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
}

// Where the text stands: inside the frame, as the style places a line edit's contents.
QRect TextPane::lineArea() const
{
    QStyleOptionFrame option;
    option.direction = layoutDirection();
    option.rect = QRect(QPoint(), viewSize());
    option.lineWidth = lineFrame_ ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) : 0;
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
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
        start = pairStart(start);
        const qreal w = blockWidth(start, from);
        if (filled + w > width) {
            // Within this block: the leftmost unit whose distance to the block's end still fits.
            const BlockLayout layout(*this, start, from);
            const qreal cut = layout.width - (width - filled);
            int u = std::max(start, layout.unitAtAdvance(cut));
            while (u < from && layout.advanceOf(u) < cut)
                u = nextUnit(u);
            return u;
        }
        filled += w;
        from = start;
    }
    return from;
}

int TextPane::lineMargin() const
{
    return lineMargin_ >= 0 ? lineMargin_ : LeftMargin;
}

qreal TextPane::lineRoom() const
{
    return lineArea().width() - 2 * lineMargin() - CaretWidth;
}

// The same walk from the first unit that placing the line and revealing the caret make, so that a
// text this finds no wider than the room is one they show from its first character.
qreal TextPane::lineTextWidth(qreal limit) const
{
    return widthBetween(0, int(text_.size()), limit);
}

qreal TextPane::availableWidth() const
{
    return std::max<qreal>(1, lineRoom());
}

// Viewport x of the start edge, where the first shown unit begins: its left edge, or in right-to-left
// text its right edge. A line that fits the view (with the text being composed in it) stands where
// its alignment, mirrored for right-to-left text, puts it; a longer line starts at the margin on its
// own side.
qreal TextPane::singleLineStart() const
{
    const qreal margin = lineArea().left() + lineMargin();
    const qreal room = availableWidth();
    Qt::Alignment alignment = alignment_ == 0 ? Qt::Alignment(Qt::AlignLeft) : alignment_;
    if (rightToLeft_ && !(alignment & Qt::AlignHCenter))
        alignment = alignment & Qt::AlignRight ? Qt::AlignLeft : Qt::AlignRight;
    const qreal startSide = rightToLeft_ ? margin + room : margin;
    if (alignment == (rightToLeft_ ? Qt::AlignRight : Qt::AlignLeft) || origin_ > 0)
        return startSide;
    qreal width = 0;
    if (composing()) {
        QTextLayout preedit;
        layoutPreedit(preedit);
        width = widthBetween(0, std::min(anchor_, caret_), room) + preedit.lineAt(0).naturalTextWidth() +
                widthBetween(std::max(anchor_, caret_), int(text_.size()), room);
    } else {
        width = widthBetween(0, int(text_.size()), room);
    }
    if (width > room)
        return startSide;
    const qreal left = margin + (alignment & Qt::AlignHCenter ? (room - width) / 2
                                 : alignment & Qt::AlignRight ? room - width
                                                              : 0);
    return rightToLeft_ ? left + width : left;
}

int TextPane::singleLineTop() const
{
    const QRect area = lineArea();
    return area.top() + (area.height() - lineHeight_) / 2;
}

// The unit nearest to x, a distance from the start edge towards the end; before the start edge, the
// unit before the first shown one, so that dragging out there scrolls back one character at a time.
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
            return BlockLayout(*this, from, to).unitAtAdvance(x - left);
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
    unit = std::clamp(unit, 0, end);
    const qreal room = availableWidth();
    if (unit < origin_)
        origin_ = unit;
    else if (widthBetween(origin_, unit, room) > room)
        origin_ = originShowing(unit, room);
    if (origin_ > 0 && widthBetween(origin_, end, room) < room)
        origin_ = std::min(origin_, originShowing(end, room));
    if (composing()) {
        // The composed text stands where the selection starts; its caret comes into view too.
        const int at = std::min(anchor_, caret_);
        const qreal need = std::min(room, preeditCaretX() + CaretWidth);
        if (at < origin_)
            origin_ = at;
        else if (widthBetween(origin_, at, room) + need > room)
            origin_ = originShowing(at, room - need);
    }
    viewport()->update();
    // The input method follows the caret (a no-op unless the field has the focus).
    updateMicroFocus();
}

// Draws the units [from, stop) from x on, in blocks cut from from, until the far edge of the field;
// x is where from stands: the start edge, left of the text, or right of it in right-to-left text,
// where the blocks follow one another leftwards. A block that runs past stop is clipped there. Only
// blocks that meet the repainted area are laid out. Sets caretX when given and the caret lies in
// [from, stop]. Returns the x where stop stands (or some x past the field's far edge).
qreal TextPane::paintSpan(QPainter& painter, const QRect& area, int from, int stop, qreal x, int selFrom, int selTo,
                          qreal* caretX)
{
    const int end = int(text_.size());
    const int top = singleLineTop();
    const auto noteCaret = [&](const BlockLayout& layout, qreal blockX) {
        if (caretX && caret_ > layout.from && caret_ < layout.to && caret_ <= stop)
            *caretX = blockX + layout.xOf(caret_);
    };
    const int right = viewport()->width();
    const auto leftOf = [this, &x](qreal w) { return rightToLeft_ ? x - w : x; };
    while (from < stop && (rightToLeft_ ? x > 0 : x < right)) {
        if (caretX && caret_ == from)
            *caretX = x;
        const int to = blockEndFrom(from, end);
        if (to <= stop && !(caretX && caret_ > from && caret_ < to)) {
            // A block outside the repainted area is measured, not laid out.
            const qreal w = blockWidth(from, to);
            if (leftOf(w) + w < area.left() || leftOf(w) > area.right()) {
                x = rightToLeft_ ? x - w : x + w;
                from = to;
                continue;
            }
        }
        const BlockLayout layout(*this, from, to);
        const qreal blockX = leftOf(layout.width);
        noteCaret(layout, blockX);
        if (to > stop) {
            const qreal cut = blockX + layout.xOf(stop);
            painter.save();
            painter.setClipRect(QRectF(QPointF(std::min(x, cut), area.top()), QPointF(std::max(x, cut), area.bottom() + 1)),
                                Qt::IntersectClip);
            paintBlock(painter, layout, blockX, top, selFrom, selTo);
            painter.restore();
            return cut;
        }
        paintBlock(painter, layout, blockX, top, selFrom, selTo);
        x = rightToLeft_ ? x - layout.width : x + layout.width;
        from = to;
    }
    if (caretX && from == stop && caret_ == stop)
        *caretX = x;
    return x;
}

void TextPane::paintSingleLine(QPainter& painter, const QRect& area)
{
    QStyleOptionFrame panel;
    initLineEditOption(*this, lineFrame_, readOnly_, panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect lineRect = lineArea();
    painter.setClipRect(lineRect, Qt::IntersectClip);
    const QRect clip = area.intersected(lineRect);

    const int end = int(text_.size());
    const int origin = std::clamp(origin_, 0, end);
    const int selFrom = std::min(anchor_, caret_);
    const int selTo = std::max(anchor_, caret_);
    const qreal left = singleLineStart();
    const int top = singleLineTop();
    qreal caretX = -1;
    if (!composing()) {
        paintSpan(painter, clip, origin, end, left, selFrom, selTo, &caretX);
    } else {
        // The selection is what the commit replaces: the composed text stands in its place, drawn
        // with the input method's formats, and its own caret is the field's caret.
        const qreal at = selFrom >= origin ? paintSpan(painter, clip, origin, selFrom, left, 0, 0, nullptr) : left;
        QTextLayout preedit;
        layoutPreedit(preedit);
        const QTextLine line = preedit.lineAt(0);
        const qreal preeditLeft = rightToLeft_ ? at - line.naturalTextWidth() : at;
        painter.setPen(palette().color(QPalette::Text));
        preedit.draw(&painter, QPointF(preeditLeft, top + ascent_ - line.ascent()));
        const qreal after = rightToLeft_ ? preeditLeft : at + line.naturalTextWidth();
        if (rightToLeft_ ? after > 0 : after < viewport()->width())
            paintSpan(painter, clip, std::max(selTo, origin), end, after, 0, 0, nullptr);
        if (preeditCaretShown_)
            caretX = preeditLeft + line.cursorToX(preeditCaret_);
    }
    caretRect_ = QRect();
    if (hasFocus() && !readOnly_ && caretX >= 0) {
        caretRect_ = QRect(int(std::floor(caretX)), top, CaretWidth + 1, lineHeight_);
        if (caretShown_)
            painter.fillRect(QRectF(caretX, top, CaretWidth, lineHeight_), palette().brush(QPalette::Text));
    }
}

// The composed text as one line in the field's font, with the input method's formats.
void TextPane::layoutPreedit(QTextLayout& layout) const
{
    layout.setText(preedit_);
    layout.setFont(fontFor(-1).font);
    layout.setFormats(preeditFormats_);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
}

// x of the composing caret from the start of the composed text.
qreal TextPane::preeditCaretX() const
{
    QTextLayout layout;
    layoutPreedit(layout);
    return layout.lineAt(0).cursorToX(preeditCaret_);
}

// Viewport x of the caret (of the composing caret while composing), from a walk no longer than the
// field is wide.
qreal TextPane::caretViewX() const
{
    const int origin = std::clamp(origin_, 0, int(text_.size()));
    const int at = composing() ? std::min(anchor_, caret_) : caret_;
    const qreal room = availableWidth();
    const qreal distance = at > origin ? std::min(widthBetween(origin, at, room), room + CaretWidth) : 0;
    if (rightToLeft_) {
        qreal x = singleLineStart() - distance;
        if (composing()) {
            QTextLayout preedit;
            layoutPreedit(preedit);
            x += preeditCaretX() - preedit.lineAt(0).naturalTextWidth();
        }
        return x;
    }
    qreal x = singleLineStart() + distance;
    if (composing())
        x += preeditCaretX();
    return x;
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
