#pragma once

#include <QByteArrayList>
#include <QString>

#include <vector>

// One measurement: as many agents as requests given, all connected first, then a
// warm-up, then a fixed window in which answers and their latencies are counted.
struct PhaseResult {
    QString name;
    int agents = 0;
    int connected = 0;
    double seconds = 0;
    qint64 answers = 0;
    qint64 unexpected = 0;
    double p50Ms = 0;
    double p99Ms = 0;

    double perSecond() const { return seconds > 0 ? answers / seconds : 0; }
};

PhaseResult runPhase(const QString &name, quint16 port, const QByteArrayList &requests, int expectedStatus,
                     int warmupMs, int measureMs);
