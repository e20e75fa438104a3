#pragma once

#include "platform/FolderItem.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace fw {

class Window;

// What a modal message box shows, as handed to a test seam.
struct MessageRequest {
    QString message;
    QString explanation;
    QString title;
    // Visible buttons in the order action, alternate, cancel; a plain MsgBox has the one button "OK".
    QStringList buttons;
    bool caution = false;
};

// What a file dialog asks, as handed to a test seam.
struct FileRequest {
    bool save = false;
    QString title;
    QString initialFolder;
    QString suggestedName;
    QString filter;
    // Added to a chosen name that has no extension (save dialogs).
    QString defaultExtension;
};

// Lets tests answer modal boxes and dialogs without a user. With a handler set, the box is not shown:
// a message handler returns the caption of the button to press ("" for none); a file handler returns
// the chosen path ("" to cancel). A window handler runs once a modal window is up, inside its modal
// loop, and drives the real window (set values, press buttons).
class ModalSeam {
public:
    using MessageHandler = std::function<QString(const MessageRequest&)>;
    using FileHandler = std::function<QString(const FileRequest&)>;
    using WindowHandler = std::function<void(Window&)>;

    static void setMessageHandler(MessageHandler handler);
    static void setFileHandler(FileHandler handler);
    static void setWindowHandler(WindowHandler handler);
    static void reset();

    // Called by Window::ShowModal once the window shows.
    static void windowShown(Window* window);
};

// The plain modal message box with one "OK" button.
void MsgBox(const QString& text);

class MessageDialogButton {
public:
    QString Caption;
    bool Visible = true;
};

// A modal message box with an action, an alternate and a cancel button.
class MessageDialog {
public:
    enum Icon { NoteIcon = 0, CautionIcon = 1, StopIcon = 2 };

    int icon = NoteIcon;
    QString Title;
    QString Message;
    QString Explanation;
    MessageDialogButton ActionButton{QStringLiteral("OK"), true};
    MessageDialogButton AlternateActionButton{QString(), false};
    MessageDialogButton CancelButton{QStringLiteral("Cancel"), false};

    // Returns the pressed button, or nullptr when the box was dismissed without one.
    MessageDialogButton* ShowModal();
};

// A file type as the file dialogs filter by it.
class FileType {
public:
    QString Name;
    QString Extensions;
    QString MacType;
    QString MacCreator;
    // "Name (*.ext ...)"
    QString filterText() const;
};

class SaveAsDialog {
public:
    std::optional<FolderItem> InitialDirectory;
    QString SuggestedFileName;
    QString Filter;
    QString Title;
    QString DefaultExtension;
    // The chosen item, or nothing when the user cancelled.
    std::optional<FolderItem> ShowModal();
};

class OpenDialog {
public:
    std::optional<FolderItem> InitialDirectory;
    QString Filter;
    QString Title;
    std::optional<FolderItem> ShowModal();
};

} // namespace fw
