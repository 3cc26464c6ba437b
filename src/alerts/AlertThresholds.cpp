#include "alerts/AlertThresholds.h"

#include "platform/DefaultsStore.h"

#include <QVariant>

#include <cmath>

namespace vesk {

namespace {

// Reads one number into `target` when it is present, numeric and within [low, high].
void readNumber(const DefaultsStore &defaults, QLatin1String key, double low, double high, double &target,
                QStringList &invalid)
{
    const QVariant value = defaults.object(key);
    if (!value.isValid())
        return;
    bool ok = false;
    const double number = value.typeId() == QMetaType::Bool ? 0 : value.toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < low || number > high) {
        invalid << key;
        return;
    }
    target = number;
}

void readSwitch(const DefaultsStore &defaults, QLatin1String key, bool &target, QStringList &invalid)
{
    const QVariant value = defaults.object(key);
    if (!value.isValid())
        return;
    if (value.typeId() == QMetaType::Bool) {
        target = value.toBool();
        return;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1") || text == QLatin1String("yes"))
        target = true;
    else if (text == QLatin1String("false") || text == QLatin1String("0") || text == QLatin1String("no"))
        target = false;
    else
        invalid << key;
}

// A whole number within [low, high] into `target`, as readNumber.
void readWhole(const DefaultsStore &defaults, QLatin1String key, int low, int high, int &target, QStringList &invalid)
{
    double number = target;
    readNumber(defaults, key, low, high, number, invalid);
    if (number != std::floor(number)) {
        invalid << key;
        return;
    }
    target = static_cast<int>(number);
}

} // namespace

AlertThresholds AlertThresholds::fromDefaults(const DefaultsStore &defaults, QStringList *invalidKeys)
{
    AlertThresholds thresholds;
    QStringList invalid;
    readNumber(defaults, AlertThresholdKeys::diskPercentCritical, 0, 1, thresholds.diskPercentCritical, invalid);
    readNumber(defaults, AlertThresholdKeys::diskPercentWarning, 0, 1, thresholds.diskPercentWarning, invalid);
    readNumber(defaults, AlertThresholdKeys::ramPercentCritical, 0, 1, thresholds.ramPercentCritical, invalid);
    readNumber(defaults, AlertThresholdKeys::ramPercentWarning, 0, 1, thresholds.ramPercentWarning, invalid);
    readNumber(defaults, AlertThresholdKeys::cpuSustainedPercent, 0, 100, thresholds.cpuSustainedPercent, invalid);
    readSwitch(defaults, AlertThresholdKeys::thermalSerious, thresholds.thermalSerious, invalid);
    readSwitch(defaults, AlertThresholdKeys::hungAppDetection, thresholds.hungAppDetection, invalid);
    readWhole(defaults, AlertThresholdKeys::uptimeDaysWarning, 1, 3650, thresholds.uptimeDaysWarning, invalid);
    readWhole(defaults, AlertThresholdKeys::consecutiveSamples, 1, 100, thresholds.consecutiveSamples, invalid);
    if (invalidKeys)
        *invalidKeys = invalid;
    return thresholds;
}

} // namespace vesk
