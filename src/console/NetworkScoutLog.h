#pragma once

#include "wire/DeviceTelemetrySnapshot.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace vesk {

// One change of a machine's network between two telemetry samples; seen only in the console.
struct NetworkEvent {
    enum class Kind { interfaceSwitched, wifiDisconnected, mountAdded, mountRemoved };

    Kind kind = Kind::interfaceSwitched;
    QDateTime timestamp;
    QString icon; // symbol name of the event's kind
    QString title;
    QString detail;
};

// The network changes found between consecutive samples (oldest compared first), newest
// first: the primary interface changed, the Wi-Fi network went away, a network mount came
// or went. A value a sample does not carry (sensitive telemetry off) is never a change.
QList<NetworkEvent> networkEvents(const QList<DeviceTelemetrySnapshot> &samples);

// The machine detail's network log: the newest events, a line for the ones left out and a
// count per kind over the period.
struct NetworkScoutLog {
    static constexpr int shownEvents = 20;

    QStringList lines;
    QString moreLine; // "<n> more events not shown", or empty
    QString trends;   // empty when nothing changed
    QString emptyText;

    static NetworkScoutLog from(const QList<NetworkEvent> &events);
};

} // namespace vesk
