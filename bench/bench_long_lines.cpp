// Time of one report whose output is the same number of characters either as one single line or as
// lines of 80 characters, from the start of the run until the report window is set up. A stand-in
// back-end prints a prepared file, so the figures are those of the run, the panes and the window
// alone. Arguments: characters, then the line length (0 for one line).

#include "BenchSupport.h"
#include "platform/FolderItem.h"
#include "report/RC_executeShellClass.h"
#include "report/RW_reportOutputWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

// Characters of the report: words and digits, a line end after every lineLength - 1 of them
// (none when lineLength is 0).
QByteArray reportText(qint64 chars, qint64 lineLength)
{
    static const QByteArray words = "seven hundred and forty-two thousand, nine hundred and one ";
    QByteArray text;
    text.reserve(chars);
    for (qint64 i = 0; i < chars; ++i) {
        if (lineLength > 0 && i % lineLength == lineLength - 1)
            text += '\n';
        else
            text += words[i % words.size()];
    }
    return text;
}

bool writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

void BM_RunIntoWindow(benchmark::State& state)
{
    const qint64 chars = state.range(0);
    const qint64 lineLength = state.range(1);
    QTemporaryDir dir; // private to its user (0700)
    const QString reportPath = dir.filePath("report.txt");
    const QString backEnd = dir.filePath("printReport");
    const QByteArray script = "#!/bin/sh\nexec cat " + fw::FolderItem(reportPath).ShellPath().toLocal8Bit() + "\n";
    if (!dir.isValid() || !writeFile(reportPath, reportText(chars, lineLength), QFile::ReadOwner | QFile::WriteOwner) ||
        !writeFile(backEnd, script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        state.SkipWithError("cannot write the stand-in back-end");
        return;
    }
    const fw::FolderItem config(dir.filePath("config.cfg"));
    qint64 shownChars = 0;
    int lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!writeFile(config.path(), "1\n", QFile::ReadOwner | QFile::WriteOwner)) {
            state.SkipWithError("cannot write the configuration file");
            break;
        }
        state.ResumeTiming();

        auto* window = fw::Window::New<RW_reportOutputWindow>();
        const QPointer<RW_reportOutputWindow> windowAlive(window);
        auto* run = new RC_executeShellClass(window, config);
        const QPointer<RC_executeShellClass> runAlive(run);
        run->setMe(run);
        run->Mode = 1;
        run->Execute(fw::FolderItem(backEnd).ShellPath(), config.ShellPath());
        while (runAlive) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        if (!windowAlive || !window->initializationFinished) {
            state.SkipWithError("the report window was not set up");
            break;
        }
        // Painting is part of showing the report.
        window->repaint();

        state.PauseTiming();
        if (auto* pane = window->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0)) {
            shownChars = pane->TextLength();
            lines = pane->textPane()->lineCount();
        }
        window->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (shownChars != chars)
        state.SkipWithError("the pane does not hold every character of the report");
    state.counters["chars"] = double(shownChars);
    state.counters["lines"] = lines;
    state.counters["peak_self_MiB"] = peakMiB(RUSAGE_SELF);
}

} // namespace

BENCHMARK(BM_RunIntoWindow)
    ->ArgNames({"chars", "line"})
    ->Args({2000000, 0})
    ->Args({2000000, 80})
    ->Args({20000000, 0})
    ->Args({20000000, 80})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
