#pragma once

#include "platform/ProtectedFolders.h"

namespace vesk {

// The macOS list plus the Linux places that stand for its folders: the kernel's views
// (/proc, /sys), runtime state (/run), the homes (/home, /root), the boot files, the
// mount points of other disks (/mnt, /media) and the dot-folders where apps keep
// their settings and data inside a home.
ProtectedFolders linuxProtectedFolders();

} // namespace vesk
