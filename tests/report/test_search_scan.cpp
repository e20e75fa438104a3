#include "search/PhraseScan.h"

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// U+1D11E, outside the Basic Multilingual Plane: one character, two UTF-16 units, four UTF-8 bytes.
const QString Clef = QString::fromUcs4(U"\U0001D11E");

IntList scan(const QString& text, const QString& phrase)
{
    IntList hits;
    const qint64 n = PhraseScan(phrase).findAll(text, hits);
    EXPECT_EQ(n, qint64(hits.size()));
    return hits;
}

// The scan as the report search defines it, on UTF-8 bytes one at a time: a failed candidate resumes
// one byte after its start, a hit resumes right after itself; byte offsets become character offsets.
IntList byteScan(const QString& text, const QString& phrase)
{
    const QByteArray t = text.toUtf8();
    const QByteArray p = phrase.toUtf8();
    IntList hits;
    if (p.isEmpty() || t.isEmpty())
        return hits;
    qsizetype i = 0, s = 0, j = 0;
    bool matching = false;
    while (i < t.size()) {
        if (!matching) {
            if (t[i] == p[0]) {
                s = i;
                j = 1;
                matching = true;
            }
            ++i;
        } else if (t[i] == p[j]) {
            ++j;
            ++i;
        } else {
            matching = false;
            i = s + 1;
            continue;
        }
        if (matching && j == p.size()) {
            hits.push_back(qint32(QString::fromUtf8(t.left(s)).toUcs4().size()));
            matching = false;
        }
    }
    return hits;
}

struct ScanCase {
    const char* name;
    QString text;
    QString phrase;
    IntList hits;
};

class PhraseScanTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(PhraseScanTable, FindsLeftmostNonOverlappingHitsAtCharacterOffsets)
{
    const ScanCase& c = GetParam();
    EXPECT_EQ(scan(c.text, c.phrase), c.hits) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhraseScanTable,
    ::testing::Values(
        ScanCase{"failed candidate resumes one further", "aab", "ab", {1}},
        ScanCase{"hits do not overlap", "aaaa", "aa", {0, 2}},
        ScanCase{"rest too short for a second hit", "aaaa", "aaa", {0}},
        ScanCase{"case matters", "ABC abc Abc", "abc", {4}},
        ScanCase{"accents matter", QStringLiteral("caf\u00e9 cafe"), "cafe", {5}},
        ScanCase{"hit at the very start and the very end", "xx..xx", "xx", {0, 4}},
        ScanCase{"phrase longer than the text", "ab", "abc", {}},
        ScanCase{"candidate open at the end of the text", "aba", "abab", {}},
        ScanCase{"empty phrase", "abc", QString(), {}},
        ScanCase{"empty text", QString(), "a", {}},
        ScanCase{"whole text", "phrase", "phrase", {0}},
        ScanCase{"partial match falls back on its border", "abababc", "ababc", {2}},
        ScanCase{"near misses only", "aabaabaab", "aabaaab", {}},
        ScanCase{"hit right after a near miss", "aabaabaaab", "aabaaab", {3}},
        ScanCase{"hit inside a failed candidate", "aabaaabaab", "aabaab", {4}},
        ScanCase{"two-unit characters counted once", QStringLiteral("\u00e4\u00e4\nab ab"), "ab", {3, 6}},
        ScanCase{"characters outside the BMP before a hit", Clef + Clef + "\nhit", "hit", {3}},
        ScanCase{"phrase of BMP-outside characters", Clef + "a" + Clef + Clef + "a" + Clef, Clef + "a", {0, 3}},
        ScanCase{"BMP-outside character at the very end", "ab" + Clef, "b" + Clef, {1}},
        ScanCase{"half a pair is no hit", Clef, QString(Clef.at(1)), {}},
        ScanCase{"a lone surrogate is a character of its own", "a" + QString(Clef.at(1)) + "b", QString(Clef.at(1)),
                 {1}}),
    [](const ::testing::TestParamInfo<ScanCase>& param) { return "case" + std::to_string(param.index); });

// The automaton agrees with the byte scan on random texts and phrases over a small alphabet (many
// partial matches), characters of one, two and four UTF-8 bytes included.
TEST(PhraseScan, AgreesWithTheByteScanOnRandomTexts)
{
    const QString alphabet[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("\u00e4"), Clef};
    std::mt19937 random(20240611);
    auto word = [&](int length) {
        QString s;
        for (int i = 0; i < length; ++i)
            s += alphabet[random() % 4];
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        const QString text = word(int(random() % 40));
        const QString phrase = word(1 + int(random() % 5));
        ASSERT_EQ(scan(text, phrase), byteScan(text, phrase)) << qPrintable(text) << " / " << qPrintable(phrase);
    }
}

// Appends to what the list holds, ascending from the start of the text.
TEST(PhraseScan, AppendsToTheList)
{
    IntList hits{-7};
    EXPECT_EQ(PhraseScan(QStringLiteral("b")).findAll(u"abcb", hits), 2);
    EXPECT_EQ(hits, (IntList{-7, 1, 3}));
}

} // namespace
