#include "SystemCalls.h"

#include "TextHelpers.h"

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

int writeAll(int fd, QByteArrayView bytes, off_t offset, qsizetype* written)
{
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const size_t count = size_t(bytes.size() - done);
        const ssize_t n = offset < 0 ? ::write(fd, bytes.data() + done, count)
                                     : ::pwrite(fd, bytes.data() + done, count, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    if (written)
        *written = done;
    return error;
}

QByteArray privateRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return runtime.startsWith('/') && isPrivateFolder(runtime) ? runtime : QByteArray();
}

namespace {

constexpr char16_t EscapedByteBase = 0xDC00; // + a byte from 0x80 to 0xFF

// The length of the well-formed UTF-8 sequence at the start of bytes (1 to 4) and its code point
// through codePoint, or 0 when the first byte starts none.
int utf8Sequence(QByteArrayView bytes, char32_t& codePoint)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const Utf8Lead lead = utf8Lead(byte(0));
    if (lead.length == 0 || bytes.size() < lead.length)
        return 0;
    // The lead byte's own bits: all of an ASCII byte, then 5, 4 or 3 bits.
    codePoint = byte(0) & (lead.length == 1 ? 0x7F : 0x7F >> lead.length);
    for (int i = 1; i < lead.length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? lead.low : 0x80) || next > (i == 1 ? lead.high : 0xBF))
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return lead.length;
}

} // namespace

QString decodePath(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        char32_t codePoint = 0;
        const int length = utf8Sequence(bytes, codePoint);
        if (length == 0) {
            path += QChar(char16_t(EscapedByteBase + static_cast<unsigned char>(bytes.front())));
            bytes = bytes.sliced(1);
            continue;
        }
        if (codePoint > 0xFFFF) {
            const QChar pair[2] = {QChar::highSurrogate(codePoint), QChar::lowSurrogate(codePoint)};
            path.append(pair, 2);
        } else {
            path += QChar(char16_t(codePoint));
        }
        bytes = bytes.sliced(length);
    }
    return path;
}

QByteArray encodePath(QStringView path)
{
    QByteArray bytes;
    bytes.reserve(path.size() + path.size() / 2);
    const auto append = [&](char32_t c) {
        if (c < 0x80) {
            bytes += char(c);
        } else if (c < 0x800) {
            bytes += char(0xC0 | (c >> 6));
            bytes += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += char(0xE0 | (c >> 12));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        } else {
            bytes += char(0xF0 | (c >> 18));
            bytes += char(0x80 | ((c >> 12) & 0x3F));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        }
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < path.size() && QChar::isLowSurrogate(path[i + 1].unicode())) {
            append(QChar::surrogateToUcs4(u, path[++i].unicode()));
        } else if (u >= EscapedByteBase + 0x80 && u <= EscapedByteBase + 0xFF) {
            bytes += char(u - EscapedByteBase);
        } else if (QChar::isSurrogate(u)) {
            append(0xFFFD);
        } else {
            append(u);
        }
    }
    return bytes;
}

} // namespace fw
