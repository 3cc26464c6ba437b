#pragma once

#include "platform/ShareMounter.h"
#include "platform/linux/SystemInfoParsers.h"

#include <QStringList>

namespace vesk {

// The network shares of the mount table: kernel mounts of network file systems as
// /proc/self/mountinfo lists them, and the shares GVfs serves below its FUSE folder
// (`gvfsRoot`, listed into `gvfsNames`), whose folder names read
// "smb-share:server=nas.local,share=photos".
QList<MountTableEntry> networkShareMounts(const QList<MountEntry> &mounts, const QString &gvfsRoot,
                                          const QStringList &gvfsNames);

// The GVfs FUSE folder of the mount table, if GVfs runs.
QString gvfsFuseRoot(const QList<MountEntry> &mounts);

} // namespace vesk
