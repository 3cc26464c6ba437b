#include "commands/PinnedVersions.h"

#include "platform/DefaultsStore.h"

#include <QVariantMap>

namespace vesk {

QMap<QString, QString> PinnedVersions::read(const DefaultsStore &defaults)
{
    const QVariant stored = defaults.object(key);
    if (stored.typeId() != QMetaType::QVariantMap && stored.typeId() != QMetaType::QVariantHash)
        return {};
    QMap<QString, QString> pins;
    const QVariantMap map = stored.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it->typeId() != QMetaType::QString)
            return {};
        pins.insert(it.key(), it->toString());
    }
    return pins;
}

void PinnedVersions::write(DefaultsStore &defaults, const QMap<QString, QString> &pins)
{
    QVariantMap map;
    for (auto it = pins.cbegin(); it != pins.cend(); ++it)
        map.insert(it.key(), it.value());
    defaults.setValue(key, map);
}

} // namespace vesk
