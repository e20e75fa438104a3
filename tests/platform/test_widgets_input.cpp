// Keys and texts at the widget layer: which keys a KeyDown handler sees as Return and Enter, what
// Return on a focused button does, and user text shown as typed in captions, menu rows and messages.

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/Window.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A plain window that records the keys its own KeyDown sees.
class KeyWindow : public fw::Window {
public:
    QStringList keys;

protected:
    fw::WindowRecord Layout() override { return testsupport::windowRecord(QStringLiteral("Keys"), 400, 300); }
    void CreateControls() override {}
    bool KeyDown(const QString& key) override
    {
        keys << key;
        return false;
    }
};

class WidgetInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = fw::Window::New<KeyWindow>();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }

    QPointer<KeyWindow> window;
};

// A key as the platform reports it: a held Ctrl turns a letter's text into a control character.
void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

struct KeyCase {
    const char* label;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool returnOrEnter;
};

const KeyCase keyCases[] = {
    {"Return", Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true},
    {"Enter", Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), true},
    {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, QString(QChar(3)), false},
    {"Ctrl+M", Qt::Key_M, Qt::ControlModifier, QString(QChar(13)), false},
    {"Ctrl+J", Qt::Key_J, Qt::ControlModifier, QString(QChar(10)), false},
    {"Ctrl+Shift+C", Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, QString(QChar(3)), false},
    {"c", Qt::Key_C, Qt::NoModifier, QStringLiteral("c"), false},
};

bool isReturnOrEnter(const QString& key)
{
    return !key.isEmpty() && (key.at(0).unicode() == 13 || key.at(0).unicode() == 3);
}

TEST_F(WidgetInput, OnlyTheReturnAndEnterKeysReachKeyDownAsReturnAndEnter)
{
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_k"), 10, 10, 200, 22);
    QStringList fieldKeys;
    field->KeyDown = [&fieldKeys](fw::EditField&, const QString& key) {
        fieldKeys << key;
        return true;
    };
    for (const KeyCase& c : keyCases) {
        SCOPED_TRACE(c.label);
        fieldKeys.clear();
        window->keys.clear();
        pressKey(field->widget(), c.key, c.modifiers, c.text);
        pressKey(window, c.key, c.modifiers, c.text);
        ASSERT_EQ(fieldKeys.size(), 1);
        ASSERT_EQ(window->keys.size(), 1);
        EXPECT_EQ(isReturnOrEnter(fieldKeys.front()), c.returnOrEnter);
        EXPECT_EQ(isReturnOrEnter(window->keys.front()), c.returnOrEnter);
        if (!c.returnOrEnter) {
            for (const QString& key : fieldKeys + window->keys) {
                for (QChar ch : key)
                    EXPECT_GE(ch.unicode(), 32) << "a control character reached KeyDown for a plain key";
            }
        }
    }
}

// Ctrl+C in a phrase field of the report window copies the selection and starts no Find.
TEST_F(WidgetInput, CtrlCInAPhraseFieldCopiesInsteadOfFinding)
{
    testsupport::MessageLog log;
    auto* report = fw::Window::New<RW_reportOutputWindow>();
    testsupport::showReport(*report, QStringLiteral("alpha\nbeta\n"));
    auto* phrase = report->control<fw::EditField>(QStringLiteral("EF_searchText"), 0);
    phrase->setText(QStringLiteral("zeta"));
    phrase->setSelStart(0);
    phrase->setSelLength(4);
    QGuiApplication::clipboard()->clear();

    pressKey(phrase->widget(), Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
    pressKey(phrase->widget(), Qt::Key_M, Qt::ControlModifier, QString(QChar(13)));
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join(" | ").toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("zeta"));

    pressKey(phrase->widget(), Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    EXPECT_EQ(log.messages(), QStringList{QStringLiteral("NONE FOUND: Search results not found in any area of the report.")})
        << "Return still runs the Find";
}

// Return on a focused push button presses that button; the default button answers Return from a field.
TEST_F(WidgetInput, ReturnPressesTheFocusedButtonNotTheDefault)
{
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_r"), 10, 10, 200, 22);
    auto* save = window->add(new fw::PushButton, QStringLiteral("PB_save"), 220, 60, 74, 22);
    auto* cancel = window->add(new fw::PushButton, QStringLiteral("PB_cancel"), 10, 60, 74, 22);
    save->setCaption(QStringLiteral("Save"));
    cancel->setCaption(QStringLiteral("Cancel"));
    window->setDefaultButton(save);
    window->setCancelButton(cancel);
    QStringList pressed;
    save->Action = [&pressed](fw::PushButton&) { pressed << "save"; };
    cancel->Action = [&pressed](fw::PushButton&) { pressed << "cancel"; };

    const struct {
        fw::Control* focus;
        Qt::Key key;
        const char* expected;
    } cases[] = {
        {cancel, Qt::Key_Return, "cancel"}, {cancel, Qt::Key_Enter, "cancel"}, {save, Qt::Key_Return, "save"},
        {field, Qt::Key_Return, "save"},    {field, Qt::Key_Enter, "save"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.focus->Name().toStdString() + (c.key == Qt::Key_Return ? " Return" : " Enter"));
        pressed.clear();
        c.focus->SetFocus();
        QTest::keyClick(c.focus->widget(), c.key);
        EXPECT_EQ(pressed, QStringList{QString::fromLatin1(c.expected)});
    }
}

// Texts from the user go into captions, menu rows and messages as typed: "&" is no shortcut marker.
TEST_F(WidgetInput, AmpersandsInCaptionsAndMenuRowsShowAsTyped)
{
    const QString typed = QStringLiteral("R&D a&&b &");
    auto* button = window->add(new fw::PushButton, QStringLiteral("PB_c"), 10, 10, 150, 22);
    auto* box = window->add(new fw::CheckBox, QStringLiteral("CB_c"), 10, 40, 150, 22);
    auto* group = window->add(new fw::GroupBox, QStringLiteral("GB_c"), 10, 70, 200, 60);
    auto* bevel = window->add(new fw::BevelButton, QStringLiteral("BB_c"), 10, 140, 200, 22);
    auto* label = window->add(new fw::StaticText, QStringLiteral("ST_c"), 10, 170, 200, 22);
    button->setCaption(typed);
    box->setCaption(typed);
    group->setCaption(typed);
    bevel->setCaption(typed);
    label->setText(typed);

    // What each control shows, read back through the framework and as Qt draws it ("&&" draws "&").
    EXPECT_EQ(button->Caption(), typed);
    EXPECT_EQ(box->Caption(), typed);
    EXPECT_EQ(group->Caption(), typed);
    EXPECT_EQ(bevel->Caption(), typed);
    EXPECT_EQ(label->Text(), typed);
    const QString drawn = QStringLiteral("R&&D a&&&&b &&");
    EXPECT_EQ(static_cast<QAbstractButton*>(button->widget())->text(), drawn);
    EXPECT_EQ(static_cast<QAbstractButton*>(box->widget())->text(), drawn);
    EXPECT_EQ(static_cast<QGroupBox*>(group->widget())->title(), drawn);
    EXPECT_EQ(static_cast<QAbstractButton*>(bevel->widget())->text(), drawn);

    // A bevel button's menu rows.
    bevel->setHasMenu(2);
    bevel->AddRow(typed);
    bevel->AddSeparator();
    bevel->AddRow(QStringLiteral("Add New Bookmark"));
    QStringList rowTexts;
    QTimer::singleShot(0, [&rowTexts] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                rowTexts << action->text();
        }
        menu->close();
    });
    QTest::mouseClick(bevel->widget(), Qt::LeftButton);
    testsupport::waitUntil([&rowTexts] { return !rowTexts.isEmpty(); }, 2000);
    EXPECT_EQ(rowTexts, (QStringList{drawn, QStringLiteral("Add New Bookmark")}));
}

// A real message box shows its texts as plain text: markup in a file name is not interpreted.
TEST_F(WidgetInput, MessageBoxesShowMarkupAsTyped)
{
    const QString message = QStringLiteral("Cannot read <b>x.rcn</b> & more");
    const QString explanation = QStringLiteral("<i>folder</i>");
    QStringList formats;
    bool answered = false;
    QTimer::singleShot(0, [&] {
        testsupport::waitUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
                               3000);
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == message || label->text() == explanation)
                formats << (label->textFormat() == Qt::PlainText ? "plain" : "rich");
        }
        for (QAbstractButton* b : box->buttons()) {
            formats << b->text();
        }
        answered = true;
        box->buttons().front()->click();
    });
    fw::MessageDialog dialog;
    dialog.Message = message;
    dialog.Explanation = explanation;
    dialog.ActionButton.Caption = QStringLiteral("Save & Go");
    dialog.ShowModal();
    ASSERT_TRUE(answered);
    EXPECT_EQ(formats, (QStringList{"plain", "plain", "Save && Go"}));
}

// Once a bevel button has a menu it shows the platform's drop-down indicator.
TEST_F(WidgetInput, BevelButtonWithAMenuShowsTheDropDownIndicator)
{
    auto* bevel = window->add(new fw::BevelButton, QStringLiteral("BB_i"), 10, 10, 200, 22);
    bevel->setCaption(QStringLiteral("mark"));
    bevel->setCaptionAlign(0);
    testsupport::settle();
    const QImage plain = bevel->widget()->grab().toImage();
    bevel->setHasMenu(2);
    bevel->AddRow(QStringLiteral("mark"));
    testsupport::settle();
    const QImage withMenu = bevel->widget()->grab().toImage();
    ASSERT_EQ(plain.size(), withMenu.size());
    // The indicator sits at the right end; the caption at the left stays where it was.
    int changedRight = 0;
    for (int x = plain.width() * 3 / 4; x < plain.width(); ++x) {
        for (int y = 0; y < plain.height(); ++y)
            changedRight += plain.pixel(x, y) != withMenu.pixel(x, y);
    }
    EXPECT_GT(changedRight, 6);
    bevel->setHasMenu(0);
    bevel->DeleteAllRows();
    testsupport::settle();
    EXPECT_EQ(bevel->widget()->grab().toImage(), plain);
}

// The edit menu of fields and report panes: which actions apply in which state, what they do, and
// the right click and Shift+F10 that open it.
struct MenuCase {
    const char* label;
    bool multiLine;
    bool readOnly;
    QString text;
    bool typed; // one more character typed at the end, so that Undo applies
    int selFrom;
    int selTo;
    QString clipboard;
    const char* menu; // "+" enabled, "-" disabled, "|" a separator
};

const MenuCase menuCases[] = {
    {"empty field", false, false, "", false, 0, 0, "", "Undo- Redo- | Cut- Copy- Paste- Delete- | SelectAll-"},
    {"selection, clipboard", false, false, "abc", false, 0, 2, "x", "Undo- Redo- | Cut+ Copy+ Paste+ Delete+ | SelectAll+"},
    {"typed, all selected", false, false, "ab", true, 0, 3, "", "Undo+ Redo- | Cut+ Copy+ Paste- Delete+ | SelectAll-"},
    {"read-only field", false, true, "abc", false, 1, 2, "x", "Undo- Redo- | Cut- Copy+ Paste- Delete- | SelectAll+"},
    {"read-only pane", true, true, "abc\ndef", false, 2, 2, "x", "Copy- | SelectAll+"},
    {"read-only pane, selection", true, true, "abc\ndef", false, 1, 5, "x", "Copy+ | SelectAll+"},
    {"editable pane", true, false, "abc\ndef", false, 0, 7, "x", "Undo- Redo- | Cut+ Copy+ Paste+ Delete+ | SelectAll-"},
};

QString describe(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("|");
            continue;
        }
        QString label = action->text().section(u'\t', 0, 0);
        label.remove(u'&').remove(u' ');
        items << label + (action->isEnabled() ? u'+' : u'-');
    }
    return items.join(u' ');
}

TEST_F(WidgetInput, EditMenuOffersWhatAppliesInFieldsAndPanes)
{
    int row = 0;
    for (const MenuCase& c : menuCases) {
        auto* field = window->add(new fw::EditField(c.multiLine), QStringLiteral("EF_menu"), 10, 10, 200,
                                  c.multiLine ? 100 : 22, fw::LockLeft | fw::LockTop, nullptr, row++);
        field->setText(c.text);
        field->setReadOnly(c.readOnly);
        fw::TextPane* pane = field->textPane();
        pane->setFocus();
        if (c.typed)
            pressKey(pane, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
        field->setSelStart(c.selFrom);
        field->setSelLength(c.selTo - c.selFrom);
        QGuiApplication::clipboard()->setText(c.clipboard);
        std::unique_ptr<QMenu> menu(pane->createStandardContextMenu());
        EXPECT_EQ(describe(*menu), QString::fromLatin1(c.menu)) << c.label;
    }

    auto* field = window->add(new fw::EditField, QStringLiteral("EF_cut"), 10, 150, 200, 22);
    field->setText(QStringLiteral("abc"));
    field->setSelStart(0);
    field->setSelLength(2);
    std::unique_ptr<QMenu> menu(field->textPane()->createStandardContextMenu());
    menu->actions().at(3)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text() + u'/' + field->Text(), QStringLiteral("ab/c")) << "Cut";
    menu.reset(field->textPane()->createStandardContextMenu());
    menu->actions().at(0)->trigger();
    EXPECT_EQ(field->Text(), QStringLiteral("abc")) << "Undo";

    // Opened by a right click on the text and by Shift+F10.
    QWidget* viewport = field->textPane()->viewport();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &click);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->objectName(), QStringLiteral("qt_edit_menu"));
    popup->close();
    testsupport::settle();
    field->textPane()->setFocus();
    pressKey(field->textPane(), Qt::Key_F10, Qt::ShiftModifier, QString());
    popup = QApplication::activePopupWidget();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->objectName(), QStringLiteral("qt_edit_menu"));
    popup->close();
    testsupport::settle();
}

} // namespace
