#include "TestSupport.h"

#include "platform/EditField.h"
#include "report/RW_reportOutputWindow.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

fw::Mutex::Places lockPlaces()
{
    static const QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    return {path, path};
}

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

QString childProbe()
{
    return QCoreApplication::applicationDirPath() + "/naw-child-probe";
}

QStringList inheritedDescriptors()
{
    QList<int> extra;
    QDirIterator it(QStringLiteral("/proc/self/fd"), QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const int fd = it.next().section(u'/', -1).toInt();
        const int flags = ::fcntl(fd, F_GETFD);
        if (fd > 2 && flags >= 0 && !(flags & FD_CLOEXEC))
            extra << fd;
    }
    std::sort(extra.begin(), extra.end());
    QStringList fds{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
    for (const int fd : extra)
        fds << QString::number(fd);
    return fds;
}

QString freshStartReport(bool detached)
{
    QString report = QStringLiteral("descriptors 0 1 2\n"
                                    "stdin /dev/null\n"
                                    "stderr stdout\n");
    for (const char* name : {"SIGPIPE", "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", "SIGCHLD", "SIGUSR1", "SIGALRM",
                             "SIGTSTP", "SIGTTOU", "SIGXFSZ"})
        report += QLatin1String(name) + QStringLiteral(" default\n");
    report += QStringLiteral("group own\n");
    report += detached ? QStringLiteral("session own\n") : QStringLiteral("session parent's\n");
    return report;
}

const int HostileParent::ignored_[HostileParent::ignoredCount] = {SIGPIPE, SIGINT,  SIGHUP,  SIGQUIT, SIGUSR1,
                                                                  SIGALRM, SIGTSTP, SIGTTOU, SIGXFSZ, SIGCHLD};

HostileParent::HostileParent(bool ignoreChildEnd)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int i = 0; i < ignoredCount; ++i) {
        if (ignored_[i] != SIGCHLD || ignoreChildEnd)
            ::sigaction(ignored_[i], &ignore, &former_[i]);
        else
            ::sigaction(ignored_[i], nullptr, &former_[i]);
    }
    sigset_t block;
    sigfillset(&block);
    ::sigprocmask(SIG_BLOCK, &block, &formerMask_);
    // Standard input a pipe that never ends, where a program would wait for input.
    formerStdin_ = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
    if (::pipe2(stdinPipe_, O_CLOEXEC) == 0)
        ::dup2(stdinPipe_[0], 0);
    leaked_ = stdinPipe_[1] >= 0 ? ::fcntl(stdinPipe_[1], F_DUPFD, 3) : -1;
}

HostileParent::~HostileParent()
{
    if (leaked_ >= 0)
        ::close(leaked_);
    if (formerStdin_ >= 0) {
        ::dup2(formerStdin_, 0);
        ::close(formerStdin_);
    }
    for (const int fd : stdinPipe_) {
        if (fd >= 0)
            ::close(fd);
    }
    for (int i = 0; i < ignoredCount; ++i)
        ::sigaction(ignored_[i], &former_[i], nullptr);
    ::sigprocmask(SIG_SETMASK, &formerMask_, nullptr);
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

namespace {

// Sets or clears the immutable attribute of a file or folder; false when the file system or the
// rights refuse.
bool setImmutable(const QString& path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace

FolderLock::FolderLock(const QString& path)
    : path_(path)
{
    if (::geteuid() == 0)
        immutable_ = locked_ = setImmutable(path, true);
    else
        locked_ = ::chmod(QFile::encodeName(path).constData(), 0555) == 0;
    // Only a folder that really refuses a new file counts as locked.
    QFile probe(path + QStringLiteral("/.lock-probe"));
    if (locked_ && probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        probe.close();
        probe.remove();
        undo();
    }
}

FolderLock::~FolderLock()
{
    undo();
}

void FolderLock::undo()
{
    if (!locked_)
        return;
    if (immutable_)
        setImmutable(path_, false);
    else
        ::chmod(QFile::encodeName(path_).constData(), 0700);
    locked_ = false;
}

std::pair<int, int> inkColumns(const QImage& image)
{
    const QRgb background = image.pixel(image.width() / 2, 3);
    int left = image.width();
    int right = -1;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x) {
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

testing::AssertionResult showsWhole(fw::EditField& field)
{
    const auto [left, right] = inkColumns(field.widget()->grab().toImage());
    const QFont font = field.textPane()->font();
    // The glyphs' outlines: hinted bounding boxes grow by up to a pixel a glyph in a narrowed font.
    QPainterPath outline;
    outline.addText(0, 0, font, field.Text());
    const qreal needed = outline.boundingRect().width();
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(field.textPane());
    QAccessibleTextInterface* text = view ? view->textInterface() : nullptr;
    if (!text)
        return testing::AssertionFailure() << "no text interface";
    const bool endsInView = !text->characterRect(0).isEmpty() && !text->characterRect(field.TextLength() - 1).isEmpty();
    if (endsInView && right - left + 1 >= needed - 1.5)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << '"' << field.Text().toStdString() << "\" inks " << (right - left + 1)
                                       << " px of " << needed << ", ends in view " << endsInView << ", font "
                                       << font.pixelSize() << " px at stretch " << font.stretch();
}

ReadOnlyFile::ReadOnlyFile(const QString& path)
    : path_(path)
{
    made_ = ::geteuid() == 0 ? setImmutable(path, true) : ::chmod(QFile::encodeName(path).constData(), 0444) == 0;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (made_ && ::geteuid() == 0)
        setImmutable(path_, false);
}

FileSizeLimit::FileSizeLimit(long bytes)
{
    formerHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    former_[0] = limit.rlim_cur;
    former_[1] = limit.rlim_max;
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    const rlimit limit{rlim_t(former_[0]), rlim_t(former_[1])};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, formerHandler_);
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

bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.mid(close + 2, 1) == "Z";
}

fw::WindowRecord windowRecord(const QString& title, int width, int height, bool visible)
{
    fw::WindowRecord r;
    r.title = title;
    r.width = width;
    r.height = height;
    r.visible = visible;
    return r;
}

} // namespace testsupport
