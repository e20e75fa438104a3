#include "report/RC_executeShellClass.h"

#include "platform/Controls.h"
#include "platform/EditField.h"
#include "platform/TextHelpers.h"
#include "report/RW_reportOutputWindow.h"
#include "report/RunOutcome.h"

#include <QHash>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Runs made and not yet destroyed, oldest first.
std::vector<RC_executeShellClass*>& liveRuns()
{
    static std::vector<RC_executeShellClass*> runs;
    return runs;
}

// For each configuration file path: the generation of the newest run made for it that has not yet
// let go of the file. Only that run may delete the file.
QHash<QString, quint64>& newestWriters()
{
    static QHash<QString, quint64> writers;
    return writers;
}

quint64 nextGeneration()
{
    static quint64 last = 0;
    return ++last;
}

} // namespace

RC_executeShellClass::RC_executeShellClass(RW_reportOutputWindow* window, const fw::FolderItem& configFile)
    : outputWindow(window)
    , tmpConfigFile(configFile)
    , generation(nextGeneration())
{
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

void RC_executeShellClass::DataAvailable()
{
    ++handlerDepth;
    collect(ReadAll());
    incrementalAddToLeft();
    --handlerDepth;
    letGoIfEnded();
}

void RC_executeShellClass::Completed()
{
    ++handlerDepth;
    collect(ReadAll());
    incrementalAddToLeft();
    releaseConfigFile(true);
    if (outputWindow && !outputWindow->isClosed())
        outputWindow->initialize(stdoutCache);
    ended = true;
    --handlerDepth;
    letGoIfEnded();
    Close();
    tellRunOutcome(RunOutcome::of(*this)); // last: the box is modal, and the window shows the report already
}

void RC_executeShellClass::collect(const QString& piece)
{
    if (piece.isEmpty())
        return;
    newlineCount += piece.count(QLatin1Char('\n'));
    charCount += fw::Len(piece);
    // A surrogate pair cut between two pieces is one character, not two.
    if (endsWithHighSurrogate && piece.front().isLowSurrogate())
        --charCount;
    endsWithHighSurrogate = piece.back().isHighSurrogate();
    stdoutCache += piece;
}

void RC_executeShellClass::incrementalAddToLeft()
{
    if (!outputWindow || outputWindow->isClosed())
        return;
    if (auto* left = outputWindow->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0))
        showIn(left, panes[0], QStringLiteral("ST_totalLineCountLeft"));
    // The left side's events may have closed the window.
    if (!outputWindow || outputWindow->isClosed())
        return;
    if (auto* right = outputWindow->control<fw::EditField>(QStringLiteral("EF_mainResultsRight"), 0))
        showIn(right, panes[1], QStringLiteral("ST_totalLineCountRight"));
}

void RC_executeShellClass::showIn(fw::EditField* pane, PaneProgress& progress, const QString& countLabelName)
{
    // Only the new output is appended. When the pane no longer holds what this run put there (or
    // never got anything), the whole output is written once, so the pane always ends up holding
    // exactly the collected text.
    if (progress.paneLength < 0 || pane->TextLength() != progress.paneLength)
        pane->setText(stdoutCache);
    else if (progress.shownUnits < stdoutCache.size())
        pane->AppendText(stdoutCache.sliced(progress.shownUnits));
    progress.shownUnits = stdoutCache.size();
    progress.paneLength = pane->TextLength();

    if (auto* label = outputWindow ? outputWindow->control<fw::StaticText>(countLabelName) : nullptr)
        label->setText(QStringLiteral("of ") + fw::Str(lineCount()));

    // Select the last character, then collapse: the caret rests before it and the end is in view.
    if (charCount > 0) {
        pane->setSelStart(int(charCount - 1));
        pane->setSelLength(1);
        pane->setSelLength(0);
    }
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
