#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

// Text functions with the vocabulary the application code is written in. A "character" here is a
// Unicode code point: a surrogate pair counts once, a lone surrogate counts as one character too.
namespace fw {

// Plain decimal, no grouping: Str(-1234) == "-1234".
QString Str(qint64 value);

// The number the text begins with, after optional leading blanks (spaces, tabs): optional sign,
// digits, optional '.' and fraction digits. Anything after that is ignored; no number gives 0.
// Never throws; a digit run too large for a double gives the largest finite double.
double Val(const QString& text);

// Cuts text at every occurrence of delimiter: always one piece more than delimiters found, so the
// empty text gives one empty piece. An empty delimiter cuts into single characters (a surrogate
// pair stays one piece; the empty text then gives no piece at all).
QStringList Split(const QString& text, const QString& delimiter);

// Number of characters (code points), not UTF-16 units.
int Len(const QString& text);

// Position conversions between UTF-16 units and characters. Out-of-range positions are clamped; a
// UTF-16 position in the middle of a surrogate pair maps to the character that pair forms.
int utf16ToCharPos(const QString& text, int utf16Pos);
int charToUtf16Pos(const QString& text, int charPos);

// Character/UTF-16 position conversions for a text that only grows at its end. Only the positions
// of surrogate pairs are kept (sorted), so a conversion is a binary search and an append costs
// time in the appended length only. A pair split across two appends is recognised.
class CharIndex
{
public:
    void append(QStringView text);
    void reset(QStringView whole);
    // After the units [from, to) of the text were replaced by insertedLength units, whole being the
    // text as it is now: time in the inserted length and the number of pairs, not in the text's length.
    void replace(int from, int to, int insertedLength, QStringView whole);
    int toUtf16(int charPos) const; // clamped to [0, utf16 length]
    int toChar(int utf16Pos) const; // clamped; inside a pair gives that pair's character
    int charLength() const { return m_utf16Length - int(m_pairs.size()); }

private:
    std::vector<int> m_pairs; // UTF-16 position of the high surrogate of each pair
    int m_utf16Length = 0;
    bool m_endsWithHighSurrogate = false;
};

// Escapes a path for a POSIX shell command line (and for splitShellWords): a backslash before
// every ASCII character outside [A-Za-z0-9_./+,:@%=-]; a newline is written as '<newline>'
// because a backslash-newline would be removed as a line continuation. Non-ASCII is kept.
QString shellEscape(const QString& path);

// Cuts a command line into words, honouring quoting only: backslash escapes, '...' and "..."
// (inside double quotes a backslash escapes only \ " $ ` and newline). Nothing is ever expanded:
// $, ;, |, &, `, * and the like are plain characters. A backslash-newline outside single quotes is
// a line continuation. nullopt on an unterminated quote or a trailing backslash.
std::optional<QStringList> splitShellWords(const QString& text);

// The rules of well-formed UTF-8, in one place for every check of it (path names, text files): what a
// byte that starts a sequence allows after it. The range of the second byte excludes overlong forms,
// surrogates and code points above U+10FFFF; a third and fourth byte lie in 80 to BF.
struct Utf8Lead {
    int length;         // of the whole sequence, 1 to 4; 0 for a byte that starts none (a continuation
                        // byte, C0, C1, F5 to FF)
    unsigned char low;  // the range of the second byte
    unsigned char high;
};
// Defined here so that it inlines: the text check of a file looks up every byte that starts a sequence.
constexpr Utf8Lead utf8Lead(unsigned char byte)
{
    const auto lead = [](int length, int low, int high) {
        return Utf8Lead {length, static_cast<unsigned char>(low), static_cast<unsigned char>(high)};
    };
    if (byte < 0x80)
        return lead(1, 0x80, 0xBF);
    if (byte >= 0xC2 && byte <= 0xDF)
        return lead(2, 0x80, 0xBF);
    if (byte >= 0xE0 && byte <= 0xEF)
        return lead(3, byte == 0xE0 ? 0xA0 : 0x80, byte == 0xED ? 0x9F : 0xBF);
    if (byte >= 0xF0 && byte <= 0xF4)
        return lead(4, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF);
    return lead(0, 0x80, 0xBF);
}

// Decodes UTF-8 that arrives in pieces. A character cut between two pieces is completed by the
// next piece; finish() turns a still incomplete sequence into U+FFFD. Invalid bytes become U+FFFD.
// A byte order mark is kept as U+FEFF.
class Utf8Decoder
{
public:
    Utf8Decoder();
    QString decode(QByteArrayView bytes);
    QString finish();
    void reset();

private:
    QString convert(QByteArrayView bytes);

    QStringDecoder m_decoder;
    QByteArray m_carry; // start of a multi-byte sequence still waiting for its end
};

} // namespace fw
