#include "platform/ShareMounter.h"

#include <cerrno>
#include <cstring>

namespace vesk {

QString mountFailureText(int error)
{
    // The sign-in codes: refused (EPERM, EACCES) and, from the kernel's SMB client, a key
    // the server would not take.
    if (error == EPERM || error == EACCES || error == ENOKEY || error == EKEYREJECTED)
        return QStringLiteral("Sign-in failed — check the user name and password");
    if (error == ENOENT)
        return QStringLiteral("The share name was not found on the server");
    if (error == EEXIST || error == EBUSY)
        return QStringLiteral("The share is already mounted");
    if (error == ETIMEDOUT)
        return QStringLiteral("The server took too long to respond");
    if (error == ECANCELED)
        return QStringLiteral("Mount was cancelled");
    if (error > 0)
        return QString::fromLocal8Bit(std::strerror(error));
    return QStringLiteral("Mount failed (error %1)").arg(error);
}

} // namespace vesk
