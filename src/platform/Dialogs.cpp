#include "platform/Dialogs.h"

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
#include <QTimer>

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

// A file dialog that chooses one file. The framework's dialog reads quotes in a typed name as its way
// of naming several files ("a" "b"), by which it's "my"  list.rcn would name my.rcn; where one file is
// chosen a quote is part of the name, as file names may hold one, and a name that holds one is
// taken as typed.
class OneFileDialog : public QFileDialog
{
public:
    // icons outlives the dialog (the dialog's file list asks it from a thread of its own).
    OneFileDialog(QWidget* parent, const QString& title, const QString& folder, QAbstractFileIconProvider* icons)
        : QFileDialog(parent, title, folder)
    {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setIconProvider(icons);
        nameField_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
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
            return chosen_;
        const QStringList files = selectedFiles();
        return files.isEmpty() ? QString() : files.first();
    }

protected:
    void accept() override
    {
        const QString typed = nameField_ ? nameField_->text() : QString();
        if (!typed.contains(u'"')) {
            QFileDialog::accept();
            return;
        }
        QString path = QDir::isAbsolutePath(typed) ? typed : directory().absolutePath() + u'/' + typed;
        QFileInfo info(path);
        if (info.isDir()) {
            setDirectory(info.absoluteFilePath());
            nameField_->clear();
            return;
        }
        if (acceptMode() == AcceptSave) {
            if (!defaultSuffix().isEmpty() && !info.fileName().contains(u'.')) {
                path += u'.' + defaultSuffix();
                info.setFile(path);
            }
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

    QLineEdit* nameField_ = nullptr;
    QString chosen_;
};

QString askFile(const FileRequest& request)
{
    if (seams().file)
        return seams().file(request);
    NameOnlyIconProvider icons;
    OneFileDialog dialog(QApplication::activeWindow(), request.title, request.initialFolder, &icons);
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
