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
        NotANumber,
    };
    Kind kind = Kind::NotANumber;
    std::string cardinal;  // UTF-8; empty unless kind is Words
    std::string ordinal;   // UTF-8; empty unless kind is Words and the value is whole
};

// Spells entries in English with ICU's rule-based spell-out rules.
// Text of only digits 0-9 (any length, leading zeros allowed) is a whole number; other text is a
// number when ICU's English decimal parser consumes all of it once blanks around it are trimmed
// ("-17", "3.5", "1,234"). Infinity and NaN count as not a number.
// One Speller is not safe to use from several threads at once.
class Speller {
public:
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

// True for non-empty text of only the digits 0-9.
bool isDigitText(std::string_view text);

} // namespace backend
