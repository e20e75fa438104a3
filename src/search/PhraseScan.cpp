#include "search/PhraseScan.h"

#include <algorithm>

namespace {

bool isHigh(char16_t unit)
{
    return (unit & 0xFC00) == 0xD800;
}

bool isLow(char16_t unit)
{
    return (unit & 0xFC00) == 0xDC00;
}

// Characters among the UTF-16 units [from, to) of text, where neither end cuts a surrogate pair (from
// is 0 or the start of an earlier hit): the units less the second halves of the pairs.
qint64 charsBetween(const char16_t* text, qsizetype from, qsizetype to)
{
    // Most reports hold no surrogate at all: one vectorisable pass for the low halves decides.
    qsizetype lowHalves = 0;
    for (qsizetype u = from; u < to; ++u)
        lowHalves += isLow(text[u]) ? 1 : 0;
    if (lowHalves == 0)
        return qint64(to - from);
    qint64 secondHalves = 0;
    for (qsizetype u = std::max<qsizetype>(from, 1); u < to; ++u)
        secondHalves += (isLow(text[u]) && isHigh(text[u - 1])) ? 1 : 0;
    return qint64(to - from) - secondHalves;
}

} // namespace

PhraseScan::PhraseScan(const QString& phrase)
    : phrase_(phrase)
    , border_(size_t(phrase.size()), 0)
{
    const char16_t* p = reinterpret_cast<const char16_t*>(phrase_.utf16());
    const qsizetype m = phrase_.size();
    qsizetype k = 0;
    for (qsizetype j = 1; j < m; ++j) {
        while (k > 0 && p[j] != p[k])
            k = border_[size_t(k - 1)];
        if (p[j] == p[k])
            ++k;
        border_[size_t(j)] = k;
    }
    mayCutPair_ = m > 0 && (isLow(p[0]) || isHigh(p[m - 1]));
}

// A match of the phrase at unit start neither begins nor ends in the middle of a surrogate pair.
bool PhraseScan::onCharBoundaries(QStringView text, qsizetype start) const
{
    const qsizetype end = start + phrase_.size();
    const QChar* t = text.data();
    if (start > 0 && t[start].isLowSurrogate() && t[start - 1].isHighSurrogate())
        return false;
    if (end < text.size() && t[end].isLowSurrogate() && t[end - 1].isHighSurrogate())
        return false;
    return true;
}

qint64 PhraseScan::findAll(QStringView text, IntList& hits) const
{
    const qsizetype m = phrase_.size();
    const qsizetype n = text.size();
    if (m == 0 || n == 0 || m > n)
        return 0;

    const char16_t* t = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* p = reinterpret_cast<const char16_t*>(phrase_.utf16());
    const QChar first(p[0]);

    // Character offset of unit `counted`, carried forward from hit to hit.
    qsizetype counted = 0;
    qint64 countedChars = 0;
    qint64 found = 0;

    qsizetype i = 0; // next unit of the text to read
    qsizetype q = 0; // units of the phrase matched so far, ending at unit i - 1
    while (i < n) {
        if (q == 0) {
            // Nothing matched: go to the next unit that can start the phrase. A few units are looked
            // at here before a long stretch goes to the vectorised search, whose call costs more
            // than a near start of the phrase does.
            const qsizetype near = std::min(n, i + 16);
            while (i < near && t[i] != p[0])
                ++i;
            if (i == near) {
                i = text.indexOf(first, i);
                if (i < 0)
                    break;
            }
            ++i;
            q = 1;
        } else if (t[i] == p[q]) {
            ++i;
            ++q;
        } else {
            // The unit at i is read again against the longest border of what matched; each fallback
            // shortens q, and q grew by one per unit read, so the scan stays linear.
            q = border_[size_t(q - 1)];
            continue;
        }
        if (q < m)
            continue;

        const qsizetype start = i - m;
        if (mayCutPair_ && !onCharBoundaries(text, start)) {
            q = border_[size_t(m - 1)];
            continue;
        }
        countedChars += charsBetween(t, counted, start);
        counted = start;
        hits.push_back(qint32(countedChars));
        ++found;
        // The next hit is looked for after this one: hits do not overlap.
        q = 0;
    }
    return found;
}
