#pragma once

#include "wire/RemoteInstalledApp.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <ostream>

namespace vesk {

// One installed family application as the fleet sees it.
struct InstalledApp {
    QString bundleId;
    QString name;                       // CFBundleName, else the bundle's file name without ".app"
    QString version;                    // CFBundleShortVersionString, else "Unknown"
    QString build;                      // CFBundleVersion, else "Unknown"
    QString path;
    std::optional<QDateTime> lastOpened;
    std::optional<qint64> fileSize;     // bytes allocated by every file in the bundle
    bool isRunning = false;
    QString iconName;                   // same text as name
    bool isVeskApp = false;

    bool operator==(const InstalledApp &) const = default;
};

// The entry one app contributes to the installed-apps report: the wire record the fleet
// server stores and hands back, so both sides share one coding.
RemoteInstalledApp reportRecord(const InstalledApp &app);

// Orders by name as people read it, then by path.
void sortInstalledAppsByName(QList<InstalledApp> &apps);

inline std::ostream &operator<<(std::ostream &os, const InstalledApp &app)
{
    return os << "InstalledApp{" << app.bundleId.toStdString() << ", \"" << app.name.toStdString() << "\", "
              << app.version.toStdString() << " (" << app.build.toStdString() << "), " << app.path.toStdString()
              << (app.isRunning ? ", running" : "") << "}";
}

} // namespace vesk
