#pragma once

#include "platform/ShareMounter.h"
#include "wire/policy/MonitoredShare.h"

#include <QUrl>

#include <optional>

namespace vesk {

// A share's address read as a URL: "nas.local/photos" is smb://nas.local/photos.
struct ShareAddress {
    QUrl url;
    QString scheme; // lower case
    QString host;
    QString shareName; // last path component, unescaped; empty when the path names none
    quint16 port = 0;  // the address's own, else the usual one of the scheme

    // None without a host.
    static std::optional<ShareAddress> parse(const QString &address);
    // The usual port: SMB 445, AFP 548, NFS 2049.
    static quint16 defaultPort(const QString &scheme);

    // Whether a mount-table entry is this share: the same server (any case) and, for SMB
    // and AFP, the same share (any case, SMB share names ignore it); for NFS the same export path.
    bool matches(const MountTableEntry &entry) const;
};

// The name shown for a share: its own name when set, else "<share> on <host>".
QString shareDisplayName(const MonitoredShare &share);

} // namespace vesk
