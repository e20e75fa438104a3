#pragma once

#include "platform/FolderItem.h"
#include "platform/Shell.h"

#include <QPointer>
#include <QString>

#include <array>

class RW_reportOutputWindow;

namespace fw {
class EditField;
}

// One back-end run: collects the program's output as it arrives, shows it in the first pane of each
// side of its report window with the line count, and at the end deletes the run's configuration
// file and hands the whole output to the window's initialize.
//
// Lifetime: the launcher makes the object with new and passes it to setMe; from then on the object
// owns itself and deletes itself (deleteLater) once Completed has run. A report window closed while
// the run goes on is left alone; the run still ends and still removes its configuration file.
//
// Every run uses the same configuration file name, so runs may overlap on one path: a run deletes
// the file only while it is the newest run made for that path, never the file a later launch wrote.
class RC_executeShellClass : public fw::Shell {
public:
    RC_executeShellClass(RW_reportOutputWindow* outputWindow, const fw::FolderItem& tmpConfigFile);
    ~RC_executeShellClass() override;

    // The launcher passes the object itself: it then stays alive until Completed.
    void setMe(RC_executeShellClass* self);

    // Brings both first panes up to the output collected so far: text, "of N" line count, and the
    // caret put before the last character with the end in view.
    void incrementalAddToLeft();

    // Program quit: ends every run still going (no Completed follows) and removes the configuration
    // files they own.
    static void shutdownAll();

    const QString& getStdoutCache() const { return stdoutCache; }
    int lineCount() const { return newlineCount + 1; }

protected:
    void DataAvailable() override;
    void Completed() override;

private:
    // What one pane has been given so far, so that only new output is appended to it.
    struct PaneProgress {
        qsizetype shownUnits = 0; // UTF-16 units of stdoutCache in the pane
        int paneLength = -1;      // the pane's length after the last write; -1 before the first
    };

    void collect(const QString& piece);
    void showIn(fw::EditField* pane, PaneProgress& progress, const QString& countLabelName);
    bool ownsConfigFile() const;
    void releaseConfigFile(bool deleteFile);
    void letGoIfEnded();

    QPointer<RW_reportOutputWindow> outputWindow;
    RC_executeShellClass* myself = nullptr;
    QString stdoutCache;
    fw::FolderItem tmpConfigFile;

    qint64 newlineCount = 0;
    qint64 charCount = 0; // characters (code points) in stdoutCache
    bool endsWithHighSurrogate = false;
    std::array<PaneProgress, 2> panes;
    quint64 generation = 0; // order of making among all runs; newer runs have larger numbers
    int handlerDepth = 0;   // inside DataAvailable or Completed: the object must not go yet
    bool ended = false;     // Completed ran, or the run was shut down
};
