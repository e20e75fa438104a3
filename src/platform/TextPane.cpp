#include "platform/FocusFrame.h"
#include "platform/TextPaneAccessible.h"
#include "platform/TextPaneInternals.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

#include <algorithm>

namespace fw {

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

char32_t codePointAt(const QString& text, int unit)
{
    const QChar c = text[unit];
    if (c.isHighSurrogate() && unit + 1 < text.size() && text[unit + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[unit + 1]);
    return c.unicode();
}

TextPane::TextPane(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    TextPaneAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    // A caret alone hardly tells which pane has the keys: the frame shows it, as a line edit's does.
    showFocusInFrame(this);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    updateMetrics();
    updateScrollBars();
}

TextPane::~TextPane() = default;

// ---- text and line index

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
    const QString removed = announcedText(0, int(text_.size()));
    if (!singleLine_ && text.contains(u'\r'))
        text_ = unifiedLineEnds(text, pendingCarriageReturn_);
    else {
        text_ = text;
        pendingCarriageReturn_ = false;
    }
    rebuildIndex();
    dropRuns();
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
    undoUnits_ = 0;
    typedEnd_ = -1;
    origin_ = 0;
    const int caret = singleLine_ ? int(text_.size()) : 0;
    select(caret, caret, singleLine_);
    emit textChanged();
    announceEdit(0, removed, int(text_.size()));
}

void TextPane::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    const std::shared_ptr<const SharedText> previous = leaveSharedText(true);
    const int oldLastLine = lineCount() - 1;
    const int base = int(text_.size());
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
    grewFrom(base, oldLastLine);
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
    grewFrom(base, oldLastLine);
}

void TextPane::grewFrom(int base, int oldLastLine)
{
    updateScrollBars();
    // Only the lines from the old last line on can change on screen.
    if (oldLastLine <= firstVisibleLine() + visibleLineCount() + 1)
        viewport()->update();
    emit textChanged();
    announceEdit(base, QString(), int(text_.size()) - base);
}

void TextPane::appendUnified(QStringView piece)
{
    if (piece.isEmpty())
        return;
    const int base = int(text_.size());
    keepPrimarySelectionText();
    text_.append(piece);
    chars_.append(piece);
    indexLinesFrom(base);
}

void TextPane::indexLinesFrom(int base)
{
    if (singleLine_) {
        // The whole text is one line, whatever it holds.
        longestLineUnits_ = int(text_.size());
        noteDirectionFrom(base);
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
    const int anchor = toUnit(anchorChar);
    const int caret = toUnit(caretChar);
    if (!singleLine_)
        revealSelection(anchor, caret);
    select(anchor, caret, singleLine_);
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
    announceSelection();
    const std::pair<int, int> now{std::min(anchor_, caret_), std::max(anchor_, caret_)};
    if (now != reported_) {
        reported_ = now;
        emit selectionChanged();
    }
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

} // namespace fw
