#include "platform/Dialogs.h"

#include "platform/SystemCalls.h"
#include "platform/Window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace fw {

namespace {

struct Seams {
    ModalSeam::MessageHandler message;
    ModalSeam::FileHandler file;
    ModalSeam::WindowHandler window;
};

Seams& seams()
{
    static Seams s;
    return s;
}

// Shows a real message box and returns the caption of the pressed button ("" for none).
QString showMessageBox(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title.isEmpty() ? QApplication::applicationDisplayName() : request.title);
    box.setIcon(request.caution ? QMessageBox::Warning : QMessageBox::Information);
    // Messages carry the user's own texts (file names, bookmark names): shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.message);
    box.setInformativeText(request.explanation);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    std::vector<std::pair<QAbstractButton*, QString>> buttons;
    for (int i = 0; i < request.buttons.size(); ++i) {
        const bool isCancel = request.buttons.size() > 1 && i == request.buttons.size() - 1;
        QString caption = request.buttons[i];
        QPushButton* b = box.addButton(caption.replace(QLatin1Char('&'), QLatin1String("&&")), isCancel ? QMessageBox::RejectRole
                                                           : i == 0 ? QMessageBox::AcceptRole
                                                                    : QMessageBox::DestructiveRole);
        buttons.emplace_back(b, request.buttons[i]);
        if (i == 0)
            box.setDefaultButton(b);
        if (isCancel)
            box.setEscapeButton(b);
    }
    box.exec();
    for (const auto& [button, caption] : buttons) {
        if (box.clickedButton() == button)
            return caption;
    }
    return {};
}

QString askMessage(const MessageRequest& request)
{
    if (seams().message)
        return seams().message(request);
    return showMessageBox(request);
}

// Icons and type names of the file dialogs, decided by a file's name and kind only. The framework's
// own provider reads a file's first bytes to guess its type, and some reads never return (the kernel
// log in /proc waits for news), which froze the dialog for good; nothing here opens a file.
class NameOnlyIconProvider : public QFileIconProvider
{
public:
    NameOnlyIconProvider() { setOptions(DontUseCustomDirectoryIcons); }

    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }

    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return icon(Drive);
        if (info.isDir())
            return icon(Folder);
        if (info.isFile()) {
            const QMimeType type = typeByName(info);
            if (!type.isDefault()) {
                const QIcon themed = QIcon::fromTheme(type.iconName());
                if (!themed.isNull())
                    return themed;
            }
        }
        return icon(File);
    }

    QString type(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return QStringLiteral("Drive");
        if (info.isDir())
            return QStringLiteral("Folder");
        if (info.isFile()) {
            const QMimeType type = typeByName(info);
            if (!type.isDefault() && !type.comment().isEmpty())
                return type.comment();
            return info.suffix().isEmpty() ? QStringLiteral("File") : info.suffix() + QStringLiteral(" File");
        }
        if (info.isSymLink())
            return QStringLiteral("Link");
        return QStringLiteral("Special file");
    }

private:
    QMimeType typeByName(const QFileInfo& info) const
    {
        return mimeTypes_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }

    QMimeDatabase mimeTypes_;
};

// Where the file dialogs start. The framework names files by UTF-8 text only and alters every other
// byte of a name, so a folder whose path is no such text cannot be shown by its path; it is shown
// through the name the system gives a descriptor open on it (/proc/self/fd/N) for as long as this
// object lives, and a path chosen in it is given back under the folder's own path.
class StartFolder
{
public:
    explicit StartFolder(const QString& path) : path_(path)
    {
        if (path.isEmpty() || frameworkNames(path))
            return;
        fd_ = openRetrying(encodePath(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            shown_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
    }
    ~StartFolder()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    StartFolder(const StartFolder&) = delete;
    StartFolder& operator=(const StartFolder&) = delete;

    // The path to give the dialog.
    QString shown() const { return shown_.isEmpty() ? path_ : shown_; }

    // What to show instead of the folder a dialog entered: the system's folder of descriptors is
    // only the way up from the alias, which leads to the folder's own parent where the framework
    // can show that; "" for no change.
    QString instead(const QString& entered) const
    {
        if (shown_.isEmpty() || entered != shown_.left(shown_.lastIndexOf(u'/')))
            return {};
        const QString parent = path_.left(std::max<qsizetype>(path_.lastIndexOf(u'/'), 1));
        return frameworkNames(parent) ? parent : shown_;
    }

    // A path the dialog gave, with the folder's own path for the name it was shown by.
    QString real(const QString& chosen) const
    {
        if (shown_.isEmpty() || !chosen.startsWith(shown_))
            return chosen;
        if (chosen.size() == shown_.size())
            return path_;
        return chosen.at(shown_.size()) == u'/' ? path_ + chosen.mid(shown_.size()) : chosen;
    }

private:
    // True when the framework's name for path stands for the very bytes of the path.
    static bool frameworkNames(const QString& path) { return QFile::encodeName(path) == encodePath(path); }

    QString path_;
    QString shown_;
    int fd_ = -1;
};

// The framework's file dialog keeps the user's history, last folder, sidebar places and view in a
// settings file, reads them when made and writes them when it goes; the program keeps nothing but
// the user's lists, and each dialog starts in the folder it is given. Settings are sent under
// /dev/null, which is no folder: nothing can be read there, and nothing (no file, lock or folder) be
// made. Nothing else in the program keeps settings.
void keepNoSettings()
{
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
    }
}

// A file dialog that chooses one file by the name typed, as the user means it: the name of a file in
// the folder shown (or the path typed, when absolute), judged in that folder and never in the
// working folder. The name of a folder, with or without a trailing '/', opens that folder; the
// default suffix is added to a name without a '.' that is no folder. The framework's dialog reads
// quotes as its way of naming several files ("a" "b"), by which it's "my"  list.rcn would name
// my.rcn; here a quote is part of the name, as file names may hold one.
class OneFileDialog : public QFileDialog
{
public:
    // icons outlives the dialog (the dialog's file list asks it from a thread of its own), and so
    // does start.
    OneFileDialog(QWidget* parent, const QString& title, const StartFolder& start, QAbstractFileIconProvider* icons)
        : QFileDialog(parent, title, start.shown()), start_(start)
    {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setIconProvider(icons);
        nameField_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& entered) {
            if (const QString other = start_.instead(entered); !other.isEmpty())
                setDirectory(other);
        });
        // After the dialog's own check of the name, which judges a quoted name as several files.
        if (nameField_)
            connect(nameField_, &QLineEdit::textChanged, this, [this](const QString& text) {
                if (QPushButton* button = acceptButton(); button && text.contains(u'"'))
                    button->setEnabled(true);
            });
    }

    // The chosen file once the dialog was accepted.
    QString chosen() const
    {
        if (!chosen_.isEmpty())
            return start_.real(chosen_);
        const QStringList files = selectedFiles();
        return files.isEmpty() ? QString() : start_.real(files.first());
    }

protected:
    void accept() override
    {
        const QString typed = nameField_ ? nameField_->text() : QString();
        // An empty field leaves the choice to the list; ".." is the framework's way up a folder.
        if (typed.isEmpty() || typed == u"..") {
            QFileDialog::accept();
            return;
        }
        QString path = pathOf(typed);
        QFileInfo info(path);
        if (!info.isDir() && acceptMode() == AcceptSave && !defaultSuffix().isEmpty()
            && !typed.endsWith(u'/') && !info.fileName().contains(u'.')) {
            path += u'.' + defaultSuffix();
            info.setFile(path);
        }
        if (info.isDir()) {
            setDirectory(info.absoluteFilePath());
            nameField_->clear();
            return;
        }
        if (typed.endsWith(u'/')) {
            ask(QStringLiteral("%1\nFolder not found.\nPlease verify the correct folder name was given.").arg(typed),
                false);
            return;
        }
        if (acceptMode() == AcceptSave) {
            if ((info.exists() || info.isSymLink())
                && !ask(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(info.fileName()), true))
                return;
        } else if (!info.exists()) {
            ask(QStringLiteral("%1\nFile not found.\nPlease verify the correct file name was given.")
                    .arg(info.fileName()),
                false);
            return;
        }
        chosen_ = path;
        QDialog::accept();
    }

private:
    // The path a typed name stands for: an absolute path as typed; "~" and "~/..." in the home
    // folder, as the framework's dialog takes them, unless the folder shown holds an entry of that
    // name; any other name in the folder shown.
    QString pathOf(const QString& typed) const
    {
        if (QDir::isAbsolutePath(typed))
            return typed;
        const QString here = directory().absolutePath();
        const QString inHere = here.endsWith(u'/') ? here + typed : here + u'/' + typed;
        if ((typed == u"~" || typed.startsWith(u"~/")) && !QFileInfo::exists(inHere))
            return QDir::homePath() + typed.mid(1);
        return inHere;
    }

    QPushButton* acceptButton() const
    {
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        return buttons ? buttons->button(acceptMode() == AcceptOpen ? QDialogButtonBox::Open : QDialogButtonBox::Save)
                       : nullptr;
    }

    // A warning over the dialog, the user's name in it shown as typed; with a question, true for "Yes".
    bool ask(const QString& text, bool question)
    {
        QMessageBox box(QMessageBox::Warning, windowTitle(), text,
                        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        if (question)
            box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    const StartFolder& start_;
    QLineEdit* nameField_ = nullptr;
    QString chosen_;
};

QString askFile(const FileRequest& request)
{
    if (seams().file)
        return seams().file(request);
    keepNoSettings();
    NameOnlyIconProvider icons;
    const StartFolder start(request.initialFolder);
    OneFileDialog dialog(QApplication::activeWindow(), request.title, start, &icons);
    dialog.setNameFilter(request.filter);
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(request.suggestedName);
        dialog.setDefaultSuffix(request.defaultExtension);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen();
}

} // namespace

void ModalSeam::setMessageHandler(MessageHandler handler)
{
    seams().message = std::move(handler);
}

void ModalSeam::setFileHandler(FileHandler handler)
{
    seams().file = std::move(handler);
}

void ModalSeam::setWindowHandler(WindowHandler handler)
{
    seams().window = std::move(handler);
}

void ModalSeam::reset()
{
    seams() = Seams{};
}

void ModalSeam::windowShown(Window* window)
{
    if (!seams().window)
        return;
    QPointer<Window> target(window);
    QTimer::singleShot(0, window, [target] {
        if (target && !target->isClosed() && seams().window)
            seams().window(*target);
    });
}

void MsgBox(const QString& text)
{
    MessageRequest request;
    request.message = text;
    request.buttons = {QStringLiteral("OK")};
    askMessage(request);
}

MessageDialogButton* MessageDialog::ShowModal()
{
    MessageRequest request;
    request.message = Message;
    request.explanation = Explanation;
    request.title = Title;
    request.caution = icon == CautionIcon;
    std::vector<MessageDialogButton*> order;
    for (MessageDialogButton* b : {&ActionButton, &AlternateActionButton, &CancelButton}) {
        if (b->Visible) {
            request.buttons.append(b->Caption);
            order.push_back(b);
        }
    }
    const QString pressed = askMessage(request);
    if (pressed.isEmpty())
        return nullptr;
    for (MessageDialogButton* b : order) {
        if (b->Caption == pressed)
            return b;
    }
    return nullptr;
}

QString FileType::filterText() const
{
    QStringList patterns;
    for (const QString& ext : Extensions.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        patterns.append(QStringLiteral("*.") + ext.trimmed());
    return QStringLiteral("%1 (%2)").arg(Name, patterns.join(QLatin1Char(' ')));
}

std::optional<FolderItem> SaveAsDialog::ShowModal()
{
    FileRequest request;
    request.save = true;
    request.title = Title;
    request.initialFolder = InitialDirectory ? InitialDirectory->path() : QString();
    request.suggestedName = SuggestedFileName;
    request.defaultExtension = DefaultExtension;
    request.filter = Filter;
    QString path = askFile(request);
    if (path.isEmpty())
        return std::nullopt;
    return FolderItem(path);
}

std::optional<FolderItem> OpenDialog::ShowModal()
{
    FileRequest request;
    request.title = Title;
    request.initialFolder = InitialDirectory ? InitialDirectory->path() : QString();
    request.filter = Filter;
    const QString path = askFile(request);
    if (path.isEmpty())
        return std::nullopt;
    return FolderItem(path);
}

} // namespace fw
