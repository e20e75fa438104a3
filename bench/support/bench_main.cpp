#include "BenchSupport.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <benchmark/benchmark.h>

double peakMiB(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Every benchmark runs headless with one application object, as the program does.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // No one is there to answer: every box gets its first button ("Clear All Selections" is confirmed).
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest& request) { return request.buttons.value(0); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
