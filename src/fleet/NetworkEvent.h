#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

namespace vesk {

// A change the console derives from two consecutive telemetry samples of a machine
// (interface switched, Wi-Fi lost, a mount added or removed). Never sent anywhere.
struct NetworkEvent {
    QUuid id;
    QDateTime timestamp;
    QString icon; // symbol name, e.g. "arrow.triangle.swap"
    QString color;
    QString title;
    QString detail;

    bool operator==(const NetworkEvent &) const = default;
};

} // namespace vesk
