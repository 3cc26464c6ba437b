#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

namespace vesk {

// One network file system in the mount table. `source` is the mounted-from text as the
// system lists it: "//server/share" for SMB, "server:/path" for NFS.
struct MountTableEntry {
    QString mountPoint;
    QString source;
    QString fsType;

    bool operator==(const MountTableEntry &) const = default;
};

// Where a share was mounted, or why it was not.
struct MountResult {
    std::optional<QString> mountPoint; // set on success
    QString failure;

    bool ok() const { return mountPoint.has_value(); }
    static MountResult success(QString path) { return {std::move(path), {}}; }
    static MountResult failed(QString reason) { return {std::nullopt, std::move(reason)}; }
};

struct ShareMountRequest {
    QUrl url;          // smb://server/share, afp://..., nfs://server/path
    QString host;
    QString shareName; // last path component, unescaped
    quint16 port = 0;
    std::optional<QString> username; // none: as guest
    QByteArray password;             // never logged, never put on a command line
};

// Mounting network shares and telling whether they answer. Every call that can meet a
// dead server is bounded by its time limit and never blocks the calling thread.
class ShareMounter {
public:
    virtual ~ShareMounter() = default;

    // The network file systems mounted now.
    virtual QList<MountTableEntry> mountTable() = 0;
    // Whether a directory read of `path` completes within `limit`.
    virtual QCoro::Task<bool> pathResponds(QString path, std::chrono::milliseconds limit) = 0;
    // Whether a TCP connection to host:port opens within `limit`.
    virtual QCoro::Task<bool> probeHost(QString host, quint16 port, std::chrono::milliseconds limit) = 0;
    virtual QCoro::Task<MountResult> mountShare(ShareMountRequest request, std::chrono::milliseconds limit) = 0;
    // Releases a mount even when its server is gone; whether it went.
    virtual QCoro::Task<bool> forceUnmount(QString mountPoint) = 0;
};

// The sentence for a mount call's error number (an errno value).
QString mountFailureText(int error);

} // namespace vesk
