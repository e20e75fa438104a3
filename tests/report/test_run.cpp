#include "report/RC_executeShellClass.h"

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

using testsupport::waitUntil;

constexpr int RunTimeoutMs = 20000;

// A shell word for sh that stands for exactly these bytes, whatever they are.
std::string printfOctal(const std::string& bytes)
{
    std::string out = "printf '";
    for (const unsigned char c : bytes) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\%03o", c);
        out += buf;
    }
    return out + "'";
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path);
}

fw::EditField* pane(RW_reportOutputWindow* window, bool left)
{
    return window->control<fw::EditField>(left ? "EF_mainResultsLeft" : "EF_mainResultsRight", 0);
}

// What the report window shows of one side, read through its controls.
struct SideView {
    QString text;
    QString count;
    int selStart = -1;
    int selLength = -1;
    int paneLines = -1; // lines as the pane itself breaks them
    std::vector<int> lineOfEachChar; // the line of every character and of the end, as the pane places them
};

// The line of every character of text and of its end: the line ends before it.
std::vector<int> linesOf(const QString& text)
{
    std::vector<int> lines;
    int line = 0;
    for (const char32_t c : text.toUcs4()) {
        lines.push_back(line);
        line += c == U'\n' ? 1 : 0;
    }
    lines.push_back(line);
    return lines;
}

SideView side(RW_reportOutputWindow* window, bool left)
{
    auto* field = pane(window, left);
    auto* label = window->control<fw::StaticText>(left ? "ST_totalLineCountLeft" : "ST_totalLineCountRight");
    if (!field || !label)
        return {};
    std::vector<int> lines;
    for (int pos = 0; pos <= field->TextLength(); ++pos)
        lines.push_back(field->LineNumAtCharPos(pos));
    return {field->Text(), label->Text(), field->SelStart(), field->SelLength(),
            field->LineNumAtCharPos(field->TextLength()) + 1, lines};
}

// Both sides show exactly `text`, its line count (on which the pane agrees) and the caret before its
// last character.
void expectShown(RW_reportOutputWindow* window, const QString& text, int lines, const std::string& where)
{
    const int caret = std::max(0, fw::Len(text) - 1);
    for (const bool left : {true, false}) {
        const SideView view = side(window, left);
        SCOPED_TRACE(where + (left ? " (left)" : " (right)"));
        EXPECT_EQ(view.text, text);
        EXPECT_EQ(view.count, "of " + QString::number(lines));
        EXPECT_EQ(view.paneLines, lines);
        EXPECT_EQ(view.lineOfEachChar, linesOf(text));
        EXPECT_EQ(view.selStart, caret);
        EXPECT_EQ(view.selLength, 0);
    }
}

// The output is held once: both panes show the very buffer given here, not copies of it, and what
// they select and paint from is that text too.
void expectPanesShare(RW_reportOutputWindow* window, const QString& text, const std::string& where)
{
    for (const bool left : {true, false}) {
        SCOPED_TRACE(where + (left ? " (left)" : " (right)"));
        fw::EditField* field = pane(window, left);
        EXPECT_EQ(field->Text().constData(), text.constData());
        const int start = field->SelStart();
        const int length = field->SelLength();
        field->setSelStart(0);
        field->setSelLength(field->TextLength());
        EXPECT_EQ(field->SelText(), text);
        field->setSelStart(start);
        field->setSelLength(length);
    }
}

// The texts the window was set up with: initialize adds one "stdout" report row per call.
QStringList initializeCalls(RW_reportOutputWindow* window)
{
    QStringList texts;
    auto* popup = window->control<fw::PopupMenu>("PM_displayChoiceLeft");
    for (int row = 1; popup && row < popup->ListCount(); ++row) {
        if (const auto record = window->reportRecordLeft(row))
            texts << record->displayableText;
    }
    if (!texts.isEmpty() && !window->initializationFinished)
        texts << "(set-up unfinished)";
    return texts;
}

// True while the process exists and has not ended (a zombie has ended).
bool processAlive(qint64 pid)
{
    if (pid <= 0 || ::kill(pid_t(pid), 0) != 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) != "Z";
}

qint64 readPid(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

// The run as the program makes it, with its output events counted and, for tests of the size
// limit, a smaller limit.
class ProbedRun : public RC_executeShellClass {
public:
    ProbedRun(RW_reportOutputWindow* window, const fw::FolderItem& config, qsizetype maxUnits)
        : RC_executeShellClass(window, config)
        , maxUnits_(maxUnits)
    {
    }

    int outputEvents = 0;
    // Time spent in the last Completed of any run (the run is gone once it has completed).
    static inline qint64 completedNs = 0;

protected:
    void DataAvailable() override
    {
        RC_executeShellClass::DataAvailable();
        ++outputEvents;
    }
    void Completed() override
    {
        QElapsedTimer timer;
        timer.start();
        RC_executeShellClass::Completed();
        completedNs = timer.nsecsElapsed();
    }
    qsizetype maxOutputUnits() const override { return maxUnits_; }

private:
    qsizetype maxUnits_;
};

// The launch as the number-selection window does it.
QPointer<ProbedRun> launch(RW_reportOutputWindow* window, const fw::FolderItem& config, const QString& command,
                           const QString& parameters, qsizetype maxUnits = RC_executeShellClass::MaxOutputUnits)
{
    auto* run = new ProbedRun(window, config, maxUnits);
    run->setMe(run);
    run->Mode = 1;
    run->Execute(command, parameters);
    return run;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void TearDown() override
    {
        RC_executeShellClass::shutdownAll();
        for (const auto& window : windows) {
            if (window && !window->isClosed())
                window->Close();
        }
        testsupport::settle();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    RW_reportOutputWindow* newWindow()
    {
        auto* window = fw::Window::New<RW_reportOutputWindow>();
        windows.emplace_back(window);
        return window;
    }

    fw::FolderItem writeConfig(const QByteArray& content, const QString& name = "config.cfg")
    {
        EXPECT_TRUE(testsupport::writeFile(path(name), content)) << name.toStdString();
        return fw::FolderItem(path(name));
    }

    // A script that prints piece i, then waits until the file "go<i>" appears in its folder
    // before the next piece, so that the test sees every piece on its own.
    QString pacedScript(const std::vector<std::string>& pieces, const QString& name = "paced.sh",
                        const std::string& goPrefix = "go", const std::string& lastCommand = "")
    {
        std::string body = "cd \"$(dirname \"$0\")\"\n";
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                body += "while [ ! -e " + goPrefix + std::to_string(i) + " ]; do sleep 0.01; done\n";
            body += printfOctal(pieces[i]) + "\n";
        }
        body += lastCommand + "\n";
        EXPECT_TRUE(testsupport::writeScript(path(name), QByteArray::fromStdString(body)));
        return fw::FolderItem(path(name)).ShellPath();
    }

    void go(int i, const QString& prefix = "go")
    {
        EXPECT_TRUE(testsupport::writeFile(path(prefix + QString::number(i)), QByteArray()));
    }

    QTemporaryDir dir;
    std::vector<QPointer<RW_reportOutputWindow>> windows;
};

struct PiecesCase {
    const char* name;
    std::vector<std::string> pieces; // bytes the back-end writes, with a pause after each
    std::vector<std::string> shown;  // the whole text shown after each piece, UTF-8
    std::vector<int> linesAfter;     // line count after each piece
};

void PrintTo(const PiecesCase& c, std::ostream* os)
{
    *os << c.name;
}

class PiecesTest : public RunTest, public ::testing::WithParamInterface<PiecesCase> {};

TEST_P(PiecesTest, EachPieceIsShownAddedToTheRestAndCompletionHandsOverTheWhole)
{
    const PiecesCase& c = GetParam();
    auto* window = newWindow();
    const fw::FolderItem config = writeConfig("1\n");
    const QPointer<ProbedRun> run = launch(window, config, pacedScript(c.pieces), QString());

    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
        if (i > 0)
            go(int(i));
        const QString expected = QString::fromUtf8(c.shown[i]);
        const int lines = c.linesAfter[i];
        ASSERT_TRUE(waitUntil([&] { return side(window, false).text == expected && side(window, false).count == "of " + QString::number(lines); }, RunTimeoutMs))
            << "piece " << i << " got \"" << side(window, false).text.toStdString() << "\"";
        expectShown(window, expected, lines, "after piece " + std::to_string(i));
        if (i + 1 < c.pieces.size()) {
            ASSERT_TRUE(run) << "the run ended before its last piece";
            expectPanesShare(window, run->getStdoutCache(), "after piece " + std::to_string(i));
            EXPECT_TRUE(exists(config.path())) << "configuration deleted before completion";
            EXPECT_TRUE(initializeCalls(window).isEmpty());
        }
    }

    ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs)) << "the run did not go after Completed";
    const QString whole = QString::fromUtf8(c.shown.back());
    expectShown(window, whole, c.linesAfter.back(), "at completion");
    EXPECT_FALSE(exists(config.path()));
    EXPECT_EQ(initializeCalls(window), QStringList{whole});
    // The reports of both sides share the panes' one copy.
    for (const auto& record : {window->reportRecordLeft(1), window->reportRecordRight(1)}) {
        ASSERT_TRUE(record);
        expectPanesShare(window, record->displayableText, "report record");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Run, PiecesTest,
    ::testing::Values(
        PiecesCase{"TwoLinesEndedByLineEnds", {"a\n", "b\n"}, {"a\n", "a\nb\n"}, {2, 3}},
        PiecesCase{"TwoLinesLastUnended", {"a\n", "b"}, {"a\n", "a\nb"}, {2, 2}},
        PiecesCase{"LinesCutAnywhere",
                   {"on", "e\ntw", "o\n\n", "three"},
                   {"on", "one\ntw", "one\ntwo\n\n", "one\ntwo\n\nthree"},
                   {1, 2, 4, 4}},
        PiecesCase{"NothingPrinted", {""}, {""}, {1}},
        PiecesCase{"OnlyLineEnds", {"\n", "\n\n"}, {"\n", "\n\n\n"}, {2, 4}},
        // A character cut between two writes arrives whole; one outside the basic plane counts
        // once for the caret.
        PiecesCase{"WideCharacters",
                   {"\xC3\xA9\xF0\x9F", "\x98\x80\n", "\xF0\x9F\x98\x80"},
                   {"\xC3\xA9", "\xC3\xA9\xF0\x9F\x98\x80\n", "\xC3\xA9\xF0\x9F\x98\x80\n\xF0\x9F\x98\x80"},
                   {1, 2, 2}},
        PiecesCase{"InvalidBytesShowAsReplacement",
                   {"ok\xFF\n", "\xC3"},
                   {"ok\xEF\xBF\xBD\n", "ok\xEF\xBF\xBD\n\xEF\xBF\xBD"},
                   {2, 2}},
        // Every line end is one "\n", also a "\r\n" or a lone "\r" and one cut between two pieces.
        PiecesCase{"LoneCarriageReturnsEndLines", {"a\rb\r\n", "c\r"}, {"a\nb\n", "a\nb\nc\n"}, {3, 4}},
        PiecesCase{"CarriageReturnCutFromItsLineFeed",
                   {"a\r", "\nb\r", "c"},
                   {"a\n", "a\nb\n", "a\nb\nc"},
                   {2, 3, 3}},
        PiecesCase{"CarriageReturnsOnly", {"\r", "\r", "\r\n"}, {"\n", "\n\n", "\n\n\n"}, {2, 3, 4}}),
    [](const ::testing::TestParamInfo<PiecesCase>& p) { return std::string(p.param.name); });

// Nothing of the run is told once its window is gone, not even that the back-end failed.
TEST_F(RunTest, AWindowClosedDuringTheRunIsLeftAloneAndTheRunStillEnds)
{
    testsupport::MessageLog log;
    auto* window = newWindow();
    const QPointer<RW_reportOutputWindow> watch(window);
    const fw::FolderItem config = writeConfig("1\n");
    const QPointer<ProbedRun> run =
        launch(window, config, pacedScript({"a\n", "b\n"}, "paced.sh", "go", "kill -TERM $$"), QString());
    ASSERT_TRUE(waitUntil([&] { return side(window, true).count == "of 2"; }, RunTimeoutMs));

    window->Close();
    ASSERT_TRUE(waitUntil([&] { return watch.isNull(); }));
    go(1);

    ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs));
    EXPECT_FALSE(exists(config.path()));
    testsupport::settle();
    EXPECT_EQ(log.messages(), QStringList());
}

// A pane whose text is changed during the run keeps the change to itself, and the next output shows
// the run's whole text in it again.
TEST_F(RunTest, APaneChangedDuringTheRunLeavesTheOutputAloneAndGetsItBack)
{
    const std::vector<std::function<void(fw::EditField&)>> changes = {
        [](fw::EditField& field) { field.AppendText("+mine"); },
        [](fw::EditField& field) { field.setText("mine"); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE("change " + std::to_string(i));
        auto* window = newWindow();
        const fw::FolderItem config = writeConfig("1\n");
        const QString prefix = "go" + QString::number(i) + "_";
        const QPointer<ProbedRun> run = launch(
            window, config,
            pacedScript({"a\n", "b\n"}, "changed" + QString::number(i) + ".sh", prefix.toStdString()), QString());
        ASSERT_TRUE(waitUntil([&] { return side(window, true).count == "of 2"; }, RunTimeoutMs));

        changes[i](*pane(window, true));
        ASSERT_TRUE(run);
        EXPECT_EQ(run->getStdoutCache(), "a\n");
        EXPECT_EQ(side(window, false).text, "a\n");

        go(1, prefix);
        ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs));
        expectShown(window, "a\nb\n", 3, "after the next output");
        expectPanesShare(window, window->reportRecordLeft(1)->displayableText, "after the next output");
    }
}

TEST_F(RunTest, OutputForAClosedWindowIsNotKept)
{
    auto* window = newWindow();
    const fw::FolderItem config = writeConfig("1\n");
    const QString script = path("endless.sh");
    ASSERT_TRUE(testsupport::writeScript(script, "exec yes 'endless output'\n"));
    const QPointer<ProbedRun> run = launch(window, config, fw::FolderItem(script).ShellPath(), QString());
    ASSERT_TRUE(waitUntil([&] { return run && !run->getStdoutCache().isEmpty(); }, RunTimeoutMs));

    window->Close();
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->getStdoutCache().isEmpty()) << "what was collected stays after the window closed";
    const int seen = run->outputEvents;
    ASSERT_TRUE(waitUntil([&] { return run && run->outputEvents >= seen + 5; }, RunTimeoutMs));
    EXPECT_TRUE(run->getStdoutCache().isEmpty()) << "output collected for a closed window";
    EXPECT_TRUE(exists(config.path())) << "the run is still going";
}

// The window freezes while the run completes: the completion takes no time in the length of the
// report (the run counted its lines as they came), here less than half of one look at its text.
TEST_F(RunTest, CompletionTakesNoPassOverTheReport)
{
    auto* window = newWindow();
    const fw::FolderItem config = writeConfig("1\n");
    const QString script = path("long.sh");
    ASSERT_TRUE(testsupport::writeScript(script, "yes \"$(printf '%01023d' 0)\" | head -c 67108864\n"));
    const QPointer<ProbedRun> run = launch(window, config, fw::FolderItem(script).ShellPath(), QString());
    ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs));
    const auto record = window->reportRecordLeft(1);
    ASSERT_TRUE(record);
    ASSERT_EQ(record->displayableText.size(), 1 << 26);
    EXPECT_EQ(record->totalLineCount, (1 << 16) + 1);

    qint64 lookNs = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        const qsizetype lineEnds = record->displayableText.count(u'\n');
        lookNs = std::min(lookNs, timer.nsecsElapsed());
        ASSERT_EQ(lineEnds, 1 << 16);
    }
    EXPECT_LT(ProbedRun::completedNs, lookNs / 2) << "one look at the text takes " << lookNs / 1000 << " us";
}

// A report larger than the limit: the back-end is ended, the window shows what fits and the user is
// told. Every back-end here prints its pieces and then waits for ever.
struct LimitCase {
    const char* name;
    std::vector<std::string> pieces;
    qsizetype maxUnits;
    std::string kept; // UTF-8
    int lines;
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

class LimitTest : public RunTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LimitTest, OutputBeyondTheLimitEndsTheRunWithWhatFitsAndTellsTheUser)
{
    const LimitCase& c = GetParam();
    testsupport::MessageLog log;
    auto* window = newWindow();
    const fw::FolderItem config = writeConfig("1\n");
    std::string body = "cd \"$(dirname \"$0\")\"\necho $$ > pid\n";
    for (const std::string& piece : c.pieces)
        body += printfOctal(piece) + "\n";
    body += "while :; do sleep 0.01; done\n";
    ASSERT_TRUE(testsupport::writeScript(path("big.sh"), QByteArray::fromStdString(body)));
    const QPointer<ProbedRun> run =
        launch(window, config, fw::FolderItem(path("big.sh")).ShellPath(), QString(), c.maxUnits);

    ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs)) << "the run did not end at the limit";
    const QString kept = QString::fromUtf8(c.kept);
    EXPECT_EQ(initializeCalls(window), QStringList{kept});
    expectShown(window, kept, c.lines, "at the limit");
    EXPECT_FALSE(exists(config.path()));
    EXPECT_EQ(log.messages(), QStringList{"The report is too large to show in full: only its first " +
                                          QString::number(c.lines) +
                                          " lines are shown, and the rest of the output was not kept."});
    const qint64 pid = readPid(path("pid"));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntil([&] { return !processAlive(pid); })) << "the back-end still runs";
}

INSTANTIATE_TEST_SUITE_P(
    Run, LimitTest,
    ::testing::Values(LimitCase{"CutInsideALine", {"one\ntwo\n", "three\nfour\n"}, 12, "one\ntwo\nthre", 3},
                      LimitCase{"ExactlyFullThenOneMore", {"abcd", "e"}, 4, "abcd", 1},
                      // A character outside the basic plane is never cut in half.
                      LimitCase{"CutBeforeASurrogatePair", {"ab", "c\xF0\x9F\x98\x80" "d"}, 4, "abc", 1},
                      // A "\r\n" takes one unit of the limit, as it shows.
                      LimitCase{"LineEndsCountAsShown", {"a\r\nb\r\n", "c\rd"}, 6, "a\nb\nc\n", 4}),
    [](const ::testing::TestParamInfo<LimitCase>& p) { return std::string(p.param.name); });

TEST_F(RunTest, ABackEndThatCannotStartStillCompletesTheRun)
{
    testsupport::MessageLog log; // the failure is told after the window is set up
    auto* window = newWindow();
    const fw::FolderItem config = writeConfig("1\n");
    const QPointer<ProbedRun> run =
        launch(window, config, fw::FolderItem(path("missing")).ShellPath(), config.ShellPath());

    ASSERT_TRUE(waitUntil([&] { return run.isNull(); }, RunTimeoutMs));
    EXPECT_FALSE(exists(config.path()));
    EXPECT_EQ(initializeCalls(window), QStringList{QString()});
    expectShown(window, QString(), 1, "empty output");
}

// Overlapping runs on one configuration file: a run removes the file only while no later launch
// has written it.
struct OverlapStep {
    enum Kind { Launch, Finish, ExpectFile } kind;
    char run;            // Launch, Finish: which run
    const char* content; // Launch: what the launch writes; ExpectFile: what the file holds, nullptr = gone
};

struct OverlapCase {
    const char* name;
    std::vector<OverlapStep> steps;
};

void PrintTo(const OverlapCase& c, std::ostream* os)
{
    *os << c.name;
}

class OverlapTest : public RunTest, public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlapTest, OnlyTheNewestLaunchRemovesTheSharedConfigurationFile)
{
    std::map<char, QPointer<ProbedRun>> runs;
    std::map<char, RW_reportOutputWindow*> runWindows;
    for (const OverlapStep& step : GetParam().steps) {
        switch (step.kind) {
        case OverlapStep::Launch: {
            const fw::FolderItem config = writeConfig(step.content);
            const std::string id(1, step.run);
            const QString script = pacedScript({"out " + id + "\n", "end " + id + "\n"},
                                               QString::fromStdString("run" + id + ".sh"), "go" + id);
            runWindows[step.run] = newWindow();
            runs[step.run] = launch(runWindows[step.run], config, script, config.ShellPath());
            ASSERT_TRUE(waitUntil([&] { return side(runWindows[step.run], true).count == "of 2"; }, RunTimeoutMs));
            break;
        }
        case OverlapStep::Finish:
            go(1, QString("go") + step.run);
            ASSERT_TRUE(waitUntil([&] { return runs[step.run].isNull(); }, RunTimeoutMs)) << step.run;
            {
                const std::string id(1, step.run);
                // Each run collects its own output only.
                EXPECT_EQ(initializeCalls(runWindows[step.run]),
                          QStringList{QString::fromStdString("out " + id + "\nend " + id + "\n")});
            }
            break;
        case OverlapStep::ExpectFile: {
            QFile file(path("config.cfg"));
            if (!step.content) {
                EXPECT_FALSE(file.exists());
            } else {
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_EQ(file.readAll(), QByteArray(step.content));
            }
            break;
        }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Run, OverlapTest,
    ::testing::Values(
        OverlapCase{"EarlierRunEndsFirst",
                    {{OverlapStep::Launch, 'A', "1\n"},
                     {OverlapStep::Launch, 'B', "2\n"},
                     {OverlapStep::Finish, 'A', nullptr},
                     {OverlapStep::ExpectFile, 0, "2\n"},
                     {OverlapStep::Finish, 'B', nullptr},
                     {OverlapStep::ExpectFile, 0, nullptr}}},
        OverlapCase{"LaterRunEndsFirstThenAThirdLaunches",
                    {{OverlapStep::Launch, 'A', "1\n"},
                     {OverlapStep::Launch, 'B', "2\n"},
                     {OverlapStep::Finish, 'B', nullptr},
                     {OverlapStep::ExpectFile, 0, nullptr},
                     {OverlapStep::Launch, 'C', "3\n"},
                     {OverlapStep::Finish, 'A', nullptr},
                     {OverlapStep::ExpectFile, 0, "3\n"},
                     {OverlapStep::Finish, 'C', nullptr},
                     {OverlapStep::ExpectFile, 0, nullptr}}}),
    [](const ::testing::TestParamInfo<OverlapCase>& p) { return std::string(p.param.name); });

TEST_F(RunTest, ShutdownEndsEveryRunWithWhatItStartedAndRemovesTheirConfigurationFiles)
{
    // Two runs on their own files and two overlapping on one file.
    struct Started {
        QPointer<ProbedRun> run;
        RW_reportOutputWindow* window;
        QString config;
    };
    std::vector<Started> started;
    const char* configs[] = {"one.cfg", "two.cfg", "config.cfg", "config.cfg"};
    for (int i = 0; i < 4; ++i) {
        const QString id = QString::number(i);
        const QString script = path("hang" + id + ".sh");
        ASSERT_TRUE(testsupport::writeScript(script, ("cd \"$(dirname \"$0\")\"\nsleep 1000 &\necho $! > child" + id
                                                       + "\necho $$ > pid" + id + "\nprintf 'started\\n'\nwait\n")
                                                          .toUtf8()));
        const fw::FolderItem config = writeConfig("1\n", configs[i]);
        auto* window = newWindow();
        started.push_back({launch(window, config, fw::FolderItem(script).ShellPath(), QString()), window, config.path()});
        ASSERT_TRUE(waitUntil([&] { return side(window, true).count == "of 2"; }, RunTimeoutMs));
    }
    std::vector<qint64> pids;
    for (int i = 0; i < 4; ++i) {
        pids.push_back(readPid(path("pid" + QString::number(i))));
        pids.push_back(readPid(path("child" + QString::number(i))));
    }
    for (const qint64 pid : pids)
        ASSERT_TRUE(processAlive(pid)) << pid;

    RC_executeShellClass::shutdownAll();

    for (const qint64 pid : pids)
        EXPECT_TRUE(waitUntil([&] { return !processAlive(pid); })) << pid;
    for (const Started& s : started) {
        EXPECT_FALSE(exists(s.config)) << s.config.toStdString();
        EXPECT_TRUE(waitUntil([&] { return s.run.isNull(); }));
        EXPECT_TRUE(initializeCalls(s.window).isEmpty());
    }
}

} // namespace
