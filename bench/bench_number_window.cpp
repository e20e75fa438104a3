// Costs of the Number Selection window's bulk operations on large lists, measured on the real, shown
// window with its list box laying the rows out.

#include "numbers/RW_compoundNumberWindow.h"

#include "common/cListBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/EditField.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QPointer>

#include <benchmark/benchmark.h>

namespace {

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

BENCHMARK(BM_PasteCommaList)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TypeIntoCommaList)->Arg(1'000'000)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddRange)->Arg(1'000'000)->Arg(10'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemoveHighlighted)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClearAllSelections)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
