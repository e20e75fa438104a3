#pragma once

// Private to the TextPane sources: what more than one of them needs. What one file alone uses stays
// in that file.

#include "platform/TextPane.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QTextLayout>

#include <vector>

namespace fw {

constexpr int LeftMargin = 4;
constexpr int TopMargin = 2; // multi-line mode: above the first line shown
constexpr int CaretWidth = 1;
// A long line is measured and laid out in blocks of about this many UTF-16 units, so that showing
// any part of it lays out a few blocks only.
constexpr int BlockUnits = 128;
// A block boundary moves on by at most this many units so as not to split a character or a
// character with the marks that follow it.
constexpr int BoundarySlack = 16;

// Turns "\r\n" and a lone "\r" into "\n". endsWithCarriageReturn tells whether the last unit was a
// "\r", whose "\n" may still come at the start of the next piece.
QString unifiedLineEnds(QStringView text, bool& endsWithCarriageReturn);

char32_t codePointAt(const QString& text, int unit);

struct TextPane::FontEntry {
    FontEntry(const QFont& f, const QPaintDevice* device);

    // The advance of a character for which isSeparateWide holds, or of the line end mark, measured once.
    qreal wideAdvance(char16_t c) const;

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
    BlockLayout(const TextPane& pane, int blockFrom, int blockTo);

    // x of a unit of the block, from the block's left edge.
    qreal xOf(int unit) const;
    // The unit nearest to x (from the block's left edge); never inside a character.
    int unitAt(qreal x) const;
    // The same along the text's direction: a distance from the block's start edge (its right edge
    // in right-to-left text), for walks that measure the line from its first unit.
    qreal advanceOf(int unit) const { return rightToLeft ? width - xOf(unit) : xOf(unit); }
    int unitAtAdvance(qreal advance) const { return unitAt(rightToLeft ? width - advance : advance); }
    // Draws the block with its top-left corner at topLeft.
    void draw(QPainter& painter, QPointF topLeft, const QList<QTextLayout::FormatRange>& selections) const;

    int from;
    int to;
    QTextLayout layout;
    std::vector<QTextLine> lines;
    qreal ascent = 0; // the largest ascent of the block's glyphs
    qreal width = 0;
    bool rightToLeft = false;

private:
    const QTextLine& lineAt(int offset) const;
};

} // namespace fw
