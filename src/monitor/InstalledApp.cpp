#include "monitor/InstalledApp.h"

#include <QCollator>
#include <QTimeZone>

#include <algorithm>

namespace vesk {

namespace {

// Internet date-time to whole seconds, in UTC with the "Z" designator.
QString isoSeconds(const QDateTime &date)
{
    QDateTime utc = date.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    return utc.toString(Qt::ISODate);
}

} // namespace

RemoteInstalledApp reportRecord(const InstalledApp &app)
{
    RemoteInstalledApp record;
    record.bundleId = app.bundleId;
    record.name = app.name;
    record.version = app.version;
    record.build = app.build;
    record.path = app.path;
    record.isRunning = app.isRunning;
    record.isVeskApp = app.isVeskApp;
    if (app.fileSize)
        record.fileSizeMb = double(*app.fileSize) / 1048576.0;
    if (app.lastOpened)
        record.lastOpened = isoSeconds(*app.lastOpened);
    return record;
}

void sortInstalledAppsByName(QList<InstalledApp> &apps)
{
    const QCollator collator;
    std::sort(apps.begin(), apps.end(), [&](const InstalledApp &a, const InstalledApp &b) {
        const int byName = collator.compare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.path < b.path;
    });
}

} // namespace vesk
