// Costs of the Number Selection window's bulk operations on large lists, measured on the real, shown
// window with its list box laying the rows out.

#include "numbers/RW_compoundNumberWindow.h"

#include "common/cListBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"
#include "platform/FolderItem.h"
#include "platform/Window.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>

#include <benchmark/benchmark.h>

namespace {

// The allocator is set up before any thread runs, as the program's start does.
const bool largeBlocksReturned = (returnLargeBlocksAtOnce(), true);

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

RW_compoundNumberWindow* openWindow()
{
    RW_compoundNumberWindow* w = RW_compoundNumberWindow::instance();
    w->Show();
    settle();
    return w;
}

void closeWindow(RW_compoundNumberWindow* w)
{
    w->Close();
    settle();
}

cListBox* listOf(RW_compoundNumberWindow* w)
{
    return w->control<cListBox>(QStringLiteral("LB_numberSelected"));
}

// Enters the bounds as the user types them and presses "Add Range"; returns once the view has laid out.
void addRange(RW_compoundNumberWindow* w, qint64 start, qint64 end)
{
    w->control<fw::EditField>(QStringLiteral("EF_rangeStart"))->setText(QString::number(start));
    w->control<fw::EditField>(QStringLiteral("EF_rangeEnd"))->setText(QString::number(end));
    w->control<fw::PushButton>(QStringLiteral("PB_addRange"))->Push();
    QCoreApplication::processEvents();
}

bool expectRows(benchmark::State& state, RW_compoundNumberWindow* w, int rows)
{
    if (listOf(w)->ListCount() == rows
        && w->control<fw::StaticText>(QStringLiteral("ST_numTestCases"))->Text() == QString::number(rows))
        return true;
    state.SkipWithError("the list does not hold the expected rows");
    return false;
}

constexpr qint64 kFirst = 10;

void BM_AddRange(benchmark::State& state)
{
    const qint64 count = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        RW_compoundNumberWindow* w = openWindow();
        state.ResumeTiming();

        addRange(w, kFirst, kFirst + count - 1);

        state.PauseTiming();
        const bool ok = expectRows(state, w, int(count));
        closeWindow(w);
        state.ResumeTiming();
        if (!ok)
            break;
    }
    state.counters["rows"] = double(count);
}

void BM_RemoveHighlighted(benchmark::State& state)
{
    const int rows = 1'000'000;
    const int selected = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RW_compoundNumberWindow* w = openWindow();
        addRange(w, kFirst, kFirst + rows - 1);
        QListView* view = listOf(w)->view();
        const int top = (rows - selected) / 2;
        view->selectionModel()->select(
            QItemSelection(view->model()->index(top, 0), view->model()->index(top + selected - 1, 0)),
            QItemSelectionModel::Select);
        QCoreApplication::processEvents();
        state.ResumeTiming();

        w->control<fw::PushButton>(QStringLiteral("PB_removeNumbers"))->Push();
        QCoreApplication::processEvents();

        state.PauseTiming();
        const bool ok = expectRows(state, w, rows - selected);
        closeWindow(w);
        state.ResumeTiming();
        if (!ok)
            break;
    }
    state.counters["rows"] = double(rows);
    state.counters["selected"] = double(selected);
}

void BM_ClearAllSelections(benchmark::State& state)
{
    const int rows = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        RW_compoundNumberWindow* w = openWindow();
        addRange(w, kFirst, kFirst + rows - 1);
        state.ResumeTiming();

        w->control<fw::PushButton>(QStringLiteral("PB_clearNumbers"))->Push();
        QCoreApplication::processEvents();

        state.PauseTiming();
        const bool ok = expectRows(state, w, 0);
        closeWindow(w);
        state.ResumeTiming();
        if (!ok)
            break;
    }
    state.counters["rows"] = double(rows);
}

// A comma list of count seven-digit numbers, as a user pastes it.
QString commaList(int count)
{
    QString text;
    text.reserve(qsizetype(count) * 8);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += u',';
        text += QString::number(1'000'000 + i);
    }
    return text;
}

// A comma list of count seven-digit numbers pasted into "Comma Separated List" with the paste key
// and added with "Add List": the paste, the field's repaint, the adding and the list's layout.
void BM_PasteCommaList(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QString text = commaList(count);
    for (auto _ : state) {
        state.PauseTiming();
        RW_compoundNumberWindow* w = openWindow();
        auto* field = w->control<fw::EditField>(QStringLiteral("EF_CSV"));
        QGuiApplication::clipboard()->setText(text);
        field->widget()->setFocus();
        state.ResumeTiming();

        QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QCoreApplication::sendEvent(field->widget(), &paste);
        QCoreApplication::processEvents();
        w->control<fw::PushButton>(QStringLiteral("PB_addCSV"))->Push();
        QCoreApplication::processEvents();

        state.PauseTiming();
        const bool ok = expectRows(state, w, count) && field->Text().size() == text.size();
        if (!ok)
            state.SkipWithError("the field or the list does not hold the whole paste");
        closeWindow(w);
        state.ResumeTiming();
        if (!ok)
            break;
    }
    state.counters["rows"] = double(count);
    state.counters["MB"] = double(text.size()) / 1e6;
}

// One key at a time in "Comma Separated List" holding a pasted list of count numbers, the field
// focused and shown: a digit typed at the end, a caret move to the start and back, and the repaint
// each leaves. Per iteration: the three keys with their repaints.
void BM_TypeIntoCommaList(benchmark::State& state)
{
    const int count = int(state.range(0));
    const QString text = commaList(count);
    RW_compoundNumberWindow* w = openWindow();
    auto* field = w->control<fw::EditField>(QStringLiteral("EF_CSV"));
    field->setText(text);
    field->widget()->setFocus();
    settle();
    const auto key = [field](Qt::Key k, const QString& typed) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, typed);
        QCoreApplication::sendEvent(field->widget(), &press);
        field->widget()->repaint();
    };
    for (auto _ : state) {
        key(Qt::Key_5, QStringLiteral("5"));
        key(Qt::Key_Home, QString());
        key(Qt::Key_End, QString());
    }
    if (field->Text().size() != text.size() + qsizetype(state.iterations()))
        state.SkipWithError("the field does not hold the typed digits");
    closeWindow(w);
    state.counters["MB"] = double(text.size()) / 1e6;
}

// ---- the list at its own scale: each step against "Add Range" of the same list, in process CPU time

constexpr qint64 kScaleRows = 10'000'000;

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// One /proc/self/status figure in MiB (VmRSS, VmHWM), or -1.
double statusMiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// Restarts the peak resident size (VmHWM) at the present size; false where the system cannot.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// Adds 0..kScaleRows-1 as the user does and returns the CPU seconds it took, the list laid out.
double timedAddRange(RW_compoundNumberWindow* w)
{
    const double start = processCpuSeconds();
    addRange(w, 0, kScaleRows - 1);
    return processCpuSeconds() - start;
}

// Answers the next file dialogs with path.
void chooseFile(const QString& path)
{
    fw::ModalSeam::setFileHandler([path](const fw::FileRequest&) { return path; });
}

// Reports the step's CPU time as the iteration's time and its ratio to "Add Range" of the same list.
void reportRatio(benchmark::State& state, double step, double addRange)
{
    state.SetIterationTime(step);
    state.counters["addRangeCpu_s"] = addRange;
    state.counters["xAddRange"] = step / addRange;
}

// "Save List..." of the ten-million list.
void BM_SaveTenMillionList(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.rcn"));
    for (auto _ : state) {
        RW_compoundNumberWindow* w = openWindow();
        const double addCpu = timedAddRange(w);
        if (!expectRows(state, w, int(kScaleRows)))
            break;
        chooseFile(path);
        const double start = processCpuSeconds();
        w->control<fw::PushButton>(QStringLiteral("PB_saveNumbers"))->Push();
        QCoreApplication::processEvents();
        const double step = processCpuSeconds() - start;
        reportRatio(state, step, addCpu);
        state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
        closeWindow(w);
        QFile::remove(path);
    }
}

// "Augment List..." of the saved ten-million list into the list "Clear All Selections" emptied; with
// the peak and the memory held afterwards, both above what the process held with the list cleared.
void BM_AugmentFromTenMillionList(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.rcn"));
    for (auto _ : state) {
        RW_compoundNumberWindow* w = openWindow();
        const double addCpu = timedAddRange(w);
        chooseFile(path);
        w->control<fw::PushButton>(QStringLiteral("PB_saveNumbers"))->Push();
        settle();
        w->control<fw::PushButton>(QStringLiteral("PB_clearNumbers"))->Push();
        settle();
        if (!expectRows(state, w, 0))
            break;
        const double before = statusMiB("VmRSS:");
        const bool peakKnown = resetPeak();
        const double start = processCpuSeconds();
        w->control<fw::PushButton>(QStringLiteral("PB_loadNumbers"))->Push();
        QCoreApplication::processEvents();
        const double step = processCpuSeconds() - start;
        settle();
        if (!expectRows(state, w, int(kScaleRows)))
            break;
        reportRatio(state, step, addCpu);
        if (peakKnown)
            state.counters["peakAboveMiB"] = statusMiB("VmHWM:") - before;
        state.counters["heldAfterMiB"] = statusMiB("VmRSS:") - before;
        closeWindow(w);
        QFile::remove(path);
    }
}

// The lines of a number-list file: 10,000,000 text entries, 20,000,000 numbers, or both bounds at
// once (10,000,000 numbers and 10,000,000 texts of ten bytes: 20,000,000 entries, 100,000,000 bytes
// of text); in list order, or shuffled.
QByteArray listFile(int kind, bool shuffled)
{
    std::vector<QByteArray> lines;
    if (kind != 1) {
        for (int i = 0; i < 10'000'000; ++i)
            lines.push_back((kind == 0 ? QByteArray("t") : QByteArray("v")) + QByteArray::number(i).rightJustified(kind == 0 ? 7 : 9, '0'));
    }
    if (kind != 0) {
        for (int i = 10; i < (kind == 1 ? 20'000'010 : 10'000'010); ++i)
            lines.push_back(QByteArray::number(i));
    }
    if (shuffled)
        std::shuffle(lines.begin(), lines.end(), std::mt19937(19));
    QByteArray bytes;
    bytes.reserve(200'000'000);
    for (const QByteArray& line : lines)
        bytes += line + '\n';
    return bytes;
}

// "Augment List..." of one of those files into an empty list, in wall-clock time from the click
// until the rows are in; the same file in list order and shuffled should cost about the same.
void BM_AugmentInAnyOrder(benchmark::State& state)
{
    const int kind = int(state.range(0));
    const bool shuffled = state.range(1) != 0;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.rcn"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(listFile(kind, shuffled)) < 0) {
            state.SkipWithError("cannot write the list file");
            return;
        }
    }
    for (auto _ : state) {
        RW_compoundNumberWindow* w = openWindow();
        chooseFile(path);
        const auto start = std::chrono::steady_clock::now();
        w->control<fw::PushButton>(QStringLiteral("PB_loadNumbers"))->Push();
        QCoreApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!expectRows(state, w, kind == 0 ? 10'000'000 : 20'000'000))
            break;
        closeWindow(w);
    }
}

// "Generate Words" of the ten-million list, from the click until the back-end (a stand-in that ends at
// once) has been started and the window has closed.
void BM_GenerateWordsTenMillion(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString backEnd = dir.filePath(QStringLiteral("vantleReport"));
    {
        QFile script(backEnd);
        if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\nexit 0\n") < 0) {
            state.SkipWithError("no stand-in back-end");
            return;
        }
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }
    fw::FolderItem::setApplicationFolderOverride(dir.path());
    for (auto _ : state) {
        RW_compoundNumberWindow* w = openWindow();
        QPointer<RW_compoundNumberWindow> guard(w);
        const double addCpu = timedAddRange(w);
        const double start = processCpuSeconds();
        w->control<fw::PushButton>(QStringLiteral("PB_doneAndExit"))->Push();
        const double step = processCpuSeconds() - start;
        reportRatio(state, step, addCpu);
        if (guard && !guard->isClosed())
            state.SkipWithError("the window did not launch the report");
        // Until the stand-in has ended and the run has removed its configuration file.
        for (int i = 0; i < 1000 && QFile::exists(dir.filePath(QStringLiteral("config.cfg"))); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        for (fw::Window* window : std::vector<fw::Window*>(fw::Window::openWindows()))
            window->Close();
        settle();
    }
    fw::FolderItem::setApplicationFolderOverride(QString());
}

BENCHMARK(BM_AugmentInAnyOrder)
    ->ArgNames({"kind", "shuffled"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTenMillionList)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AugmentFromTenMillionList)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateWordsTenMillion)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PasteCommaList)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TypeIntoCommaList)->Arg(1'000'000)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddRange)->Arg(1'000'000)->Arg(10'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemoveHighlighted)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClearAllSelections)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
