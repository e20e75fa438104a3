#include "report/RC_executeShellClass.h"

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "platform/TextPane.h"
#include "report/RW_reportOutputWindow.h"
#include "report/RunOutcome.h"

#include <QHash>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The two registries are never destroyed: a program that ends by exit() from inside its event loop
// still shuts its runs down from the exit handlers, after the objects made during the run are gone.

// Runs made and not yet destroyed, oldest first.
std::vector<RC_executeShellClass*>& liveRuns()
{
    static auto* runs = new std::vector<RC_executeShellClass*>;
    return *runs;
}

// For each configuration file path: the generation of the newest run made for it that has not yet
// let go of the file. Only that run may delete the file.
QHash<QString, quint64>& newestWriters()
{
    static auto* writers = new QHash<QString, quint64>;
    return *writers;
}

quint64 nextGeneration()
{
    static quint64 last = 0;
    return ++last;
}

} // namespace

RC_executeShellClass::RC_executeShellClass(RW_reportOutputWindow* window, const fw::FolderItem& configFile)
    : outputWindow(window)
    , stdoutCache(std::make_shared<fw::SharedText>())
    , tmpConfigFile(configFile)
    , generation(nextGeneration())
{
    // Nobody can see the output of a closed window: it is let go at once, unless one of this run's
    // handlers is still using it; that handler lets it go on its way out.
    if (window) {
        connect(window, &fw::Window::closed, this, [this] {
            if (handlerDepth == 0)
                dropOutput();
        });
    }
    // The launcher writes the configuration file just before it makes the run, so the newest run
    // for a path is the one whose file is there now.
    if (!tmpConfigFile.isNull())
        newestWriters().insert(tmpConfigFile.path(), generation);
    liveRuns().push_back(this);
}

RC_executeShellClass::~RC_executeShellClass()
{
    releaseConfigFile(false);
    std::erase(liveRuns(), this);
}

void RC_executeShellClass::setMe(RC_executeShellClass* self)
{
    myself = self;
}

void RC_executeShellClass::shutdownAll()
{
    const std::vector<RC_executeShellClass*> runs = liveRuns();
    for (RC_executeShellClass* run : runs) {
        if (run->ended)
            continue; // completed already; only its deferred deletion is pending
        run->ended = true;
        run->Close();
        run->releaseConfigFile(true);
        run->letGoIfEnded();
    }
}

const QString& RC_executeShellClass::getStdoutCache() const
{
    return stdoutCache->text();
}

void RC_executeShellClass::DataAvailable()
{
    ++handlerDepth;
    collect(ReadAll());
    incrementalAddToLeft();
    if (outputCut && !ended)
        stopTooLarge();
    if (!keepsOutput())
        dropOutput();
    --handlerDepth;
    letGoIfEnded();
}

void RC_executeShellClass::Completed()
{
    ++handlerDepth;
    collect(ReadAll());
    incrementalAddToLeft();
    releaseConfigFile(true);
    if (keepsOutput()) {
        outputWindow->initialize(stdoutCache->text(), lineCount());
        if (outputCut)
            tellTooLarge();
    }
    ended = true;
    --handlerDepth;
    letGoIfEnded();
    Close();
    // Last: the box is modal, and the window shows the report already. A run whose window is gone
    // has no one to tell.
    if (keepsOutput())
        tellRunOutcome(RunOutcome::of(*this));
}

void RC_executeShellClass::collect(const QString& piece)
{
    // Output for a window that is gone (or for no window) is read and dropped.
    if (piece.isEmpty() || outputCut || !keepsOutput())
        return;
    // The panes showing the text follow it inside append.
    outputCut = !stdoutCache->append(piece, maxOutputUnits());
}

int RC_executeShellClass::lineCount() const
{
    return int(stdoutCache->lineStarts().size());
}

bool RC_executeShellClass::keepsOutput() const
{
    return outputWindow && !outputWindow->isClosed();
}

void RC_executeShellClass::dropOutput()
{
    if (stdoutCache->text().isEmpty())
        return;
    // The closed window's panes let go of the old text when they go.
    stdoutCache = std::make_shared<fw::SharedText>();
}

void RC_executeShellClass::incrementalAddToLeft()
{
    if (!keepsOutput())
        return;
    if (auto* left = outputWindow->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0))
        showIn(left, QStringLiteral("ST_totalLineCountLeft"));
    // The left side's events may have closed the window.
    if (!keepsOutput())
        return;
    if (auto* right = outputWindow->control<fw::EditField>(QStringLiteral("EF_mainResultsRight"), 0))
        showIn(right, QStringLiteral("ST_totalLineCountRight"));
}

void RC_executeShellClass::showIn(fw::EditField* pane, const QString& countLabelName)
{
    // A pane that does not show the run's text yet (the first output, or someone replaced its text)
    // gets it once; from then on it follows the text's growth by itself.
    if (!pane->showsSharedText(*stdoutCache))
        pane->showSharedText(stdoutCache);

    if (auto* label = outputWindow ? outputWindow->control<fw::StaticText>(countLabelName) : nullptr)
        label->setText(QStringLiteral("of ") + fw::Str(lineCount()));

    // Select the last character, then collapse: the caret rests before it and the end is in view.
    // The pane counts the characters as it follows the text, so the run needs no count of its own.
    if (const int chars = pane->TextLength(); chars > 0) {
        pane->setSelStart(chars - 1);
        pane->setSelLength(1);
        pane->setSelLength(0);
    }
}

// More output came than a report can hold: the back-end is ended (no Completed follows) and the run
// completes here with what it kept.
void RC_executeShellClass::stopTooLarge()
{
    Close();
    releaseConfigFile(true);
    if (keepsOutput()) {
        outputWindow->initialize(stdoutCache->text(), lineCount());
        tellTooLarge();
    }
    ended = true;
}

void RC_executeShellClass::tellTooLarge()
{
    fw::MsgBox(QStringLiteral("The report is too large to show in full: only its first ") + fw::Str(lineCount()) +
               QStringLiteral(" lines are shown, and the rest of the output was not kept."));
}

bool RC_executeShellClass::ownsConfigFile() const
{
    if (tmpConfigFile.isNull())
        return false;
    const auto it = newestWriters().constFind(tmpConfigFile.path());
    return it != newestWriters().cend() && it.value() == generation;
}

void RC_executeShellClass::releaseConfigFile(bool deleteFile)
{
    if (!ownsConfigFile())
        return;
    if (deleteFile)
        tmpConfigFile.Delete(); // a failed deletion is not reported
    newestWriters().remove(tmpConfigFile.path());
}

void RC_executeShellClass::letGoIfEnded()
{
    // Never from inside one of the object's own handlers further up the stack: that handler
    // calls this again on its way out.
    if (!ended || handlerDepth > 0)
        return;
    if (std::exchange(myself, nullptr) == this)
        deleteLater();
}
