// Sending a pane to the word processor through the automation bridge, with a stand-in word processor
// that records what it was asked to open.
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/OleAutomation.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fw;

namespace {

class WordExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Documents handed to the word processor land in the temporary folder: keep them in ours.
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir.path().toLocal8Bit());
        // The stand-in copies the document it is given into the record folder.
        const QString script = dir.path() + QStringLiteral("/writer");
        ASSERT_TRUE(testsupport::writeScript(
            script, QStringLiteral("b=$(basename \"$1\")\ncp \"$1\" '%1'/\"$b.part\" && mv '%1'/\"$b.part\" '%1'/\"$b\"\n")
                        .arg(dir.path() + QStringLiteral("/opened"))
                        .toUtf8()));
        ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/opened")));
        WordApplication::setWordProcessorOverride(script);
        window = Window::New<RW_reportOutputWindow>();
    }

    void TearDown() override
    {
        window->Close();
        testsupport::settle();
        WordApplication::setWordProcessorOverride(std::nullopt);
        if (savedTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }

    QStringList opened() const
    {
        QStringList texts;
        const QDir folder(dir.path() + QStringLiteral("/opened"));
        for (const QString& name : folder.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            QFile f(folder.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                texts.append(QString::fromUtf8(f.readAll()));
        }
        return texts;
    }

    void show(const QString& report) { testsupport::showReport(*window, report); }

    void press(const char* name) { window->control<PushButton>(QLatin1String(name))->Push(); }

    QTemporaryDir dir;
    QByteArray savedTmp;
    testsupport::MessageLog log;
    RW_reportOutputWindow* window = nullptr;
};

TEST_F(WordExportTest, SendsThePaneTextAsANewDocumentPerPress)
{
    const QString report = QStringLiteral("7\n  cardinal: seven\n\u00E9t\u00E9 \U0001F600\n");
    show(report);
    press("PB_openInWordLeft");
    press("PB_openInWordRight");
    ASSERT_TRUE(testsupport::waitUntil([&] { return opened().size() == 2; }));
    EXPECT_EQ(opened(), QStringList(2, report));
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(WordExportTest, EmptyReportSendsAnEmptyDocument)
{
    show(QString());
    press("PB_openInWordLeft");
    ASSERT_TRUE(testsupport::waitUntil([&] { return opened().size() == 1; }));
    EXPECT_EQ(opened().value(0), QString());
}

TEST_F(WordExportTest, EmptyPageSendsNothing)
{
    show(QStringLiteral("x\n"));
    window->control<PopupMenu>(QStringLiteral("PM_displayChoiceLeft"))->setListIndex(0);
    window->control<PagePanel>(QStringLiteral("PP_resultsLeft"))->setValue(0);
    press("PB_openInWordLeft");
    testsupport::settle();
    EXPECT_TRUE(opened().isEmpty());
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(WordExportTest, MissingWordProcessorIsReportedAndNothingChanges)
{
    show(QStringLiteral("x\n"));
    WordApplication::setWordProcessorOverride(QString());
    press("PB_openInWordLeft");
    ASSERT_EQ(log.shown.size(), 1u);
    EXPECT_TRUE(log.shown[0].message.startsWith(
        QStringLiteral("Problem with Microsoft Word: Word.Application is not available")))
        << log.shown[0].message.toStdString();

    WordApplication::setWordProcessorOverride(dir.path() + QStringLiteral("/no-such-program"));
    press("PB_openInWordRight");
    ASSERT_EQ(log.shown.size(), 2u);
    EXPECT_TRUE(log.shown[1].message.startsWith(QStringLiteral("Problem with Microsoft Word: cannot start")))
        << log.shown[1].message.toStdString();
    EXPECT_EQ(window->control<StaticText>(QStringLiteral("ST_totalLineCountLeft"))->Text(), QStringLiteral("of 2"));
}

TEST(OleAutomation, UnknownMembersRaiseTheBridgeException)
{
    WordApplication::setWordProcessorOverride(QStringLiteral("/bin/true"));
    WordApplication word;
    EXPECT_THROW(word.Get(QStringLiteral("Workbooks")), OLEException);
    const OLEObject documents = word.Get(QStringLiteral("documents"));
    EXPECT_THROW(documents.Set(QStringLiteral("Text"), QStringLiteral("x")), OLEException);
    EXPECT_THROW(OLEObject().Get(QStringLiteral("Documents")), OLEException);
    WordApplication::setWordProcessorOverride(std::nullopt);
}

} // namespace
