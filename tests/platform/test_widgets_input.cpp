// Keys and texts at the widget layer: which keys a KeyDown handler sees as Return and Enter, what
// Return on a focused button does, and user text shown as typed in captions, menu rows and messages.

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/SystemCalls.h"
#include "platform/Window.h"
#include "report/RW_reportOutputWindow.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // A key that is only a modifier is no key press for KeyDown.
    bool reachesKeyDown = true;
};

const KeyCase keyCases[] = {
    {"Return", Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true},
    {"Enter", Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), true},
    {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, QString(QChar(3)), false},
    {"Ctrl+M", Qt::Key_M, Qt::ControlModifier, QString(QChar(13)), false},
    {"Ctrl+J", Qt::Key_J, Qt::ControlModifier, QString(QChar(10)), false},
    {"Ctrl+Shift+C", Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, QString(QChar(3)), false},
    {"c", Qt::Key_C, Qt::NoModifier, QStringLiteral("c"), false},
    {"Shift alone", Qt::Key_Shift, Qt::ShiftModifier, QString(), false, false},
    {"Ctrl alone", Qt::Key_Control, Qt::ControlModifier, QString(), false, false},
    {"Caps Lock", Qt::Key_CapsLock, Qt::NoModifier, QString(), false, false},
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
        ASSERT_EQ(fieldKeys.size(), c.reachesKeyDown ? 1 : 0);
        ASSERT_EQ(window->keys.size(), c.reachesKeyDown ? 1 : 0);
        if (!c.reachesKeyDown)
            continue;
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

// Return and Enter as on the desktop: in a window with a default button, a focused push button takes
// them and every other control hands them to the default button, while it is enabled and seen; the
// button Return would press is drawn as the default. In a window without one, Return presses no button
// and goes on to the window's KeyDown; Space presses the focused button in both.
TEST_F(WidgetInput, ReturnPressesTheFocusedButtonOnlyWhereTheWindowHasADefault)
{
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_r"), 10, 10, 200, 22);
    auto* box = window->add(new fw::CheckBox, QStringLiteral("CB_r"), 10, 35, 80, 22);
    auto* save = window->add(new fw::PushButton, QStringLiteral("PB_save"), 220, 60, 74, 22);
    auto* cancel = window->add(new fw::PushButton, QStringLiteral("PB_cancel"), 10, 60, 74, 22);
    save->setCaption(QStringLiteral("Save"));
    cancel->setCaption(QStringLiteral("Cancel"));
    QStringList pressed;
    save->Action = [&pressed](fw::PushButton&) { pressed << "save"; };
    cancel->Action = [&pressed](fw::PushButton&) { pressed << "cancel"; };
    const auto image = [](fw::Control* c) { return c->widget()->grab().toImage(); };

    enum Default { None, Shown, Hidden, Disabled };
    const struct {
        Default withDefault;
        fw::Control* focus;
        Qt::Key key;
        const char* expected;
        bool reachesKeyDown;
    } cases[] = {
        {Shown, cancel, Qt::Key_Return, "cancel", false}, {Shown, cancel, Qt::Key_Enter, "cancel", false},
        {Shown, save, Qt::Key_Return, "save", false},     {Shown, field, Qt::Key_Return, "save", false},
        {Shown, field, Qt::Key_Enter, "save", false},     {Shown, box, Qt::Key_Return, "save", false},
        {Shown, cancel, Qt::Key_Space, "cancel", false},  {Hidden, field, Qt::Key_Return, "", true},
        {Hidden, cancel, Qt::Key_Return, "cancel", false}, {Disabled, field, Qt::Key_Return, "", true},
        {None, cancel, Qt::Key_Return, "", true},         {None, save, Qt::Key_Enter, "", true},
        {None, box, Qt::Key_Return, "", true},            {None, cancel, Qt::Key_Space, "cancel", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "default " << c.withDefault << ", " << c.focus->Name().toStdString() << " key "
                                        << int(c.key));
        window->setDefaultButton(c.withDefault == None ? nullptr : save);
        save->setVisible(c.withDefault != Hidden);
        save->setEnabled(c.withDefault != Disabled);
        pressed.clear();
        window->keys.clear();
        c.focus->SetFocus();
        ASSERT_TRUE(c.focus->widget()->hasFocus());
        QTest::keyClick(c.focus->widget(), c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(pressed.join(' '), QString::fromLatin1(c.expected));
        EXPECT_EQ(window->keys.size(), c.reachesKeyDown ? 1 : 0);
    }

    // The default look: on the default button while the focus is on no push button, on the focused
    // push button otherwise, and on no button in a window without a default.
    save->setVisible(true);
    save->setEnabled(true);
    window->setDefaultButton(save);
    field->SetFocus();
    testsupport::settle();
    EXPECT_TRUE(static_cast<QPushButton*>(save->widget())->isDefault());
    const QImage saveMarked = image(save);
    const QImage cancelPlain = image(cancel);
    cancel->SetFocus();
    testsupport::settle();
    EXPECT_NE(image(save), saveMarked) << "the default look stays on Save while Cancel has the focus";
    const QImage cancelMarked = image(cancel);
    window->setDefaultButton(nullptr);
    testsupport::settle();
    EXPECT_FALSE(static_cast<QPushButton*>(save->widget())->isDefault());
    EXPECT_NE(image(cancel), cancelMarked) << "a focused button looks the default in a window without one";
    field->SetFocus();
    testsupport::settle();
    EXPECT_EQ(image(cancel), cancelPlain);
}

// Input as the platform queues it for a control: a click on a button, a key or input-method text for
// a field.
enum class Input { Click, Key, InputMethod };

void postInput(Input input, QWidget* button, QWidget* field)
{
    switch (input) {
    case Input::Click: {
        const QPointF at = QRectF(button->rect()).center();
        const QPointF global = button->mapToGlobal(at);
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                            Qt::NoButton, Qt::NoModifier));
        break;
    }
    case Input::Key:
        QCoreApplication::postEvent(field, new QKeyEvent(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QStringLiteral("k")));
        break;
    case Input::InputMethod: {
        auto* commit = new QInputMethodEvent;
        commit->setCommitString(QStringLiteral("k"));
        QCoreApplication::postEvent(field, commit);
        break;
    }
    }
}

// Busy work takes no input: what the user gave before it started that was not handled yet, and what
// the user gives while it runs, never reaches a control once it is over, also when the work fails (its
// failure reaches the caller). Afterwards the busy cursor is gone and input is taken again.
TEST_F(WidgetInput, InputGivenBeforeOrDuringBusyWorkIsNeverDelivered)
{
    auto* button = window->add(new fw::PushButton, QStringLiteral("PB_b"), 10, 40, 74, 22);
    auto* field = window->add(new fw::EditField, QStringLiteral("EF_b"), 10, 10, 200, 22);
    int clicks = 0;
    button->Action = [&clicks](fw::PushButton&) { ++clicks; };
    const auto arrived = [&](Input input) { return input == Input::Click ? clicks > 0 : !field->Text().isEmpty(); };
    const struct {
        const char* label;
        Input input;
        bool duringWork; // else given before the work starts
        bool workFails = false;
    } cases[] = {
        {"click before", Input::Click, false},
        {"key before", Input::Key, false},
        {"input-method text before", Input::InputMethod, false},
        {"click during", Input::Click, true},
        {"key during", Input::Key, true},
        {"input-method text during", Input::InputMethod, true},
        {"key during work that fails", Input::Key, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        field->SetFocus();
        std::atomic<bool> given{false};
        if (c.duringWork) {
            QTimer::singleShot(0, [&] {
                postInput(c.input, button->widget(), field->widget());
                given = true;
            });
        } else {
            postInput(c.input, button->widget(), field->widget());
            given = true;
        }
        const auto work = [&given, fails = c.workFails] {
            while (!given)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (fails)
                throw std::runtime_error("the disk is gone");
        };
        if (c.workFails) {
            try {
                (void)fw::Window::runBusy(work);
                ADD_FAILURE() << "the work's failure did not reach the caller";
            } catch (const std::runtime_error& failure) {
                EXPECT_STREQ(failure.what(), "the disk is gone");
            }
        } else {
            EXPECT_TRUE(fw::Window::runBusy(work));
        }
        QCoreApplication::processEvents();
        EXPECT_FALSE(arrived(c.input));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        postInput(c.input, button->widget(), field->widget());
        QCoreApplication::processEvents();
        EXPECT_TRUE(arrived(c.input)) << "input is not taken after the work";
        clicks = 0;
        field->setText(QString());
    }
}

// A name of some 300 characters, far wider than any button or the screen.
QString longLineName()
{
    QString name;
    while (name.size() < 300)
        name += QStringLiteral("Line %1: stdout ").arg(name.size());
    return name;
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
    int menuWidth = 0;
    QTimer::singleShot(0, [&rowTexts, &menuWidth] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                rowTexts << action->text();
        }
        menuWidth = menu->sizeHint().width();
        menu->close();
    });
    // A name far wider than the screen is cut with "…" in the menu, and kept whole in the row.
    const QString longName = longLineName();
    bevel->AddRow(longName);
    QTest::mouseClick(bevel->widget(), Qt::LeftButton);
    testsupport::waitUntil([&rowTexts] { return !rowTexts.isEmpty(); }, 2000);
    ASSERT_EQ(rowTexts.size(), 3);
    EXPECT_EQ(rowTexts.mid(0, 2), (QStringList{drawn, QStringLiteral("Add New Bookmark")}));
    EXPECT_TRUE(rowTexts[2].endsWith(QChar(0x2026))) << rowTexts[2].toStdString();
    EXPECT_TRUE(longName.startsWith(rowTexts[2].chopped(1))) << rowTexts[2].toStdString();
    EXPECT_LT(menuWidth, bevel->widget()->screen()->availableGeometry().width() / 2);
    EXPECT_EQ(bevel->MenuRow(3), longName);
}

// A caption too wide for its button is drawn cut with "…", as it would be drawn had it been given cut;
// the button keeps the whole caption. So are a bevel button's, beside its drop-down indicator.
TEST_F(WidgetInput, LongCaptionsAreCutWithAnEllipsis)
{
    const QString longName = longLineName();
    auto* bevel = window->add(new fw::BevelButton, QStringLiteral("BB_long"), 10, 10, 200, 22);
    auto* plain = window->add(new fw::PushButton, QStringLiteral("PB_long"), 10, 40, 120, 22);
    bevel->setCaptionAlign(0);
    bevel->setHasMenu(2);

    // The shortest cut caption ending in "…" that draws like the whole one must show its "…": without
    // it, the button draws something else. (A caption cut only by the button's edge draws alike with
    // or without a "…" that lies beyond the edge.)
    const auto drawnCut = [&](fw::Control* button, const std::function<void(const QString&)>& setCaption) {
        const auto picture = [&](const QString& caption) {
            setCaption(caption);
            return button->widget()->grab().toImage();
        };
        const QImage whole = picture(longName);
        for (qsizetype n = 1; n < longName.size(); ++n) {
            if (picture(longName.left(n) + QChar(0x2026)) == whole)
                return picture(longName.left(n)) != whole;
        }
        return false;
    };
    EXPECT_TRUE(drawnCut(bevel, [&](const QString& caption) { bevel->setCaption(caption); }));
    EXPECT_TRUE(drawnCut(plain, [&](const QString& caption) { plain->setCaption(caption); }));
    bevel->setCaption(longName);
    plain->setCaption(longName);
    EXPECT_EQ(bevel->Caption(), longName);
    EXPECT_EQ(plain->Caption(), longName);
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

// The file dialogs, shown for real.
class FileDialogs : public WidgetInput {
protected:
    // Shows a save or open dialog on start (else the folder), runs whileShown once it is up; the
    // chosen path.
    QString choose(bool save, const std::function<void(QFileDialog&)>& whileShown, const QString& start = {})
    {
        QTimer::singleShot(0, [&] {
            testsupport::waitUntil([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 3000);
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                whileShown(*dialog);
                if (dialog->isVisible())
                    dialog->reject();
            }
        });
        fw::SaveAsDialog saving;
        fw::OpenDialog opening;
        saving.InitialDirectory = opening.InitialDirectory = fw::FolderItem(start.isEmpty() ? folder.path() : start);
        saving.Filter = opening.Filter = QStringLiteral("Number List (*.rcn)");
        saving.DefaultExtension = QStringLiteral("rcn");
        const std::optional<fw::FolderItem> chosen = save ? saving.ShowModal() : opening.ShowModal();
        return chosen ? chosen->path() : QString();
    }

    QTemporaryDir folder;
};

// Types name into the focused file-name field (the dialog overwrites the field only while it has no
// focus) and presses Return. Keeps whether the accept button was enabled, then the text of each
// message box, each answered with its first button.
void typeAndReturn(QFileDialog& dialog, const QString& name, QStringList& shown)
{
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(field && testsupport::waitUntil([&] {
        dialog.activateWindow();
        field->setFocus();
        return field->hasFocus();
    }));
    field->setText(name);
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    shown << (buttons->buttons().constFirst()->isEnabled() ? "enabled" : "disabled");
    QTimer::singleShot(0, [&shown] {
        const auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
        while (testsupport::waitUntil([&] { return box() != nullptr; }, 300)) {
            shown << box()->text();
            box()->buttons().constFirst()->click();
        }
    });
    QTest::keyClick(field, Qt::Key_Return);
}

struct TypedNameCase {
    const char* label;
    bool save;
    const char* typed;  // "<dir>" stands for the dialog's folder
    const char* there;  // a file in the folder before (the one the quotes would choose, where any)
    const char* chosen; // the file chosen in the folder, "" for none
    QStringList shown;
    const char* shows = ""; // the folder the dialog shows then, within its first one
};

// A typed name is the file of that name in the folder shown, quotes and all (never the several-files
// syntax of the framework's dialog), judged there and not in the working folder, which holds a folder
// "bin"; the name of a folder there, "sub", opens it.
TEST_F(FileDialogs, ATypedNameIsTheFileChosenQuotesAndAll)
{
    const TypedNameCase cases[] = {
        {"save, quotes and two blanks", true, "it's \"my\"  list.rcn", "my.rcn", "it's \"my\"  list.rcn", {"enabled"}},
        {"save, full path", true, "<dir>/it's \"my\"  list.rcn", "my.rcn", "it's \"my\"  list.rcn", {"enabled"}},
        {"save, the extension added", true, "\"a\" b", "a.rcn", "\"a\" b.rcn", {"enabled"}},
        {"save over a file, asked by its name", true, "\"q\".rcn", "\"q\".rcn", "\"q\".rcn",
         {"enabled", "\"q\".rcn already exists.\nDo you want to replace it?"}},
        {"save, no quotes", true, "plain", "other.rcn", "plain.rcn", {"enabled"}},
        {"open, quotes", false, "<dir>/it's \"my\"  list.rcn", "it's \"my\"  list.rcn", "it's \"my\"  list.rcn",
         {"enabled"}},
        {"open, quotes, no such file", false, "\"gone\".rcn", "gone.rcn", "",
         {"enabled", "\"gone\".rcn\nFile not found.\nPlease verify the correct file name was given."}},
        {"save, a folder's name opens it", true, "sub", "sub.rcn", "", {"enabled"}, "sub"},
        {"save, a folder's name and a slash open it", true, "sub/", "other.rcn", "", {"enabled"}, "sub"},
        {"open, a folder's name and a slash open it", false, "sub/", "other.rcn", "", {"enabled"}, "sub"},
        {"save, a folder's name elsewhere is a file here", true, "bin", "other.rcn", "bin.rcn", {"enabled"}},
    };
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir(elsewhere.path()).mkdir(QStringLiteral("bin")));
    const QString working = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    const auto back = qScopeGuard([&] { QDir::setCurrent(working); });
    for (const TypedNameCase& c : cases) {
        SCOPED_TRACE(c.label);
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
            QFile::remove(folder.filePath(name));
        ASSERT_TRUE(testsupport::writeFile(folder.filePath(QString::fromUtf8(c.there)), "1\n"));
        const QString typed = QString::fromUtf8(c.typed).replace(QStringLiteral("<dir>"), folder.path());
        QStringList shown;
        QString shows;
        const QString chosen = choose(c.save, [&](QFileDialog& dialog) {
            typeAndReturn(dialog, typed, shown);
            shows = dialog.directory().absolutePath();
        });
        EXPECT_EQ(chosen, *c.chosen ? folder.filePath(QString::fromUtf8(c.chosen)) : QString());
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(shows, QDir::cleanPath(folder.filePath(QString::fromUtf8(c.shows))));
    }
}

// Each dialog starts in the program's folder whatever bytes its name holds, and keeps nothing: what
// the user's settings file holds for file dialogs (a last folder, a history, a sidebar place) goes
// unused, and no settings file is written. This test binary, linked into a folder whose name is not
// UTF-8, runs this test there, from another working folder, with a home and settings of its own.
TEST_F(FileDialogs, EachStartsInTheProgramsFolderAndKeepsNothing)
{
    if (const QString other = qEnvironmentVariable("NAW_OTHER_FOLDER"); !other.isEmpty()) {
        const QString program = fw::FolderItem::applicationFolder().path();
        for (const bool save : {true, false}) {
            SCOPED_TRACE(save ? "save" : "open");
            QStringList shown;
            QStringList remembered;
            const QString chosen = choose(
                save,
                [&](QFileDialog& dialog) {
                    auto* model = dialog.findChild<QFileSystemModel*>();
                    ASSERT_TRUE(testsupport::waitUntil([&] {
                        return model->index(dialog.directory().filePath(QStringLiteral("here.rcn"))).isValid();
                    })) << dialog.directory().absolutePath().toStdString();
                    remembered = dialog.history();
                    for (const QUrl& place : dialog.sidebarUrls())
                        remembered << place.toLocalFile();
                    typeAndReturn(dialog, save ? QStringLiteral("new") : QStringLiteral("here.rcn"), shown);
                },
                program);
            EXPECT_EQ(fw::encodePath(chosen), fw::encodePath(program) + (save ? "/new.rcn" : "/here.rcn"));
            EXPECT_FALSE(remembered.contains(other)) << remembered.join(u' ').toStdString();
        }
        // Up from there is its own parent, the working folder.
        QString up;
        choose(
            true,
            [&](QFileDialog& dialog) {
                dialog.findChild<QToolButton*>(QStringLiteral("toParentButton"))->click();
                up = dialog.directory().absolutePath();
            },
            program);
        EXPECT_EQ(up, QDir::currentPath());
        return;
    }
    const QByteArray base = QFile::encodeName(folder.path());
    const QByteArray dir = base + "/lat\xE9n";
    ASSERT_EQ(::mkdir(dir.constData(), 0700), 0);
    // The framework cannot remove what it cannot name.
    const auto removeDir = qScopeGuard([&] {
        for (const char* name : {"/test", "/here.rcn", "/new.rcn"})
            ::unlink((dir + name).constData());
        ::rmdir(dir.constData());
    });
    const QString self = QCoreApplication::applicationFilePath();
    const QString copy = folder.filePath(QStringLiteral("test"));
    if (::link(QFile::encodeName(self).constData(), (dir + "/test").constData()) != 0
        && !(QFile::copy(self, copy) && ::rename(QFile::encodeName(copy).constData(), (dir + "/test").constData()) == 0))
        GTEST_SKIP() << "the test binary cannot be put there";
    ASSERT_EQ(::close(::open((dir + "/here.rcn").constData(), O_CREAT | O_WRONLY, 0600)), 0);
    const QString other = folder.filePath(QStringLiteral("other"));
    const QByteArray url = "file://" + other.toUtf8();
    const QByteArray settings = "[FileDialog]\nhistory=" + url + "\nlastVisited=" + url + "\nshortcuts=" + url
                                + "\nsidebarWidth=90\nviewMode=Detail\n";
    for (const char* place : {"other/here.rcn", "home/.config/QtProject.conf", "config/QtProject.conf"})
        ASSERT_TRUE(QDir(folder.path()).mkpath(QFileInfo(QLatin1String(place)).path())
                    && testsupport::writeFile(folder.filePath(QLatin1String(place)), settings));
    const QByteArray run = "cd '" + base + "' && HOME='" + base + "/home' XDG_CONFIG_HOME='" + base
                           + "/config' NAW_OTHER_FOLDER='" + QFile::encodeName(other) + "' '" + dir
                           + "/test' --gtest_filter=FileDialogs.EachStartsInTheProgramsFolderAndKeepsNothing >'" + base
                           + "/out' 2>&1";
    const int status = std::system(run.constData());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << testsupport::readFile(folder.filePath(QStringLiteral("out"))).toStdString();
    QStringList kept;
    for (const char* place : {"home", "config"}) {
        for (QDirIterator it(folder.filePath(QLatin1String(place)),
                             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            kept << it.next().mid(folder.path().size() + 1);
    }
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"config/QtProject.conf", "home/.config", "home/.config/QtProject.conf"}));
    for (const QString& file : kept.filter(QStringLiteral("QtProject.conf")))
        EXPECT_EQ(testsupport::readFile(folder.filePath(file)), settings) << file.toStdString();
}

// Icons and types come from names and kinds: no file is opened to show a folder (a read of the
// kernel's log in /proc never returns).
TEST_F(FileDialogs, NoFileIsOpenedToShowAFolder)
{
    for (const char* name : {"data", "list.rcn"})
        ASSERT_TRUE(testsupport::writeFile(folder.filePath(QLatin1String(name)), "%PDF-1.4\n"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder.path()).constData(), IN_OPEN), 0);
    QStringList types;
    for (const bool save : {true, false}) {
        choose(save, [&](QFileDialog& dialog) {
            auto* model = dialog.findChild<QFileSystemModel*>();
            // The list shows the folder and the number list; the dialog looks at every entry.
            ASSERT_TRUE(testsupport::waitUntil([&] { return model->rowCount(model->index(folder.path())) == 2; }));
            testsupport::settle();
            for (const char* name : {"list.rcn", "sub"})
                types << model->type(model->index(folder.filePath(QLatin1String(name))));
        });
    }
    QStringList opened;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (!(event->mask & IN_ISDIR))
                opened << QString::fromUtf8(event->name);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    EXPECT_EQ(opened, QStringList());
    EXPECT_EQ(types, (QStringList{"rcn File", "Folder", "rcn File", "Folder"}));
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
