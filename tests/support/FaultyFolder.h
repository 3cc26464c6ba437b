#pragma once

#include <QString>

#include <linux/capability.h>
#include <sys/resource.h>

#include <csignal>
#include <optional>

namespace vesk::test {

// How writing a file can fail under the agent.
enum class DiskFault {
    NoSpace,    // the disk is full: ENOSPC
    NoAccess,   // the folder is not the agent's to write: EACCES
    ShortWrite, // a write stops part-way (a file size limit: a short count, then EFBIG)
};

const char *faultName(DiskFault fault);

// A folder whose writes fail on demand. It is a small file system of its own (a tmpfs mounted
// over the folder, which takes root), so a full disk is real and stays inside the test. While a
// fault is injected, writes into it fail as the fault says; lift() puts things right, and the
// end of its life lifts the fault and unmounts. NoAccess gives the folder to another user (under
// root; else it takes away the write bits) and holds only for work on the thread that injected it
// (root's overrides are dropped from that thread alone); ShortWrite holds for every file the
// process writes.
class FaultyFolder {
public:
    explicit FaultyFolder(QString folder);
    ~FaultyFolder();
    FaultyFolder(const FaultyFolder &) = delete;
    FaultyFolder &operator=(const FaultyFolder &) = delete;

    const QString &path() const { return m_folder; }
    // Whether the folder is a file system of its own; without one (no right to mount) a full
    // disk is stood in for by a file size limit of zero.
    bool mounted() const { return m_mounted; }
    // Whether NoAccess gives the folder to another user; without root it only takes away the
    // write bits, which the folder's owner (the agent) may put back.
    static bool foreignOwner();

    void inject(DiskFault fault);
    void lift();

private:
    void fill();
    void limitFileSize(rlim_t bytes);

    QString m_folder;
    bool m_mounted = false;
    std::optional<DiskFault> m_fault;
    bool m_capsDropped = false;
    __user_cap_data_struct m_savedCaps[_LINUX_CAPABILITY_U32S_3] = {};
    std::optional<rlimit> m_savedLimit;
    struct sigaction m_savedSigxfsz = {};
};

} // namespace vesk::test
