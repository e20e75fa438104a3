#include "platform/TextHelpers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

namespace {

// U+1D11E (musical G clef), outside the BMP: two UTF-16 units, one character.
const QString Clef = QString::fromUcs4(U"\U0001D11E");

struct ValCase {
    const char* text;
    double expected;
};

TEST(TextHelpers, ValReadsTheLeadingNumber)
{
    const ValCase cases[] = {
        {"", 0.0},         {"abc", 0.0},       {"42", 42.0},        {"  \t-17xyz", -17.0},
        {"+3.25", 3.25},   {".5", 0.5},        {"-.5", -0.5},       {"7.", 7.0},
        {"1.2.3", 1.2},    {"12 34", 12.0},    {"-", 0.0},          {"- 5", 0.0},
        {"1e5", 1.0},      {"0042", 42.0},     {"٣", 0.0}, // Arabic-Indic digit is not a number here
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(fw::Val(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(TextHelpers, ValOfHugeOrTinyDigitRunsStaysFinite)
{
    EXPECT_DOUBLE_EQ(fw::Val(QString(30, u'9')), 1e30);
    EXPECT_EQ(fw::Val(QString(500, u'9')), std::numeric_limits<double>::max());
    EXPECT_EQ(fw::Val("-" + QString(500, u'9')), -std::numeric_limits<double>::max());
    EXPECT_EQ(fw::Val("0." + QString(500, u'0') + "1"), 0.0);
    EXPECT_EQ(fw::Str(-1234567890123LL), QStringLiteral("-1234567890123"));
}

struct SplitCase {
    QString text;
    QString delimiter;
    QStringList expected;
};

TEST(TextHelpers, SplitCutsAtEveryDelimiter)
{
    const SplitCase cases[] = {
        {"a,b,c", ",", {"a", "b", "c"}},
        {"", ",", {""}},
        {",", ",", {"", ""}},
        {"a,,b,", ",", {"a", "", "b", ""}},
        {"no delimiter", ";", {"no delimiter"}},
        {"a--b---c", "--", {"a", "b", "-c"}},
        {"abc", "", {"a", "b", "c"}},
        {"x" + Clef + "y", "", {"x", Clef, "y"}},
        {"", "", {}},
        {"a" + Clef + "b", Clef, {"a", "b"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fw::Split(c.text, c.delimiter), c.expected) << c.text.toStdString();
}

TEST(TextHelpers, LenCountsCodePoints)
{
    EXPECT_EQ(fw::Len(""), 0);
    EXPECT_EQ(fw::Len("abc"), 3);
    EXPECT_EQ(fw::Len(Clef), 1);
    EXPECT_EQ(fw::Len("a" + Clef + Clef + "b"), 4);
    EXPECT_EQ(fw::Len(QString(QChar(0xD800))), 1); // a lone surrogate still is something
    EXPECT_EQ(fw::Len(QString(QChar(0xDC00)) + QChar(0xD800)), 2); // reversed halves: no pair
}

TEST(TextHelpers, PositionConversionsAgreeWithCharIndex)
{
    // "a" Clef "b" Clef : UTF-16 units a,H,L,b,H,L -> characters a,Clef,b,Clef.
    const QString text = "a" + Clef + "b" + Clef;
    struct Conv {
        int utf16;
        int character;
    };
    const Conv toChar[] = {{-5, 0}, {0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 4}, {99, 4}};
    const Conv toUtf16[] = {{0, -1}, {1, 1}, {3, 2}, {4, 3}, {6, 4}, {6, 99}, {0, 0}};

    fw::CharIndex whole;
    whole.reset(text);
    fw::CharIndex pieces; // the same text appended unit by unit: pairs cut between appends
    for (const QChar c : text)
        pieces.append(QStringView(&c, 1));

    EXPECT_EQ(whole.charLength(), 4);
    EXPECT_EQ(pieces.charLength(), 4);
    for (const auto& c : toChar) {
        EXPECT_EQ(fw::utf16ToCharPos(text, c.utf16), c.character) << c.utf16;
        EXPECT_EQ(whole.toChar(c.utf16), c.character) << c.utf16;
        EXPECT_EQ(pieces.toChar(c.utf16), c.character) << c.utf16;
    }
    for (const auto& c : toUtf16) {
        EXPECT_EQ(fw::charToUtf16Pos(text, c.character), c.utf16) << c.character;
        EXPECT_EQ(whole.toUtf16(c.character), c.utf16) << c.character;
        EXPECT_EQ(pieces.toUtf16(c.character), c.utf16) << c.character;
    }
}

TEST(TextHelpers, CharIndexMatchesTheLinearConversionsOnMixedText)
{
    QString text;
    fw::CharIndex index;
    const QString parts[] = {"ab", Clef, QString(QChar(0xD83D)), QString(QChar(0xDE00)), "c",
                             QString(QChar(0xD800)), "d", Clef + Clef, QString(QChar(0xDC00))};
    for (const QString& part : parts) {
        text += part;
        index.append(part);
    }
    ASSERT_EQ(index.charLength(), fw::Len(text));
    for (int u = 0; u <= text.size(); ++u)
        EXPECT_EQ(index.toChar(u), fw::utf16ToCharPos(text, u)) << u;
    for (int c = 0; c <= fw::Len(text); ++c)
        EXPECT_EQ(index.toUtf16(c), fw::charToUtf16Pos(text, c)) << c;
}

struct WordsCase {
    const char* text;
    std::optional<QStringList> expected;
};

TEST(TextHelpers, SplitShellWordsHonoursQuotingOnly)
{
    const WordsCase cases[] = {
        {"", QStringList{}},
        {"   ", QStringList{}},
        {"a  b\tc\nd", QStringList{"a", "b", "c", "d"}},
        {R"(a\ b)", QStringList{"a b"}},
        {R"('a b' "c d")", QStringList{"a b", "c d"}},
        {R"('' "")", QStringList{"", ""}},
        {R"(pre'mid'"post")", QStringList{"premidpost"}},
        {R"('a\b')", QStringList{R"(a\b)"}},
        {R"("\\ \" \$ \` \n")", QStringList{R"(\ " $ ` \n)"}},
        {"\"a\\\nb\"", QStringList{"ab"}},
        {"a\\\nb", QStringList{"ab"}},
        {"x; touch /tmp/pwned", QStringList{"x;", "touch", "/tmp/pwned"}},
        {"$HOME `id` $(id) a|b *.txt ~ #c", QStringList{"$HOME", "`id`", "$(id)", "a|b", "*.txt", "~", "#c"}},
        {"'unterminated", std::nullopt},
        {"\"unterminated", std::nullopt},
        {"\"ends in escape\\", std::nullopt},
        {"trailing\\", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fw::splitShellWords(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(TextHelpers, ShellEscapeRoundTripsThroughSplitShellWords)
{
    const QString paths[] = {
        "/plain/path-1.2_x+y,z:w@h%=",
        "/with blanks/and 'single' \"double\"",
        "/dollar$HOME/semi;colon/back\\slash/`tick`/*?[]",
        "/new\nline\ttab/ünïcödé/" + Clef,
        "",
    };
    for (const QString& path : paths) {
        const auto words = fw::splitShellWords(fw::shellEscape(path));
        ASSERT_TRUE(words) << path.toStdString();
        if (path.isEmpty())
            EXPECT_TRUE(words->isEmpty());
        else
            EXPECT_EQ(*words, QStringList{path});
    }
    EXPECT_EQ(fw::shellEscape("/a b/c$d;e"), QStringLiteral(R"(/a\ b/c\$d\;e)"));
    EXPECT_EQ(fw::shellEscape(QStringLiteral("ü")), QStringLiteral("ü"));
}

TEST(TextHelpers, Utf8DecoderCompletesCharactersCutBetweenPieces)
{
    const QByteArray text = QString("a€" + Clef + "ü").toUtf8();
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        fw::Utf8Decoder decoder;
        QString out = decoder.decode(text.left(cut));
        out += decoder.decode(text.mid(cut));
        out += decoder.finish();
        EXPECT_EQ(out, "a€" + Clef + "ü") << cut;
        EXPECT_FALSE(decoder.hadInvalid());
    }
    fw::Utf8Decoder decoder;
    QString out = decoder.decode("ok\xE2\x82");
    out += decoder.finish(); // an unfinished character at the end
    EXPECT_TRUE(out.startsWith("ok"));
    EXPECT_TRUE(out.contains(QChar(0xFFFD)));
    EXPECT_TRUE(decoder.hadInvalid());
}

} // namespace
