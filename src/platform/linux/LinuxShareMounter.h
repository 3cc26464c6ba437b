#pragma once

#include "platform/ShareMounter.h"

#include <QThreadPool>

#include <memory>

namespace vesk {

// Shares on Linux. The mount table is /proc/self/mountinfo plus the shares GVfs serves.
// Mounting takes one of two ways, chosen by what the agent may do:
// - as root (a system service), the kernel's client: `mount.cifs` for SMB and `mount -t nfs`
//   for NFS, below `mountRoot`. The user name and password go to mount.cifs through its
//   USER and PASSWD environment variables, never on its command line, so no other process
//   can read them from the process table and no quote or comma in them changes the options.
// - as a signed-in user, `gio mount` (GVfs), which needs no root; it asks for the user,
//   domain and password on standard input, where the answers are written. gio reads one
//   line per answer, so a password holding a line break cannot be given that way.
// AFP has no Linux client. Directory reads that may hang run on their own threads.
class LinuxShareMounter final : public ShareMounter {
public:
    struct Options {
        QString mountInfoPath = QStringLiteral("/proc/self/mountinfo");
        QString mountRoot = QStringLiteral("/mnt/vesk-shares");
        bool kernelMounts = false; // true: mount.cifs and mount.nfs; false: gio mount
    };
    // Kernel mounts when running as root.
    static Options defaultOptions();

    explicit LinuxShareMounter(Options options = defaultOptions());
    ~LinuxShareMounter() override;

    QList<MountTableEntry> mountTable() override;
    QCoro::Task<bool> pathResponds(QString path, std::chrono::milliseconds limit) override;
    QCoro::Task<bool> probeHost(QString host, quint16 port, std::chrono::milliseconds limit) override;
    QCoro::Task<MountResult> mountShare(ShareMountRequest request, std::chrono::milliseconds limit) override;
    QCoro::Task<bool> forceUnmount(QString mountPoint) override;

    // The errno in mount.cifs's "mount error(13): ..." line; 0 when there is none.
    static int mountErrorNumber(const QByteArray &standardError);

private:
    QCoro::Task<MountResult> kernelMount(ShareMountRequest request, std::chrono::milliseconds limit);
    QCoro::Task<MountResult> gioMount(ShareMountRequest request, std::chrono::milliseconds limit);

    Options m_options;
    // Reads stuck on a dead server keep their thread; the pool is let go, not waited for.
    std::unique_ptr<QThreadPool> m_readers;
};

} // namespace vesk
