#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

// How the Number Selection window reads what the user types: test entries, range bounds and comma lists.

// A test entry is a whole number when its text is made only of the digits 0-9 and its value fits a
// 32-bit signed integer (leading zeros carry no weight; the empty text is the number 0). Any other text
// - including digit text beyond the 32-bit range - is a text entry, kept exactly as written.
struct EntryKind
{
    enum Kind { Number, Text } kind;
    qint32 value; // the number's value; 0 for a text entry
};

EntryKind classifyEntry(QStringView entry);

// Result of reading a range field. The value is the leading decimal digits after optional blanks
// (spaces and tabs); anything after them is ignored.
//   Empty    - no leading digit: value is 0.
//   TooLarge - the digits exceed 2147483647: value is 0 and the bound must be refused.
enum class BoundError { None, Empty, TooLarge };

struct RangeBound
{
    qint32 value;
    BoundError error;
};

RangeBound parseRangeBound(const QString& text);

// Largest number of values one range may add.
constexpr qint64 kMaxRangeValues = 10'000'000;

// Number of values in start..end inclusive, computed in 64 bits (0 or less when end < start).
qint64 rangeSize(qint32 start, qint32 end);

// Cuts text at every comma and every line break (LF, CRLF or a lone CR), so a pasted column of
// numbers gives one token per line and no token ever holds a line break. Tokens keep every other
// character, blanks included; empty tokens (from ",,", a blank line, or a leading or trailing
// separator) are dropped. Linear in the text.
QStringList splitCommaList(const QString& text);
