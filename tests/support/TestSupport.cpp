#include "TestSupport.h"

#include "platform/EditField.h"
#include "report/RW_reportOutputWindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFile>
#include <QThread>

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

int timeBudgetMs(int ms)
{
#if defined(__SANITIZE_ADDRESS__)
    return ms * 8;
#else
    return ms;
#endif
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QString binDir()
{
    const QByteArray dir = qgetenv("NAW_BIN_DIR");
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() + "/../bin" : QString::fromLocal8Bit(dir);
}

void closeAllWindows()
{
    // Closing changes the list of open windows: walk a copy.
    for (fw::Window* window : std::vector<fw::Window*>(fw::Window::openWindows()))
        window->Close();
    settle();
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

bool writeScript(const QString& path, const QByteArray& body)
{
    return writeFile(path, "#!/bin/sh\n" + body, true);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void showReport(RW_reportOutputWindow& window, const QString& text)
{
    for (const char* pane : {"EF_mainResultsLeft", "EF_mainResultsRight"})
        window.control<fw::EditField>(QLatin1String(pane), 0)->setText(text);
    window.initialize(text);
}

MessageLog::MessageLog(const QString& answer)
    : reply(answer)
{
    fw::ModalSeam::setMessageHandler([this](const fw::MessageRequest& request) {
        shown.push_back(request);
        return reply.isEmpty() ? request.buttons.value(0) : reply;
    });
}

MessageLog::~MessageLog()
{
    fw::ModalSeam::setMessageHandler(nullptr);
}

QStringList MessageLog::messages() const
{
    QStringList texts;
    for (const fw::MessageRequest& request : shown)
        texts << request.message;
    return texts;
}

} // namespace testsupport
