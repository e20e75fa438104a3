#include "Speller.h"

#include <unicode/fmtable.h>
#include <unicode/fieldpos.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/rbnf.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace backend {

namespace {

// The spell-out rules carry fractions through a double and spell a limited number of places:
// beyond this many significant digits or fraction places the words would be rounded silently.
constexpr int64_t kMaxExactFractionDigits = std::numeric_limits<double>::digits10;

// The English rules have words for whole numbers of up to this many digits (below 10^18), all of
// which fit an int64_t.
constexpr int64_t kMaxWholeDigits = 18;

std::unique_ptr<icu::RuleBasedNumberFormat> makeSpellOut(const char16_t* ruleSet)
{
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_SPELLOUT, icu::Locale::getEnglish(), status);
    if (U_SUCCESS(status))
        format->setDefaultRuleSet(icu::UnicodeString(ruleSet), status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU has no English spell-out rules (") + u_errorName(status) + ")");
    return format;
}

// Where the rules have no words for a value they fall back to numerals, so digits in the output
// mean the value is out of their range.
bool hasAsciiDigit(const icu::UnicodeString& text)
{
    for (int32_t i = 0; i < text.length(); ++i) {
        const char16_t c = text.charAt(i);
        if (c >= u'0' && c <= u'9')
            return true;
    }
    return false;
}

// Plain decimal text: an optional minus, digits with at most one decimal point (at least one digit),
// then perhaps an exponent: E or e, an optional sign and at least one digit. ICU writes its decimal
// values in this form too ("-1.25E-7").
struct PlainNumber {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
    int64_t exponent = 0;  // saturated at plus or minus kExponentLimit
};

// Beyond this an exponent decides the verdict alone: the entry's digits cannot bring the value back
// into range, and sums of it with a text length still fit an int64_t.
constexpr int64_t kExponentLimit = 1'000'000'000'000'000'000;

int64_t clampExponent(int64_t exponent)
{
    return std::clamp(exponent, -kExponentLimit, kExponentLimit);
}

// Adds one decimal digit to a magnitude that saturates at kExponentLimit.
int64_t appendExponentDigit(int64_t magnitude, int digit)
{
    return magnitude >= kExponentLimit / 10 ? kExponentLimit : magnitude * 10 + digit;
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t countDigits(std::string_view text, std::size_t from)
{
    std::size_t end = from;
    while (end < text.size() && isAsciiDigit(text[end]))
        ++end;
    return end - from;
}

enum class PlainForm { Number, NotANumber, Other };

// Reads text in the plain form in one pass. Two near misses are not numbers in any form, however
// long: a leading plus (the English parser takes none) and an exponent mark with no digits after
// it ("1e", "1e+").
PlainForm readPlainNumber(std::string_view text, PlainNumber& number)
{
    number = PlainNumber{};
    std::size_t i = 0;
    bool plus = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        number.negative = text[i] == '-';
        plus = text[i] == '+';
        ++i;
    }
    const std::size_t integerCount = countDigits(text, i);
    number.integerDigits = text.substr(i, integerCount);
    i += integerCount;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionCount = countDigits(text, i + 1);
        number.fractionDigits = text.substr(i + 1, fractionCount);
        i += 1 + fractionCount;
    }
    if (number.integerDigits.empty() && number.fractionDigits.empty())
        return PlainForm::Other;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i >= text.size())
            return PlainForm::NotANumber;
        if (!isAsciiDigit(text[i]))
            return PlainForm::Other;
        int64_t magnitude = 0;
        for (; i < text.size() && isAsciiDigit(text[i]); ++i)
            magnitude = appendExponentDigit(magnitude, text[i] - '0');
        number.exponent = negativeExponent ? -magnitude : magnitude;
    }
    if (i != text.size())
        return PlainForm::Other;
    return plus ? PlainForm::NotANumber : PlainForm::Number;
}

// The ASCII characters that English number text may hold besides digits: grouping (space,
// apostrophe, comma), signs, the decimal point and the exponent. Text with any other ASCII
// character is not a number, however long ("NaN" is not a number either).
bool isNumberAscii(char c)
{
    switch (c) {
    case ' ': case '\'': case '+': case ',': case '-': case '.': case 'E': case 'e':
        return true;
    default:
        return isAsciiDigit(c);
    }
}

// Whether text, not in the plain form, may be number text for ICU's parser: it holds a decimal digit
// of some script and no ASCII character that no number holds. Text without a digit is no number
// however long, so it is never too long to read as one. One pass.
bool mayBeNumberText(std::string_view text)
{
    bool digit = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (!isNumberAscii(static_cast<char>(byte)))
                return false;
            digit = digit || isAsciiDigit(static_cast<char>(byte));
            ++i;
        } else if (digit) {
            ++i;  // once a digit is seen, only an ASCII character can still rule the text out
        } else {
            const auto* rest = reinterpret_cast<const uint8_t*>(text.data() + i);
            const auto restLength = static_cast<int32_t>(std::min<std::size_t>(text.size() - i, 4));
            int32_t used = 0;
            UChar32 c = 0;
            U8_NEXT(rest, used, restLength, c);
            digit = c >= 0 && u_charDigitValue(c) >= 0;
            i += static_cast<std::size_t>(used);
        }
    }
    return digit;
}

// The exponent of number text that ICU has accepted, read from the text after its E: digits of any
// script, negative when a dash of any kind precedes them. ICU itself loses exponents beyond 32
// bits (to infinity or zero), so they are read here.
int64_t readExponent(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    int64_t magnitude = 0;
    bool negative = false;
    bool digitSeen = false;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        const int32_t digit = c >= 0 ? u_charDigitValue(c) : -1;
        if (digit >= 0 && digit <= 9) {
            magnitude = appendExponentDigit(magnitude, digit);
            digitSeen = true;
        } else if (!digitSeen && c >= 0 && u_hasBinaryProperty(c, UCHAR_DASH)) {
            negative = true;
        }
    }
    return negative ? -magnitude : magnitude;
}

// Reads number text in forms other than the plain one (grouping, digits of other scripts, other
// minus signs) with ICU's parser: on success number, backed by decimal, times 10^extraExponent is
// the text's value.
// ICU's English parser takes U+066B ARABIC DECIMAL SEPARATOR for a comma, so for grouping, and would
// read "1٫500" as 1500; it is the decimal point of Arabic and Persian text and is read as one, as
// U+066C ARABIC THOUSANDS SEPARATOR is read as grouping. Every other separator the parser accepts is
// a comma, an apostrophe or a blank that groups, or a full stop that is a decimal point.
bool parseWithIcu(const icu::NumberFormat& parser, std::string_view text, std::string& decimal, PlainNumber& number,
                  int64_t& extraExponent)
{
    const auto parseAll = [&parser](std::string_view part, icu::Formattable& value) {
        icu::UnicodeString unicode =
            icu::UnicodeString::fromUTF8(icu::StringPiece(part.data(), static_cast<int32_t>(part.size())));
        unicode.findAndReplace(icu::UnicodeString(char16_t(0x066B)), icu::UnicodeString(u'.'));
        icu::ParsePosition position(0);
        parser.parse(unicode, value, position);
        return position.getErrorIndex() < 0 && position.getIndex() == unicode.length();
    };
    icu::Formattable value;
    if (!parseAll(text, value))
        return false;
    extraExponent = 0;
    const std::size_t exponentMark = text.find_first_of("Ee");
    if (exponentMark != std::string_view::npos) {
        if (!parseAll(text.substr(0, exponentMark), value))
            return false;
        extraExponent = readExponent(text.substr(exponentMark + 1));
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::StringPiece digits = value.getDecimalNumber(status);
    if (U_FAILURE(status))
        return false;
    decimal.assign(digits.data(), static_cast<std::size_t>(digits.size()));
    return readPlainNumber(decimal, number) == PlainForm::Number;  // not "Infinity" or "NaN"
}

// Where the value of number times 10^extraExponent has words, sets value to it (an int64_t when
// whole) and returns Words; otherwise returns the verdict. Linear in the number's digits.
Spelling::Kind judge(const PlainNumber& number, int64_t extraExponent, std::string& buffer, icu::Formattable& value,
                     bool& whole)
{
    const std::string_view integer = number.integerDigits;
    const std::string_view fraction = number.fractionDigits;
    const std::size_t total = integer.size() + fraction.size();
    const auto digitAt = [&](std::size_t k) { return k < integer.size() ? integer[k] : fraction[k - integer.size()]; };

    std::size_t first = 0;
    while (first < total && digitAt(first) == '0')
        ++first;
    whole = true;
    if (first == total) {
        value.setInt64(0);  // zero, whatever its sign or exponent
        return Spelling::Kind::Words;
    }
    std::size_t last = total - 1;
    while (digitAt(last) == '0')
        --last;

    // value = significant digits (first..last) as an integer * 10^scale
    const auto count = static_cast<int64_t>(last - first + 1);
    const int64_t exponent = clampExponent(number.exponent + extraExponent);
    const int64_t scale = static_cast<int64_t>(integer.size()) - 1 - static_cast<int64_t>(last) + exponent;
    if (count + scale > kMaxWholeDigits)
        return Spelling::Kind::TooLarge;
    if (scale >= 0) {
        int64_t n = 0;
        for (std::size_t k = first; k <= last; ++k)
            n = n * 10 + (digitAt(k) - '0');
        for (int64_t k = 0; k < scale; ++k)
            n *= 10;
        value.setInt64(number.negative ? -n : n);
        return Spelling::Kind::Words;
    }
    whole = false;
    if (count > kMaxExactFractionDigits || -scale > kMaxExactFractionDigits)
        return Spelling::Kind::TooPrecise;
    buffer.clear();
    if (number.negative)
        buffer += '-';
    for (std::size_t k = first; k <= last; ++k)
        buffer += digitAt(k);
    buffer += 'E';
    buffer += std::to_string(scale);
    UErrorCode status = U_ZERO_ERROR;
    value.setDecimalNumber(icu::StringPiece(buffer.data(), static_cast<int32_t>(buffer.size())), status);
    return U_SUCCESS(status) ? Spelling::Kind::Words : Spelling::Kind::NotANumber;
}

} // namespace

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

Speller::Speller()
    : cardinal_(makeSpellOut(u"%spellout-numbering"))
    , ordinal_(makeSpellOut(u"%spellout-ordinal"))
{
    UErrorCode status = U_ZERO_ERROR;
    parser_.reset(icu::NumberFormat::createInstance(icu::Locale::getEnglish(), UNUM_DECIMAL, status));
    if (U_FAILURE(status) || !parser_)
        throw std::runtime_error(std::string("ICU has no English number parser (") + u_errorName(status) + ")");
}

Speller::~Speller() = default;

void Speller::spell(std::string_view entry, Spelling& out) const
{
    out.kind = Spelling::Kind::NotANumber;
    out.cardinal.clear();
    out.ordinal.clear();

    const std::string_view text = trimBlanks(entry);
    PlainNumber number;
    int64_t extraExponent = 0;
    std::string decimal;
    switch (readPlainNumber(text, number)) {
    case PlainForm::Number:
        break;
    case PlainForm::NotANumber:
        return;
    case PlainForm::Other:
        if (!mayBeNumberText(text))
            return;
        if (text.size() > Speller::kMaxParsedBytes) {
            out.kind = Spelling::Kind::TooLong;
            return;
        }
        if (!parseWithIcu(*parser_, text, decimal, number, extraExponent))
            return;
        break;
    }

    icu::Formattable value;
    bool whole = true;
    std::string canonical;  // not decimal: number may point into that
    out.kind = judge(number, extraExponent, canonical, value, whole);
    if (out.kind != Spelling::Kind::Words)
        return;

    icu::UnicodeString words;
    icu::FieldPosition ignored(icu::FieldPosition::DONT_CARE);
    UErrorCode status = U_ZERO_ERROR;
    cardinal_->format(value, words, ignored, status);
    if (U_FAILURE(status) || hasAsciiDigit(words)) {
        out.kind = Spelling::Kind::TooLarge;
        return;
    }
    if (whole) {
        icu::UnicodeString ordinalWords;
        ordinal_->format(value, ordinalWords, ignored, status);
        if (U_FAILURE(status) || hasAsciiDigit(ordinalWords)) {
            out.kind = Spelling::Kind::TooLarge;
            return;
        }
        ordinalWords.toUTF8String(out.ordinal);
    }
    words.toUTF8String(out.cardinal);
}

} // namespace backend
