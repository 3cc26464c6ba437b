#include "fleetd/http/TenantHash.h"

#include "wire/FleetKey.h"

#include <QList>

namespace vesk::fleetd {

bool TenantHash::matches(const QString &hash, const QString &code)
{
    if (hash == FleetKey::tenantHashOf(code) || hash == FleetKey::tenantHashOf(code.toLower()) ||
        hash == FleetKey::tenantHashOf(code.toUpper())) {
        return true;
    }
    // Positions whose letter has two cases of one character each.
    QList<qsizetype> letters;
    const QString lower = code.toLower();
    const QString upper = code.toUpper();
    if (lower.size() != code.size() || upper.size() != code.size())
        return false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        if (lower.at(i) != upper.at(i))
            letters.append(i);
    }
    if (letters.size() > kMaxMixedLetters)
        return false;
    QString spelling = lower;
    for (quint32 mask = 0; mask < (1U << letters.size()); ++mask) {
        for (qsizetype bit = 0; bit < letters.size(); ++bit) {
            const qsizetype at = letters.at(bit);
            spelling[at] = (mask & (1U << bit)) ? upper.at(at) : lower.at(at);
        }
        if (hash == FleetKey::tenantHashOf(spelling))
            return true;
    }
    return false;
}

} // namespace vesk::fleetd
