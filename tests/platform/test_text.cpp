#include "platform/TextHelpers.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

// U+1D11E (musical G clef), outside the BMP: two UTF-16 units, one character.
const QString Clef = QString::fromUcs4(U"\U0001D11E");

TEST(TextHelpers, ValReadsTheLeadingNumber)
{
    const double max = std::numeric_limits<double>::max();
    const std::pair<QString, double> cases[] = {
        {"", 0.0},         {"abc", 0.0},     {"42", 42.0},          {"  \t-17xyz", -17.0},
        {"+3.25", 3.25},   {".5", 0.5},      {"-.5", -0.5},         {"7.", 7.0},
        {"1.2.3", 1.2},    {"12 34", 12.0},  {"- 5", 0.0},          {"1e5", 1.0},
        {QString::fromUtf8("\u0663"), 0.0}, // an Arabic-Indic digit is no number here
        {QString(30, u'9'), 1e30},           {QString(500, u'9'), max},
        {"-" + QString(500, u'9'), -max},    {"0." + QString(500, u'0') + "1", 0.0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(fw::Val(text), expected) << text.left(20).toStdString();
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

TEST(TextHelpers, CharacterCountsAndPositions)
{
    const QString lone(QChar(0xD800));
    EXPECT_EQ(fw::Len(""), 0);
    EXPECT_EQ(fw::Len("a" + Clef + Clef + "b"), 4);
    EXPECT_EQ(fw::Len(lone), 1);                          // a lone surrogate still counts
    EXPECT_EQ(fw::Len(QString(QChar(0xDC00)) + lone), 2); // halves in the wrong order: no pair

    // Units a,H,L,b,H,L are the characters a,Clef,b,Clef.
    const QString text = "a" + Clef + "b" + Clef;
    const std::pair<int, int> utf16ToChar[] = {{-5, 0}, {0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 4}, {99, 4}};
    const std::pair<int, int> charToUtf16[] = {{-1, 0}, {1, 1}, {2, 3}, {3, 4}, {4, 6}, {99, 6}};
    for (const auto& [u, c] : utf16ToChar)
        EXPECT_EQ(fw::utf16ToCharPos(text, u), c) << u;
    for (const auto& [c, u] : charToUtf16)
        EXPECT_EQ(fw::charToUtf16Pos(text, c), u) << c;
}

TEST(TextHelpers, CharIndexAgreesWithTheLinearConversions)
{
    // Appended in pieces that cut pairs apart, with lone surrogates in between; long stretches
    // without any, with pairs and lone halves on either side of every 64-unit boundary. Blocks are
    // counted from the start of each piece, and a block whose only pair lies at any one of its eight
    // last units (56 to 63, the last eight the vector test looks at), or starts at its last unit
    // and ends in the next block, is there too.
    std::vector<QString> parts = {"ab", Clef, QString(QChar(0xD83D)), QString(QChar(0xDE00)), "c",
                                  QString(QChar(0xD800)), "d", Clef + Clef, QString(QChar(0xDC00)),
                                  QString(100, u'x') + Clef + QString(61, u'y') + Clef + QString(64, u'z'),
                                  QString(QChar(0xDC00)) + QString(190, u'w') + QString(QChar(0xD800)),
                                  QString(QChar(0xDC00)) + QString(64, u'v') + QString(QChar(0xDBFF)),
                                  Clef + QString(61, u's') + Clef + QString(70, u't')};
    for (int at = 56; at < 64; ++at) {
        parts.push_back(QString(at, u'p') + Clef + QString(128 - at, u'q'));
        parts.push_back(QString(64 + at, u'r') + Clef + QString(64, u'o'));
    }
    QString text;
    fw::CharIndex index;
    for (const QString& part : parts) {
        text += part;
        index.append(part);
    }
    fw::CharIndex whole;
    whole.reset(text);
    for (const fw::CharIndex* built : {&index, &whole}) {
        ASSERT_EQ(built->charLength(), fw::Len(text));
        for (int u = -1; u <= text.size() + 1; ++u)
            EXPECT_EQ(built->toChar(u), fw::utf16ToCharPos(text, u)) << u;
        for (int c = -1; c <= fw::Len(text) + 1; ++c)
            EXPECT_EQ(built->toUtf16(c), fw::charToUtf16Pos(text, c)) << c;
    }
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

} // namespace
