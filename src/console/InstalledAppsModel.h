#pragma once

#include "monitor/InstalledApp.h"

#include <QList>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <functional>

namespace vesk {

// The family apps installed on this machine, as the Installed Apps screen lists them; the
// Software Updates screen reads the same scan for its installed versions.
class InstalledAppsModel : public QObject {
    Q_OBJECT
public:
    using Scan = std::function<QCoro::Task<QList<InstalledApp>>()>;
    enum class Filter { all, running, stopped };

    // Without a scan (no app directory) the screen shows its empty state.
    explicit InstalledAppsModel(Scan scan, QObject *parent = nullptr);

    // Scans again; a call during a scan starts none and ends with that scan.
    QCoro::Task<> load();
    bool isScanning() const { return m_scanning; }
    bool hasScanned() const { return m_scanned; }
    const QList<InstalledApp> &apps() const { return m_apps; }

    void setFilter(Filter filter);
    Filter filter() const { return m_filter; }
    QList<InstalledApp> shown() const;
    // "Scanning Vesk apps..." until the first scan ends, then the empty state; empty otherwise.
    QString statusText() const;
    // How many were found and how many run, once there are any.
    QString countLine() const;

signals:
    void changed();

private:
    Scan m_scan;
    QList<InstalledApp> m_apps;
    Filter m_filter = Filter::all;
    bool m_scanning = false;
    bool m_scanned = false;
};

} // namespace vesk
