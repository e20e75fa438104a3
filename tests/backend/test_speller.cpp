#include "Speller.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/rbnf.h>

#include <QElapsedTimer>

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
                    "one thousand two hundred thirty-fourth"},
        SpelledCase{".5", "0.5", "zero point five", ""},
        SpelledCase{"-.5", "-0.5", "minus zero point five", ""},
        SpelledCase{"5.", "5", "five", "fifth"},
        SpelledCase{"-0", "0", "zero", "zeroth"},
        SpelledCase{"25E-3", "0.025", "zero point zero two five", ""},
        SpelledCase{"1.5e+17", "150000000000000000", "one hundred fifty quadrillion", "one hundred fifty quadrillionth"},
        // Exponents beyond 32 and 64 bits, and digits that bring a far exponent back into range.
        SpelledCase{"0e99999999999999999999", "0", "zero", "zeroth"},
        SpelledCase{"-0.0e-2147483648", "0", "zero", "zeroth"},
        SpelledCase{"1e0000000000000000000005", "100000", "one hundred thousand", "one hundred thousandth"},
        SpelledCase{"0.00000000000000000000000000000000000000001e40", "0.1", "zero point one", ""},
        SpelledCase{"100000000000000000000000000000000e-30", "100", "one hundred", "one hundredth"},
        // Forms only ICU's parser reads: Arabic-Indic digits, U+2212 minus with grouping.
        SpelledCase{"\xD9\xA1\xD9\xA2\xD9\xA3.\xD9\xA4\xD9\xA5", "123.45",
                    "one hundred twenty-three point four five", ""},
        SpelledCase{"\xE2\x88\x92" "1,234.5e-1", "-123.45", "minus one hundred twenty-three point four five", ""},
        SpelledCase{"\xD9\xA0" "e99999999999999999999", "0", "zero", "zeroth"}));

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
        KindCase{"1e18", Kind::TooLarge},
        KindCase{"1e400", Kind::TooLarge},
        KindCase{"1e2147483647", Kind::TooLarge},
        KindCase{"1e2147483648", Kind::TooLarge},
        KindCase{"1e99999999999999999999", Kind::TooLarge},
        KindCase{"-1e99999999999999999999", Kind::TooLarge},
        KindCase{"1e+9223372036854775808", Kind::TooLarge},
        KindCase{"\xD9\xA1" "e99999999999999999999", Kind::TooLarge},
        KindCase{"1,000.5e2147483647", Kind::TooLarge},
        KindCase{"1234567890123456789.5", Kind::TooLarge},
        // Fractions the rules would round.
        KindCase{"0.1234567890123456789", Kind::TooPrecise},
        KindCase{"1.234567890123456", Kind::TooPrecise},  // one significant digit too many
        KindCase{"0.0000000000000001", Kind::TooPrecise}, // one place too many
        KindCase{"12345678901234567.5", Kind::TooPrecise},
        KindCase{"1e-30", Kind::TooPrecise},
        KindCase{"1.23456789012345e-10", Kind::TooPrecise},
        KindCase{"1e-16", Kind::TooPrecise},
        KindCase{"999999999999999999.5", Kind::TooPrecise},  // below 10^18, but 19 digits
        KindCase{"7e-10000000000", Kind::TooPrecise},
        KindCase{"1e-2147483648", Kind::TooPrecise},
        KindCase{"1e-2147483649", Kind::TooPrecise},
        KindCase{"1e-9223372036854775809", Kind::TooPrecise},
        KindCase{"\xD9\xA1" "e-99999999999999999999", Kind::TooPrecise},
        KindCase{"\xE2\x88\x92" "1,000e\xE2\x88\x92" "2147483649", Kind::TooPrecise},
        // Not numbers.
        KindCase{"", Kind::NotANumber},
        KindCase{"  ", Kind::NotANumber},
        KindCase{"abc", Kind::NotANumber},
        KindCase{"12abc", Kind::NotANumber},
        KindCase{"1,2,3", Kind::NotANumber},
        KindCase{"-", Kind::NotANumber},
        KindCase{".", Kind::NotANumber},
        KindCase{"+5", Kind::NotANumber},
        KindCase{"1e", Kind::NotANumber},
        KindCase{"1e+", Kind::NotANumber},
        KindCase{"1e-", Kind::NotANumber},
        KindCase{"1e--5", Kind::NotANumber},
        KindCase{"1e5.5", Kind::NotANumber},
        KindCase{".e5", Kind::NotANumber},
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

// Long number text, and short text of a huge value, gets the verdict of its short peers in time
// linear in its length.
TEST(SpellerLimits, HugeNumberTextIsJudgedInLinearTime)
{
    constexpr std::size_t kDigits = 400000;
    const std::string sevens(kDigits, '7');
    const std::string zeros(kDigits, '0');
    const std::string groups = [] {
        std::string text = "1";
        for (std::size_t i = 0; i < backend::Speller::kMaxParsedBytes / 4; ++i)
            text += ",000";
        return text;
    }();
    const struct {
        std::string entry;
        Kind kind;
        const char* cardinal;
    } cases[] = {
        {std::string(100000, '9'), Kind::TooLarge, ""},
        {std::string(100000, '0') + "5", Kind::Words, "five"},
        {sevens, Kind::TooLarge, ""},
        {"-" + sevens, Kind::TooLarge, ""},
        {"7." + sevens, Kind::TooPrecise, ""},
        {sevens + "e5", Kind::TooLarge, ""},
        {"0." + sevens + "e-5", Kind::TooPrecise, ""},
        {"-" + zeros + "5", Kind::Words, "minus five"},
        {"0." + zeros + "5e400001", Kind::Words, "five"},
        {"5" + zeros + "e-400000", Kind::Words, "five"},
        {"-" + zeros + "." + zeros + "e99999999999999999999", Kind::Words, "zero"},
        {"1e99999999", Kind::TooLarge, ""},  // short, but a hundred million digits as numerals
        {sevens + "e+", Kind::NotANumber, ""},
        {sevens + "x", Kind::NotANumber, ""},
        {"+" + sevens, Kind::NotANumber, ""},
        // Grouped digits: read by ICU's parser up to its limit, too long beyond it.
        {groups.substr(0, backend::Speller::kMaxParsedBytes - 3), Kind::TooLarge, ""},
        {groups, Kind::TooLong, ""},
    };
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        const backend::Spelling s = speller().spell(c.entry);
        EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(200)) << c.entry.substr(0, 20) << "... of " << c.entry.size();
        EXPECT_EQ(s.kind, c.kind) << c.entry.substr(0, 20) << "... of " << c.entry.size();
        EXPECT_EQ(s.cardinal, c.cardinal) << c.entry.substr(0, 20) << "... of " << c.entry.size();
    }
}

} // namespace
