// Time and memory of one large report: a configuration of 1,000,000 or 10,000,000 entries (the
// selection list's cap) run through the real back-end, the run object and the report window until the
// window is set up, against the back-end alone writing to /dev/null. Run one benchmark per process
// (--benchmark_filter) for clean peaks: the peak resident sizes are those of the whole process so far.
// The report is ASCII, so its UTF-16 units are its bytes: peak_bytes_per_output_byte sets the
// process's peak against the size of the output.

#include "BenchSupport.h"
#include "platform/FolderItem.h"
#include "report/RC_executeShellClass.h"
#include "report/RW_reportOutputWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

QString backEndPath()
{
    const QByteArray dir = qgetenv("NAW_BIN_DIR");
    return (dir.isEmpty() ? QCoreApplication::applicationDirPath() + "/../bin" : QString::fromLocal8Bit(dir)) +
           "/vantleReport";
}

void writeConfig(const QString& path, int entries)
{
    QByteArray text;
    text.reserve(qsizetype(entries) * 9);
    for (int i = 0; i < entries; ++i) {
        text += QByteArray::number(i);
        text += '\n';
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void reportPeaks(benchmark::State& state)
{
    state.counters["peak_self_MiB"] = peakMiB(RUSAGE_SELF);
    state.counters["peak_children_MiB"] = peakMiB(RUSAGE_CHILDREN);
}

// The run object as the program uses it, with the time spent in its two handlers added up.
class TimedRun : public RC_executeShellClass {
public:
    using RC_executeShellClass::RC_executeShellClass;

    static inline qint64 dataNs = 0;
    static inline qint64 completedNs = 0;
    static inline int dataEvents = 0;

protected:
    void DataAvailable() override
    {
        QElapsedTimer timer;
        timer.start();
        RC_executeShellClass::DataAvailable();
        dataNs += timer.nsecsElapsed();
        ++dataEvents;
    }
    void Completed() override
    {
        QElapsedTimer timer;
        timer.start();
        RC_executeShellClass::Completed();
        completedNs += timer.nsecsElapsed();
    }
};

void BM_BackEndAlone(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString config = dir.filePath("config.cfg");
    writeConfig(config, int(state.range(0)));
    const double childCpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        QProcess process;
        process.setProgram(backEndPath());
        process.setArguments({config});
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start();
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError("the back-end failed");
            break;
        }
    }
    state.counters["back_end_cpu_s"] = cpuSeconds(RUSAGE_CHILDREN) - childCpuBefore;
    reportPeaks(state);
}

void BM_ReportRunIntoWindow(benchmark::State& state)
{
    QTemporaryDir dir;
    const fw::FolderItem config(dir.filePath("config.cfg"));
    qint64 outputChars = 0;
    double programCpu = 0;
    double backEndCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writeConfig(config.path(), int(state.range(0)));
        TimedRun::dataNs = TimedRun::completedNs = 0;
        TimedRun::dataEvents = 0;
        state.ResumeTiming();

        auto* window = fw::Window::New<RW_reportOutputWindow>();
        const QPointer<RW_reportOutputWindow> windowAlive(window);
        auto* run = new TimedRun(window, config);
        const QPointer<RC_executeShellClass> runAlive(run);
        outputChars = 0;
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        const double childCpuBefore = cpuSeconds(RUSAGE_CHILDREN);
        // The event loop as the program runs it: waiting for events, not polling for them.
        QEventLoop loop;
        QObject::connect(run, &QObject::destroyed, &loop, &QEventLoop::quit);
        run->setMe(run);
        run->Mode = 1;
        run->Execute(fw::FolderItem(backEndPath()).ShellPath(), config.ShellPath());
        loop.exec();
        programCpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
        backEndCpu = cpuSeconds(RUSAGE_CHILDREN) - childCpuBefore;
        if (!windowAlive || !window->initializationFinished) {
            state.SkipWithError("the report window was not set up");
            break;
        }

        state.PauseTiming();
        if (auto* pane = window->control<fw::EditField>(QStringLiteral("EF_mainResultsLeft"), 0))
            outputChars = pane->TextLength();
        window->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["output_chars"] = double(outputChars);
    state.counters["data_events"] = TimedRun::dataEvents;
    state.counters["in_DataAvailable_s"] = double(TimedRun::dataNs) / 1e9;
    state.counters["in_Completed_s"] = double(TimedRun::completedNs) / 1e9;
    // Processor time of the whole run, this process's (reading, decoding, indexing, the window) and
    // the back-end's: on a busy machine these say more than the elapsed time.
    state.counters["program_cpu_s"] = programCpu;
    state.counters["back_end_cpu_s"] = backEndCpu;
    reportPeaks(state);
    if (outputChars > 0)
        state.counters["peak_bytes_per_output_byte"] = peakMiB(RUSAGE_SELF) * 1024 * 1024 / double(outputChars);
}

} // namespace

BENCHMARK(BM_BackEndAlone)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ReportRunIntoWindow)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
