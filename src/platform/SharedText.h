#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>

#include <limits>

namespace fw {

// A text that only grows at its end, read by any number of panes without a copy: a pane showing it
// views its one buffer and follows every append before append returns, in time of the appended part.
//
// Line ends are unified as the text comes in: "\r\n" and a lone "\r" become "\n", also a "\r" that
// ends one append followed by a "\n" that starts the next (one line end), so the text holds "\n" only.
//
// The text keeps the offsets of its line starts as it grows, and the panes showing it share them.
// It never holds more than 2^31 - 1 UTF-16 units, the panes' position range.
//
// The buffer grows in place and geometrically (realloc), so capacity not yet written costs no
// resident memory. A copy of text() kept by a caller while the text grows makes the next append
// copy the whole buffer: take copies only once the text has stopped growing.
class SharedText : public QObject {
    Q_OBJECT

public:
    const QString& text() const { return text_; }
    // UTF-16 offset of every line start, the first one 0: one entry per line.
    const QList<int>& lineStarts() const { return lineStarts_; }
    // Appends piece, line ends unified, keeping the whole text within maxSize UTF-16 units: what does
    // not fit is dropped (a surrogate pair is never cut), and false tells that something was.
    bool append(QStringView piece, qsizetype maxSize = std::numeric_limits<int>::max());

signals:
    // After every append that added something; the panes showing the text follow here.
    void grew();

private:
    QString text_;
    // A QList grows by realloc, in place or by remapping, where a vector copies and frees: freed
    // blocks of a growing index would stay resident as heap holes.
    QList<int> lineStarts_{0};
    bool pendingCarriageReturn_ = false; // the text ends in a "\n" that came from a "\r"
};

} // namespace fw
