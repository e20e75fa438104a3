// A back-end that cannot start, is ended by a signal or ends with a non-zero status: the report window
// still shows what arrived, and then the user is told how the run ended.

#include "report/RC_executeShellClass.h"

#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "report/RW_reportOutputWindow.h"
#include "report/RunOutcome.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <string>

namespace {

struct FailureCase {
    const char* name;
    QByteArray script; // empty: a back-end file without execute permission
    QString shown;     // what the panes hold and initialize receives
    QString message;   // "" when nothing is to be told
    // The back-end is reaped by someone else (here: the system, as SIGCHLD is ignored), so how it
    // ended is unknown. What it left behind in its process group, its pid in the file "left", must
    // never be signalled: once the back-end is reaped, that group number may be anyone's.
    bool reapedElsewhere = false;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class RunFailures : public ::testing::TestWithParam<FailureCase> {
protected:
    void TearDown() override
    {
        RC_executeShellClass::shutdownAll();
        if (window && !window->isClosed())
            window->Close();
        testsupport::settle();
    }

    QTemporaryDir dir;
    QPointer<RW_reportOutputWindow> window;
};

TEST_P(RunFailures, TheReportShowsWhatArrivedAndThenTheUserIsTold)
{
    const FailureCase& c = GetParam();
    ASSERT_TRUE(dir.isValid());
    const QString backEnd = dir.filePath("vantleReport");
    if (c.script.isEmpty())
        ASSERT_TRUE(testsupport::writeFile(backEnd, "#!/bin/sh\necho never\n"));
    else
        ASSERT_TRUE(testsupport::writeScript(backEnd, c.script));
    ASSERT_TRUE(testsupport::writeFile(dir.filePath("config.cfg"), "1\n"));
    const fw::FolderItem config(dir.filePath("config.cfg"));

    // What the window showed at the moment each message came up.
    QStringList reportAtMessage;
    testsupport::MessageLog log;
    fw::ModalSeam::setMessageHandler([&](const fw::MessageRequest& request) {
        log.shown.push_back(request);
        const auto record = window ? window->reportRecordLeft(1) : nullptr;
        reportAtMessage << (record && window->initializationFinished ? record->displayableText : "(no report)");
        return request.buttons.value(0);
    });

    struct sigaction childEnd {}, formerChildEnd {};
    childEnd.sa_handler = SIG_IGN;
    sigemptyset(&childEnd.sa_mask);
    if (c.reapedElsewhere)
        ::sigaction(SIGCHLD, &childEnd, &formerChildEnd);
    window = fw::Window::New<RW_reportOutputWindow>();
    auto* run = new RC_executeShellClass(window, config);
    QPointer<RC_executeShellClass> alive(run);
    run->setMe(run);
    run->Mode = fw::Shell::Asynchronous;
    run->Execute(fw::FolderItem(backEnd).ShellPath(), config.ShellPath());
    const bool ended = testsupport::waitUntil([&] { return alive.isNull(); }, 10000);
    if (c.reapedElsewhere)
        ::sigaction(SIGCHLD, &formerChildEnd, nullptr);
    ASSERT_TRUE(ended);
    if (c.reapedElsewhere) {
        const pid_t left = pid_t(testsupport::readFile(dir.filePath("left")).trimmed().toInt());
        ASSERT_GT(left, 0);
        EXPECT_FALSE(testsupport::processGone(left)) << "what the back-end left behind was signalled";
        ::kill(left, SIGKILL);
    }

    EXPECT_TRUE(window->initializationFinished);
    EXPECT_EQ(window->control<fw::EditField>("EF_mainResultsLeft", 0)->Text(), c.shown);
    EXPECT_EQ(window->reportRecordLeft(1)->displayableText, c.shown);
    EXPECT_FALSE(QFileInfo::exists(config.path()));
    if (c.message.isEmpty()) {
        EXPECT_TRUE(log.shown.empty()) << log.messages().join('|').toStdString();
    } else {
        EXPECT_EQ(log.messages(), QStringList{c.message});
        EXPECT_EQ(reportAtMessage, QStringList{c.shown}) << "the message came before the report was set up";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Run, RunFailures,
    ::testing::Values(
        FailureCase{"clean", "echo all\n", "all\n", ""},
        FailureCase{"status", "echo part\nexit 3\n", "part\n",
                    "The report program ended with status 3. The report may be incomplete."},
        FailureCase{"signal", "echo part\nkill -KILL $$\n", "part\n",
                    "The report program was ended by signal 9 (Killed). The report may be incomplete."},
        FailureCase{"signal, nothing printed", "kill -SEGV $$\n", "",
                    "The report program was ended by signal 11 (Segmentation fault). The report may be incomplete."},
        FailureCase{"not executable", "", "", "The report program could not be started: Permission denied"},
        FailureCase{"reaped elsewhere",
                    "sleep 300 </dev/null >/dev/null 2>&1 &\necho $! > \"$(dirname \"$0\")/left\"\necho part\n", "part\n",
                    "How the report program ended could not be learnt. The report may be incomplete.", true},
        FailureCase{"reaped elsewhere, output held by what it left",
                    "sleep 300 </dev/null &\necho $! > \"$(dirname \"$0\")/left\"\necho part\n", "part\n",
                    "How the report program ended could not be learnt. The report may be incomplete.", true}),
    [](const ::testing::TestParamInfo<FailureCase>& param) {
        std::string name = param.param.name;
        for (char& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

} // namespace
