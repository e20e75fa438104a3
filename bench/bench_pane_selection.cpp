// Selecting all of a report pane with Ctrl+A, which also hands the selection over as the primary
// selection, and producing that selection's text (as UTF-8) once another program asks for it. The report is a
// shared text of one line per entry (a process-held primary selection stands in for the system's,
// which the headless platform lacks). Argument: entries.

#include "platform/SharedText.h"
#include "platform/TextPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_SelectAllOfAReport(benchmark::State& state)
{
    const int entries = int(state.range(0));
    auto shared = std::make_shared<fw::SharedText>();
    QString piece;
    for (int i = 0; i < 10000; ++i)
        piece += QStringLiteral("%1: words for the number\n").arg(i, 8);
    for (int done = 0; done < entries; done += 10000)
        shared->append(piece);
    fw::TextPane::setPrimarySelectionEmulated(true);
    fw::TextPane pane;
    pane.resize(400, 300);
    pane.setReadOnly(true);
    pane.showSharedText(shared);
    pane.show();
    QCoreApplication::processEvents();
    pane.setFocus();
    double produceMs = 0;
    for (auto _ : state) {
        pane.setSelection(0, 0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
        QApplication::sendEvent(&pane, &press);
        state.PauseTiming();
        QElapsedTimer timer;
        timer.start();
        const qsizetype produced = fw::TextPane::primarySelectionText().toUtf8().size();
        produceMs = double(timer.elapsed());
        if (produced != shared->text().size())
            state.SkipWithError("the primary selection is not the whole report");
        state.ResumeTiming();
    }
    state.counters["text_MiB"] = double(shared->text().size()) * 2 / (1024 * 1024);
    state.counters["produce_ms"] = produceMs;
    fw::TextPane::setPrimarySelectionEmulated(false);
}

} // namespace

BENCHMARK(BM_SelectAllOfAReport)->Arg(10'000'000)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
