#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace vesk {

// Reads a whole small kernel file (/proc, /sys) into `buffer`, reusing its capacity so that
// sampling every few seconds allocates nothing once warm. False when it cannot be read.
bool readProcFile(const char *path, std::string &buffer);
bool readProcFile(const QString &path, std::string &buffer);

// A kernel file read again and again: opened once and read from its start on every call. The
// kernel builds the text anew on each read from offset 0, so this saves the path walk and the
// open and close of every sample. A file that cannot be opened is tried again on the next
// read; one that stops answering (a sysfs device that went away) is reopened once.
class KernelFile {
public:
    explicit KernelFile(QString path);
    ~KernelFile();
    KernelFile(KernelFile &&other) noexcept;
    KernelFile &operator=(KernelFile &&other) noexcept;
    KernelFile(const KernelFile &) = delete;
    KernelFile &operator=(const KernelFile &) = delete;

    bool read(std::string &buffer);
    const QString &path() const { return m_path; }
    // The open descriptor, or -1 until a read has opened it.
    int descriptor() const { return m_fd; }

private:
    bool readOpen(std::string &buffer);
    void close();

    QString m_path;
    QByteArray m_encoded;
    int m_fd = -1;
};

// The entry names of a kernel folder (/proc, /sys/class/...), in name order, without "." and
// ".." or hidden names. Entries are not stat'ed: sysfs class folders hold links to device
// folders, and whoever reads an entry finds out soon enough if it is something else.
QStringList kernelFolderEntries(const QString &path);

// "<root>/<pid>/<leaf>", built without going through QString: called for every process on
// every pass. `root` is the encoded /proc folder.
std::string procPidPath(const std::string &root, qint32 pid, const char *leaf);

} // namespace vesk
