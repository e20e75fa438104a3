#include "report/RunOutcome.h"

#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <cstring>

RunOutcome RunOutcome::of(const fw::Shell& run)
{
    switch (run.ErrorCode()) {
    case fw::Shell::NoError:
        break;
    case fw::Shell::Crashed:
        return {EndedBySignal, run.ExitSignal(), {}};
    case fw::Shell::EndUnknown:
        return {EndUnknown, 0, {}};
    default:
        return {NotStarted, 0, run.errorString()};
    }
    if (run.ExitCode() != 0)
        return {EndedWithStatus, run.ExitCode(), {}};
    return {};
}

QString RunOutcome::message() const
{
    switch (kind) {
    case Clean:
        return {};
    case NotStarted:
        return QStringLiteral("The report program could not be started: %1").arg(reason);
    case EndedBySignal:
        return QStringLiteral("The report program was ended by signal %1 (%2). The report may be incomplete.")
            .arg(number)
            .arg(QString::fromLocal8Bit(::strsignal(number)));
    case EndedWithStatus:
        return QStringLiteral("The report program ended with status %1. The report may be incomplete.").arg(number);
    case EndUnknown:
        return QStringLiteral("How the report program ended could not be learnt. The report may be incomplete.");
    }
    return {};
}

void tellRunOutcome(const RunOutcome& outcome)
{
    const QString text = outcome.message();
    if (!text.isEmpty())
        fw::MsgBox(text);
}
