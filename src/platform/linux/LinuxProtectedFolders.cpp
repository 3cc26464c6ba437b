#include "platform/linux/LinuxProtectedFolders.h"

namespace vesk {

ProtectedFolders linuxProtectedFolders()
{
    ProtectedFolders folders = ProtectedFolders::macOS();
    folders.tooBroad += {QStringLiteral("/proc"), QStringLiteral("/sys"),   QStringLiteral("/run"),
                         QStringLiteral("/home"), QStringLiteral("/root"),  QStringLiteral("/boot"),
                         QStringLiteral("/srv"),  QStringLiteral("/mnt"),   QStringLiteral("/media"),
                         QStringLiteral("/lib"),  QStringLiteral("/lib32"), QStringLiteral("/lib64")};
    folders.systemPrefixes += {QStringLiteral("/proc/"), QStringLiteral("/sys/"),   QStringLiteral("/run/"),
                               QStringLiteral("/boot/"), QStringLiteral("/lib/"),   QStringLiteral("/lib32/"),
                               QStringLiteral("/lib64/")};
    folders.homeParents += QStringLiteral("/home");
    folders.homeAppSupport += {QStringLiteral(".config"), QStringLiteral(".local"), QStringLiteral(".cache")};
    return folders;
}

} // namespace vesk
