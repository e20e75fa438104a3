// The one-line input dialog, shown modally and driven with real key events while it is up.

#include "common/CW_fieldInputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using Dialog = CW_fieldInputWindow;

fw::EditField* inputField(fw::Window& w)
{
    return w.control<fw::EditField>(QStringLiteral("EF_input"));
}

// What the user sees and does while the dialog is up.
struct Seen {
    bool ran = false;
    QString title;
    QString prompt;
    QString text;
    QString selected;
    int selStart = -1;
    int selLength = -1;
    bool fieldHasFocus = false;
    // "Save" is marked as the button Return presses, as desktop dialogs mark theirs.
    bool saveMarkedDefault = false;
};

class FieldInputWindow : public ::testing::Test {
protected:
    void TearDown() override
    {
        fw::ModalSeam::reset();
        testsupport::closeAllWindows();
    }

    // Runs one prompt the way a caller does and returns the transport object after ShowModal.
    std::shared_ptr<CC_genericTransportObject> prompt(const QString& proposed, std::function<void(Dialog&)> user)
    {
        auto* dialog = fw::Window::New<Dialog>();
        dialog->setTitle(QStringLiteral("Bookmark"));
        dialog->setPrompt(QStringLiteral("Name of the new bookmark:"));
        auto transport = std::make_shared<CC_genericTransportObject>();
        transport->setStringData(proposed);
        dialog->initialize(transport);
        EXPECT_TRUE(transport->getUserCancel()) << "initialize marks the exchange as cancelled until Save";

        fw::ModalSeam::setWindowHandler([this, user](fw::Window& w) {
            auto& d = static_cast<Dialog&>(w);
            fw::EditField* field = inputField(d);
            seen.ran = true;
            seen.title = d.Title();
            seen.prompt = d.control<fw::StaticText>(QStringLiteral("ST_mainText"))->Text();
            seen.text = field->Text();
            seen.selected = field->SelText();
            seen.selStart = field->SelStart();
            seen.selLength = field->SelLength();
            seen.fieldHasFocus = testsupport::waitUntil(
                [field] { return QApplication::focusWidget() == field->widget(); }, 2000);
            seen.saveMarkedDefault = static_cast<QPushButton*>(d.FindControl(QStringLiteral("PB_save"))->widget())->isDefault();
            user(d);
            if (!d.isClosed()) {
                ADD_FAILURE() << "the dialog is still open after the user's input";
                d.Close();
            }
        });
        QPointer<Dialog> guard(dialog);
        dialog->ShowModal();
        EXPECT_TRUE(seen.ran);
        EXPECT_TRUE(guard.isNull() || guard->isClosed());
        return transport;
    }

    Seen seen;
};

// Key events go where the user's keys go: to the focused widget, else to the dialog.
QWidget* keyTarget(Dialog& d)
{
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == &d ? focus : static_cast<QWidget*>(&d);
}

struct AnswerCase {
    const char* label;
    const char* proposed;
    std::function<void(Dialog&)> user;
    const char* answer;
    bool cancelled;
};

const AnswerCase answerCases[] = {
    {"Return keeps the proposed text", "Left 12 stdout",
     [](Dialog& d) { QTest::keyClick(keyTarget(d), Qt::Key_Return); }, "Left 12 stdout", false},
    {"Enter acts as Return", "Left 12 stdout",
     [](Dialog& d) { QTest::keyClick(keyTarget(d), Qt::Key_Enter); }, "Left 12 stdout", false},
    {"typing replaces the selected proposal", "Left 12 stdout",
     [](Dialog& d) {
         QTest::keyClicks(keyTarget(d), "mine");
         QTest::keyClick(keyTarget(d), Qt::Key_Return);
     },
     "mine", false},
    {"Save button", "Left 12 stdout",
     [](Dialog& d) { d.control<fw::PushButton>(QStringLiteral("PB_save"))->Push(); }, "Left 12 stdout", false},
    {"empty answer is an answer", "Left 12 stdout",
     [](Dialog& d) {
         QTest::keyClick(keyTarget(d), Qt::Key_Backspace);
         QTest::keyClick(keyTarget(d), Qt::Key_Return);
     },
     "", false},
    {"blanks are kept", "",
     [](Dialog& d) {
         QTest::keyClicks(keyTarget(d), "  two words  ");
         QTest::keyClick(keyTarget(d), Qt::Key_Return);
     },
     "  two words  ", false},
    {"Save with nothing proposed or typed", "",
     [](Dialog& d) { d.control<fw::PushButton>(QStringLiteral("PB_save"))->Push(); }, "", false},
    {"Escape cancels after typing", "Left 12 stdout",
     [](Dialog& d) {
         QTest::keyClicks(keyTarget(d), "other");
         QTest::keyClick(keyTarget(d), Qt::Key_Escape);
     },
     "Left 12 stdout", true},
    {"Cancel button", "Left 12 stdout",
     [](Dialog& d) {
         inputField(d)->setText(QStringLiteral("other"));
         d.control<fw::PushButton>(QStringLiteral("PB_cancel"))->Push();
     },
     "Left 12 stdout", true},
    {"Escape with nothing proposed", "", [](Dialog& d) { QTest::keyClick(keyTarget(d), Qt::Key_Escape); }, "", true},
    {"Return on the focused Cancel button cancels", "Left 12 stdout",
     [](Dialog& d) {
         d.control<fw::PushButton>(QStringLiteral("PB_cancel"))->SetFocus();
         QTest::keyClick(keyTarget(d), Qt::Key_Return);
     },
     "Left 12 stdout", true},
    {"Enter on the focused Save button saves", "Left 12 stdout",
     [](Dialog& d) {
         d.control<fw::PushButton>(QStringLiteral("PB_save"))->SetFocus();
         QTest::keyClick(keyTarget(d), Qt::Key_Enter);
     },
     "Left 12 stdout", false},
};

TEST_F(FieldInputWindow, ReturnsTheAnswerOrTheCancellation)
{
    for (const AnswerCase& c : answerCases) {
        SCOPED_TRACE(c.label);
        seen = {};
        const auto transport = prompt(QString::fromUtf8(c.proposed), c.user);
        EXPECT_EQ(transport->getStringData(), QString::fromUtf8(c.answer));
        EXPECT_EQ(transport->getUserCancel(), c.cancelled);
        fw::ModalSeam::reset();
        testsupport::settle();
    }
}

TEST_F(FieldInputWindow, ShowsTheProposedTextWhollySelectedInTheFocusedField)
{
    const QString proposed = QString::fromUtf8("Right 3 \xF0\x9F\x98\x80 stdout");
    const auto transport = prompt(proposed, [](Dialog& d) { QTest::keyClick(keyTarget(d), Qt::Key_Escape); });
    EXPECT_EQ(seen.title, QStringLiteral("Bookmark"));
    EXPECT_EQ(seen.prompt, QStringLiteral("Name of the new bookmark:"));
    EXPECT_EQ(seen.text, proposed);
    EXPECT_EQ(seen.selected, proposed);
    EXPECT_EQ(seen.selStart, 0);
    EXPECT_EQ(seen.selLength, 16) << "counted in characters";
    EXPECT_TRUE(seen.fieldHasFocus);
    EXPECT_TRUE(seen.saveMarkedDefault);
}

TEST_F(FieldInputWindow, EmptyProposalStartsEmptyWithNothingSelected)
{
    prompt(QString(), [](Dialog& d) { QTest::keyClick(keyTarget(d), Qt::Key_Escape); });
    EXPECT_EQ(seen.text, QString());
    EXPECT_EQ(seen.selLength, 0);
    EXPECT_TRUE(seen.fieldHasFocus);
}

TEST_F(FieldInputWindow, ControlsFollowTheDialogsResizeByTheirLocks)
{
    auto* dialog = fw::Window::New<Dialog>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_EQ(QSize(dialog->Width(), dialog->Height()), QSize(358, 159));
    const struct {
        const char* name;
        QRect start;
        QRect grown; // 100 wider, 50 taller
    } rows[] = {
        {"ST_mainText", {20, 14, 318, 35}, {20, 14, 418, 35}},
        {"EF_input", {20, 69, 318, 22}, {20, 119, 418, 22}},
        {"PB_save", {264, 117, 74, 22}, {364, 167, 74, 22}},
        {"PB_cancel", {20, 117, 74, 22}, {20, 167, 74, 22}},
    };
    auto rectOf = [dialog](const char* name) {
        const fw::Control* c = dialog->FindControl(QString::fromLatin1(name));
        return QRect(c->Left(), c->Top(), c->Width(), c->Height());
    };
    for (const auto& row : rows)
        EXPECT_EQ(rectOf(row.name), row.start) << row.name;
    dialog->setSize(458, 209);
    for (const auto& row : rows)
        EXPECT_EQ(rectOf(row.name), row.grown) << row.name;
    dialog->Close();
}

} // namespace
