#pragma once

#include "platform/FolderItem.h"
#include "platform/Shell.h"

#include <QPointer>
#include <QString>

#include <array>
#include <limits>
#include <memory>

class RW_reportOutputWindow;

namespace fw {
class EditField;
class SharedText;
}

// One back-end run: collects the program's output as it arrives, shows it in the first pane of each
// side of its report window with the line count, and at the end deletes the run's configuration
// file and hands the whole output, with the line count it kept, to the window's initialize: the end
// of a run takes no time in the length of the report.
//
// The output is held once: both panes show the run's own text without a copy, and the report
// records made by initialize share it. Line ends are unified as the output comes in ("\r\n" and a
// lone "\r" become "\n"), so the panes and the line counts agree on what a line is. Each piece of
// output costs time in its own length.
//
// Size: a run keeps at most MaxOutputUnits UTF-16 units, so that every position in the panes and the
// search fits a 32-bit integer. Output beyond that ends the back-end; the window is set up with what
// was kept and the user is told that the report is too large to show in full.
//
// Lifetime: the launcher makes the object with new and passes it to setMe; from then on the object
// owns itself and deletes itself (deleteLater) once Completed has run. A report window closed while
// the run goes on is left alone: what was collected is let go, later output is read and dropped,
// and the run still ends and still removes its configuration file.
//
// Every run uses the same configuration file name, so runs may overlap on one path: a run deletes
// the file only while it is the newest run made for that path, never the file a later launch wrote.
class RC_executeShellClass : public fw::Shell {
public:
    // 2^31 - 2^20: below the largest 32-bit position with room to spare for a position one past
    // the end, a selection's end or a line's start.
    static constexpr qsizetype MaxOutputUnits = qsizetype(std::numeric_limits<int>::max()) - (1 << 20) + 1;

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

    // The output collected so far, line ends unified.
    const QString& getStdoutCache() const;
    int lineCount() const;

protected:
    void DataAvailable() override;
    void Completed() override;
    // The most UTF-16 units of output kept; MaxOutputUnits in the program.
    virtual qsizetype maxOutputUnits() const { return MaxOutputUnits; }

private:
    void collect(const QString& piece);
    bool keepsOutput() const;
    void dropOutput();
    void showIn(fw::EditField* pane, const QString& countLabelName);
    void stopTooLarge();
    void tellTooLarge();
    bool ownsConfigFile() const;
    void releaseConfigFile(bool deleteFile);
    void letGoIfEnded();

    QPointer<RW_reportOutputWindow> outputWindow;
    RC_executeShellClass* myself = nullptr;
    // Shared with the panes that show it; replaced by an empty text when the window goes.
    std::shared_ptr<fw::SharedText> stdoutCache;
    fw::FolderItem tmpConfigFile;

    bool outputCut = false; // output beyond maxOutputUnits arrived and was dropped
    quint64 generation = 0; // order of making among all runs; newer runs have larger numbers
    int handlerDepth = 0;   // inside DataAvailable or Completed: the object must not go yet
    bool ended = false;     // Completed ran, or the run was shut down
};
