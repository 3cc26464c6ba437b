#pragma once

#include "wire/DeviceTelemetrySnapshot.h"

#include <QDateTime>
#include <QList>
#include <QPointF>

namespace vesk {

// The chart lines of a machine's telemetry: x in milliseconds since the epoch, y in percent.
struct TelemetrySeries {
    QList<QPointF> cpu;
    QList<QPointF> memory;
    QList<QPointF> disk;

    // A line needs two points; one sample draws nothing worth reading.
    bool enoughPoints() const { return cpu.size() >= 2 || memory.size() >= 2 || disk.size() >= 2; }

    // Samples without a time are left out, the rest sorted oldest first.
    static TelemetrySeries from(const QList<DeviceTelemetrySnapshot> &samples);
};

// "Last seen …" of a machine at `now`.
QString lastSeenText(const QString &lastSeen, const QDateTime &now);

} // namespace vesk
