#include "report/RW_reportOutputWindow.h"

#include "common/CW_fieldInputWindow.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "report/RC_outputDataClass.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Report = RW_reportOutputWindow;

const QString Invalid = QStringLiteral(
    "INVALID REPORT: Please select one of the reports in the drop-down menu before setting a bookmark");

QString numberedLines(const QString& word, int count)
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += word + QLatin1Char(' ') + QString::number(i) + QLatin1Char('\n');
    return text;
}

// What the name prompt showed, and how the user answered it.
struct PromptSeen {
    QString title;
    QString prompt;
    QString proposed;
    QString fieldName; // as assistive tools read it
    int selStart = -1;
    int selLength = -1;
};

class BookmarkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each prompt takes the next queued answer: a name to save, or nothing to cancel.
        fw::ModalSeam::setWindowHandler([this](fw::Window& window) {
            auto* prompt = dynamic_cast<CW_fieldInputWindow*>(&window);
            ASSERT_NE(prompt, nullptr);
            auto* input = prompt->control<fw::EditField>(QStringLiteral("EF_input"));
            prompts.push_back({prompt->Title(), prompt->control<fw::StaticText>(QStringLiteral("ST_mainText"))->Text(),
                               input->Text(),
                               QAccessible::queryAccessibleInterface(input->textPane())->text(QAccessible::Name),
                               input->SelStart(), input->SelLength()});
            ASSERT_FALSE(answers.empty()) << "an unexpected prompt";
            const std::optional<QString> answer = answers.front();
            answers.erase(answers.begin());
            if (answer) {
                input->setText(*answer);
                prompt->control<fw::PushButton>(QStringLiteral("PB_save"))->Push();
            } else {
                prompt->control<fw::PushButton>(QStringLiteral("PB_cancel"))->Push();
            }
        });
        w = fw::Window::New<Report>();
        testsupport::showReport(*w, numberedLines(QStringLiteral("stdout line"), 300));
    }

    void TearDown() override
    {
        fw::ModalSeam::reset();
        w->Close();
        testsupport::settle();
    }

    template <class C>
    C* as(const char* base, const char* side, int index = -1) const
    {
        return w->control<C>(QLatin1String(base) + QLatin1String(side), index);
    }
    fw::BevelButton* button(const char* side) const { return as<fw::BevelButton>("BB_bookmarks", side); }
    fw::PopupMenu* popup(const char* side) const { return as<fw::PopupMenu>("PM_displayChoice", side); }
    fw::PagePanel* pages(const char* side) const { return as<fw::PagePanel>("PP_results", side); }
    fw::EditField* pane(const char* side, int element = 0) const
    {
        return as<fw::EditField>("EF_mainResults", side, element);
    }
    QString lineNumber(const char* side) const { return as<fw::StaticText>("ST_lineNumber", side)->Text(); }

    QStringList rows(const char* side) const
    {
        QStringList list;
        for (int r = 0; r < button(side)->MenuRowCount(); ++r)
            list << (button(side)->isSeparator(r) ? QStringLiteral("<separator>") : button(side)->MenuRow(r));
        return list;
    }
    // The caption alignment as the button shows it.
    QString captionAlign(const char* side) const
    {
        return button(side)->CaptionAlign() == 0 ? QStringLiteral("left") : QStringLiteral("centre");
    }

    struct Lists {
        std::vector<qint32> popupRow, scroll, selStart, selLength;
        bool operator==(const Lists&) const = default;
    };
    Lists lists(const char* side) const
    {
        if (QLatin1String(side) == QLatin1String("Left"))
            return {w->bookmark_PM_indexLeft, w->bookmark_scrollIndexLeft, w->bookmark_selStartLeft,
                    w->bookmark_selLengthLeft};
        return {w->bookmark_PM_indexRight, w->bookmark_scrollIndexRight, w->bookmark_selStartRight,
                w->bookmark_selLengthRight};
    }

    // Selects, then scrolls (a selection set in code scrolls itself into view).
    void place(fw::EditField* field, int selStart, int selLength, int scroll)
    {
        field->setSelStart(selStart);
        field->setSelLength(selLength);
        ASSERT_TRUE(testsupport::waitUntil([&] {
            field->setScrollPosition(scroll);
            return field->ScrollPosition() == scroll;
        })) << "scroll to " << scroll;
    }

    // A second report in the left popup, with its own page and pane, as a window with two reports has.
    fw::EditField* addSecondLeftReport(const QString& text)
    {
        auto record = std::make_shared<RC_outputDataClass>();
        record->totalLineCount = RC_outputDataClass::countLines(text);
        popup("Left")->AddRow(QStringLiteral("second"));
        popup("Left")->setRowTag(2, record);
        pages("Left")->setPanelCount(3);
        fw::EditField* first = pane("Left");
        auto* second = w->add(new EF_mainResultsLeft(1), QStringLiteral("EF_mainResultsLeft"), first->Left(),
                              first->Top(), first->Width(), first->Height(), fw::LockLeft | fw::LockTop,
                              pages("Left"), 1, 2);
        second->setTextSize(12);
        second->setText(text);
        return second;
    }

    Report* w = nullptr;
    testsupport::MessageLog log{QStringLiteral("OK")};
    std::vector<std::optional<QString>> answers;
    std::vector<PromptSeen> prompts;
};

TEST_F(BookmarkTest, AddingProposesTheFirstVisibleLineAndPutsNewBookmarksFirst)
{
    place(pane("Left"), 130, 6, 0); // at the top: "Line 1"
    answers = {QStringLiteral("first")};
    button("Left")->Push();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].title, QStringLiteral("Add New Bookmark (left)"));
    EXPECT_EQ(prompts[0].prompt, QStringLiteral("Please choose a name for this bookmark."));
    EXPECT_EQ(prompts[0].fieldName, QStringLiteral("Bookmark Name"));
    EXPECT_EQ(prompts[0].proposed, QStringLiteral("Line 1:  stdout"));
    EXPECT_EQ(prompts[0].selStart, 0);
    EXPECT_EQ(prompts[0].selLength, fw::Len(prompts[0].proposed));

    EXPECT_EQ(lists("Left"), (Lists{{1}, {0}, {130}, {6}}));
    EXPECT_EQ(rows("Left"),
              (QStringList{"first", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(button("Left")->HasMenu(), 2);
    EXPECT_EQ(button("Left")->MenuValue(), 0);
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("first"));
    EXPECT_EQ(captionAlign("Left"), QStringLiteral("left"));

    // "Add New Bookmark" (row n + 1) asks again; the proposal counts the first visible line from 1.
    place(pane("Left"), 2000, 0, 140);
    answers = {QStringLiteral("second")};
    button("Left")->Push(2);
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[1].proposed, QStringLiteral("Line 141:  stdout"));
    EXPECT_EQ(lists("Left"), (Lists{{1, 1}, {140, 0}, {2000, 130}, {0, 6}}));
    EXPECT_EQ(rows("Left"),
              (QStringList{"second", "first", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("second"));
    EXPECT_EQ(button("Left")->MenuValue(), 0);

    // Cancel adds nothing and leaves the picked row and the caption; an empty name is a name.
    answers = {std::nullopt, QString()};
    button("Left")->Push(3);
    EXPECT_EQ(lists("Left").popupRow.size(), 2u);
    EXPECT_EQ(rows("Left").size(), 5);
    EXPECT_EQ(button("Left")->MenuValue(), 3);
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("second"));
    button("Left")->Push(3);
    EXPECT_EQ(rows("Left"),
              (QStringList{"", "second", "first", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(button("Left")->Caption(), QString());

    // The pane was only read; the right side saw nothing.
    EXPECT_EQ(pane("Left")->SelStart(), 2000);
    EXPECT_EQ(pane("Left")->ScrollPosition(), 140);
    EXPECT_EQ(lists("Right"), Lists{});
    EXPECT_EQ(button("Right")->HasMenu(), 0);
    EXPECT_EQ(button("Right")->Caption(), QStringLiteral("Click to add bookmark"));
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(BookmarkTest, PromptRowRefusesToAdd)
{
    for (bool withBookmark : {false, true}) {
        if (withBookmark) {
            answers = {QStringLiteral("kept")};
            button("Right")->Push();
        }
        const Lists before = lists("Right");
        const QStringList rowsBefore = rows("Right");
        const QString captionBefore = button("Right")->Caption();
        const size_t promptsBefore = prompts.size();
        log.clear();

        popup("Right")->setListIndex(0);
        button("Right")->Push(withBookmark ? 2 : -1);
        EXPECT_EQ(log.messages(), QStringList{Invalid}) << withBookmark;
        EXPECT_EQ(prompts.size(), promptsBefore) << withBookmark;
        EXPECT_EQ(lists("Right"), before) << withBookmark;
        EXPECT_EQ(rows("Right"), rowsBefore) << withBookmark;
        EXPECT_EQ(button("Right")->Caption(), captionBefore) << withBookmark;
        popup("Right")->setListIndex(1);
    }
    EXPECT_EQ(prompts[0].title, QStringLiteral("Add New Bookmark (right)"));
}

TEST_F(BookmarkTest, JumpRestoresReportSelectionScrollAndLineNumber)
{
    const QString wide = QStringLiteral("second ") + QString(300, QLatin1Char('w'));
    fw::EditField* second = addSecondLeftReport(numberedLines(wide, 200));

    // Bookmark 1 on the second report, bookmark 0 on "stdout". The second's is a hit at the end of a
    // long line, in a view scrolled back sideways: the view kept, not the one the hit would scroll to.
    popup("Left")->setListIndex(2);
    ASSERT_EQ(pages("Left")->Value(), 2);
    const int hitStart = second->textPane()->lineStartChar(96) - 4;
    place(second, hitStart, 3, 90);
    second->setSideScroll(20 * 64); // 20 characters in
    const int sideways = second->SideScroll();
    ASSERT_NEAR(sideways, 20 * 64, 64);
    answers = {QStringLiteral("in second")};
    button("Left")->Push();
    ASSERT_EQ(prompts.back().proposed, QStringLiteral("Line 91:  second"));

    popup("Left")->setListIndex(1);
    place(pane("Left"), 30, 2, 5);
    answers = {QStringLiteral("in stdout")};
    button("Left")->Push(2);
    ASSERT_EQ(lists("Left"), (Lists{{1, 2}, {5, 90}, {30, hitStart}, {2, 3}}));

    // Elsewhere, with another text size: the jump brings back the very positions.
    place(pane("Left"), 3000, 0, 250);
    as<fw::EditField>("EF_font", "Left")->setText(QStringLiteral("20"));
    button("Left")->Push(1);
    EXPECT_EQ(popup("Left")->ListIndex(), 2);
    EXPECT_EQ(pages("Left")->Value(), 2);
    EXPECT_EQ(as<fw::StaticText>("ST_totalLineCount", "Left")->Text(), QStringLiteral("of 201"));
    EXPECT_EQ(second->SelStart(), hitStart);
    EXPECT_EQ(second->SelLength(), 3);
    EXPECT_EQ(second->ScrollPosition(), 90);
    EXPECT_NEAR(second->SideScroll(), sideways, 8);
    EXPECT_EQ(lineNumber("Left"), QString::number(second->LineNumAtCharPos(hitStart) + 1));
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("in second"));
    EXPECT_EQ(button("Left")->MenuValue(), 1);
    EXPECT_EQ(captionAlign("Left"), QStringLiteral("left"));

    // Back to "stdout", also from the prompt row; a jump needs no report chosen.
    popup("Left")->setListIndex(0);
    button("Left")->Push(0);
    EXPECT_EQ(popup("Left")->ListIndex(), 1);
    EXPECT_EQ(pages("Left")->Value(), 1);
    EXPECT_EQ(pane("Left")->SelStart(), 30);
    EXPECT_EQ(pane("Left")->SelLength(), 2);
    EXPECT_EQ(pane("Left")->ScrollPosition(), 5);
    EXPECT_EQ(lineNumber("Left"), QStringLiteral("3"));
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("in stdout"));

    // Jumps change neither lists nor rows, and the right side not at all.
    EXPECT_EQ(lists("Left"), (Lists{{1, 2}, {5, 90}, {30, hitStart}, {2, 3}}));
    EXPECT_EQ(rows("Left").size(), 5);
    EXPECT_EQ(lists("Right"), Lists{});
    EXPECT_TRUE(log.shown.empty());
}

TEST_F(BookmarkTest, ClearEmptiesOneSideAndTheNextClickAddsAtOnce)
{
    for (const char* side : {"Left", "Right"}) {
        answers = {QStringLiteral("a"), QStringLiteral("b")};
        button(side)->Push();
        button(side)->Push(2);
    }
    ASSERT_EQ(rows("Left").size(), 5);
    place(pane("Left"), 77, 4, 3);

    // A menu value that names no bookmark row (the separator, or beyond the menu) does nothing.
    for (int stray : {2, 9, -1}) {
        button("Left")->setMenuValue(stray);
        w->BB_bookmarksLeft_Action();
        EXPECT_EQ(lists("Left").popupRow.size(), 2u) << stray;
    }
    EXPECT_TRUE(answers.empty());

    button("Left")->Push(4); // "Clear All Bookmarks"
    EXPECT_EQ(lists("Left"), Lists{});
    EXPECT_TRUE(w->bookmark_sideScrollLeft.empty());
    EXPECT_EQ(button("Left")->MenuRowCount(), 0);
    EXPECT_EQ(button("Left")->HasMenu(), 0);
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("Click to Add Bookmark"));
    EXPECT_EQ(captionAlign("Left"), QStringLiteral("centre"));
    EXPECT_EQ(pane("Left")->SelStart(), 77);
    EXPECT_EQ(pane("Left")->SelLength(), 4);
    EXPECT_EQ(pane("Left")->ScrollPosition(), 3);

    // The right side keeps its bookmarks.
    EXPECT_EQ(rows("Right"), (QStringList{"b", "a", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(lists("Right").popupRow.size(), 2u);
    EXPECT_EQ(button("Right")->Caption(), QStringLiteral("b"));

    // Without bookmarks a click adds, whatever menu value is left over.
    const size_t promptsBefore = prompts.size();
    answers = {QStringLiteral("again")};
    button("Left")->Push();
    EXPECT_EQ(prompts.size(), promptsBefore + 1);
    EXPECT_EQ(rows("Left"), (QStringList{"again", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(lists("Left"), (Lists{{1}, {3}, {77}, {4}}));
}

// A bookmark may be called "-": it stays a bookmark row, not a separator, and can be jumped to.
TEST_F(BookmarkTest, ABookmarkNamedLikeASeparatorStaysABookmark)
{
    answers = {QStringLiteral("-")};
    button("Left")->Push();
    EXPECT_EQ(rows("Left"), (QStringList{"-", "<separator>", "Add New Bookmark", "Clear All Bookmarks"}));
    button("Left")->setCaption(QStringLiteral("elsewhere"));
    button("Left")->Push(0);
    EXPECT_EQ(button("Left")->Caption(), QStringLiteral("-"));
    EXPECT_EQ(lists("Left").popupRow.size(), 1u);
}

// The menu of a long name, its frame and the rows' margins included, is as wide as the button or a
// third of the screen, whichever is wider, and no narrower than it needs: the name is cut to fit it.
// However many bookmarks there are, the menu stays on the screen, in one column (it scrolls) whose
// every row is readable; a tab in a name shows as a blank, not as the start of a shortcut column.
TEST_F(BookmarkTest, TheMenuOfALongNameKeepsToItsBound)
{
    const QString longName = QStringLiteral("bookmark-") + QString(291, QLatin1Char('x'));
    const auto cutName = [&longName](const QString& row) {
        return row.endsWith(QChar(0x2026)) && longName.startsWith(row.chopped(1));
    };
    struct Seen {
        QRect geometry;
        QStringList rows; // the texts shown, separators left out
        QSet<int> columns; // the left edges of the rows
        int rowsHeight = 0; // of all rows one below the other
        QString upPicks; // the row that Up makes active, when it is in sight
    };
    const auto openMenu = [&](const char* side) {
        Seen seen;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    seen.rows << action->text();
                    seen.columns << menu->actionGeometry(action).left();
                    seen.rowsHeight += menu->actionGeometry(action).height();
                }
            }
            seen.geometry = menu->geometry();
            QTest::keyClick(menu, Qt::Key_Up);
            if (QAction* active = menu->activeAction(); active && menu->rect().contains(menu->actionGeometry(active)))
                seen.upPicks = active->text();
            menu->close();
        });
        QTest::mouseClick(button(side)->widget(), Qt::LeftButton);
        EXPECT_TRUE(testsupport::waitUntil([&] { return seen.geometry.isValid(); }, 2000)) << "no menu opened";
        return seen;
    };
    for (const char* side : {"Left", "Right"}) {
        SCOPED_TRACE(side);
        answers = {longName};
        button(side)->Push();
        ASSERT_EQ(button(side)->MenuRow(0), longName);
        QWidget* widget = button(side)->widget();
        const int bound = std::max(widget->width(), widget->screen()->availableGeometry().width() / 3);

        const Seen seen = openMenu(side);
        ASSERT_EQ(seen.rows.size(), 3);
        EXPECT_LE(seen.geometry.width(), bound);
        EXPECT_GT(seen.geometry.width(), bound * 9 / 10);
        EXPECT_TRUE(cutName(seen.rows[0])) << seen.rows[0].toStdString();
        EXPECT_EQ(lists(side).popupRow.size(), 1u) << "closing the menu picked a row";
    }

    // More bookmarks than the screen has room for, one of them with a tab.
    const QRect screen = button("Left")->widget()->screen()->availableGeometry();
    const int stops = screen.height() / 10;
    for (int i = 1; i <= stops; ++i)
        answers.push_back(i == 2 ? QStringLiteral("tab\there") : QStringLiteral("Stop %1").arg(i));
    for (int i = 1; i <= stops; ++i)
        button("Left")->Push(int(lists("Left").popupRow.size()) + 1);
    const Seen seen = openMenu("Left");
    ASSERT_EQ(seen.rows.size(), stops + 3);
    ASSERT_GT(seen.rowsHeight, screen.height()) << "the rows fit the screen: nothing tried";
    EXPECT_TRUE(screen.contains(seen.geometry)) << seen.geometry.height() << " of " << screen.height();
    EXPECT_EQ(seen.columns.size(), 1);
    EXPECT_EQ(seen.rows.front(), QStringLiteral("Stop %1").arg(stops));
    EXPECT_EQ(seen.rows[stops - 2], QStringLiteral("tab here"));
    EXPECT_TRUE(cutName(seen.rows[stops])) << seen.rows[stops].toStdString();
    EXPECT_EQ(seen.rows.mid(stops + 1), (QStringList{"Add New Bookmark", "Clear All Bookmarks"}));
    EXPECT_EQ(seen.upPicks, QStringLiteral("Clear All Bookmarks")) << "Up picks a row out of sight";
}

// In a menu taller than the screen, Return and Enter act only on a row the user sees highlighted: a
// wheel turn that takes the highlighted row out of sight leaves none highlighted, a key that moves
// the highlight brings its row into view, and PageUp and PageDown page also before a row is
// highlighted.
TEST_F(BookmarkTest, KeysInAScrolledMenuActOnlyOnARowInSight)
{
    const struct {
        const char* name;
        QStringList steps; // keys as QKeySequence names them, or "Wheel+n" / "Wheel-n": n notches up or down
        bool picks; // the last step picks the row seen highlighted; otherwise nothing is picked
        bool pages; // the last step shows other rows and highlights one of them
    } cases[] = {
        {"wheel after Up", {"Up", "Wheel+4", "Return"}, false, false},
        {"Up after the wheel", {"Up", "Wheel+4", "Up", "Return"}, true, false},
        {"wheel after Down", {"Down", "Wheel-6", "Enter"}, false, false},
        {"PageDown at once", {"PgDown"}, false, true},
        {"PageDown after the wheel", {"Up", "Wheel+8", "PgDown"}, false, true},
        {"PageUp after the wheel", {"End", "Wheel+3", "PgUp"}, false, true},
    };
    const auto inSight = [](const QMenu* menu, QAction* action) {
        return menu->rect().contains(menu->actionGeometry(action));
    };
    const auto shownRows = [&inSight](const QMenu* menu) { // the first and the last row in sight
        const QList<QAction*> rows = menu->actions();
        const auto shown = [&](QAction* row) { return inSight(menu, row); };
        return std::make_pair(std::find_if(rows.begin(), rows.end(), shown) - rows.begin(),
                              std::find_if(rows.rbegin(), rows.rend(), shown) - rows.rbegin());
    };
    const int stops = button("Left")->widget()->screen()->availableGeometry().height() / 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        while (int(lists("Left").popupRow.size()) < stops) {
            answers = {QStringLiteral("Stop")};
            button("Left")->Push(int(lists("Left").popupRow.size()) + 1);
        }
        const int unpicked = -7;
        button("Left")->setMenuValue(unpicked);
        answers = {std::nullopt}; // a prompt opened by mistake is cancelled

        QStringList outOfSight; // steps after which the highlighted row was out of sight
        int seenAtLast = unpicked; // the row highlighted and in sight before the last step
        std::pair<qsizetype, qsizetype> shownBeforeLast, shownAfterLast;
        bool highlightedAfterLast = false;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            opened = menu != nullptr;
            for (const QString& step : c.steps) {
                if (!menu || !menu->isVisible())
                    return;
                if (step == c.steps.last()) {
                    shownBeforeLast = shownRows(menu);
                    if (QAction* active = menu->activeAction(); active && inSight(menu, active))
                        seenAtLast = active->data().toInt();
                }
                const int notches = step.mid(5).toInt();
                for (int i = 0; i < std::abs(notches); ++i) {
                    const QPointF at = menu->rect().center();
                    QWheelEvent turn(at, menu->mapToGlobal(at), QPoint(), QPoint(0, notches > 0 ? 120 : -120),
                                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(menu, &turn);
                }
                if (!step.startsWith(QLatin1String("Wheel")))
                    QTest::keyClick(menu, QKeySequence(step)[0].key());
                if (!menu->isVisible())
                    return;
                if (QAction* active = menu->activeAction(); active && !inSight(menu, active))
                    outOfSight << step;
                shownAfterLast = shownRows(menu);
                highlightedAfterLast = menu->activeAction() != nullptr;
            }
            menu->close();
        });
        QTest::mouseClick(button("Left")->widget(), Qt::LeftButton);
        ASSERT_TRUE(testsupport::waitUntil([&] { return opened && !QApplication::activePopupWidget(); }, 2000))
            << "no menu opened";
        testsupport::settle();

        EXPECT_EQ(outOfSight, QStringList()) << "a row out of sight is highlighted";
        if (c.picks)
            EXPECT_TRUE(seenAtLast != unpicked && button("Left")->MenuValue() == seenAtLast) << "picked another row";
        else
            EXPECT_EQ(button("Left")->MenuValue(), unpicked) << "picked a row never seen highlighted";
        if (c.pages) {
            EXPECT_TRUE(highlightedAfterLast) << "no row highlighted after paging";
            EXPECT_NE(shownAfterLast, shownBeforeLast) << "the menu did not page";
        }
    }
}

} // namespace
