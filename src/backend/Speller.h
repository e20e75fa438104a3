#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class NumberFormat;
class RuleBasedNumberFormat;
U_NAMESPACE_END

namespace backend {

// What the report says about one entry.
struct Spelling {
    enum class Kind {
        Words,        // cardinal holds words; ordinal holds words when the value is whole
        TooLarge,     // a number beyond the largest one the English rules have words for
        TooPrecise,   // a fraction with more digits than can be spelled without rounding
        TooLong,      // text in a form other than the plain one, too long to be read as a number
        NotANumber,
    };
    Kind kind = Kind::NotANumber;
    std::string cardinal;  // UTF-8; empty unless kind is Words
    std::string ordinal;   // UTF-8; empty unless kind is Words and the value is whole
};

// Spells entries in English with ICU's rule-based spell-out rules.
// Blanks around an entry are trimmed. Plain decimal text, an optional minus, digits 0-9 with at most
// one decimal point, then perhaps E or e, an optional sign and digits ("0042", "-17", ".5", "1e-5"),
// is read here in time linear in its length, at any length and with any exponent. Other text is a
// number when ICU's English decimal parser consumes all of it ("1,234", Arabic-Indic digits, U+2212
// minus), U+066B ARABIC DECIMAL SEPARATOR being read as the decimal point it is ("1٫5"); such text
// of more than kMaxParsedBytes is TooLong if it holds a decimal digit and no ASCII character that no
// number holds, and not a number otherwise. Infinity and NaN count as not a number.
// The verdict depends on the value alone, whatever its form: zero has words at any exponent, a
// value of 10^18 or more is TooLarge and a fraction with more than 15 significant digits or places
// is TooPrecise, however far its exponent lies beyond 32 or 64 bits.
// One Speller is not safe to use from several threads at once.
class Speller {
public:
    // Text in forms other than the plain one goes through ICU's parser, whose time grows with the
    // square of the text's length, so longer text of that kind is not parsed. Numbers written by
    // hand are far shorter.
    static constexpr std::size_t kMaxParsedBytes = 1000;

    // Throws std::runtime_error when ICU cannot provide the English spell-out rules.
    Speller();
    ~Speller();
    Speller(const Speller&) = delete;
    Speller& operator=(const Speller&) = delete;

    // Fills out (reusing its buffers) with what entry, UTF-8 text, spells as.
    void spell(std::string_view entry, Spelling& out) const;
    Spelling spell(std::string_view entry) const { Spelling s; spell(entry, s); return s; }

private:
    std::unique_ptr<icu::RuleBasedNumberFormat> cardinal_;
    std::unique_ptr<icu::RuleBasedNumberFormat> ordinal_;
    std::unique_ptr<icu::NumberFormat> parser_;
};

// Space and tab: the blanks that may surround a number.
bool isBlank(char c);
std::string_view trimBlanks(std::string_view text);

} // namespace backend
