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

namespace {

constexpr char16_t EscapedByteBase = 0xDC00; // + a byte from 0x80 to 0xFF

// The length of the well-formed UTF-8 sequence at the start of bytes (1 to 4) and its code point
// through codePoint, or 0 when the first byte starts none: no overlong form, no surrogate, nothing
// above U+10FFFF, nothing cut off.
int utf8Sequence(QByteArrayView bytes, char32_t& codePoint)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return length;
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
