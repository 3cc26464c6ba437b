#include "platform/linux/ProcFile.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vesk {

namespace {

// Kernel files report a size of 0 (or 4096): read until the end instead.
constexpr size_t kChunk = 4096;

int openReadOnly(const char *path)
{
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

bool readProcFile(const char *path, std::string &buffer)
{
    buffer.clear();
    const int fd = openReadOnly(path);
    if (fd < 0)
        return false;
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

KernelFile::KernelFile(QString path) : m_path(std::move(path)), m_encoded(QFile::encodeName(m_path)) {}

KernelFile::~KernelFile()
{
    close();
}

KernelFile::KernelFile(KernelFile &&other) noexcept
    : m_path(std::move(other.m_path)), m_encoded(std::move(other.m_encoded)), m_fd(std::exchange(other.m_fd, -1))
{
}

KernelFile &KernelFile::operator=(KernelFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_encoded = std::move(other.m_encoded);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void KernelFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool KernelFile::read(std::string &buffer)
{
    const bool wasOpen = m_fd >= 0;
    if (readOpen(buffer))
        return true;
    close();
    // A descriptor that stopped answering gets one fresh open; a failed open waits for next time.
    return wasOpen && readOpen(buffer);
}

bool KernelFile::readOpen(std::string &buffer)
{
    buffer.clear();
    if (m_fd < 0)
        m_fd = openReadOnly(m_encoded.constData());
    if (m_fd < 0)
        return false;
    for (;;) {
        const size_t used = buffer.size();
        buffer.resize(used + kChunk);
        const ssize_t n = ::pread(m_fd, buffer.data() + used, kChunk, off_t(used));
        if (n < 0 && errno == EINTR) {
            buffer.resize(used);
            continue;
        }
        if (n <= 0) {
            buffer.resize(used);
            return n == 0;
        }
        buffer.resize(used + size_t(n));
    }
}

QStringList kernelFolderEntries(const QString &path)
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string procPidPath(const std::string &root, qint32 pid, const char *leaf)
{
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, pid);
    Q_UNUSED(ec)
    std::string path;
    path.reserve(root.size() + 24);
    path.append(root).append(1, '/').append(digits, end).append(1, '/').append(leaf);
    return path;
}

} // namespace vesk
