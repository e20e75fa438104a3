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

} // namespace
