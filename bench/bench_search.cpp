// Time of the report search on a large report: about 100 million characters in 1,000,000 lines, with
// a phrase found once per line (1,000,000 hits). Measured: the phrase scan alone, also on a worst case
// for scans that restart after a failed candidate, and Find and Reset of a search row in a real report
// window, with and without highlighting. The window is set up once and shared by the window
// benchmarks; every timed Find scans the text anew.
//
// BM_HighlightBackEndReport: Find with "Color" and Reset on the real back-end's report of 1,000,000
// entries, for "e" (about 12 million hits), "cardinal" (one per entry) and " " (about 20 million
// hits), with the heap and the resident size each leaves behind, and after them a Find of a phrase
// with few hits, which is to give back what the larger hit list held. The report of 10,000,000
// entries (several GB, a long back-end run) is measured only when the environment sets
// NAW_BENCH_LARGE=1.

#include "BenchSupport.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "report/RC_outputDataClass.h"
#include "report/RW_reportOutputWindow.h"
#include "search/PhraseScan.h"
#include "search/RC_searchCriteriaClass.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int Lines = 1000000;
const QString Phrase = QStringLiteral("thousand");

// Report-like lines of about 100 characters, each holding the phrase once and several near misses.
const QString& reportText()
{
    static const QString text = [] {
        static const char* const words[] = {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine",
                                            "hundred", "thou", "thousan-", "million", "and", "ten", "twenty"};
        QString t;
        t.reserve(qsizetype(Lines) * 101);
        for (int n = 0; n < Lines; ++n) {
            const qsizetype lineStart = t.size();
            t += QString::number(n);
            t += QStringLiteral(": ");
            for (int w = 0; t.size() - lineStart < 60; ++w) {
                t += QLatin1String(words[(n * 7 + w * 3) % 16]);
                t += QLatin1Char(' ');
            }
            t += Phrase;
            while (t.size() - lineStart < 99)
                t += QLatin1String(" tho");
            t.truncate(lineStart + 99);
            t += QLatin1Char('\n');
        }
        return t;
    }();
    return text;
}

// One report window holding the text in both panes, set up as a completed run leaves it.
RW_reportOutputWindow* window()
{
    static QPointer<RW_reportOutputWindow> w;
    if (!w) {
        w = fw::Window::New<RW_reportOutputWindow>();
        for (const char* name : {"EF_mainResultsLeft", "EF_mainResultsRight"})
            w->control<fw::EditField>(QLatin1String(name), 0)->setText(reportText());
        w->initialize(reportText());
    }
    return w;
}

template <class C>
C* ctl(const char* name, int index = -1)
{
    return window()->control<C>(QLatin1String(name), index);
}

void BM_PhraseScanAlone(benchmark::State& state)
{
    const QString& text = reportText();
    IntList hits;
    for (auto _ : state) {
        hits.clear();
        benchmark::DoNotOptimize(PhraseScan(Phrase).findAll(text, hits));
    }
    state.counters["text_chars"] = double(text.size());
    state.counters["hits"] = double(hits.size());
    state.counters["MB_per_s"] = benchmark::Counter(double(text.size()), benchmark::Counter::kIsIterationInvariantRate,
                                                    benchmark::Counter::kIs1000);
}

// The worst case of a scan that restarts one unit after each failed candidate: 100 million "a" and a
// phrase of 1,000 "a" and a "b" (10^11 comparisons that way). The scan stays linear.
void BM_PhraseScanAdversarial(benchmark::State& state)
{
    const QString text(qsizetype(Lines) * 100, QLatin1Char('a'));
    const QString phrase = QString(1000, QLatin1Char('a')) + QLatin1Char('b');
    IntList hits;
    for (auto _ : state)
        benchmark::DoNotOptimize(PhraseScan(phrase).findAll(text, hits));
    state.counters["hits"] = double(hits.size());
    state.counters["MB_per_s"] = benchmark::Counter(double(text.size()), benchmark::Counter::kIsIterationInvariantRate,
                                                    benchmark::Counter::kIs1000);
}

// Find of row 0 by its button (scan, counters, hit 1 selected in both panes, and the painting of every
// hit in both panes when state.range(0) is 1), then Reset (repainting every hit in the plain style),
// timed apart.
void BM_FindAndResetInWindow(benchmark::State& state)
{
    const bool highlight = state.range(0) != 0;
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest&) { return QStringLiteral("OK"); });
    RW_reportOutputWindow* w = window();
    ctl<fw::CheckBox>("ChB_applyColor", 0)->setValue(highlight);
    ctl<fw::EditField>("EF_searchText", 0)->setText(Phrase);
    auto* find = ctl<fw::PushButton>("PB_find", 0);
    auto* reset = ctl<fw::PushButton>("PB_clearSearch", 0);

    double findSeconds = 0;
    double resetSeconds = 0;
    qint64 hits = 0;
    for (auto _ : state) {
        // A criterion that has found nothing yet, so that the Find scans.
        for (const auto& record : {w->reportRecordLeft(1), w->reportRecordRight(1)}) {
            record->searchCrit[0]->lastSearch.clear();
            record->searchCrit[0]->arrFoundIndexes->clear();
        }
        QElapsedTimer timer;
        timer.start();
        find->Push();
        findSeconds += double(timer.nsecsElapsed()) / 1e9;
        hits = qint64(w->reportRecordLeft(1)->searchCrit[0]->arrFoundIndexes->size());
        if (!reset->Visible()) {
            state.SkipWithError("the Find found nothing");
            break;
        }
        timer.restart();
        reset->Push();
        resetSeconds += double(timer.nsecsElapsed()) / 1e9;
    }
    const double n = double(state.iterations());
    state.counters["hits"] = double(hits);
    state.counters["find_s"] = findSeconds / n;
    state.counters["reset_s"] = resetSeconds / n;
    state.counters["peak_MiB"] = peakMiB();
    fw::ModalSeam::reset();
}

// Find of the phrase the row found last, after a Reset: the kept hits are reused without a scan.
void BM_RefindAfterReset(benchmark::State& state)
{
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest&) { return QStringLiteral("OK"); });
    ctl<fw::CheckBox>("ChB_applyColor", 0)->setValue(false);
    ctl<fw::EditField>("EF_searchText", 0)->setText(Phrase);
    auto* find = ctl<fw::PushButton>("PB_find", 0);
    auto* reset = ctl<fw::PushButton>("PB_clearSearch", 0);
    find->Push();
    reset->Push();
    for (auto _ : state) {
        find->Push();
        state.PauseTiming();
        reset->Push();
        state.ResumeTiming();
    }
    fw::ModalSeam::reset();
}

// The back-end's report of the entries 0 to entries - 1, as the run hands it to the window.
QString backEndReport(int entries)
{
    QTemporaryDir dir;
    QByteArray config;
    config.reserve(qsizetype(entries) * 9);
    for (int i = 0; i < entries; ++i) {
        config += QByteArray::number(i);
        config += '\n';
    }
    QFile configFile(dir.filePath("config.cfg"));
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write(config) != config.size()) {
        std::fprintf(stderr, "cannot write the configuration\n");
        std::exit(1);
    }
    configFile.close();
    QProcess process;
    process.setProgram(QCoreApplication::applicationDirPath() + "/../bin/vantleReport");
    process.setArguments({configFile.fileName()});
    process.setStandardOutputFile(dir.filePath("report.txt"));
    process.start();
    QFile report(dir.filePath("report.txt"));
    if (!process.waitForFinished(-1) || process.exitCode() != 0 || !report.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "the back-end failed\n");
        std::exit(1);
    }
    return QString::fromUtf8(report.readAll());
}

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0; // kB
    }
    return 0;
}

// Find with "Color" of the phrase, then Reset, once, on the back-end's report of state.range(0)
// entries in a fresh window; state.range(1) picks the phrase. bytes_per_hit is what the Find left on
// the heap (the hit list and the highlight of both panes), per hit; after_reset_bytes_per_hit what
// stayed after Reset (the hit list, which a Find of the same phrase reuses). Then a Find with
// "Color" of a phrase with few hits: smaller_find_left_MiB is what stays resident after it. With
// state.range(2) = 1, row 1 has highlighted "cardinal" first, so the plain highlight Reset leaves
// lies over it and the smaller Find keeps of the old hits only those over row 1's.
void BM_HighlightBackEndReport(benchmark::State& state)
{
    const QString phrases[] = {QStringLiteral("e"), QStringLiteral("cardinal"), QStringLiteral(" ")};
    const QString phrase = phrases[size_t(state.range(1))];
    const bool rowBeneath = state.range(2) != 0;
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest&) { return QStringLiteral("OK"); });
    for (auto _ : state) {
        state.PauseTiming();
        QPointer<RW_reportOutputWindow> w;
        {
            const QString report = backEndReport(int(state.range(0)));
            w = fw::Window::New<RW_reportOutputWindow>();
            for (const char* name : {"EF_mainResultsLeft", "EF_mainResultsRight"})
                w->control<fw::EditField>(QLatin1String(name), 0)->setText(report);
            w->initialize(report);
        }
        QCoreApplication::processEvents();
        if (rowBeneath) {
            w->control<fw::CheckBox>(QStringLiteral("ChB_applyColor"), 1)->setValue(true);
            w->control<fw::EditField>(QStringLiteral("EF_searchText"), 1)->setText(QStringLiteral("cardinal"));
            w->control<fw::PushButton>(QStringLiteral("PB_find"), 1)->Push();
        }
        malloc_trim(0);
        w->control<fw::CheckBox>(QStringLiteral("ChB_applyColor"), 0)->setValue(true);
        w->control<fw::EditField>(QStringLiteral("EF_searchText"), 0)->setText(phrase);
        const qint64 heapBefore = heapInUse();
        const double residentBefore = residentMiB();
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        w->control<fw::PushButton>(QStringLiteral("PB_find"), 0)->Push();
        w->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0)->widget()->repaint();
        const double findSeconds = double(timer.nsecsElapsed()) / 1e9;
        const double hits = double(w->reportRecordLeft(1)->searchCrit[0]->arrFoundIndexes->size());
        const double heapAfterFind = double(heapInUse() - heapBefore);
        const double residentAfterFind = residentMiB() - residentBefore;
        timer.restart();
        w->control<fw::PushButton>(QStringLiteral("PB_clearSearch"), 0)->Push();
        w->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0)->widget()->repaint();
        const double resetSeconds = double(timer.nsecsElapsed()) / 1e9;

        state.PauseTiming();
        malloc_trim(0);
        const double afterReset = double(heapInUse() - heapBefore);
        const double residentAfterReset = residentMiB() - residentBefore;
        w->control<fw::EditField>(QStringLiteral("EF_searchText"), 0)
            ->setText(QStringLiteral("seven hundred seventy-seventh"));
        timer.restart();
        w->control<fw::PushButton>(QStringLiteral("PB_find"), 0)->Push();
        const double smallerFindSeconds = double(timer.nsecsElapsed()) / 1e9;
        malloc_trim(0);
        state.counters["smaller_find_hits"] =
            double(w->reportRecordLeft(1)->searchCrit[0]->arrFoundIndexes->size());
        state.counters["smaller_find_s"] = smallerFindSeconds;
        state.counters["smaller_find_left_MiB"] = residentMiB() - residentBefore;
        state.counters["hits"] = hits;
        state.counters["find_s"] = findSeconds;
        state.counters["reset_s"] = resetSeconds;
        state.counters["bytes_per_hit"] = hits > 0 ? heapAfterFind / hits : 0;
        state.counters["after_reset_bytes_per_hit"] = hits > 0 ? afterReset / hits : 0;
        state.counters["find_added_MiB"] = residentAfterFind;
        state.counters["reset_left_MiB"] = residentAfterReset;
        state.counters["resident_MiB"] = residentMiB();
        w->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    fw::ModalSeam::reset();
}

// The report of 10,000,000 entries needs several GB and a long back-end run: only on request.
[[maybe_unused]] const bool largeRegistered = [] {
    if (qEnvironmentVariableIntValue("NAW_BENCH_LARGE") == 1)
        benchmark::RegisterBenchmark("BM_HighlightBackEndReport", BM_HighlightBackEndReport)
            ->Args({10000000, 1, 0})
            ->Args({10000000, 0, 0})
            ->Args({10000000, 2, 0})
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    return true;
}();

} // namespace

BENCHMARK(BM_HighlightBackEndReport)
    ->Args({1000000, 0, 0})
    ->Args({1000000, 1, 0})
    ->Args({1000000, 2, 0})
    ->Args({1000000, 2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_PhraseScanAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PhraseScanAdversarial)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FindAndResetInWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RefindAfterReset)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
