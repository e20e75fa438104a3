#include "platform/Dialogs.h"

#include "platform/Window.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
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

QString askFile(const FileRequest& request)
{
    if (seams().file)
        return seams().file(request);
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.initialFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
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

const ModalSeam::MessageHandler& ModalSeam::messageHandler()
{
    return seams().message;
}

const ModalSeam::FileHandler& ModalSeam::fileHandler()
{
    return seams().file;
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
