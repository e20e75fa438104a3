#include "Speller.h"

#include <unicode/fmtable.h>
#include <unicode/fieldpos.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace backend {

namespace {

// The spell-out rules carry fractions through a double and spell a limited number of places:
// beyond this many significant digits or fraction places the words would be rounded silently.
constexpr int kMaxExactFractionDigits = std::numeric_limits<double>::digits10;

// Digit text this short always fits an int64_t, which ICU spells without a decimal conversion.
constexpr std::size_t kMaxInt64Digits = 18;

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

struct DecimalShape {
    bool finite = false;
    int significantDigits = 0;
    int64_t fractionPlaces = 0;
};

// Reads ICU's decimal-number text ("-1.25E-7", "1234.5", "Infinity", "NaN").
DecimalShape decimalShape(std::string_view text)
{
    DecimalShape shape;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return shape;
    shape.finite = true;

    std::string digits;
    int64_t integerDigits = -1;
    for (; i < text.size() && text[i] != 'E' && text[i] != 'e'; ++i) {
        if (text[i] == '.')
            integerDigits = static_cast<int64_t>(digits.size());
        else
            digits += text[i];
    }
    if (integerDigits < 0)
        integerDigits = static_cast<int64_t>(digits.size());
    int64_t exponent = 0;
    if (i < text.size()) {
        const char* first = text.data() + i + 1;
        if (first < text.data() + text.size() && *first == '+')
            ++first;
        std::from_chars(first, text.data() + text.size(), exponent);
    }

    // value = digits (as an integer) * 10^scale
    int64_t scale = integerDigits - static_cast<int64_t>(digits.size()) + exponent;
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++scale;
    }
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        return shape;  // zero
    shape.significantDigits = static_cast<int>(digits.size() - firstNonZero);
    shape.fractionPlaces = scale < 0 ? -scale : 0;
    return shape;
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

bool isDigitText(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
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
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return;

    icu::Formattable value;
    bool whole = true;
    if (isDigitText(text)) {
        if (text.size() <= kMaxInt64Digits) {
            int64_t n = 0;
            std::from_chars(text.data(), text.data() + text.size(), n);
            value.setInt64(n);
        } else {
            UErrorCode status = U_ZERO_ERROR;
            value.setDecimalNumber(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), status);
            if (U_FAILURE(status)) {
                out.kind = Spelling::Kind::TooLarge;  // digit text ICU cannot even hold
                return;
            }
        }
    } else {
        const icu::UnicodeString unicode =
            icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
        icu::ParsePosition position(0);
        parser_->parse(unicode, value, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length())
            return;
    }

    DecimalShape shape;
    if (value.getType() == icu::Formattable::kDouble) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::StringPiece decimal = value.getDecimalNumber(status);
        if (U_FAILURE(status))
            return;
        shape = decimalShape(std::string_view(decimal.data(), static_cast<std::size_t>(decimal.size())));
        if (!shape.finite)
            return;
        whole = shape.fractionPlaces == 0;
    }

    icu::UnicodeString words;
    icu::FieldPosition ignored(icu::FieldPosition::DONT_CARE);
    UErrorCode status = U_ZERO_ERROR;
    cardinal_->format(value, words, ignored, status);
    if (U_FAILURE(status) || hasAsciiDigit(words)) {
        out.kind = Spelling::Kind::TooLarge;
        return;
    }
    if (!whole && (shape.significantDigits > kMaxExactFractionDigits || shape.fractionPlaces > kMaxExactFractionDigits)) {
        out.kind = Spelling::Kind::TooPrecise;
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
    out.kind = Spelling::Kind::Words;
}

} // namespace backend
