#include "platform/TextPane.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextCharFormat>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace fw {

namespace {

constexpr int LeftMargin = 4;
constexpr int TopMargin = 2;
constexpr int CaretWidth = 1;
// A long line is measured and laid out in blocks of about this many UTF-16 units, so that showing
// any part of it lays out a few blocks only.
constexpr int BlockUnits = 128;
// A block boundary moves on by at most this many units so as not to split a character or a
// character with the marks that follow it.
constexpr int BoundarySlack = 16;
// Long lines whose block positions are kept; more lines than fit in a view, few enough to search.
constexpr size_t CachedLongLines = 256;
// Horizontal scroll positions stay far inside int, whatever the text size.
constexpr qreal MaxContentWidth = INT_MAX / 4;
// Drawn after a line that is cut, where its hidden rest begins.
constexpr char16_t CutMark = u'\u2026';
// Single-line mode: drawn, dim, in place of each "\n" and "\r" of the text, one unit for one unit.
constexpr char16_t LineEndMark = u'\u21B5';
// Single-line mode: a walk back from the caret for the first shown character gives up after this
// many units, so that a run of zero-width characters cannot make it long.
constexpr int MaxWalkUnits = 1 << 16;
// Single-line mode: undo steps kept.
constexpr size_t MaxUndoSteps = 100;

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

bool operator==(const TextStyle& a, const TextStyle& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.size == b.size &&
           a.color == b.color;
}

struct TextPane::FontEntry {
    FontEntry(const QFont& f, const QPaintDevice* device)
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

    // The advance of a character for which isSeparateWide holds, or of the line end mark, measured once.
    qreal wideAdvance(char16_t c) const
    {
        const auto known = wideAdvances.constFind(c);
        if (known != wideAdvances.constEnd())
            return *known;
        const qreal advance = metrics.horizontalAdvance(QChar(c));
        wideAdvances.insert(c, advance);
        return advance;
    }

    QFont font;
    QFontMetricsF metrics;
    qreal cellWidth = 0; // the advance of every printable ASCII character, or 0 when they differ
    mutable QHash<char16_t, qreal> wideAdvances;
};

// Where the blocks of one long line end and how far from the line's start each block's right edge
// lies. Blocks are measured from the line's start on and only as far as someone looked.
struct TextPane::LineBlocks {
    int line = -1;
    int start = 0; // the line's first unit
    int knownEnd = 0; // the line's end when the blocks were measured
    std::vector<int> ends;
    std::vector<qreal> rights;
    quint64 lastUse = 0;
};

// One block of a line laid out as the view draws it: one shaping for the glyphs, the caret and the
// selection alike.
struct TextPane::BlockLayout {
    BlockLayout(const TextPane& pane, int blockFrom, int blockTo)
        : from(blockFrom)
        , to(blockTo)
        , layout(pane.singleLine_ ? withLineEndMarks(pane.text_, from, to) : rawPart(pane.text_, from, to),
                 pane.fontFor(-1).font, pane.viewport())
    {
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTextDirection(Qt::LeftToRight);
        layout.setTextOption(option);
        QList<QTextLayout::FormatRange> formats;
        for (auto it = pane.runCovering(from); it != pane.runs_.end() && it->first < to; ++it) {
            QTextLayout::FormatRange range;
            range.start = std::max(it->first, from) - from;
            range.length = std::min(it->second.end, to) - from - range.start;
            const TextStyle& style = pane.styles_[size_t(it->second.style)].style;
            range.format.setFont(pane.fontFor(it->second.style).font, QTextCharFormat::FontPropertiesAll);
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

    // x of a unit of the block, from the block's left edge.
    qreal xOf(int unit) const
    {
        const int at = std::clamp(unit, from, to) - from;
        return lineAt(at).cursorToX(at);
    }
    // The unit nearest to x (from the block's left edge); never inside a character.
    int unitAt(qreal x) const
    {
        for (const QTextLine& piece : lines) {
            if (x < piece.x() + piece.horizontalAdvance())
                return from + piece.xToCursor(x, QTextLine::CursorBetweenCharacters);
        }
        return to;
    }
    // Draws the block with its top-left corner at topLeft.
    void draw(QPainter& painter, QPointF topLeft, const QList<QTextLayout::FormatRange>& selections) const
    {
        layout.draw(&painter, topLeft, selections);
    }

    int from;
    int to;
    QTextLayout layout;
    std::vector<QTextLine> lines;
    qreal ascent = 0; // the largest ascent of the block's glyphs
    qreal width = 0;

private:
    const QTextLine& lineAt(int offset) const
    {
        for (const QTextLine& piece : lines) {
            if (offset < piece.textStart() + piece.textLength())
                return piece;
        }
        return lines.back();
    }
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

bool SharedText::append(QStringView piece, qsizetype maxSize)
{
    if (piece.isEmpty())
        return true;
    if (pendingCarriageReturn_ && piece.front() == u'\n')
        piece = piece.sliced(1);
    pendingCarriageReturn_ = false;
    const qsizetype before = text_.size();
    qsizetype room = std::max<qsizetype>(0, std::min<qsizetype>(maxSize, std::numeric_limits<int>::max()) - before);
    bool whole = true;
    // Stretches without "\r" go in as they are; each "\r" (with the "\n" after it) becomes one "\n".
    for (qsizetype from = 0; from < piece.size();) {
        const qsizetype cr = piece.indexOf(u'\r', from);
        const QStringView stretch = piece.sliced(from, (cr < 0 ? piece.size() : cr) - from);
        if (stretch.size() > room) {
            qsizetype keep = room;
            if (keep > 0 && stretch[keep - 1].isHighSurrogate() && stretch[keep].isLowSurrogate())
                --keep;
            text_.append(stretch.first(keep));
            whole = false;
            break;
        }
        text_.append(stretch);
        room -= stretch.size();
        if (cr < 0)
            break;
        if (room == 0) {
            whole = false;
            break;
        }
        text_.append(u'\n');
        --room;
        from = cr + 1;
        if (from < piece.size() && piece[from] == u'\n')
            ++from;
        else if (from == piece.size())
            pendingCarriageReturn_ = true;
    }
    if (text_.size() == before)
        return whole;
    const QStringView added = QStringView(text_).sliced(before);
    for (qsizetype k = added.indexOf(u'\n'); k >= 0; k = added.indexOf(u'\n', k + 1))
        lineStarts_.push_back(int(before + k + 1));
    emit grew();
    return whole;
}

void TextPane::LineStarts::share(const QList<int>& starts)
{
    own_ = QList<int>();
    starts_ = &starts;
}

void TextPane::LineStarts::unshare(bool keepStarts)
{
    if (keepStarts)
        own_ = *starts_;
    else
        own_ = QList<int>{0};
    starts_ = &own_;
}

void TextPane::setText(const QString& text)
{
    // Held to the end of the call: text may be the shared text itself.
    const std::shared_ptr<const SharedText> previous = leaveSharedText(false);
    replaceText(text);
}

// setText's work, also for a shared text (then text is a view of it and the index is the text's).
void TextPane::replaceText(const QString& text)
{
    if (!singleLine_ && text.contains(u'\r'))
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
    undo_.clear();
    redo_.clear();
    typedEnd_ = -1;
    origin_ = 0;
    const int caret = singleLine_ ? int(text_.size()) : 0;
    select(caret, caret, singleLine_);
    emit textChanged();
}

void TextPane::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    const std::shared_ptr<const SharedText> previous = leaveSharedText(true);
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

void TextPane::showSharedText(std::shared_ptr<const SharedText> text)
{
    const std::shared_ptr<const SharedText> previous = leaveSharedText(false);
    shared_ = std::move(text);
    sharedGrowth_ = connect(shared_.get(), &SharedText::grew, this, &TextPane::followSharedText);
    lineStarts_.share(shared_->lineStarts());
    const QString& whole = shared_->text();
    // A view, not a copy; kept as it is, since a shared text holds no "\r".
    replaceText(QString::fromRawData(whole.constData(), whole.size()));
}

// Stops following the shared text; with keepText the pane goes on with a private copy of it, else
// the caller replaces text_ at once. The shared text is returned so that the caller can keep it alive
// while it still reads from it.
std::shared_ptr<const SharedText> TextPane::leaveSharedText(bool keepText)
{
    if (!shared_)
        return nullptr;
    disconnect(sharedGrowth_);
    if (keepText)
        text_ = QString(text_.constData(), text_.size());
    lineStarts_.unshare(keepText);
    return std::exchange(shared_, nullptr);
}

// The shared text grew: re-point the view (its buffer may have moved) and index the new part only.
void TextPane::followSharedText()
{
    const QString& whole = shared_->text();
    const int base = int(text_.size());
    const int oldLastLine = lineCount() - 1;
    text_ = QString::fromRawData(whole.constData(), whole.size());
    chars_.append(QStringView(text_).sliced(base));
    // The shared index has the new line starts already.
    measureLinesFrom(size_t(oldLastLine) + 1);
    updateScrollBars();
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
    if (singleLine_) {
        // The whole text is one line, whatever it holds.
        longestLineUnits_ = int(text_.size());
        return;
    }
    const QStringView added = QStringView(text_).sliced(base);
    QList<int>& starts = lineStarts_.own();
    int lineStart = starts.back();
    for (qsizetype k = added.indexOf(u'\n'); k >= 0; k = added.indexOf(u'\n', k + 1)) {
        const int end = base + int(k);
        longestLineUnits_ = std::max(longestLineUnits_, end - lineStart);
        lineStart = end + 1;
        starts.push_back(lineStart);
    }
    longestLineUnits_ = std::max(longestLineUnits_, int(text_.size()) - lineStart);
}

// With the starts of lines firstNewLine onwards already in the index: the longest line is brought up
// to date from the line before them on, in time of the new lines.
void TextPane::measureLinesFrom(size_t firstNewLine)
{
    for (size_t i = std::max<size_t>(firstNewLine, 1); i < lineStarts_.size(); ++i)
        longestLineUnits_ = std::max(longestLineUnits_, lineStarts_[i] - 1 - lineStarts_[i - 1]);
    longestLineUnits_ = std::max(longestLineUnits_, int(text_.size()) - lineStarts_.back());
}

void TextPane::rebuildIndex()
{
    longestLineUnits_ = 0;
    forgetLayout();
    chars_.reset(text_);
    if (lineStarts_.shared()) {
        measureLinesFrom(1);
        return;
    }
    lineStarts_.own() = QList<int>{0};
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
    const std::shared_ptr<const SharedText> previous = leaveSharedText(true);
    text_.replace(from, to - from, with);
    pendingCarriageReturn_ = false;
    if (singleLine_)
        shiftIndexes(from, to, with);
    else
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

int TextPane::boundaryFrom(int unit, int end) const
{
    for (int moved = 0; unit < end && moved < BoundarySlack && !startsCharacter(unit); ++moved)
        ++unit;
    return std::min(unit, end);
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
    auto run = runCovering(from);
    for (int unit = from; unit < to; ++unit) {
        while (run != runs_.end() && run->second.end <= unit)
            ++run;
        const FontEntry& font = fontFor(run != runs_.end() && run->first <= unit ? run->second.style : -1);
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
        return singleLineUnitAt(viewportPoint.x() - singleLineLeft());
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
    const int first = firstVisibleLine();
    const int visible = visibleLineCount();
    if (line < first)
        setFirstVisibleLine(line);
    else if (line >= first + visible)
        setFirstVisibleLine(line - visible + 1);

    // A caret in the hidden rest of a cut line stands at the cut; the mark after it comes into view too.
    const qreal x = xOfUnit(line, unit) + (unit > shownEndUnit(line) ? cutMarkWidth() : 0);
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

// ---- painting

void TextPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().brush(QPalette::Base));
    if (singleLine_) {
        paintSingleLine(painter, event->rect());
        return;
    }
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
        if (anchor_ != caret_ && !singleLine_)
            reveal(anchor_);
        reveal(caret_);
    }
    if (singleLine_)
        restartBlink();
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
    // Only the shown part of a line is searched: a click never lands beyond it.
    const int end = singleLine_ ? lineEndUnit(line) : std::max(unit, shownEndUnit(line));
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
    setAttribute(Qt::WA_InputMethodEnabled, singleLine_ && !readOnly_);
    viewport()->update();
}

// ---- events

// Single-line mode: keys an editable field takes before any shortcut of its window, as line edits do.
static bool overridesShortcut(const QKeyEvent* key)
{
    if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
        return true;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return true;
    default:
        break;
    }
    const QString typed = key->text();
    return !typed.isEmpty() && typed.front().unicode() >= 0x20 && typed.front().unicode() != 0x7F;
}

bool TextPane::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            (!readOnly_ && (key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)))) {
            event->accept();
            return true;
        }
        if (singleLine_ && !readOnly_ && overridesShortcut(key)) {
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
    if (singleLine_) {
        if (!readOnly_ && (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))) {
            undoOrRedo(event->matches(QKeySequence::Redo));
            return;
        }
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->ignore();
            return;
        default:
            break;
        }
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
            userEdit(selFrom, selTo, QString());
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            bool endsWithCarriageReturn = false;
            const QString clip = QGuiApplication::clipboard()->text();
            const QString pasted = singleLine_ ? clip : unifiedLineEnds(clip, endsWithCarriageReturn);
            userEdit(selFrom, selTo, pasted);
            return;
        }
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            userEdit(selFrom, selTo, QStringLiteral("\n"));
            return;
        case Qt::Key_Backspace:
            if (selFrom != selTo)
                userEdit(selFrom, selTo, QString());
            else if (caret_ > 0)
                userEdit(previousUnit(caret_), caret_, QString());
            return;
        case Qt::Key_Delete:
            if (selFrom != selTo)
                userEdit(selFrom, selTo, QString());
            else if (caret_ < text_.size())
                userEdit(caret_, nextUnit(caret_), QString());
            return;
        default:
            break;
        }
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() != 0x7F;
        });
        if (printable && !control && !(event->modifiers() & Qt::MetaModifier)) {
            userEdit(selFrom, selTo, typed, true);
            return;
        }
    }
    event->ignore();
}

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
    if (singleLine_) {
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            select(0, int(text_.size()), true);
        restartBlink();
    }
    viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (singleLine_) {
        blink_.stop();
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            select(caret_, caret_, false);
    }
    viewport()->update();
}

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
