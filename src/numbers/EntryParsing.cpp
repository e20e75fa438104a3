#include "numbers/EntryParsing.h"

#include <limits>

namespace {

constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Accumulates the digits of text[from, to) into value; false as soon as the value passes 2^31-1.
bool accumulateDigits(const QString& text, qsizetype from, qsizetype to, qint32& value)
{
    qint64 acc = 0;
    for (qsizetype i = from; i < to; ++i) {
        acc = acc * 10 + (text[i].unicode() - u'0');
        if (acc > kInt32Max)
            return false;
    }
    value = static_cast<qint32>(acc);
    return true;
}

} // namespace

EntryKind classifyEntry(QStringView entry)
{
    // One pass: every unit must be a digit (the digit test), and the value must stay within 32 bits.
    qint64 value = 0;
    for (const QChar c : entry) {
        if (!isAsciiDigit(c))
            return {EntryKind::Text, 0};
        if (value <= kInt32Max)
            value = value * 10 + (c.unicode() - u'0');
    }
    if (value > kInt32Max)
        return {EntryKind::Text, 0};
    return {EntryKind::Number, static_cast<qint32>(value)};
}

RangeBound parseRangeBound(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && (text[first] == u' ' || text[first] == u'\t'))
        ++first;
    qsizetype last = first;
    while (last < text.size() && isAsciiDigit(text[last]))
        ++last;
    if (last == first)
        return {0, BoundError::Empty};

    qint32 value = 0;
    if (!accumulateDigits(text, first, last, value))
        return {0, BoundError::TooLarge};
    return {value, BoundError::None};
}

qint64 rangeSize(qint32 start, qint32 end)
{
    return qint64(end) - qint64(start) + 1;
}

QStringList splitCommaList(const QString& text)
{
    QStringList tokens;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
            continue;
        // CRLF needs no case of its own: the empty token between CR and LF is dropped.
        if (i > start)
            tokens.append(text.sliced(start, i - start));
        start = i + 1;
    }
    return tokens;
}
