#include "numbers/SelectionList.h"
#include "numbers/SelectionListModel.h"

#include <QApplication>
#include <QItemSelection>
#include <QListView>
#include <benchmark/benchmark.h>

#include <memory>

// The Number Selection list under load: a SelectionListModel shown in a QListView with uniform item
// sizes, as the window shows it. Timed sections include the events the view handles afterwards
// (relayout, repaint), so the figures are what the user waits for.

namespace {

constexpr qint32 kFirst = 10;

struct ShownList
{
    SelectionListModel model;
    QListView view;

    ShownList()
    {
        view.setUniformItemSizes(true);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setModel(&model);
        view.resize(240, 480);
        view.show();
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
};

ShownList& shownList()
{
    static ShownList list;
    return list;
}

void BM_ListAddRange(benchmark::State& state)
{
    const qint32 count = qint32(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<SelectionList>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(list->addRange(kFirst, kFirst + count - 1));
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_ShownAddRange(benchmark::State& state)
{
    ShownList& shown = shownList();
    const qint32 count = qint32(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        shown.model.clear();
        shown.model.add("sample text");
        ShownList::settle();
        state.ResumeTiming();
        const qint64 added = shown.model.addRange(kFirst, kFirst + count - 1);
        ShownList::settle();
        if (added != count)
            state.SkipWithError("range not added");
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["rows"] = shown.model.rowCount();
}

void BM_ShownRemoveSelectedRows(benchmark::State& state)
{
    ShownList& shown = shownList();
    constexpr qint32 kRows = 1'000'000;
    constexpr int kEvery = 10; // 100,000 highlighted rows, none adjacent
    for (auto _ : state) {
        state.PauseTiming();
        shown.model.clear();
        shown.model.addRange(kFirst, kFirst + kRows - 1);
        ShownList::settle();
        QItemSelection selection;
        for (int row = 0; row < kRows; row += kEvery)
            selection.append(QItemSelectionRange(shown.model.index(row)));
        shown.view.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        ShownList::settle();
        state.ResumeTiming();

        // What "remove highlighted" does: gather the rows, remove them, let the view catch up.
        std::vector<int> rows;
        const QItemSelection highlighted = shown.view.selectionModel()->selection();
        for (const QItemSelectionRange& range : highlighted) {
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        }
        const std::vector<int> removed = shown.model.removeRowsAt(std::move(rows));
        ShownList::settle();
        if (removed.size() != kRows / kEvery || shown.model.rowCount() != kRows - kRows / kEvery)
            state.SkipWithError("rows not removed");
    }
    state.SetItemsProcessed(state.iterations() * (kRows / kEvery));
}

void BM_ShownClear(benchmark::State& state)
{
    ShownList& shown = shownList();
    constexpr qint32 kRows = 1'000'000;
    for (auto _ : state) {
        state.PauseTiming();
        shown.model.addRange(kFirst, kFirst + kRows - 1);
        ShownList::settle();
        state.ResumeTiming();
        shown.model.clear();
        ShownList::settle();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_ListAddRange)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShownAddRange)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShownRemoveSelectedRows)->Unit(benchmark::kMillisecond)->UseRealTime();
// Each iteration refills a million rows untimed; a fixed count keeps the run short.
BENCHMARK(BM_ShownClear)->Iterations(30)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
