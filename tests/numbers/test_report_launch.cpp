// "Generate Words" from a real number-selection window: the configuration file, the back-end command,
// the failure roads and the way back from the report.
#include "numbers/RW_compoundNumberWindow.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "platform/SystemCalls.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fw;

namespace {

RW_reportOutputWindow* openReportWindow()
{
    return testsupport::openWindowOf<RW_reportOutputWindow>();
}

QString leftPaneText(RW_reportOutputWindow* report)
{
    return report->control<EditField>(QStringLiteral("EF_mainResultsLeft"), 0)->Text();
}

class ReportLaunchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    void TearDown() override
    {
        testsupport::closeAllWindows();
        testsupport::waitUntil([] { return Window::openWindows().empty(); });
        testsupport::settle();
        ModalSeam::reset();
        FolderItem::setApplicationFolderOverride(QString());
    }

    // The application folder for the test, with the given back-end script in it.
    QString appFolder(const QString& name, const QByteArray& backEnd)
    {
        const QString dir = root.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(QDir().mkpath(dir));
        if (!backEnd.isEmpty()) {
            EXPECT_TRUE(testsupport::writeScript(dir + QStringLiteral("/vantleReport"), backEnd));
        }
        FolderItem::setApplicationFolderOverride(dir);
        return dir;
    }

    RW_compoundNumberWindow* windowWith(const QStringList& csv)
    {
        auto* w = RW_compoundNumberWindow::instance();
        w->Show();
        w->control<EditField>(QStringLiteral("EF_CSV"))->setText(csv.join(QLatin1Char(',')));
        w->control<PushButton>(QStringLiteral("PB_addCSV"))->Push();
        return w;
    }

    void generate(RW_compoundNumberWindow* w) { w->control<PushButton>(QStringLiteral("PB_doneAndExit"))->Push(); }

    QTemporaryDir root;
    testsupport::MessageLog log;
};

TEST_F(ReportLaunchTest, WritesTheRowsAsLinesAndHandsTheFileToTheBackEnd)
{
    // The back-end keeps a copy of the configuration file (the run removes the file itself) and echoes it.
    const QString dir = appFolder(QStringLiteral("plain"), "cp \"$1\" \"$1.seen\"\ncat \"$1\"\n");
    auto* w = windowWith({QStringLiteral("abc"), QStringLiteral("42"), QStringLiteral("5")});
    generate(w);

    EXPECT_TRUE(w->isClosed());
    RW_reportOutputWindow* report = openReportWindow();
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(testsupport::waitUntil([&] { return report->initializationFinished; }));
    EXPECT_EQ(leftPaneText(report), QStringLiteral("abc\n5\n42\n"));
    EXPECT_EQ(report->control<StaticText>(QStringLiteral("ST_totalLineCountLeft"))->Text(), QStringLiteral("of 4"));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/config.cfg"))) << "the run removes its configuration file";
    // The file's own bytes: one line feed after each row, no carriage return (the pane would hide one).
    EXPECT_EQ(testsupport::readFile(dir + QStringLiteral("/config.cfg.seen")), QByteArray("abc\n5\n42\n"));
    EXPECT_TRUE(log.shown.empty());
}

// An application folder whose name is shell syntax: the run starts the back-end alone and hands it the
// configuration file as its one argument, with a stand-in that echoes its arguments and with the real one.
TEST_F(ReportLaunchTest, FolderWithShellCharactersRunsOnlyTheBackEnd)
{
    const QString canary = root.path() + QStringLiteral("/canary");
    const struct {
        const char* label;
        QByteArray standIn; // empty: the real back-end
    } cases[] = {{"stand-in", "printf '%s\\n' \"$#\" \"$1\"\n"}, {"real back-end", QByteArray()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QString name = QLatin1String(c.label) + QStringLiteral(" a b'c\"$HOME;touch ") + canary
                             + QStringLiteral(";`touch ") + canary + QStringLiteral("`");
        const QString dir = appFolder(name, c.standIn);
        const QString realBackEnd = testsupport::binDir() + QStringLiteral("/vantleReport");
        if (c.standIn.isEmpty()) {
            ASSERT_TRUE(QFile::copy(realBackEnd, dir + QStringLiteral("/vantleReport"))) << realBackEnd.toStdString();
        }
        auto* w = windowWith({QStringLiteral("42")});
        generate(w);

        RW_reportOutputWindow* report = openReportWindow();
        ASSERT_NE(report, nullptr);
        ASSERT_TRUE(testsupport::waitUntil([&] { return report->initializationFinished; }));
        const QString config = dir + QStringLiteral("/config.cfg");
        if (c.standIn.isEmpty()) {
            EXPECT_TRUE(leftPaneText(report).contains(QStringLiteral("Configuration: ") + config + QLatin1Char('\n')))
                << leftPaneText(report).toStdString();
            EXPECT_TRUE(leftPaneText(report).contains(QStringLiteral("cardinal: forty-two")));
        } else {
            EXPECT_EQ(leftPaneText(report), QStringLiteral("1\n") + config + QLatin1Char('\n'));
        }
        EXPECT_FALSE(QFile::exists(config));
        EXPECT_FALSE(QFile::exists(canary));
        EXPECT_TRUE(log.shown.empty());
        testsupport::closeAllWindows();
    }
}

// The program's folder is reached by its bytes, whatever they are; a link left where "config.cfg"
// goes is removed, not written through, also when it leads nowhere.
TEST_F(ReportLaunchTest, AFolderNamedInAnyBytesRunsAndALinkAtTheConfigurationIsNotFollowed)
{
    const QByteArray dir = QFile::encodeName(root.path()) + "/lat\xE9n";
    const QByteArray outside = QFile::encodeName(root.path()) + "/outside.cfg";
    const QByteArray script = "#!/bin/sh\nprintf '%s\\n' \"$#\"\ncp \"$1\" \"$1.seen\"\n";
    ASSERT_EQ(::mkdir(dir.constData(), 0700), 0);
    const int fd = ::open((dir + "/vantleReport").constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0700);
    ASSERT_TRUE(fd >= 0 && ::write(fd, script.constData(), size_t(script.size())) == script.size());
    ::close(fd);
    ASSERT_EQ(::symlink(outside.constData(), (dir + "/config.cfg").constData()), 0);
    FolderItem::setApplicationFolderOverride(decodePath(dir));

    generate(windowWith({QStringLiteral("42"), QStringLiteral("x")}));
    RW_reportOutputWindow* report = openReportWindow();
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(testsupport::waitUntil([&] { return report->initializationFinished; }));
    EXPECT_EQ(leftPaneText(report), QStringLiteral("1\n"));
    QFile seen;
    const int seenFd = ::open((dir + "/config.cfg.seen").constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_TRUE(seenFd >= 0 && seen.open(seenFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(seen.readAll(), QByteArray("x\n42\n"));
    struct stat info {};
    EXPECT_NE(::lstat(outside.constData(), &info), 0) << "written through the link";
    EXPECT_NE(::lstat((dir + "/config.cfg").constData(), &info), 0) << "the run removes its configuration file";
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(ReportLaunchTest, EmptyListAsksAndChangesNothing)
{
    const QString dir = appFolder(QStringLiteral("empty"), "cat \"$1\"\n");
    for (const QString& answer : {QStringLiteral("Confirm"), QStringLiteral("Cancel")}) {
        log.reply = answer;
        auto* w = RW_compoundNumberWindow::instance();
        w->Show();
        generate(w);
        EXPECT_FALSE(w->isClosed());
        EXPECT_EQ(openReportWindow(), nullptr);
        EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/config.cfg")));
    }
    EXPECT_EQ(log.messages(), QStringList(2, QStringLiteral("Please choose some numbers before generating output")));
    for (const fw::MessageRequest& shown : log.shown) {
        EXPECT_EQ(shown.explanation, QStringLiteral("There are no numbers selected."));
        EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Confirm"), QStringLiteral("Cancel")}));
    }
}

TEST_F(ReportLaunchTest, MissingBackEndClosesTheWindowAndLeavesAnOlderFile)
{
    const QString dir = appFolder(QStringLiteral("no back-end"), QByteArray());
    const QString old = dir + QStringLiteral("/config.cfg");
    ASSERT_TRUE(testsupport::writeFile(old, "older\n"));

    auto* w = windowWith({QStringLiteral("12")});
    generate(w);
    EXPECT_TRUE(w->isClosed());
    EXPECT_EQ(openReportWindow(), nullptr);
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("ERROR: Could not locate back-end program, please place in ")
                                          + FolderItem(dir).ShellPath() + QStringLiteral(";  Aborting program")});
    EXPECT_EQ(testsupport::readFile(old), QByteArray("older\n"));
}

TEST_F(ReportLaunchTest, UnwritableConfigurationKeepsTheSelection)
{
    // A folder in the way of "config.cfg" can neither be deleted as a file nor written.
    const QString dir = appFolder(QStringLiteral("blocked"), "cat \"$1\"\n");
    ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/config.cfg/inside")));

    auto* w = windowWith({QStringLiteral("12"), QStringLiteral("x")});
    generate(w);
    EXPECT_FALSE(w->isClosed());
    EXPECT_EQ(openReportWindow(), nullptr);
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_TRUE(log.shown[0].message.startsWith(QStringLiteral("Could not write the configuration file")))
        << log.shown[0].message.toStdString();
    EXPECT_EQ(w->control<StaticText>(QStringLiteral("ST_numTestCases"))->Text(), QStringLiteral("2"));
}

TEST_F(ReportLaunchTest, ReturnShowsAFreshSelectionAndRunsAgain)
{
    appFolder(QStringLiteral("again"), "cat \"$1\"\n");
    auto* first = windowWith({QStringLiteral("31")});
    generate(first);
    RW_reportOutputWindow* report = openReportWindow();
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(testsupport::waitUntil([&] { return report->initializationFinished; }));

    report->control<PushButton>(QStringLiteral("PushButton1"))->Push();
    EXPECT_TRUE(report->isClosed());
    auto* second = RW_compoundNumberWindow::instance();
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(second->control<StaticText>(QStringLiteral("ST_numTestCases"))->Text(), QStringLiteral("0"));
    testsupport::settle();

    second->control<CheckBox>(QStringLiteral("CB_0to10"), 4)->setValue(true);
    generate(second);
    RW_reportOutputWindow* again = openReportWindow();
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(testsupport::waitUntil([&] { return again->initializationFinished; }));
    EXPECT_EQ(leftPaneText(again), QStringLiteral("4\n"));
}

} // namespace
