#include "Report.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

struct SplitCase {
    std::string text;
    std::vector<std::string> entries;
};

class SplitEntries : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitEntries, OneEntryPerLine)
{
    const std::vector<std::string_view> got = backend::splitEntries(GetParam().text);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitEntries,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"\n", {""}}, SplitCase{"\n\n", {"", ""}},
                      SplitCase{"1", {"1"}}, SplitCase{"1\n", {"1"}}, SplitCase{"1\n2", {"1", "2"}},
                      SplitCase{"1\r\n\r\n2\r\n", {"1", "", "2"}}, SplitCase{"a\rb\n", {"a\rb"}},
                      SplitCase{"\xEF\xBB\xBF" "7\n", {"7"}}));

struct DisplayCase {
    std::string text;
    std::string shown;
};

class DisplayText : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayText, ValidUtf8OnOneLine)
{
    std::string out;
    backend::appendDisplayText(out, GetParam().text);
    EXPECT_EQ(out, GetParam().shown);
}

const std::string kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Texts, DisplayText,
    ::testing::Values(DisplayCase{"plain\ttext", "plain\ttext"},
                      DisplayCase{"\xE2\x88\x92" "5 \xF0\x9F\x98\x80", "\xE2\x88\x92" "5 \xF0\x9F\x98\x80"},
                      DisplayCase{"a\xFF" "b", "a" + kFffd + "b"},
                      DisplayCase{"\xE2\x88", kFffd},                   // truncated sequence
                      DisplayCase{"\xC0\xAF", kFffd + kFffd},           // overlong
                      DisplayCase{"\xED\xA0\x80", kFffd + kFffd + kFffd},  // surrogate
                      DisplayCase{"x\x1B[31m\ry", "x" + kFffd + "[31m" + kFffd + "y"},
                      DisplayCase{std::string("\0", 1), kFffd}));

QString writeConfig(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath("config.txt");
    EXPECT_TRUE(testsupport::writeFile(path, content));
    return path;
}

struct BackendRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

BackendRun runBackend(const QStringList& arguments, const QString& outputFile = {})
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(testsupport::binDir() + "/vantleReport", arguments);
    EXPECT_TRUE(process.waitForStarted(5000)) << process.errorString().toStdString();
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(BackendProcess, ReportsEveryEntryInOrder)
{
    QTemporaryDir dir;
    const QByteArray grouped = "1" + QByteArray(",000").repeated(300);  // too long for the parser
    const QByteArray ideographs = QByteArray("\xE4\xB8\xAD").repeated(400);  // as long, but no digit
    const QString path = writeConfig(dir, "42\r\n\nabc\n 12\n3.5\n123456789012345678901234567890\n\xFF" "x\n-17\n" +
                                              grouped + "\n1e99999999999999999999\n7e-10000000000\n" + ideographs +
                                              "\n1\xD9\xAB" "500\n");
    const BackendRun run = runBackend({path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QByteArray expected = "Numbers As Words report\n"
                                "Configuration: " + path.toUtf8() + "\n"
                                "Entries: 13\n"
                                "\n42\n  cardinal: forty-two\n  ordinal: forty-second\n"
                                "\n\"\": not a number\n"
                                "\n\"abc\": not a number\n"
                                "\n\" 12\"\n  cardinal: twelve\n  ordinal: twelfth\n"
                                "\n3.5\n  cardinal: three point five\n"
                                "\n123456789012345678901234567890\n  not spelled: too large for English words\n"
                                "\n\"\xEF\xBF\xBDx\": not a number\n"
                                "\n-17\n  cardinal: minus seventeen\n  ordinal: minus seventeenth\n"
                                "\n\"" + grouped + "\": too long to read as a number\n"
                                "\n1e99999999999999999999\n  not spelled: too large for English words\n"
                                "\n7e-10000000000\n  not spelled: too many digits to spell exactly\n"
                                "\n\"" + ideographs + "\": not a number\n"
                                "\n1\xD9\xAB" "500\n  cardinal: one point five\n";
    EXPECT_EQ(run.out.toStdString(), expected.toStdString());
}

TEST(BackendProcess, FailsClearlyWithoutReadableConfig)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.txt");
    for (const QStringList& arguments : {QStringList{missing}, QStringList{dir.path()}, QStringList{}}) {
        const BackendRun run = runBackend(arguments);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        if (!arguments.isEmpty())
            EXPECT_TRUE(run.err.contains(arguments.first().toUtf8())) << run.err.toStdString();
        else
            EXPECT_FALSE(run.err.isEmpty());
    }
}

TEST(BackendProcess, MillionEntriesInOneBlockEach)
{
    constexpr int kEntries = 1000000;
    QTemporaryDir dir;
    QByteArray content;
    content.reserve(kEntries * 8);
    for (int i = 1; i <= kEntries; ++i)
        content += QByteArray::number(i) + '\n';
    const QString path = writeConfig(dir, content);
    const QString reportPath = dir.filePath("report.txt");

    QElapsedTimer timer;
    timer.start();
    const BackendRun run = runBackend({path}, reportPath);
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(10000));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    QFile report(reportPath);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    EXPECT_TRUE(text.contains("\nEntries: 1000000\n"));
    EXPECT_EQ(text.count("\n\n"), kEntries);
    EXPECT_TRUE(text.endsWith("\n1000000\n  cardinal: one million\n  ordinal: one millionth\n"));
}

} // namespace
