#include "pairing/AgentBundle.h"

namespace vesk {

QString AgentBundle::identifier() const
{
    return mainBundleId.isEmpty() ? QStringLiteral("com.lumora.VeskWarden") : mainBundleId;
}

QString AgentBundle::keychainService() const
{
    if (mainBundleId.isEmpty() || mainBundleId == QLatin1String("com.lumora.VESK-Warden"))
        return QStringLiteral("com.lumora.warden");
    return mainBundleId;
}

} // namespace vesk
