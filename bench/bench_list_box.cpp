#include "common/cListBox.h"
#include "numbers/RW_compoundNumberWindow.h"

#include <QApplication>
#include <QListView>
#include <benchmark/benchmark.h>

// Repaint of the "Number Selection" list box when one entry is enormous (a 50-million-character line
// read from a number-list file, say) among ordinary rows. Each iteration repaints the whole visible list
// synchronously, as an expose or a scroll does; the figure is what every such repaint costs the user.

namespace {

struct HugeEntryWindow {
    RW_compoundNumberWindow* window = fw::Window::New<RW_compoundNumberWindow>();
    cListBox* list = window->control<cListBox>(QStringLiteral("LB_numberSelected"));

    explicit HugeEntryWindow(qsizetype length)
    {
        window->Show();
        window->addToListBox(QString(length, QLatin1Char('w')));
        for (int n = 100; n < 200; ++n)
            window->addToListBox(QString::number(n));
        settle();
    }
    ~HugeEntryWindow()
    {
        window->Close();
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

void BM_ListBoxRepaintWithHugeEntry(benchmark::State& state)
{
    HugeEntryWindow shown(qsizetype(state.range(0)));
    QWidget* viewport = shown.list->view()->viewport();
    if (shown.list->ListCount() != 101 || shown.list->List(0).size() != state.range(0)) {
        state.SkipWithError("the entry did not arrive whole");
        return;
    }
    for (auto _ : state)
        viewport->repaint();
    state.counters["entry_chars"] = double(state.range(0));
}

} // namespace

BENCHMARK(BM_ListBoxRepaintWithHugeEntry)->Arg(1000)->Arg(1'000'000)->Arg(50'000'000)->Unit(benchmark::kMillisecond)
    ->Iterations(5);
