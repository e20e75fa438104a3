#include "SystemCalls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

// Either strerror_r: the GNU one returns its text (perhaps a static one), the POSIX one fills the buffer.
[[maybe_unused]] const char* errorText(const char* returned, const char*)
{
    return returned;
}
[[maybe_unused]] const char* errorText(int, const char* buffer)
{
    return buffer;
}

} // namespace

QString systemError(int error)
{
    char buffer[256] = {};
    return QString::fromLocal8Bit(errorText(::strerror_r(error, buffer, sizeof buffer), buffer));
}

bool isPrivateFolder(const struct stat& info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

bool isPrivateFolder(const QByteArray& path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && isPrivateFolder(info)
           && ::access(path.constData(), W_OK | X_OK) == 0;
}

int openRetrying(const char* path, int flags, mode_t mode)
{
    int fd = -1;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int writeAll(int fd, QByteArrayView bytes, off_t offset)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const size_t count = size_t(bytes.size() - done);
        const ssize_t n = offset < 0 ? ::write(fd, bytes.data() + done, count)
                                     : ::pwrite(fd, bytes.data() + done, count, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}

QByteArray privateRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return runtime.startsWith('/') && isPrivateFolder(runtime) ? runtime : QByteArray();
}

} // namespace fw
