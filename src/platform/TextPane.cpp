#include "platform/TextPane.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr int LeftMargin = 4;
constexpr int TopMargin = 2;
constexpr int CaretWidth = 1;

// Turns "\r\n" and a lone "\r" into "\n". endsWithCarriageReturn tells whether the last unit was a
// "\r", whose "\n" may still come at the start of the next piece.
QString unifiedLineEnds(QStringView text, bool& endsWithCarriageReturn)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r') {
            out += c;
            continue;
        }
        out += u'\n';
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    endsWithCarriageReturn = !text.isEmpty() && text.back() == u'\r';
    return out;
}

// A view of part of a text without copying it, for Qt calls that take a QString.
QString rawPart(const QString& text, int from, int to)
{
    return QString::fromRawData(text.constData() + from, to - from);
}

char32_t codePointAt(const QString& text, int unit)
{
    const QChar c = text[unit];
    if (c.isHighSurrogate() && unit + 1 < text.size() && text[unit + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[unit + 1]);
    return c.unicode();
}

bool isWordCharacter(char32_t c)
{
    return c == U'_' || QChar::isLetterOrNumber(c);
}

} // namespace

bool operator==(const TextStyle& a, const TextStyle& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.size == b.size &&
           a.color == b.color;
}

struct TextPane::FontEntry {
    explicit FontEntry(const QFont& f)
        : font(f)
        , metrics(f)
    {
    }
    qreal advance(const QString& text, int from, int to) const
    {
        return to > from ? metrics.horizontalAdvance(rawPart(text, from, to)) : 0.0;
    }

    QFont font;
    QFontMetricsF metrics;
};

// Walks one line in pieces of one style each, measuring them; x is counted from the line's start.
class TextPaneSegments {
public:
    struct Segment {
        int from = 0;
        int to = 0;
        int style = -1;
        qreal x = 0;
        qreal width = 0;
        const TextPane::FontEntry* font = nullptr;
    };

    TextPaneSegments(const TextPane& pane, int line)
        : pane_(pane)
        , pos_(pane.lineStarts_[size_t(line)])
        , end_(pane.lineEndUnit(line))
        , it_(pane.runs_.upper_bound(pos_))
    {
        if (it_ != pane.runs_.begin()) {
            const auto previous = std::prev(it_);
            if (previous->second.end > pos_)
                it_ = previous;
        }
    }

    bool next(Segment& s)
    {
        if (pos_ >= end_)
            return false;
        s.from = pos_;
        s.style = -1;
        if (it_ != pane_.runs_.end() && it_->first <= pos_) {
            s.to = std::min(it_->second.end, end_);
            s.style = it_->second.style;
            ++it_;
        } else {
            s.to = it_ != pane_.runs_.end() ? std::min(it_->first, end_) : end_;
        }
        s.font = &pane_.fontFor(s.style);
        s.x = x_;
        s.width = s.font->advance(pane_.text_, s.from, s.to);
        x_ += s.width;
        pos_ = s.to;
        return true;
    }

    // Width of what has been walked so far.
    qreal x() const { return x_; }

private:
    const TextPane& pane_;
    int pos_;
    int end_;
    std::map<int, TextPane::Run>::const_iterator it_;
    qreal x_ = 0;
};

TextPane::TextPane(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    updateMetrics();
    updateScrollBars();
}

TextPane::~TextPane() = default;

// ---- text and line index

void TextPane::setText(const QString& text)
{
    if (text.contains(u'\r'))
        text_ = unifiedLineEnds(text, pendingCarriageReturn_);
    else {
        text_ = text;
        pendingCarriageReturn_ = false;
    }
    rebuildIndex();
    for (const auto& [start, run] : runs_)
        releaseStyle(run.style);
    runs_.clear();
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
    }
    widestSeen_ = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    select(0, 0, false);
    emit textChanged();
}

void TextPane::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    const int oldLastLine = lineCount() - 1;
    if (pendingCarriageReturn_ && text.front() == u'\n')
        text = text.sliced(1);
    pendingCarriageReturn_ = false;
    if (text.contains(u'\r')) {
        bool endsWithCarriageReturn = false;
        appendUnified(unifiedLineEnds(text, endsWithCarriageReturn));
        pendingCarriageReturn_ = endsWithCarriageReturn;
    } else {
        appendUnified(text);
    }
    updateScrollBars();
    // Only the lines from the old last line on can change on screen.
    if (oldLastLine <= firstVisibleLine() + visibleLineCount() + 1)
        viewport()->update();
    emit textChanged();
}

void TextPane::appendUnified(QStringView piece)
{
    if (piece.isEmpty())
        return;
    const int base = int(text_.size());
    text_.append(piece);
    chars_.append(piece);
    indexLinesFrom(base);
}

void TextPane::indexLinesFrom(int base)
{
    const QStringView added = QStringView(text_).sliced(base);
    int lineStart = lineStarts_.back();
    for (qsizetype k = added.indexOf(u'\n'); k >= 0; k = added.indexOf(u'\n', k + 1)) {
        const int end = base + int(k);
        longestLineUnits_ = std::max(longestLineUnits_, end - lineStart);
        lineStart = end + 1;
        lineStarts_.push_back(lineStart);
    }
    longestLineUnits_ = std::max(longestLineUnits_, int(text_.size()) - lineStart);
}

void TextPane::rebuildIndex()
{
    lineStarts_.assign(1, 0);
    longestLineUnits_ = 0;
    chars_.reset(text_);
    indexLinesFrom(0);
}

int TextPane::lineOfUnit(int unit) const
{
    return int(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), unit) - lineStarts_.begin()) - 1;
}

int TextPane::lineEndUnit(int line) const
{
    return line + 1 < lineCount() ? lineStarts_[size_t(line) + 1] - 1 : int(text_.size());
}

int TextPane::lineOfChar(int charPos) const
{
    return lineOfUnit(toUnit(charPos));
}

int TextPane::lineStartChar(int line) const
{
    return toCharPos(lineStarts_[size_t(std::clamp(line, 0, lineCount() - 1))]);
}

int TextPane::nextUnit(int unit) const
{
    const int size = int(text_.size());
    if (unit >= size)
        return size;
    if (text_[unit].isHighSurrogate() && unit + 1 < size && text_[unit + 1].isLowSurrogate())
        return unit + 2;
    return unit + 1;
}

int TextPane::previousUnit(int unit) const
{
    if (unit <= 0)
        return 0;
    if (text_[unit - 1].isLowSurrogate() && unit >= 2 && text_[unit - 2].isHighSurrogate())
        return unit - 2;
    return unit - 1;
}

void TextPane::replaceRange(int from, int to, const QString& with)
{
    text_.replace(from, to - from, with);
    pendingCarriageReturn_ = false;
    rebuildIndex();

    // Runs keep the characters they styled: the parts inside the replaced range go, later ones move.
    const int delta = int(with.size()) - (to - from);
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
    if (sizedStylesChanged_) {
        sizedStylesChanged_ = false;
        updateMetrics();
    }
    widestSeen_ = 0;
    updateScrollBars();
    viewport()->update();
    emit textChanged();
    const int caret = from + int(with.size());
    select(caret, caret, true);
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
        fonts_[slot] = std::make_unique<FontEntry>(f);
    }
    return *fonts_[slot];
}

void TextPane::updateMetrics()
{
    fonts_.clear();
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

void TextPane::updateScrollBars()
{
    scrollBarUpdatePending_ = false;
    const QSize view = viewSize();
    const int visible = visibleLineCount();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, lineCount() - visible));
    v->setPageStep(visible);
    v->setSingleStep(1);
    const qreal content = std::max(longestLineUnits_ * charWidth_, widestSeen_) + 2 * LeftMargin + CaretWidth;
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

qreal TextPane::xOfUnit(int line, int unit) const
{
    TextPaneSegments walk(*this, line);
    TextPaneSegments::Segment s;
    while (walk.next(s)) {
        if (unit < s.to)
            return s.x + s.font->advance(text_, s.from, std::max(unit, s.from));
    }
    return walk.x();
}

int TextPane::unitAtX(int line, qreal x) const
{
    TextPaneSegments walk(*this, line);
    TextPaneSegments::Segment s;
    while (walk.next(s)) {
        if (x >= s.x + s.width)
            continue;
        // The last boundary at or left of x, by bisection over the prefix widths.
        const qreal rel = x - s.x;
        int lo = s.from;
        int hi = s.to;
        while (hi - lo > 1) {
            int mid = lo + (hi - lo) / 2;
            if (text_[mid].isLowSurrogate() && text_[mid - 1].isHighSurrogate())
                --mid;
            if (mid <= lo)
                break;
            if (s.font->advance(text_, s.from, mid) <= rel)
                lo = mid;
            else
                hi = mid;
        }
        const int after = nextUnit(lo);
        const qreal left = s.font->advance(text_, s.from, lo);
        const qreal right = s.font->advance(text_, s.from, after);
        return rel - left <= right - rel ? lo : after;
    }
    return lineEndUnit(line);
}

int TextPane::unitAt(const QPoint& viewportPoint) const
{
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
    const int line = lineOfUnit(unit);
    const int first = firstVisibleLine();
    const int visible = visibleLineCount();
    if (line < first)
        setFirstVisibleLine(line);
    else if (line >= first + visible)
        setFirstVisibleLine(line - visible + 1);

    const qreal x = xOfUnit(line, unit);
    const int width = viewSize().width() - 2 * LeftMargin - CaretWidth;
    QScrollBar* h = horizontalScrollBar();
    if (x > widestSeen_) {
        widestSeen_ = x;
        if (std::ceil(x) + 2 * LeftMargin + CaretWidth > h->maximum() + viewSize().width())
            updateScrollBars();
    }
    if (x < h->value())
        h->setValue(int(std::floor(x)));
    else if (x > h->value() + std::max(0, width))
        h->setValue(int(std::ceil(x)) - std::max(0, width));
}

// ---- painting

void TextPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
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
    if (widestSeen_ > widestBefore && widestSeen_ > longestLineUnits_ * charWidth_)
        scheduleScrollBarUpdate();
}

void TextPane::paintLine(QPainter& painter, int line, qreal left, int top, int selFrom, int selTo)
{
    const qreal right = viewport()->width();
    const QColor textColor = palette().color(QPalette::Text);
    const QBrush highlight = palette().brush(QPalette::Active, QPalette::Highlight);
    const QColor highlightedText = palette().color(QPalette::Active, QPalette::HighlightedText);
    const int baseline = top + ascent_;

    TextPaneSegments walk(*this, line);
    TextPaneSegments::Segment s;
    bool cut = false;
    while (walk.next(s)) {
        const qreal sx = left + s.x;
        if (sx > right) {
            cut = true;
            break;
        }
        if (sx + s.width < 0)
            continue;
        painter.setFont(s.font->font);
        const QColor runColor =
            s.style >= 0 && styles_[size_t(s.style)].style.color.isValid() ? styles_[size_t(s.style)].style.color : textColor;
        // The segment in up to three parts: before, inside and after the selection.
        const int a = std::clamp(selFrom, s.from, s.to);
        const int b = std::clamp(selTo, s.from, s.to);
        const int bounds[4] = {s.from, a, b, s.to};
        for (int part = 0; part < 3; ++part) {
            const int from = bounds[part];
            const int to = bounds[part + 1];
            if (from >= to)
                continue;
            const qreal px = sx + s.font->advance(text_, s.from, from);
            const bool selected = part == 1;
            if (selected) {
                const qreal pw = s.font->advance(text_, from, to);
                painter.fillRect(QRectF(px, top, pw, lineHeight_), highlight);
            }
            painter.setPen(selected ? highlightedText : runColor);
            painter.drawText(QPointF(px, baseline), rawPart(text_, from, to));
        }
    }
    if (cut) {
        widestSeen_ = std::max(widestSeen_, s.x);
        return;
    }
    widestSeen_ = std::max(widestSeen_, walk.x());
    // A selected line end shows as a small box after the line's text.
    const int end = lineEndUnit(line);
    if (line + 1 < lineCount() && selFrom <= end && end < selTo)
        painter.fillRect(QRectF(left + walk.x(), top, charWidth_ / 2, lineHeight_), highlight);
}

// ---- selection

int TextPane::selectionStart() const
{
    return toCharPos(std::min(anchor_, caret_));
}

int TextPane::selectionLength() const
{
    return toCharPos(std::max(anchor_, caret_)) - selectionStart();
}

int TextPane::caretPosition() const
{
    return toCharPos(caret_);
}

QString TextPane::selectedText() const
{
    const int from = std::min(anchor_, caret_);
    return text_.mid(from, std::max(anchor_, caret_) - from);
}

void TextPane::setSelection(int anchorChar, int caretChar)
{
    select(toUnit(anchorChar), toUnit(caretChar), true);
}

void TextPane::select(int anchorUnit, int caretUnit, bool revealCaret, bool keepGoalX)
{
    anchor_ = anchorUnit;
    caret_ = caretUnit;
    if (!keepGoalX)
        goalX_ = -1;
    if (revealCaret) {
        if (anchor_ != caret_)
            reveal(anchor_);
        reveal(caret_);
    }
    viewport()->update();
    const std::pair<int, int> now{std::min(anchor_, caret_), std::max(anchor_, caret_)};
    if (now != reported_) {
        reported_ = now;
        emit selectionChanged();
    }
}

void TextPane::moveCaret(int unit, bool extend, bool keepGoalX)
{
    select(extend ? anchor_ : unit, unit, true, keepGoalX);
}

void TextPane::moveLines(int delta, bool extend)
{
    const int line = lineOfUnit(caret_);
    if (goalX_ < 0)
        goalX_ = xOfUnit(line, caret_);
    const int target = std::clamp(line + delta, 0, lineCount() - 1);
    moveCaret(target == line ? caret_ : unitAtX(target, goalX_), extend, true);
}

void TextPane::selectWordAt(int unit)
{
    const int line = lineOfUnit(unit);
    const int start = lineStarts_[size_t(line)];
    const int end = lineEndUnit(line);
    const auto wordAt = [this, end](int u) { return u < end && isWordCharacter(codePointAt(text_, u)); };
    // A click on the right half of a word's last character lands after it: take that word.
    if (!wordAt(unit) && unit > start && wordAt(previousUnit(unit)))
        unit = previousUnit(unit);
    if (!wordAt(unit)) {
        select(unit, unit < end ? nextUnit(unit) : unit, true);
        return;
    }
    int from = unit;
    while (from > start && wordAt(previousUnit(from)))
        from = previousUnit(from);
    int to = unit;
    while (wordAt(to))
        to = nextUnit(to);
    select(from, to, true);
}

void TextPane::copySelection() const
{
    if (anchor_ != caret_)
        QGuiApplication::clipboard()->setText(selectedText());
}

void TextPane::setReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
}

// ---- events

bool TextPane::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            (!readOnly_ && (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)))) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TextPane::keyPressEvent(QKeyEvent* event)
{
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int selFrom = std::min(anchor_, caret_);
    const int selTo = std::max(anchor_, caret_);
    event->accept();
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        select(0, int(text_.size()), true);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveCaret(!extend && selFrom != selTo ? selFrom : previousUnit(caret_), extend);
        return;
    case Qt::Key_Right:
        moveCaret(!extend && selFrom != selTo ? selTo : nextUnit(caret_), extend);
        return;
    case Qt::Key_Up:
        moveLines(-1, extend);
        return;
    case Qt::Key_Down:
        moveLines(1, extend);
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = event->key() == Qt::Key_PageUp ? -visibleLineCount() : visibleLineCount();
        setFirstVisibleLine(firstVisibleLine() + page);
        moveLines(page, extend);
        return;
    }
    case Qt::Key_Home:
        moveCaret(control ? 0 : lineStarts_[size_t(lineOfUnit(caret_))], extend);
        return;
    case Qt::Key_End:
        moveCaret(control ? int(text_.size()) : lineEndUnit(lineOfUnit(caret_)), extend);
        return;
    default:
        break;
    }
    if (!readOnly_) {
        if (event->matches(QKeySequence::Cut)) {
            copySelection();
            if (selFrom != selTo)
                replaceRange(selFrom, selTo, QString());
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            bool endsWithCarriageReturn = false;
            const QString pasted = unifiedLineEnds(QGuiApplication::clipboard()->text(), endsWithCarriageReturn);
            if (!pasted.isEmpty() || selFrom != selTo)
                replaceRange(selFrom, selTo, pasted);
            return;
        }
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            replaceRange(selFrom, selTo, QStringLiteral("\n"));
            return;
        case Qt::Key_Backspace:
            if (selFrom != selTo)
                replaceRange(selFrom, selTo, QString());
            else if (caret_ > 0)
                replaceRange(previousUnit(caret_), caret_, QString());
            return;
        case Qt::Key_Delete:
            if (selFrom != selTo)
                replaceRange(selFrom, selTo, QString());
            else if (caret_ < text_.size())
                replaceRange(caret_, nextUnit(caret_), QString());
            return;
        default:
            break;
        }
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() != 0x7F;
        });
        if (printable && !control && !(event->modifiers() & Qt::MetaModifier)) {
            replaceRange(selFrom, selTo, typed);
            return;
        }
    }
    event->ignore();
}

void TextPane::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int unit = unitAt(event->position().toPoint());
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    select(extend ? anchor_ : unit, unit, true);
    dragging_ = true;
}

void TextPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    select(anchor_, unitAt(event->position().toPoint()), true);
}

void TextPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
}

void TextPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    selectWordAt(unitAt(event->position().toPoint()));
    dragging_ = false;
}

void TextPane::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void TextPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextPane::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        widestSeen_ = 0;
        updateScrollBars();
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
