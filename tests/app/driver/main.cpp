// The program as the tests run it: the released start-up, plus what a test needs to drive it from
// outside. Built with the tests only; the released program has none of it.
//
// - Every message box is answered at once with its first button, and its text is written to standard
//   error.
// - NAW_DRIVER_RUN=<program>: once the program is up, a report run of that program starts as
//   "Generate Words" starts one, with the configuration file NAW_DRIVER_CONFIG (written here), and
//   "run" is written to standard output.
// - NAW_DRIVER_EXPORT=<program>: once the program is up, one document is handed to the word
//   processor, played by that program (by one that does nothing when the value is 1), and
//   "document <folder>" is written to standard output. The stand-in is done with a document once it
//   closed it: no settling is waited for.
// - NAW_DRIVER_BUSY=1: once the program is up, it runs busy work (fw::Window::runBusy) that never
//   stops by itself and never asks whether it is abandoned, and "busy" is written to standard output.
// - NAW_DRIVER_EXIT_WHEN=<file>: once that file exists, the program ends with exit(1) from inside its
//   event loop, as the toolkit ends it when the connection to the display breaks.
// - NAW_DRIVER_HOME=<folder>: the single-instance lock is looked for there, as in the user's home
//   folder, and in place of the shared temporary folder; the start looks for documents left by
//   earlier runs there only.

#include "app/App.h"
#include "app/Startup.h"
#include "platform/Dialogs.h"
#include "platform/FolderItem.h"
#include "platform/Mutex.h"
#include "platform/OleAutomation.h"
#include "platform/Window.h"
#include "report/RC_executeShellClass.h"
#include "report/RW_reportOutputWindow.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void startRun(const QString& program)
{
    const QString configPath = qEnvironmentVariable("NAW_DRIVER_CONFIG");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) || config.write("1\n") != 2)
        return say(QStringLiteral("cannot write ") + configPath);
    config.close();
    const fw::FolderItem configFile(configPath);
    auto* report = fw::Window::New<RW_reportOutputWindow>();
    auto* run = new RC_executeShellClass(report, configFile);
    run->setMe(run);
    run->Mode = fw::Shell::Asynchronous;
    run->Execute(fw::FolderItem(program).ShellPath(), configFile.ShellPath());
    say(QStringLiteral("run"));
}

void exportDocument()
{
    const QString program = qEnvironmentVariable("NAW_DRIVER_EXPORT");
    fw::WordApplication::setWordProcessorOverride(program == QLatin1String("1") ? QStringLiteral("/bin/true") : program);
    fw::WordApplication::setSettleTimeOverride(0);
    try {
        fw::WordApplication word;
        const fw::OLEObject document = word.Get(QStringLiteral("Documents")).Get(QStringLiteral("add"));
        document.Get(QStringLiteral("range")).Set(QStringLiteral("Text"), QStringLiteral("report\n"));
        word.Set(QStringLiteral("Visible"), true);
        say(QStringLiteral("document ") + fw::WordApplication::documentsFolderPath());
    } catch (const fw::OLEException& problem) {
        say(QStringLiteral("export failed: ") + problem.Message());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    if (const QByteArray home = qgetenv("NAW_DRIVER_HOME"); !home.isEmpty()) {
        fw::Mutex::setPlacesOverride(fw::Mutex::Places{home, home});
        fw::WordApplication::setDocumentPlacesOverride(QStringList{QFile::decodeName(home)});
    }
    fw::ModalSeam::setMessageHandler([](const fw::MessageRequest& request) {
        std::fprintf(stderr, "%s\n", request.message.toLocal8Bit().constData());
        std::fflush(stderr);
        return request.buttons.value(0);
    });

    // The program is up once its guard let it run (AutoQuit is set at the end of Open).
    QTimer whenUp;
    whenUp.setInterval(10);
    QObject::connect(&whenUp, &QTimer::timeout, [&whenUp] {
        if (!theApp() || !theApp()->AutoQuit())
            return;
        whenUp.stop();
        if (const QString program = qEnvironmentVariable("NAW_DRIVER_RUN"); !program.isEmpty())
            startRun(program);
        if (!qEnvironmentVariable("NAW_DRIVER_EXPORT").isEmpty())
            exportDocument();
        say(QStringLiteral("up"));
        if (qEnvironmentVariable("NAW_DRIVER_BUSY") == QLatin1String("1")) {
            QTimer::singleShot(0, [] {
                say(QStringLiteral("busy"));
                (void)fw::Window::runBusy([] {
                    for (;;)
                        std::this_thread::sleep_for(std::chrono::seconds(1));
                });
            });
        }
    });
    whenUp.start();
    QTimer displayWatch;
    if (const QString trigger = qEnvironmentVariable("NAW_DRIVER_EXIT_WHEN"); !trigger.isEmpty()) {
        displayWatch.setInterval(10);
        QObject::connect(&displayWatch, &QTimer::timeout, [trigger] {
            if (QFile::exists(trigger))
                std::exit(1);
        });
        displayWatch.start();
    }
    return runProgram();
}
