#include "Speller.h"

#include <gtest/gtest.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/rbnf.h>

#include <string>

namespace {

using Kind = backend::Spelling::Kind;

// What ICU itself says for value (a decimal-number string) with the given rule set.
std::string icuWords(const char* value, const char16_t* ruleSet)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::RuleBasedNumberFormat format(icu::URBNF_SPELLOUT, icu::Locale::getEnglish(), status);
    format.setDefaultRuleSet(icu::UnicodeString(ruleSet), status);
    const icu::Formattable number(icu::StringPiece(value), status);
    icu::UnicodeString words;
    icu::FieldPosition ignored;
    format.format(number, words, ignored, status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    std::string utf8;
    words.toUTF8String(utf8);
    return utf8;
}

const backend::Speller& speller()
{
    static const backend::Speller instance;
    return instance;
}

struct SpelledCase {
    const char* entry;
    const char* value;     // the entry's value as ICU decimal text
    const char* cardinal;
    const char* ordinal;   // "" when the value is not whole
};

class Spelled : public ::testing::TestWithParam<SpelledCase> {};

TEST_P(Spelled, MatchesIcuWords)
{
    const SpelledCase& c = GetParam();
    const backend::Spelling s = speller().spell(c.entry);
    ASSERT_EQ(s.kind, Kind::Words);
    EXPECT_EQ(s.cardinal, c.cardinal);
    EXPECT_EQ(s.cardinal, icuWords(c.value, u"%spellout-numbering"));
    EXPECT_EQ(s.ordinal, c.ordinal);
    if (*c.ordinal != '\0') {
        EXPECT_EQ(s.ordinal, icuWords(c.value, u"%spellout-ordinal"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, Spelled,
    ::testing::Values(
        SpelledCase{"0", "0", "zero", "zeroth"},
        SpelledCase{"7", "7", "seven", "seventh"},
        SpelledCase{"11", "11", "eleven", "eleventh"},
        SpelledCase{"21", "21", "twenty-one", "twenty-first"},
        SpelledCase{"100", "100", "one hundred", "one hundredth"},
        SpelledCase{"000042", "42", "forty-two", "forty-second"},
        SpelledCase{"2147483647", "2147483647",
                    "two billion one hundred forty-seven million four hundred eighty-three thousand six hundred "
                    "forty-seven",
                    "two billion one hundred forty-seven million four hundred eighty-three thousand six hundred "
                    "forty-seventh"},
        // Longest digit text with words, and the same through the decimal path (19 digits).
        SpelledCase{"999999999999999999", "999999999999999999",
                    "nine hundred ninety-nine quadrillion nine hundred ninety-nine trillion nine hundred ninety-nine "
                    "billion nine hundred ninety-nine million nine hundred ninety-nine thousand nine hundred "
                    "ninety-nine",
                    "nine hundred ninety-nine quadrillion nine hundred ninety-nine trillion nine hundred ninety-nine "
                    "billion nine hundred ninety-nine million nine hundred ninety-nine thousand nine hundred "
                    "ninety-ninth"},
        SpelledCase{"0000000000000000000012", "12", "twelve", "twelfth"},
        SpelledCase{"-17", "-17", "minus seventeen", "minus seventeenth"},
        SpelledCase{"3.5", "3.5", "three point five", ""},
        SpelledCase{"-3.5", "-3.5", "minus three point five", ""},
        SpelledCase{"0.001", "0.001", "zero point zero zero one", ""},
        // As many significant digits, and as many places, as a fraction may have.
        SpelledCase{"1.23456789012345", "1.23456789012345",
                    "one point two three four five six seven eight nine zero one two three four five", ""},
        SpelledCase{"0.000000000000001", "0.000000000000001",
                    "zero point zero zero zero zero zero zero zero zero zero zero zero zero zero zero one", ""},
        SpelledCase{"1,234", "1234", "one thousand two hundred thirty-four", "one thousand two hundred thirty-fourth"},
        SpelledCase{" 12\t", "12", "twelve", "twelfth"},
        SpelledCase{"1234.000", "1234", "one thousand two hundred thirty-four",
                    "one thousand two hundred thirty-fourth"}));

struct KindCase {
    const char* entry;
    Kind kind;
};

class Unspelled : public ::testing::TestWithParam<KindCase> {};

TEST_P(Unspelled, ReportsWhyWithoutWords)
{
    const backend::Spelling s = speller().spell(GetParam().entry);
    EXPECT_EQ(s.kind, GetParam().kind);
    EXPECT_TRUE(s.cardinal.empty());
    EXPECT_TRUE(s.ordinal.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Unspelled,
    ::testing::Values(
        // Beyond the English rules' last word; neither truncated nor wrapped to a smaller number.
        KindCase{"1000000000000000000", Kind::TooLarge},
        KindCase{"9223372036854775808", Kind::TooLarge},      // 2^63
        KindCase{"18446744073709551616", Kind::TooLarge},     // 2^64, wraps to 0 in 64 bits
        KindCase{"123456789012345678901234567890", Kind::TooLarge},
        KindCase{"-1000000000000000000", Kind::TooLarge},
        KindCase{"1e30", Kind::TooLarge},
        // Fractions the rules would round.
        KindCase{"0.1234567890123456789", Kind::TooPrecise},
        KindCase{"1.234567890123456", Kind::TooPrecise},  // one significant digit too many
        KindCase{"0.0000000000000001", Kind::TooPrecise}, // one place too many
        KindCase{"12345678901234567.5", Kind::TooPrecise},
        KindCase{"1e-30", Kind::TooPrecise},
        KindCase{"1.23456789012345e-10", Kind::TooPrecise},
        // Not numbers.
        KindCase{"", Kind::NotANumber},
        KindCase{"  ", Kind::NotANumber},
        KindCase{"abc", Kind::NotANumber},
        KindCase{"12abc", Kind::NotANumber},
        KindCase{"1,2,3", Kind::NotANumber},
        KindCase{"-", Kind::NotANumber},
        KindCase{"0x10", Kind::NotANumber},
        KindCase{"1 2 3 4", Kind::NotANumber},
        KindCase{"NaN", Kind::NotANumber},
        KindCase{"\xE2\x88\x9E", Kind::NotANumber},  // infinity sign
        KindCase{"12\xFF", Kind::NotANumber},
        KindCase{"\xFF\xFE", Kind::NotANumber}));

// ICU gives numerals, not words, for the too-large values above: that is why they are not spelled.
TEST(SpellerLimits, IcuHasNoWordsFromOneQuintillion)
{
    for (const char* value : {"1000000000000000000", "9223372036854775808", "123456789012345678901234567890"})
        EXPECT_NE(icuWords(value, u"%spellout-numbering").find_first_of("0123456789"), std::string::npos) << value;
}

TEST(SpellerLimits, HugeDigitTextDoesNotCrash)
{
    EXPECT_EQ(speller().spell(std::string(100000, '9')).kind, Kind::TooLarge);
    EXPECT_EQ(speller().spell(std::string(100000, '0') + "5").cardinal, "five");
}

} // namespace
