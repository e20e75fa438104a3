// The "Number Selection" list with entries far longer than the list is wide: what is painted and measured
// per row is bounded by the list's width, while the entry itself stays whole for everyone who reads it.

#include "numbers/RW_compoundNumberWindow.h"

#include "common/cListBox.h"
#include "support/TestSupport.h"

#include <QAbstractItemDelegate>
#include <QElapsedTimer>
#include <QListView>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

const QChar Ellipsis(0x2026);

// Keeps the text of every row the view hands its style to paint or to measure.
class RecordingStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_ItemViewItem)
            record(option);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        if (type == CT_ItemViewItem)
            record(option);
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    mutable QStringList texts;

private:
    void record(const QStyleOption* option) const
    {
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option))
            texts << item->text;
    }
};

class LongRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        w = fw::Window::New<RW_compoundNumberWindow>();
        w->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        list = w->control<cListBox>(QStringLiteral("LB_numberSelected"));
        style = new RecordingStyle;
        style->setParent(list->view());
        list->view()->setStyle(style);
    }
    void TearDown() override { testsupport::closeAllWindows(); }

    // Repaints the list at once and returns the texts its style was given meanwhile.
    QStringList repaint()
    {
        style->texts.clear();
        list->view()->viewport()->repaint();
        return style->texts;
    }

    RW_compoundNumberWindow* w = nullptr;
    cListBox* list = nullptr;
    RecordingStyle* style = nullptr;
};

struct LongCase {
    const char* name;
    QString unit; // repeated to make the entry
};

TEST_F(LongRowsTest, ALongEntryIsPaintedCutAndReadWhole)
{
    // One character in the Basic Multilingual Plane, and one outside it (two UTF-16 units).
    const LongCase cases[] = {{"plain", QStringLiteral("w")}, {"clef", QString::fromUcs4(U"\U0001D11E")}};
    for (const LongCase& lc : cases) {
        SCOPED_TRACE(lc.name);
        testsupport::closeAllWindows();
        SetUp();
        const QString entry = lc.unit.repeated(200'000) + QStringLiteral("END");
        w->addToListBox(entry);
        w->addToListBox(QStringLiteral("short"));
        w->addToListBox(QStringLiteral("123"));
        testsupport::settle();

        const QStringList painted = repaint();
        ASSERT_FALSE(painted.isEmpty());
        const qsizetype limit = fw::Listbox::shownCharacters(list->view()->viewport()->width());
        ASSERT_LT(limit, 10'000);
        bool sawCut = false;
        for (const QString& text : painted) {
            EXPECT_LE(text.size(), limit) << "a row handed to the style costs its full length";
            if (text.startsWith(lc.unit + lc.unit)) {
                sawCut = true;
                EXPECT_TRUE(text.endsWith(Ellipsis)) << "a cut row says so";
                const QString kept = text.chopped(1);
                EXPECT_TRUE(entry.startsWith(kept)) << "the cut keeps whole characters from the start";
                EXPECT_FALSE(kept.back().isHighSurrogate());
            }
        }
        EXPECT_TRUE(sawCut);
        EXPECT_TRUE(painted.contains(QStringLiteral("short")));
        EXPECT_TRUE(painted.contains(QStringLiteral("123")));

        // Readers of the list (save, the configuration file, Remove Highlighted) still get all of it.
        int found = 0;
        for (int row = 0; row < list->ListCount(); ++row)
            found += list->List(row) == entry;
        EXPECT_EQ(found, 1);
    }
}

TEST_F(LongRowsTest, RepaintCostDoesNotGrowWithTheEntry)
{
    w->addToListBox(QString(5'000'000, QLatin1Char('w')));
    for (int n = 100; n < 140; ++n)
        w->addToListBox(QString::number(n));
    testsupport::settle();
    repaint();

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        repaint();
    EXPECT_LT(timer.elapsed(), testsupport::timeBudgetMs(100)) << "five repaints";
}

// Every return from a report builds a new window: what its list made must go with it.
TEST_F(LongRowsTest, TheListLeavesNothingBehindWithItsWindow)
{
    w->addToListBox(QStringLiteral("7"));
    testsupport::settle();
    const QPointer<QListView> view = list->view();
    const QPointer<QAbstractItemDelegate> rows = view->itemDelegate();
    const QPointer<QAbstractItemModel> model = view->model();
    ASSERT_TRUE(rows && model);
    w->Close();
    testsupport::settle();
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(rows.isNull()) << "the row delegate outlives the list";
    EXPECT_TRUE(model.isNull());
}

} // namespace
