#pragma once

#include "common/CC_genericTransportObject.h"

#include <QString>
#include <QStringView>

#include <vector>

// Finds a phrase in a report text, exactly as stored: case and accents matter, nothing is folded.
//
// The hits are the leftmost occurrences taken one after the other from the start of the text, each
// one searched for only after the end of the one before, so hits never overlap ("aa" in "aaaa" gives
// 0 and 2). An occurrence that would begin or end inside a surrogate pair is no hit: hits always lie
// on character boundaries.
//
// Time is linear in the lengths of text and phrase, whatever they hold (a matching automaton over
// UTF-16 units, built once per phrase), and no copy of the text is made. Offsets are reported in
// characters (Unicode code points, a lone surrogate counting as one), counted in the same single
// forward pass.
class PhraseScan {
public:
    explicit PhraseScan(const QString& phrase);

    // Appends the 0-based character offset of every hit in text to hits, ascending; returns the
    // number appended. An empty phrase or an empty text gives no hit.
    qint64 findAll(QStringView text, IntList& hits) const;

private:
    bool onCharBoundaries(QStringView text, qsizetype start) const;

    QString phrase_;
    // border_[j]: length of the longest proper prefix of phrase_[0..j] that is also its suffix.
    std::vector<qsizetype> border_;
    // The phrase starts with a low or ends with a high surrogate, so a match may cut a pair.
    bool mayCutPair_ = false;
};
