#include "platform/TextPaneAccessible.h"

#include "platform/TextPaneInternals.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace fw {

namespace {

// How far from the offset asked for a word or a sentence is looked for: a longer one comes cut there.
constexpr int WordReach = 1024;
constexpr int SentenceReach = 4096;
constexpr int CharacterReach = 64;

QAccessibleInterface* createForPane(const QString& className, QObject* object)
{
    if (object && object->isWidgetType() && className == QLatin1String(TextPane::staticMetaObject.className()))
        return new TextPaneAccessible(static_cast<TextPane*>(object));
    return nullptr;
}

} // namespace

// ---- the pane's side

QString TextPane::accessibleText(int from, int to) const
{
    const int size = int(text_.size());
    from = pairStart(std::clamp(from, 0, size));
    to = std::clamp(to, from, size);
    if (to - from > MaxAccessibleUnits)
        to = pairStart(from + MaxAccessibleUnits);
    return text_.mid(from, to - from);
}

QString TextPane::announcedText(int from, int to) const
{
    return QAccessible::isActive() ? accessibleText(from, to) : QString();
}

void TextPane::announceEdit(int from, const QString& removed, int insertedLength)
{
    if (!QAccessible::isActive())
        return;
    const QString inserted = accessibleText(from, from + insertedLength);
    if (removed.isEmpty() && !inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, from, inserted);
        QAccessible::updateAccessibility(&event);
    } else if (inserted.isEmpty() && !removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, from, removed);
        QAccessible::updateAccessibility(&event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextUpdateEvent event(this, from, removed, inserted);
        QAccessible::updateAccessibility(&event);
    }
    if (singleLine_) {
        QAccessibleValueChangeEvent event(this, accessibleText(0, int(text_.size())));
        QAccessible::updateAccessibility(&event);
    }
}

void TextPane::announceSelection()
{
    const std::pair<int, int> now{std::min(anchor_, caret_), std::max(anchor_, caret_)};
    const bool caretMoved = caret_ != announcedCaret_;
    announcedCaret_ = caret_;
    if (!QAccessible::isActive())
        return;
    if (now != reported_) {
        QAccessibleTextSelectionEvent event(this, now.first, now.second);
        event.setCursorPosition(caret_);
        QAccessible::updateAccessibility(&event);
    }
    if (caretMoved) {
        QAccessibleTextCursorEvent event(this, caret_);
        QAccessible::updateAccessibility(&event);
    }
}

QRect TextPane::unitRect(int unit) const
{
    const int size = int(text_.size());
    unit = std::clamp(unit, 0, size);
    const int next = nextUnit(unit);
    if (singleLine_) {
        const int origin = std::clamp(origin_, 0, size);
        const qreal room = availableWidth();
        if (unit < origin)
            return {};
        const qreal x = widthBetween(origin, unit, room);
        if (x > room + CaretWidth)
            return {};
        const qreal width = next > unit ? blockWidth(unit, next) : charWidth_;
        const qreal left = rightToLeft_ ? singleLineStart() - x - width : singleLineStart() + x;
        return QRectF(left, singleLineTop(), width, lineHeight_).toAlignedRect();
    }
    const int line = lineOfUnit(unit);
    const int first = firstVisibleLine();
    if (line < first || line > first + visibleLineCount())
        return {};
    const qreal left = LeftMargin - horizontalScrollBar()->value();
    const qreal x = xOfUnit(line, unit);
    const qreal right = next > unit && next <= lineEndUnit(line) ? xOfUnit(line, next) : x + charWidth_;
    return QRectF(left + x, TopMargin + (line - first) * lineHeight_, std::max<qreal>(right - x, 1), lineHeight_)
        .toAlignedRect();
}

// ---- the interface

TextPaneAccessible::TextPaneAccessible(TextPane* pane)
    : QAccessibleWidget(pane, QAccessible::EditableText)
{
}

void TextPaneAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&createForPane);
        return true;
    }();
    (void)installed;
}

TextPane* TextPaneAccessible::pane() const
{
    return static_cast<TextPane*>(widget());
}

QAccessible::Role TextPaneAccessible::role() const
{
    return QAccessible::EditableText;
}

QAccessible::State TextPaneAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !pane()->readOnly_;
    s.readOnly = pane()->readOnly_;
    s.multiLine = !pane()->singleLine_;
    s.selectableText = true;
    return s;
}

QString TextPaneAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return pane()->accessibleText(0, characterCount());
    return QAccessibleWidget::text(t);
}

void* TextPaneAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (t == QAccessible::EditableTextInterface && !pane()->readOnly_)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QList<QWidget*> TextPaneAccessible::scrollBars() const
{
    QList<QWidget*> bars;
    for (QWidget* bar : {static_cast<QWidget*>(pane()->horizontalScrollBar()), static_cast<QWidget*>(pane()->verticalScrollBar())})
        if (bar->isVisible())
            bars << bar;
    return bars;
}

int TextPaneAccessible::childCount() const
{
    return int(scrollBars().size());
}

QAccessibleInterface* TextPaneAccessible::child(int index) const
{
    const QList<QWidget*> bars = scrollBars();
    return index >= 0 && index < bars.size() ? QAccessible::queryAccessibleInterface(bars[index]) : nullptr;
}

int TextPaneAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return child ? int(scrollBars().indexOf(child->object())) : -1;
}

QAccessibleInterface* TextPaneAccessible::childAt(int x, int y) const
{
    for (QWidget* bar : scrollBars())
        if (QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size()).contains(x, y))
            return QAccessible::queryAccessibleInterface(bar);
    return nullptr;
}

// ---- text interface

int TextPaneAccessible::clampOffset(int offset) const
{
    return pane()->pairStart(std::clamp(offset, 0, characterCount()));
}

// An offset as assistive tools give it: -2 the caret, -1 the end, else clamped to a character start.
int TextPaneAccessible::askedOffset(int offset) const
{
    if (offset == -2)
        return cursorPosition();
    if (offset == -1)
        return characterCount();
    return clampOffset(offset);
}

void TextPaneAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    const TextPane* p = pane();
    if (selectionIndex == 0 && p->anchor_ != p->caret_) {
        *startOffset = std::min(p->anchor_, p->caret_);
        *endOffset = std::max(p->anchor_, p->caret_);
    }
}

int TextPaneAccessible::selectionCount() const
{
    return pane()->anchor_ != pane()->caret_ ? 1 : 0;
}

void TextPaneAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TextPaneAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        pane()->select(pane()->caret_, pane()->caret_, false);
}

void TextPaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        pane()->select(clampOffset(startOffset), clampOffset(endOffset), true);
}

int TextPaneAccessible::cursorPosition() const
{
    return pane()->caret_;
}

void TextPaneAccessible::setCursorPosition(int position)
{
    const int unit = clampOffset(position);
    pane()->select(unit, unit, true);
}

QString TextPaneAccessible::text(int startOffset, int endOffset) const
{
    return pane()->accessibleText(startOffset, endOffset);
}

int TextPaneAccessible::characterCount() const
{
    return int(pane()->text_.size());
}

// The segment of the given kind holding offset, from the text around it; for the characters of
// the text's end, the empty segment there.
TextPaneAccessible::Segment TextPaneAccessible::segmentAt(int offset, QAccessible::TextBoundaryType type) const
{
    const TextPane* p = pane();
    const QString& text = p->text_;
    const int size = int(text.size());
    QTextBoundaryFinder::BoundaryType finderType = QTextBoundaryFinder::Grapheme;
    int reach = CharacterReach;
    switch (type) {
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: {
        if (p->singleLine_)
            return {0, size};
        const int line = p->lineOfUnit(offset);
        return {p->lineStarts_[size_t(line)], line + 1 < p->lineCount() ? p->lineStarts_[size_t(line) + 1] : size};
    }
    case QAccessible::NoBoundary:
        return {0, size};
    case QAccessible::WordBoundary:
        finderType = QTextBoundaryFinder::Word;
        reach = WordReach;
        break;
    case QAccessible::SentenceBoundary:
        finderType = QTextBoundaryFinder::Sentence;
        reach = SentenceReach;
        break;
    case QAccessible::CharBoundary:
        break;
    }
    if (offset >= size)
        return {size, size};
    const int from = p->pairStart(std::max(0, offset - reach));
    const int to = p->pairStart(std::min(size, offset + reach));
    QTextBoundaryFinder finder(finderType, QStringView(text).sliced(from, to - from));
    finder.setPosition(offset - from);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    const int start = int(std::max<qsizetype>(finder.position(), 0));
    const qsizetype end = finder.toNextBoundary();
    return {from + start, end < 0 ? to : from + int(end)};
}

// The text of a segment, at most MaxAccessibleUnits of it around offset.
QString TextPaneAccessible::answer(Segment segment, int offset, int* startOffset, int* endOffset) const
{
    constexpr int limit = TextPane::MaxAccessibleUnits;
    if (segment.to - segment.from > limit) {
        const int from = std::clamp(offset - limit / 2, segment.from, segment.to - limit);
        segment = {from, from + limit};
    }
    const QString text = pane()->accessibleText(segment.from, segment.to);
    *startOffset = clampOffset(segment.from);
    *endOffset = *startOffset + int(text.size());
    return text;
}

QString TextPaneAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                         int* endOffset) const
{
    offset = askedOffset(offset);
    return answer(segmentAt(offset, boundaryType), offset, startOffset, endOffset);
}

QString TextPaneAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int* startOffset, int* endOffset) const
{
    offset = askedOffset(offset);
    const Segment at = segmentAt(offset, boundaryType);
    if (at.from <= 0) {
        *startOffset = *endOffset = 0;
        return {};
    }
    const int before = clampOffset(at.from - 1);
    return answer(segmentAt(before, boundaryType), before, startOffset, endOffset);
}

QString TextPaneAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const
{
    offset = askedOffset(offset);
    const Segment at = segmentAt(offset, boundaryType);
    if (at.to >= characterCount()) {
        *startOffset = *endOffset = characterCount();
        return {};
    }
    return answer(segmentAt(at.to, boundaryType), at.to, startOffset, endOffset);
}

QRect TextPaneAccessible::characterRect(int offset) const
{
    const QRect cell = pane()->unitRect(clampOffset(offset));
    if (cell.isEmpty())
        return {};
    return QRect(pane()->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

int TextPaneAccessible::offsetAtPoint(const QPoint& point) const
{
    const QWidget* viewport = pane()->viewport();
    const QPoint local = viewport->mapFromGlobal(point);
    if (!viewport->rect().contains(local))
        return -1;
    return pane()->unitAt(local);
}

void TextPaneAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    pane()->reveal(clampOffset(endIndex));
    pane()->reveal(clampOffset(startIndex));
}

QString TextPaneAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

// ---- editable text interface

void TextPaneAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TextPaneAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void TextPaneAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    TextPane* p = pane();
    if (p->readOnly_)
        return;
    const int from = clampOffset(std::min(startOffset, endOffset));
    const int to = clampOffset(std::max(startOffset, endOffset));
    p->insertIncoming(from, to, p->incomingText(text));
}

} // namespace fw
