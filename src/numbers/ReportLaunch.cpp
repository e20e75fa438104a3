// "Generate Words": writes the list into "config.cfg" beside the program and starts the back-end.
#include "numbers/RW_compoundNumberWindow.h"

#include "common/M_globals.h"
#include "numbers/RF_numberList.h"
#include "platform/Dialogs.h"
#include "platform/FolderItem.h"
#include "platform/TextHelpers.h"
#include "report/RC_executeShellClass.h"
#include "report/RW_reportOutputWindow.h"

using namespace fw;

void RW_compoundNumberWindow::PB_doneAndExit_Action()
{
    if (Val(control<StaticText>(QStringLiteral("ST_numTestCases"))->Text()) <= 0) {
        M_globals::dialogConfirm(QStringLiteral("Please choose some numbers before generating output"),
                                 QStringLiteral("There are no numbers selected."));
        return;
    }

    const FolderItem appFolder = FolderItem::applicationFolder();
    const std::optional<FolderItem> backEnd = appFolder.Child(QStringLiteral("vantleReport"));
    if (!backEnd) {
        MsgBox(QStringLiteral("ERROR: could not get folder item for back-end executable file!  Aborting program"));
        Close();
        return;
    }
    if (!backEnd->Exists()) {
        MsgBox(QStringLiteral("ERROR: Could not locate back-end program, please place in ") + appFolder.ShellPath()
               + QStringLiteral(";  Aborting program"));
        Close();
        return;
    }
    const std::optional<FolderItem> configFile = appFolder.Child(QStringLiteral("config.cfg"));
    if (!configFile) {
        MsgBox(QStringLiteral("ERROR: could not get folder item for temporary config file!  Aborting program"));
        Close();
        return;
    }

    // The file is written through a temporary file that replaces "config.cfg" only when complete, so a
    // failed write never leaves a half-written list for the back-end. Without a configuration file
    // there is no run: the user is told and keeps the list. Whatever holds the name goes first, a link
    // too, whether or not it leads anywhere.
    configFile->Delete();
    QString error;
    std::unique_ptr<TextOutputStream> out = configFile->CreateTextFile(&error);
    if (out) {
        out->setDelimiter(QStringLiteral("\n"));
        writeListRows(selection().list(), *out);
        if (!out->Close())
            error = out->errorString();
        else
            error.clear();
    }
    if (!out || !error.isEmpty()) {
        MsgBox(QStringLiteral("Could not write the configuration file \"%1\": %2").arg(configFile->path(), error));
        return;
    }

    auto* report = Window::New<RW_reportOutputWindow>();
    auto* run = new RC_executeShellClass(report, *configFile);
    run->setMe(run);
    run->Mode = Shell::Asynchronous;
    run->Execute(appFolder.ShellPath() + QStringLiteral("/vantleReport"), configFile->ShellPath());
    Close();
}
