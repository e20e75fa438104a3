#include "common/M_globals.h"

#include "platform/Dialogs.h"

namespace M_globals {

int dialogGeneric(const QString& message, const QString& explanation, const QString& actionCaption,
                  const QString& altCaption, const QString& cancelCaption)
{
    fw::MessageDialog dialog;
    dialog.icon = fw::MessageDialog::CautionIcon;
    dialog.ActionButton = {actionCaption, true};
    dialog.CancelButton = {cancelCaption, true};
    dialog.AlternateActionButton = {altCaption, !altCaption.isEmpty()};
    dialog.Message = message;
    dialog.Explanation = explanation;
    const fw::MessageDialogButton* pressed = dialog.ShowModal();
    if (pressed == &dialog.CancelButton)
        return 0;
    if (pressed == &dialog.ActionButton)
        return 1;
    if (pressed == &dialog.AlternateActionButton)
        return 2;
    return 0;
}

bool dialogConfirm(const QString& message, const QString& explanation)
{
    const int answer = dialogGeneric(message, explanation, QStringLiteral("Confirm"), QString(), QStringLiteral("Cancel"));
    if (answer == 1)
        return true;
    if (answer != 0)
        fw::MsgBox(QStringLiteral("SNHE: M_globals.dialogConfirm, alternate RV returned"));
    return false;
}

bool isDigit(const QString& text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace M_globals
