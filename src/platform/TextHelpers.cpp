#include "TextHelpers.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace fw {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

constexpr qsizetype SurrogateBlock = 64;

// True when one of the SurrogateBlock units from units on is a surrogate (high or low).
bool hasSurrogate(const char16_t* units)
{
#ifdef __SSE2__
    const __m128i mask = _mm_set1_epi16(short(0xF800));
    const __m128i surrogate = _mm_set1_epi16(short(0xD800));
    __m128i found = _mm_setzero_si128();
    for (qsizetype k = 0; k < SurrogateBlock; k += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + k));
        found = _mm_or_si128(found, _mm_cmpeq_epi16(_mm_and_si128(eight, mask), surrogate));
    }
    return _mm_movemask_epi8(found) != 0;
#else
    bool found = false;
    for (qsizetype k = 0; k < SurrogateBlock; ++k)
        found |= (units[k] & 0xF800) == 0xD800;
    return found;
#endif
}

// True when a surrogate pair starts at i.
bool pairAt(QStringView text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
}

bool isShellSafe(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    switch (c) {
    case u'_': case u'.': case u'/': case u'-': case u'+': case u',': case u':': case u'@':
    case u'%': case u'=':
        return true;
    default:
        return false;
    }
}

} // namespace

QString Str(qint64 value)
{
    return QString::number(value);
}

double Val(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string intDigits;
    std::string fracDigits;
    while (i < n && isAsciiDigit(text[i]))
        intDigits += char(text[i++].unicode());
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isAsciiDigit(text[i]))
            fracDigits += char(text[i++].unicode());
    }
    if (intDigits.empty() && fracDigits.empty())
        return 0.0;

    std::string number = intDigits.empty() ? std::string("0") : intDigits;
    if (!fracDigits.empty())
        number += '.' + fracDigits;
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow when any integer digit is not zero, else an underflowing fraction.
        const bool big = intDigits.find_first_not_of('0') != std::string::npos;
        value = big ? std::numeric_limits<double>::max() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

QStringList Split(const QString& text, const QString& delimiter)
{
    QStringList pieces;
    if (delimiter.isEmpty()) {
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype len = pairAt(text, i) ? 2 : 1;
            pieces.append(text.mid(i, len));
            i += len;
        }
        return pieces;
    }
    qsizetype start = 0;
    for (qsizetype found = text.indexOf(delimiter, start); found >= 0;
         found = text.indexOf(delimiter, start)) {
        pieces.append(text.mid(start, found - start));
        start = found + delimiter.size();
    }
    pieces.append(text.mid(start));
    return pieces;
}

int Len(const QString& text)
{
    qsizetype count = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (pairAt(text, i)) {
            --count;
            ++i;
        }
    }
    return int(count);
}

int utf16ToCharPos(const QString& text, int utf16Pos)
{
    const qsizetype end = std::clamp<qsizetype>(utf16Pos, 0, text.size());
    int chars = 0;
    for (qsizetype i = 0; i < end; ++chars) {
        if (pairAt(text, i)) {
            if (i + 2 > end)
                break; // end falls inside this pair
            i += 2;
        } else {
            ++i;
        }
    }
    return chars;
}

int charToUtf16Pos(const QString& text, int charPos)
{
    qsizetype i = 0;
    for (int c = 0; c < charPos && i < text.size(); ++c)
        i += pairAt(text, i) ? 2 : 1;
    return int(i);
}

void CharIndex::append(QStringView text)
{
    if (text.isEmpty())
        return;
    const int base = m_utf16Length;
    qsizetype i = 0;
    if (m_endsWithHighSurrogate && text[0].isLowSurrogate()) {
        m_pairs.push_back(base - 1);
        i = 1;
    }
    while (i < text.size()) {
        // Most text has no surrogate at all: a block without one is passed over in one step. A block
        // with one is walked unit by unit to its end, so that no unit is tested as part of two blocks.
        if (i + SurrogateBlock <= text.size() && !hasSurrogate(text.utf16() + i)) {
            i += SurrogateBlock;
            continue;
        }
        for (const qsizetype blockEnd = std::min(i + SurrogateBlock, text.size()); i < blockEnd;) {
            if (pairAt(text, i)) {
                m_pairs.push_back(base + int(i));
                i += 2;
            } else {
                ++i;
            }
        }
    }
    // A trailing high surrogate is never part of a pair found above: its low half would follow it.
    m_endsWithHighSurrogate = text.back().isHighSurrogate();
    m_utf16Length += int(text.size());
}

void CharIndex::reset(QStringView whole)
{
    m_pairs.clear();
    m_utf16Length = 0;
    m_endsWithHighSurrogate = false;
    append(whole);
}

void CharIndex::replace(int from, int to, int insertedLength, QStringView whole)
{
    // Pairs that lost a unit or now have new units between their halves go: those starting in
    // [from - 1, to). Later ones move. Pairs that may start in [from - 1, from + insertedLength) are
    // looked for again: they hold an inserted unit or join the units the edit brought together.
    const auto first = std::lower_bound(m_pairs.begin(), m_pairs.end(), from - 1);
    const auto last = std::lower_bound(first, m_pairs.end(), to);
    const int delta = insertedLength - (to - from);
    for (auto it = last; it != m_pairs.end(); ++it)
        *it += delta;
    std::vector<int> found;
    const qsizetype scanEnd = std::min<qsizetype>(qsizetype(from) + insertedLength, whole.size());
    for (qsizetype i = std::max(0, from - 1); i < scanEnd;) {
        if (pairAt(whole, i)) {
            found.push_back(int(i));
            i += 2;
        } else {
            ++i;
        }
    }
    const auto at = m_pairs.erase(first, last);
    m_pairs.insert(at, found.begin(), found.end());
    m_utf16Length = int(whole.size());
    m_endsWithHighSurrogate = !whole.isEmpty() && whole.back().isHighSurrogate();
}

int CharIndex::toUtf16(int charPos) const
{
    const int c = std::clamp(charPos, 0, charLength());
    // Pair k is character m_pairs[k] - k, which grows strictly with k: count the pairs before c.
    std::size_t lo = 0;
    std::size_t hi = m_pairs.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (m_pairs[mid] - int(mid) < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return c + int(lo);
}

int CharIndex::toChar(int utf16Pos) const
{
    const int u = std::clamp(utf16Pos, 0, m_utf16Length);
    // Each pair starting before u saves one character, also the one u may be in the middle of.
    const auto started = std::lower_bound(m_pairs.begin(), m_pairs.end(), u) - m_pairs.begin();
    return u - int(started);
}

QString shellEscape(const QString& path)
{
    QString out;
    out.reserve(path.size() + path.size() / 4);
    for (const QChar c : path) {
        const char16_t u = c.unicode();
        if (u >= 128 || isShellSafe(u)) {
            out += c;
        } else if (u == u'\n') {
            out += QStringLiteral("'\n'");
        } else {
            out += u'\\';
            out += c;
        }
    }
    return out;
}

std::optional<QStringList> splitShellWords(const QString& text)
{
    enum class Quote { None, Single, Double };
    QStringList words;
    QString word;
    bool inWord = false; // a quoted empty text is a word too
    Quote quote = Quote::None;
    const qsizetype n = text.size();

    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        switch (quote) {
        case Quote::None:
            if (c == u' ' || c == u'\t' || c == u'\n') {
                if (inWord) {
                    words.append(word);
                    word.clear();
                    inWord = false;
                }
            } else if (c == u'\\') {
                if (i + 1 >= n)
                    return std::nullopt;
                const QChar next = text[++i];
                if (next != u'\n') {
                    word += next;
                    inWord = true;
                }
            } else if (c == u'\'') {
                quote = Quote::Single;
                inWord = true;
            } else if (c == u'"') {
                quote = Quote::Double;
                inWord = true;
            } else {
                word += c;
                inWord = true;
            }
            break;
        case Quote::Single:
            if (c == u'\'')
                quote = Quote::None;
            else
                word += c;
            break;
        case Quote::Double:
            if (c == u'"') {
                quote = Quote::None;
            } else if (c == u'\\' && i + 1 < n) {
                const QChar next = text[i + 1];
                if (next == u'\\' || next == u'"' || next == u'$' || next == u'`') {
                    word += next;
                    ++i;
                } else if (next == u'\n') {
                    ++i;
                } else {
                    word += c;
                }
            } else {
                word += c;
            }
            break;
        }
    }
    if (quote != Quote::None)
        return std::nullopt;
    if (inWord)
        words.append(word);
    return words;
}

Utf8Decoder::Utf8Decoder()
    : m_decoder(QStringDecoder::Utf8,
                QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
{
}

QString Utf8Decoder::decode(QByteArrayView bytes)
{
    QByteArray buffer = m_carry;
    buffer.append(bytes);
    m_carry.clear();

    // Keep back a lead byte whose sequence is not complete yet; the decoder sees whole sequences.
    const qsizetype n = buffer.size();
    for (qsizetype k = 1; k <= 3 && k <= n; ++k) {
        const auto b = static_cast<unsigned char>(buffer[n - k]);
        if ((b & 0xC0) == 0x80)
            continue; // continuation byte: look further back for its lead
        const qsizetype need = b >= 0xF8 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (need > k) {
            m_carry = buffer.right(k);
            buffer.chop(k);
        }
        break;
    }
    return convert(buffer);
}

QString Utf8Decoder::finish()
{
    if (m_carry.isEmpty())
        return {};
    const QByteArray rest = std::exchange(m_carry, QByteArray());
    return convert(rest);
}

void Utf8Decoder::reset()
{
    m_carry.clear();
    m_decoder.resetState();
}

QString Utf8Decoder::convert(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    QString text = m_decoder(bytes);
    if (m_decoder.hasError())
        m_decoder.resetState();
    return text;
}

} // namespace fw
