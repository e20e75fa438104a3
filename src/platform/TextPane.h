#pragma once

#include "platform/SharedText.h"
#include "platform/TextHelpers.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QClipboard>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QTextLayout>

#include <climits>
#include <limits>

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>


class QMenu;
class QMimeData;

namespace fw {

class TextPaneAccessible;

// Look of a run of characters in a multi-line field; size 0 keeps the field's text size.
struct TextStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int size = 0;
    QColor color = Qt::black;
};

bool operator==(const TextStyle& a, const TextStyle& b);

// A multi-line text view for very large texts that grow at their end (a report of millions of lines).
//
// The text is held once, with the UTF-16 offset of every line start beside it; appending costs time
// in the appended length only, and painting lays out only the visible lines, so the cost of a width
// change or a scroll does not depend on the size of the text. Lines never wrap. A frame around the
// view is drawn as a line edit's, with the focus (showFocusInFrame), over the pixels a plain one takes.
//
// Long lines: a line is laid out in blocks of about 128 UTF-16 units, each shaped once with one
// QTextLayout from which its glyphs, the caret and the selection all take their x, so the three line
// up (also where fonts fall back, kern or join). Painting, clicking and placing the caret lay out
// only the blocks they touch; the x of a block comes from the widths of the blocks before it, which
// are measured once and kept for the long lines seen lately. Printable ASCII in a font whose
// printable ASCII is all of one advance, CJK ideographs, kana, Hangul syllables and full-width forms
// are measured character by character without shaping; other blocks are shaped. So that this stays
// bounded, a line is shown only up to its first MaxShownUnits (100,000) UTF-16 units, moved on to
// the next character boundary: a longer line is drawn cut there, with a dim ellipsis after the cut.
// The rest stays in the text: the keyboard moves the caret into it (the caret is then drawn at the
// cut), and selecting and copying take every character.
//
// Positions and lengths in this interface are characters (Unicode code points); a surrogate pair is
// one character, a lone surrogate too. Line numbers start at 0; the text has one line more than it
// has line ends, so the empty text has one line and a text ending in a line end has an empty last line.
//
// Line ends: "\r\n" and a lone "\r" become "\n" as the text comes in (also a "\r" ending one append
// followed by a "\n" starting the next: that pair is one line end), so the text reads back with "\n"
// only and every line end is one character.
//
// Style runs do not overlap: a run replaces whatever the runs set before it styled in its range. A
// run keeps the characters it was set on: appending never extends it, setText drops all runs. Every
// line has the height of the largest text size in use (the view's own size or a run's), so a line's
// place stays a multiplication.
//
// Style layers are runs in bulk, for the hits of a search: one style over a fixed number of
// characters from each offset of a sorted list that the pane shares with its owner instead of
// copying. A layer paints over what the runs and layers before it styled, as that many runs set one
// after the other would, but costs nothing per offset: painting and styleAt look up only the offsets
// they need, by binary search. A layer in the view's own style (the plain style) clears what lies
// beneath it; it is dropped as soon as nothing lies beneath it, and a layer is dropped as soon as a
// later one over the same list and at least as long hides it, so taking a highlight off again
// returns what it held. A run set while layers are there, or an edit, turns the layers into runs
// first (time and memory per offset: neither happens to a read-only report).
//
// The user can select with the mouse and the keyboard (arrows, Home/End, PageUp/PageDown, Ctrl+Home/
// End, Ctrl+arrows by word, Shift extends, double-click selects a word, triple-click the line, Ctrl+A,
// Ctrl+C copies). Unless read-only, typed text, Return, Backspace, Delete, Ctrl+Backspace and
// Ctrl+Delete (by word), cut and paste edit the text; an edit before the end rebuilds the line index
// and shifts the runs, linear in the text: editing is meant for small texts. The caret stops where
// line edits stop: arrows, clicks and Delete take a letter with its marks, a flag or an emoji
// sequence as one character (Backspace takes one code point, as in line edits), and word moves stop
// as theirs do. Stops are looked for in a window of the text around the caret, never in the whole
// line, so a word or a character longer than that window is crossed in more than one step.
//
// Single-line mode (setSingleLine), for one-line edit fields of any length: no scroll bars, and the
// whole text is one line, vertically centred, scrolled sideways by the first character it shows
// rather than by a pixel offset, so that no x grows with the length of the line and nothing is cut.
// Showing the caret, painting, a click and the blinking caret lay out only the blocks in view: a walk
// from the first shown character forwards, or from the caret backwards, stops once the width of the
// view is filled. An edit moves the text after it in memory and updates the indexes, and lays out
// nothing outside the view. Text set or pasted is kept exactly as it came (a paste without any NUL,
// as the incoming filter leaves it), and its line ends break
// nothing: each "\n" and each "\r" (so "\r\n" twice) is drawn as a dim "↵" (U+21B5) in its place, one
// ordinary character for the caret, the selection, clicks and Backspace, while text() and copying
// give the characters themselves. Return, Enter, Up, Down, PageUp and PageDown are left to the
// parent (a dialog's default button). As in line edits, setText puts the caret at the end, focus by
// Tab selects all, leaving the field drops the selection, and Ctrl+Z / Ctrl+Shift+Z undo and redo
// the user's edits (characters typed in a row are one step, so are Backspaces in a row and Deletes in
// a row; undo brings back the selection the edit replaced). The history holds at most MaxUndoSteps
// steps and, besides the newest step, at most MaxUndoUnits UTF-16 units of text. What an input method
// composes is drawn in place of the selection, and its commit replaces the selection as typed text;
// its queries are answered from a window of the text around the caret. A line that fits the view is
// placed by the alignment; a read-only pane shows no caret. The field is drawn as the style draws a
// line edit: its panel and frame, with the focus, over the whole pane, the text inside the frame.
// Text whose first strong character is right-to-left (Hebrew, Arabic) runs from the right edge, in
// its reading order, with the alignment mirrored, and Left and Right swap their logical direction, as
// in line edits; blocks of a long line are reordered within themselves only.
//
// As the desktop's text controls: a right click, the Menu key or Shift+F10 opens the standard edit
// menu (a read-only multi-line pane offers Copy and Select All only); a selection the user makes
// becomes the primary selection where the system has one, handed over as a reference and turned
// into text only when asked for; a middle click pastes the primary selection at the click, and text
// dropped on an editable pane goes in at the drop point, both as a paste does (through the incoming
// filter, then the edit filter), as does text an assistive tool puts in. Assistive
// tools see an editable text (read-only for a read-only pane) with its text, caret and selection,
// and are told of every edit and caret move; no answer holds more than MaxAccessibleUnits.
//
// Where each concern lives: TextPane.cpp construction, the text and its line index, following a
// shared text, the selection; TextPaneLayout.cpp fonts and metrics, the blocks of long lines,
// geometry, scroll bars, hit-testing and painting of the multi-line view; TextPaneSingleLine.cpp
// single-line mode (the walks from the first shown character, painting the field, the blinking
// caret); TextPaneEditing.cpp edits, the edit filter, undo and redo; TextPaneStyles.cpp style runs;
// TextPaneInput.cpp the keyboard, mouse and focus events and the caret commands both modes share;
// TextPaneInputMethod.cpp the input method; TextPaneClipboard.cpp the edit menu, the primary
// selection and drops; TextPaneAccessible.cpp what assistive tools see. TextPaneInternals.h holds
// what several of them need.
class TextPane : public QAbstractScrollArea {
    Q_OBJECT

public:
    // A line is laid out and drawn up to this many UTF-16 units from its start (moved on to the
    // next character boundary); see the class comment.
    static constexpr int MaxShownUnits = 100000;
    // The most UTF-16 units one answer to an assistive tool holds (a text, a value, a line, the text
    // of an edit it is told of): as much as the view shows of one line, whatever the text's length.
    static constexpr int MaxAccessibleUnits = MaxShownUnits;
    // Single-line mode: the bounds of the undo history (see the class comment).
    static constexpr size_t MaxUndoSteps = 100;
    static constexpr qsizetype MaxUndoUnits = qsizetype(1) << 24;

    explicit TextPane(QWidget* parent = nullptr);
    ~TextPane() override;

    // The whole text, shared, not copied.
    const QString& text() const { return shared_ ? shared_->text() : text_; }
    // Replaces the text, drops the style runs, puts the caret at 0 and shows the first line.
    void setText(const QString& text);
    // Adds text at the end; caret, selection and scroll position stay where they are.
    void appendText(QStringView text);
    // Shows a shared text as setText would, without copying it, and follows its appends as appendText
    // would, until setText, appendText or an edit by the user gives the pane a text of its own again
    // (the last two copy the text once).
    void showSharedText(std::shared_ptr<const SharedText> text);
    // The shared text shown, or nullptr while the pane has a text of its own.
    const SharedText* sharedText() const { return shared_.get(); }
    int charLength() const { return chars_.charLength(); }
    int lineCount() const { return int(lineStarts_.size()); }
    // Line of a character position; positions outside the text are clamped to it.
    int lineOfChar(int charPos) const;
    // Character position where a line starts; lines outside the text are clamped.
    int lineStartChar(int line) const;

    // Selection: anchor and caret, as characters. selectionStart is the smaller of the two.
    int selectionStart() const;
    int selectionLength() const;
    int caretPosition() const;
    QString selectedText() const;
    // Moves the caret and the anchor (an empty selection when they are equal) and scrolls the caret,
    // and as much of the selection as fits, into view, as little as that needs: a selection already
    // wholly in view moves the view neither down nor sideways. A selection on one line that is wider
    // than the view shows its start instead of the caret.
    void setSelection(int anchorChar, int caretChar);

    int firstVisibleLine() const;
    void setFirstVisibleLine(int line);
    // Lines that fit wholly in the view (at least 1).
    int visibleLineCount() const;
    // Multi-line mode: how far the view is scrolled sideways, in 64ths of a character cell (the width
    // of "M" in the view's font), so that a kept position shows the same columns at any text size;
    // setting it is clamped to the width of the lines.
    int sideScroll() const;
    void setSideScroll(int position);

    void setStyleRun(int charStart, int charLength, const TextStyle& style);
    // Character offsets, ascending, as a style layer holds them.
    using Offsets = std::vector<qint32>;
    // Adds a style layer (see the class comment): style over charLength characters from each offset
    // in starts, cut at the end of the text. The pane holds the list until setText, an edit or a later
    // layer lets it go; it must not change meanwhile (detachStyleLayers first).
    void addStyleLayer(std::shared_ptr<const Offsets> starts, int charLength, const TextStyle& style);
    // The layers that hold this list take a copy of it, so that its owner may change it: a plain
    // layer only of the offsets where it clears something beneath it.
    void detachStyleLayers(const Offsets* starts);
    int styleLayerCount() const { return int(layers_.size()); }
    // Style at a character position; nullptr where no run or layer styles it.
    const TextStyle* styleAt(int charPos) const;
    // The runs set one by one and the offsets of every layer that is not plain.
    qint64 styleRunCount() const;

    void setReadOnly(bool readOnly);

    // See the class comment; set once, before the pane holds text.
    void setSingleLine(bool singleLine);
    // Single-line mode: where a line that fits the view stands (Qt::AlignLeft, AlignHCenter, AlignRight).
    void setAlignment(Qt::Alignment alignment);
    // Single-line mode: whether the field draws a line edit's frame around its text (the default).
    void setLineFrame(bool frame);
    // Single-line mode: the room between the frame and the text on each side, in pixels; -1 (the
    // default) for the field's standard margin.
    void setLineMargin(int margin);
    // Single-line mode: the most characters the field takes, told to input methods (the edit filter
    // enforces it); -1 for no limit.
    void setMaxLength(int maxLength) { maxLength_ = maxLength; }
    // Asked before every edit by the user (typing, paste, cut, Backspace, Delete) with the characters
    // [fromChar, toChar) and what is to replace them; false refuses the edit. Code is never asked.
    using EditFilter = std::function<bool(int fromChar, int toChar, const QString& with)>;
    void setEditFilter(EditFilter filter) { editFilter_ = std::move(filter); }
    // Asked first when text from outside (a paste, a middle click, a drop, an assistive tool) is to
    // replace the characters [fromChar, toChar): gives the text that goes in instead, which the edit
    // filter is then asked about. Nothing left of a text that was not empty refuses the edit.
    using IncomingFilter = std::function<QString(int fromChar, int toChar, const QString& text)>;
    void setIncomingFilter(IncomingFilter filter) { incomingFilter_ = std::move(filter); }
    // Single-line mode: the width the line may take without scrolling (the line area less the margins
    // and the caret; 0 or less in a field too small for any), and the width of the whole text in the
    // present font as the field lays it out and scrolls it, walked no further than limit (a value
    // above limit for a wider text). A text no wider than the room shows whole, from its first character.
    qreal lineRoom() const;
    qreal lineTextWidth(qreal limit) const;

    // Character position nearest to a point of the viewport.
    int charPosAt(const QPoint& viewportPoint) const;

    // The edit menu for the pane's present state, owned by the caller.
    QMenu* createStandardContextMenu();

    // The primary selection as panes use it: the system's where it has one. For tests on platforms
    // without one (offscreen), emulated, one is held in the process instead.
    static void setPrimarySelectionEmulated(bool emulated);
    static QString primarySelectionText();


signals:
    // Once for each setText, each non-empty appendText and each edit by the user.
    void textChanged();
    // Once whenever the selection's start or end changes, by code or by the user.
    void selectionChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    // The input method's queries with an argument (a point, a length), as a line edit takes them.
    Q_INVOKABLE QVariant inputMethodQuery(Qt::InputMethodQuery query, QVariant argument) const;

private:
    friend class TextPaneAccessible;

    struct Run {
        int end; // UTF-16, exclusive
        int style; // index into styles_
    };
    struct StyleSlot {
        TextStyle style;
        int uses = 0;
    };
    struct StyleLayer {
        std::shared_ptr<const Offsets> starts; // characters
        int length; // characters
        int style; // index into styles_, or -1: plain
    };
    // A stretch of units [from, to) in one style (index into styles_).
    struct StyleSpan {
        int from;
        int to;
        int style;
    };
    struct FontEntry;
    struct LineBlocks;
    struct BlockLayout;
    // A block of a line: units [from, to), its left edge x from the line's start, and where the
    // shown part of its line ends.
    struct BlockSpan {
        int from;
        int to;
        qreal x;
        int shownEnd;
    };

    // Text and line index (UTF-16 offsets).
    void replaceText(const QString& text);
    void appendUnified(QStringView piece);
    void indexLinesFrom(int base);
    void measureLinesFrom(size_t firstNewLine);
    std::shared_ptr<const SharedText> leaveSharedText(bool keepText);
    void followSharedText();
    // After the text grew at its end from unit base, indexed already: scroll bars, the lines from the
    // old last line on where they are in view, and those who listen.
    void grewFrom(int base, int oldLastLine);
    void rebuildIndex();
    int lineOfUnit(int unit) const;
    int lineEndUnit(int line) const;
    int toUnit(int charPos) const { return chars_.toUtf16(charPos); }
    int toCharPos(int unit) const { return chars_.toChar(unit); }
    int nextUnit(int unit) const;
    int previousUnit(int unit) const;

    // Edits. What an edit by the user is, for merging it into the undo step before it.
    enum class EditKind { Other, Typed, Backspace, Delete };
    // The selection afterwards is [anchorAfter, caretAfter], or the caret after the inserted text.
    void replaceRange(int from, int to, const QString& with, int anchorAfter = -1, int caretAfter = -1);
    // An edit by the user: asks the edit filter, keeps the undo step (single-line mode), edits. False
    // when there was nothing to do or the filter refused.
    bool userEdit(int from, int to, const QString& with, EditKind kind = EditKind::Other);
    void shiftIndexes(int from, int to, const QString& with);
    int firstStrong(int from, int to) const;
    void noteDirectionFrom(int from);
    void updateDirection(int from, int to, int insertedUnits);
    void undoOrRedo(bool redo);
    void trimUndo();

    // Style runs.
    int internStyle(const TextStyle& style);
    // One more or one less run or layer in style id; a sized style coming into use or going out of
    // it changes the line height.
    void retainStyle(int id);
    void releaseStyle(int id);
    bool isPlain(const TextStyle& style) const;
    void insertRun(int from, int to, int style);
    std::map<int, Run>::const_iterator runCovering(int unit) const;
    // The styled stretches of units [from, to) (a block of a line), in order, runs and layers together.
    void styleSpans(int from, int to, std::vector<StyleSpan>& spans) const;
    // The units [from, to) that a layer's offset start (characters) styles, length characters long.
    std::pair<int, int> layerUnits(qint32 start, int length) const;
    void dropRuns();
    // Before an edit or a run: every layer becomes runs, as if its offsets had been set one by one.
    void flattenLayers();
    void shiftRuns(int from, int to, int withSize);
    void styleChanged(int fromUnit, int toUnit);

    // Fonts and metrics.
    const FontEntry& fontFor(int style) const;
    void updateMetrics();

    // Geometry.
    QSize viewSize() const;
    void updateScrollBars();
    void scheduleScrollBarUpdate();
    qreal estimatedWidth() const;
    qreal cutMarkWidth() const;
    bool startsCharacter(int unit) const;
    int boundaryFrom(int unit, int end) const;
    int pairStart(int unit) const;
    int shownEndUnit(int line) const;
    qreal blockWidth(int from, int to) const;
    // Drops the measured blocks of the lines in the range (all by default).
    void forgetLayout(int firstLine = 0, int lastLine = INT_MAX);
    LineBlocks& blocksOf(int line) const;
    void measureBlocks(LineBlocks& blocks, int untilUnit, qreal untilX) const;
    // The block holding a unit (unit >= 0) or else the block under x; the last shown block when
    // the line is shorter.
    BlockSpan blockAt(int line, int unit, qreal x) const;
    qreal xOfUnit(int line, int unit) const;
    int unitAtX(int line, qreal x) const;
    int unitAt(const QPoint& viewportPoint) const;
    void reveal(int unit);
    // Multi-line mode: the units [anchor, caret] into view, see setSelection.
    void revealSelection(int anchor, int caret);
    void revealLine(int line);
    // x of a caret at unit from the line's start; at the cut of a cut line, and then with the mark after it.
    qreal caretX(int line, int unit);
    void paintLine(QPainter& painter, int line, qreal left, int top, int selFrom, int selTo);
    void paintBlock(QPainter& painter, const BlockLayout& block, qreal x, int top, int selFrom, int selTo) const;

    // Single-line mode: x from the first shown character (origin_), walking blocks from there.
    int blockEndFrom(int from, int end) const;
    qreal widthBetween(int from, int to, qreal limit) const;
    int originShowing(int unit, qreal width) const;
    qreal availableWidth() const;
    // The room between the frame and the text on each side (see setLineMargin).
    int lineMargin() const;
    qreal singleLineStart() const;
    int singleLineTop() const;
    int singleLineUnitAt(qreal x) const;
    void revealInLine(int unit);
    QRect lineArea() const;
    qreal paintSpan(QPainter& painter, const QRect& area, int from, int stop, qreal x, int selFrom, int selTo,
                    qreal* caretX);
    void paintSingleLine(QPainter& painter, const QRect& area);
    void restartBlink();

    // Input method: the text being composed, and the bounded window of the text told as its surroundings.
    bool composing() const { return !preedit_.isEmpty(); }
    void layoutPreedit(QTextLayout& layout) const;
    qreal preeditCaretX() const;
    qreal caretViewX() const;
    std::pair<int, int> surroundingWindow() const;
    // Ends a composition before a click or the loss of the focus moves on: the input method is asked
    // to commit, and what it leaves composed is committed here as typed text.
    void commitComposition();

    // Selection.
    void select(int anchorUnit, int caretUnit, bool revealCaret, bool keepGoalX = false);
    void copySelection() const;

    // Clipboard, primary selection and drops.
    // Text from outside (the clipboard, a drop, an assistive tool) as an edit takes it: as it came but
    // for any NUL, which is left out, and with its line ends unified in a multi-line pane.
    QString incomingText(const QString& text) const;
    // Text from the clipboard or the primary selection, as incomingText gives it.
    QString clipboardText(QClipboard::Mode mode) const;
    // An edit by the user with text (as incomingText gives it) from outside, as the incoming filter
    // leaves it; whole tells whether all of the text went in.
    bool insertIncoming(int from, int to, const QString& text, bool* whole = nullptr);
    void paste(QClipboard::Mode mode);
    // Hands the user's selection to the primary selection, where the system has one.
    void publishPrimarySelection();
    // Before the pane's own text is changed in place: a primary selection still holding it takes a
    // copy of the selected part, so that the edit does not copy the whole text.
    void keepPrimarySelectionText();
    // A middle click pastes the primary selection at the click (editable panes); true when taken.
    bool pasteOnMiddleClick(QMouseEvent* event);
    void openContextMenu(const QPoint& globalPos);

    // Accessibility; the announcements cost nothing while no assistive tool listens.
    // The units [from, to) clamped to the text, at most MaxAccessibleUnits of them.
    QString accessibleText(int from, int to) const;
    // accessibleText while an assistive tool listens, else empty: what an edit is to remove.
    QString announcedText(int from, int to) const;
    // After [from, from + removed.size()) became insertedLength units.
    void announceEdit(int from, const QString& removed, int insertedLength);
    // From select(), before reported_ is brought up to date.
    void announceSelection();
    // A unit's character cell in viewport coordinates; empty when it is out of view.
    QRect unitRect(int unit) const;

    // Caret commands.
    void moveCaret(int unit, bool extend, bool keepGoalX = false);
    void moveLines(int delta, bool extend);
    void selectWordAt(int unit);
    // The next caret stop after unit (forward) or before it, by character or by word.
    int caretStop(int unit, bool forward, QTextLayout::CursorMode mode) const;

    // While a shared text is shown: a view of its buffer (QString::fromRawData), re-pointed at every
    // growth; reach it only through const access, since a write would copy the whole text.
    QString text_;
    std::shared_ptr<const SharedText> shared_;
    QMetaObject::Connection sharedGrowth_;
    // Read like a vector; the pane's own offsets, or the shared text's while one is shown.
    class LineStarts {
    public:
        const int& operator[](size_t i) const { return (*starts_)[qsizetype(i)]; }
        size_t size() const { return size_t(starts_->size()); }
        int back() const { return starts_->back(); }
        QList<int>::const_iterator begin() const { return starts_->cbegin(); }
        QList<int>::const_iterator end() const { return starts_->cend(); }
        // The pane's own offsets, to be written while none are shared.
        QList<int>& own() { return own_; }
        void share(const QList<int>& starts);
        // Back to own offsets: a copy of the shared ones, or the one line of the empty text.
        void unshare(bool keepStarts);
        bool shared() const { return starts_ != &own_; }

    private:
        QList<int> own_{0};
        const QList<int>* starts_ = &own_;
    };
    LineStarts lineStarts_;
    CharIndex chars_;
    int longestLineUnits_ = 0;
    bool pendingCarriageReturn_ = false; // the text ends in a "\n" that came from a "\r"

    std::map<int, Run> runs_; // by start, UTF-16
    std::vector<StyleLayer> layers_; // above the runs, the last one on top
    std::vector<StyleSlot> styles_;
    int lastStyle_ = -1;
    bool sizedStylesChanged_ = false; // a style with its own size came into use or went out of it
    mutable std::vector<std::unique_ptr<FontEntry>> fonts_; // [0] the view's font, [i + 1] style i
    mutable std::vector<LineBlocks> lineBlocks_; // long lines looked at lately
    mutable quint64 layoutClock_ = 0;

    int lineHeight_ = 1;
    int ascent_ = 0;
    qreal charWidth_ = 1;
    mutable qreal widestSeen_ = 0;
    mutable bool scrollBarUpdatePending_ = false;

    int anchor_ = 0;
    int caret_ = 0;
    std::pair<int, int> reported_{0, 0};
    qreal goalX_ = -1;
    bool dragging_ = false;
    QElapsedTimer sinceDoubleClick_; // a press soon after a double-click, near it, is a triple-click
    QPoint doubleClickAt_;
    bool readOnly_ = false;

    bool singleLine_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    int origin_ = 0; // single-line mode: the first unit shown at the start edge
    int strongUnit_ = -1; // single-line mode: the first strong (L, R or AL) character, -1 if none
    bool rightToLeft_ = false; // single-line mode: that character is right-to-left
    QBasicTimer blink_;
    bool caretShown_ = true;
    QRect caretRect_; // where the caret was last drawn
    bool lineFrame_ = true;
    int lineMargin_ = -1;
    int maxLength_ = -1;
    // What an input method composes: drawn at the caret in place of the selection, which the commit
    // replaces; its formats and caret (UTF-16 in preedit_) as the input method sent them.
    QString preedit_;
    QList<QTextLayout::FormatRange> preeditFormats_;
    int preeditCaret_ = 0;
    bool preeditCaretShown_ = true;
    EditFilter editFilter_;
    IncomingFilter incomingFilter_;
    // [from, from + removed) was replaced by inserted (UTF-16); anchor and caret before the edit.
    struct UndoStep {
        int from;
        QString removed;
        QString inserted;
        int anchor;
        int caret;
        EditKind kind;
    };
    std::vector<UndoStep> undo_;
    std::vector<UndoStep> redo_;
    qsizetype undoUnits_ = 0; // removed and inserted units held in undo_ and redo_
    // Where the caret stands after the last edit while an edit of the same kind there goes on in its
    // undo step (typing in a row, Backspaces or Deletes in a row); -1 once anything else happened.
    int typedEnd_ = -1;
    QPointer<QMimeData> primary_; // the primary selection while it is the pane's
    int announcedCaret_ = 0;
};

} // namespace fw
