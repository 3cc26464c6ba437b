#include "platform/ProtectedFolders.h"

namespace vesk {

ProtectedFolders ProtectedFolders::macOS()
{
    ProtectedFolders folders;
    folders.tooBroad = {QStringLiteral("/"),        QStringLiteral("/Users"),   QStringLiteral("/Volumes"),
                        QStringLiteral("/Applications"), QStringLiteral("/Library"), QStringLiteral("/System"),
                        QStringLiteral("/bin"),     QStringLiteral("/sbin"),    QStringLiteral("/usr"),
                        QStringLiteral("/etc"),     QStringLiteral("/var"),     QStringLiteral("/tmp"),
                        QStringLiteral("/private"), QStringLiteral("/opt"),     QStringLiteral("/cores"),
                        QStringLiteral("/dev"),     QStringLiteral("/Network")};
    folders.systemPrefixes = {QStringLiteral("/System/"),  QStringLiteral("/usr/"),     QStringLiteral("/bin/"),
                              QStringLiteral("/sbin/"),    QStringLiteral("/Library/"), QStringLiteral("/private/"),
                              QStringLiteral("/etc/"),     QStringLiteral("/var/"),     QStringLiteral("/dev/"),
                              QStringLiteral("/cores/")};
    folders.homeParents = {QStringLiteral("/Users")};
    folders.homeAppSupport = {QStringLiteral("Library")};
    return folders;
}

} // namespace vesk
