#include "platform/linux/ProcFile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace vesk {

bool readProcFile(const char *path, std::string &buffer)
{
    buffer.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Kernel files report a size of 0 (or 4096): read until the end instead.
    constexpr size_t kChunk = 4096;
    bool ok = true;
    for (;;) {
        const size_t used = buffer.size();
        buffer.resize(used + kChunk);
        const ssize_t n = ::read(fd, buffer.data() + used, kChunk);
        if (n < 0 && errno == EINTR) {
            buffer.resize(used);
            continue;
        }
        if (n <= 0) {
            buffer.resize(used);
            ok = n == 0;
            break;
        }
        buffer.resize(used + size_t(n));
    }
    ::close(fd);
    return ok;
}

bool readProcFile(const QString &path, std::string &buffer)
{
    return readProcFile(QFile::encodeName(path).constData(), buffer);
}

} // namespace vesk
