// Export of a pane's text to the word processor through the "Word.Application" automation bridge.
#include "report/RW_reportOutputWindow.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/OleAutomation.h"

using namespace fw;

namespace {

// Sends the text of the pane the page panel shows as a new document and makes the word processor
// visible; nothing is sent while the panel shows its empty page.
void sendPaneToWord(Window& window, const QString& panelName, const QString& paneArrayName)
{
    try {
        WordApplication word;
        const int page = window.control<PagePanel>(panelName)->Value();
        if (page <= 0)
            return;
        auto* pane = window.control<EditField>(paneArrayName, page - 1);
        if (!pane)
            return;
        const OLEObject documents = word.Get(QStringLiteral("Documents"));
        const OLEObject document = documents.Get(QStringLiteral("add"));
        const OLEObject range = document.Get(QStringLiteral("range"));
        range.Set(QStringLiteral("Text"), pane->Text());
        word.Set(QStringLiteral("Visible"), true);
    } catch (const OLEException& problem) {
        MsgBox(QStringLiteral("Problem with Microsoft Word: ") + problem.Message());
    }
}

} // namespace

void RW_reportOutputWindow::PB_openInWordLeft_Action()
{
    sendPaneToWord(*this, QStringLiteral("PP_resultsLeft"), QStringLiteral("EF_mainResultsLeft"));
}

void RW_reportOutputWindow::PB_openInWordRight_Action()
{
    sendPaneToWord(*this, QStringLiteral("PP_resultsRight"), QStringLiteral("EF_mainResultsRight"));
}
