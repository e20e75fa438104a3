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
        SpelledCase{"\xD9\xA0" "e99999999999999999999", "0", "zero", "zeroth"},
        // U+066B ARABIC DECIMAL SEPARATOR is a decimal point, U+066C ARABIC THOUSANDS SEPARATOR groups.
        SpelledCase{"1\xD9\xAB" "500", "1.5", "one point five", ""},
        SpelledCase{"\xD9\xA3\xD9\xAB\xD9\xA1\xD9\xA4\xD9\xA1", "3.141", "three point one four one", ""},
        SpelledCase{"3\xD9\xAB" "14", "3.14", "three point one four", ""},
        SpelledCase{"\xD9\xAB\xD9\xA5", "0.5", "zero point five", ""},
        SpelledCase{"\xE2\x88\x92" "1\xD9\xAC" "234\xD9\xAB" "5", "-1234.5",
                    "minus one thousand two hundred thirty-four point five", ""},
        SpelledCase{"1\xD9\xAB" "5e3", "1500", "one thousand five hundred", "one thousand five hundredth"},
        SpelledCase{"1\xD9\xAC" "500", "1500", "one thousand five hundred", "one thousand five hundredth"}));

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
        // Two Arabic decimal separators, as two decimal points, make no number.
        KindCase{"1\xD9\xAB" "500\xD9\xAB" "000", Kind::NotANumber},
        KindCase{"1,500\xD9\xAB" "000\xD9\xAB" "5", Kind::NotANumber},
        KindCase{"12\xFF", Kind::NotANumber},
        KindCase{"\xFF\xFE", Kind::NotANumber}));

// A separator of another script or width reads as its ASCII counterpart does in English text: a
// comma-like or blank grouping separator as "," (or " "), a decimal separator as ".", never the other
// way round, so that no value comes out a thousand times too large.
TEST(SpellerSeparators, ReadAsTheirAsciiCounterparts)
{
    // Blanks at either end of an entry are trimmed, and only ASCII ones: a blank-like separator
    // stands between digits here.
    const struct {
        const char* separator;
        const char* ascii;
    } separators[] = {
        {"\xD9\xAB", "."},          // U+066B ARABIC DECIMAL SEPARATOR
        {"\xD9\xAC", ","},          // U+066C ARABIC THOUSANDS SEPARATOR
        {"\xEF\xBC\x8C", ","},      // U+FF0C FULLWIDTH COMMA
        {"\xEF\xB9\x90", ","},      // U+FE50 SMALL COMMA
        {"\xE2\xB9\x81", ","},      // U+2E41 REVERSED COMMA
        {"\xE2\x80\x99", "'"},      // U+2019 RIGHT SINGLE QUOTATION MARK
        {"\xC2\xA0", " "},          // U+00A0 NO-BREAK SPACE
        {"\xE2\x80\xAF", " "},      // U+202F NARROW NO-BREAK SPACE
        {"\xEF\xBC\x8E", "."},      // U+FF0E FULLWIDTH FULL STOP
        {"\xE2\x80\xA4", "."},      // U+2024 ONE DOT LEADER
        {"\xEF\xB9\x92", "."},      // U+FE52 SMALL FULL STOP
        {"\xEF\xBD\xA1", "."},      // U+FF61 HALFWIDTH IDEOGRAPHIC FULL STOP
    };
    // X stands for the separator.
    const char* shapes[] = {"1X500", "12X3", "1X500X000", "1X5X5", "X5", "9X999X999X999X999X999", "7X", "1X2345",
                            "1,234X5", "1X234.5", "1X500e-3"};
    for (const auto& sep : separators) {
        for (const std::string shape : shapes) {
            if (*sep.ascii == ' ' && (shape.front() == 'X' || shape.back() == 'X'))
                continue;
            std::string entry;
            std::string twin;
            for (const char c : shape) {
                entry += c == 'X' ? std::string(sep.separator) : std::string(1, c);
                twin += c == 'X' ? std::string(sep.ascii) : std::string(1, c);
            }
            const backend::Spelling got = speller().spell(entry);
            const backend::Spelling expected = speller().spell(twin);
            EXPECT_EQ(got.kind, expected.kind) << entry << " as " << twin;
            EXPECT_EQ(got.cardinal, expected.cardinal) << entry << " as " << twin;
            EXPECT_EQ(got.ordinal, expected.ordinal) << entry << " as " << twin;
        }
    }
}

// ICU gives numerals, not words, for the too-large values above: that is why they are not spelled.
TEST(SpellerLimits, IcuHasNoWordsFromOneQuintillion)
{
    for (const char* value : {"1000000000000000000", "9223372036854775808", "123456789012345678901234567890"})
        EXPECT_NE(icuWords(value, u"%spellout-numbering").find_first_of("0123456789"), std::string::npos) << value;
}

std::string repeat(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// Number text of exactly `bytes` bytes that only ICU's parser reads, of the value 7 (-7 with minus):
// groups of three digits ("000,...,007") behind a first group of one to three digits, perhaps after
// U+2212 MINUS SIGN (three bytes).
std::string grouped(std::size_t bytes, bool minus)
{
    const std::size_t rest = bytes - (minus ? 3 : 0);
    const std::size_t groups = (rest - 1) / 4;
    std::string text = minus ? "\xE2\x88\x92" : "";
    text += std::string(rest - 4 * groups, '0');
    text += repeat(",000", groups - 1) + ",007";
    EXPECT_EQ(text.size(), bytes);
    return text;
}

// Arabic-Indic digits (two bytes each) of exactly `bytes` bytes, the value 7 (70 for an even count):
// zeros, then 7 (or 7 and 0), behind an ASCII 0 where the count is odd.
std::string arabicIndic(std::size_t bytes)
{
    const bool odd = bytes % 2 == 1;
    std::string text = odd ? "0" : "";
    text += repeat("\xD9\xA0", odd ? (bytes - 3) / 2 : (bytes - 4) / 2);
    text += odd ? "\xD9\xA7" : "\xD9\xA7\xD9\xA0";
    EXPECT_EQ(text.size(), bytes);
    return text;
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
        // The limit is 1,000 bytes of trimmed text: 999 and 1,000 are read, 1,001 is not.
        {grouped(999, false), Kind::Words, "seven"},
        {grouped(1000, true), Kind::Words, "minus seven"},
        {grouped(1001, false), Kind::TooLong, ""},
        {"  " + grouped(1000, false).substr(1) + "\t", Kind::Words, "seven"},
        {arabicIndic(999), Kind::Words, "seven"},
        {arabicIndic(1000), Kind::Words, "seventy"},
        {arabicIndic(1001), Kind::TooLong, ""},
        // Text that holds no digit is no number, however long.
        {repeat("\xE4\xB8\xAD", 400), Kind::NotANumber, ""},  // U+4E2D
        {std::string(2000, ','), Kind::NotANumber, ""},
        {repeat("\xE2\x80\xAF.", 1000), Kind::NotANumber, ""},
        {repeat("\xE2\x88\x92", 1000), Kind::NotANumber, ""},
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
