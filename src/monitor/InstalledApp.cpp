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

QJsonObject InstalledApp::toJson() const
{
    QJsonObject json{
        {QStringLiteral("bundleId"), bundleId},
        {QStringLiteral("name"), name},
        {QStringLiteral("version"), version},
        {QStringLiteral("build"), build},
        {QStringLiteral("path"), path},
        {QStringLiteral("isRunning"), isRunning},
        {QStringLiteral("iconName"), iconName},
        {QStringLiteral("isVeskApp"), isVeskApp},
    };
    if (lastOpened)
        json.insert(QStringLiteral("lastOpened"), isoSeconds(*lastOpened));
    if (fileSize)
        json.insert(QStringLiteral("fileSize"), double(*fileSize));
    return json;
}

InstalledApp InstalledApp::fromJson(const QJsonObject &json)
{
    InstalledApp app;
    app.bundleId = json.value(QStringLiteral("bundleId")).toString();
    app.name = json.value(QStringLiteral("name")).toString();
    app.version = json.value(QStringLiteral("version")).toString();
    app.build = json.value(QStringLiteral("build")).toString();
    app.path = json.value(QStringLiteral("path")).toString();
    app.isRunning = json.value(QStringLiteral("isRunning")).toBool();
    app.iconName = json.value(QStringLiteral("iconName")).toString();
    app.isVeskApp = json.value(QStringLiteral("isVeskApp")).toBool();
    if (const auto opened = QDateTime::fromString(json.value(QStringLiteral("lastOpened")).toString(), Qt::ISODate);
        opened.isValid())
        app.lastOpened = opened.toUTC();
    if (const auto size = json.value(QStringLiteral("fileSize")); size.isDouble())
        app.fileSize = qint64(size.toDouble());
    return app;
}

QJsonObject reportObject(const InstalledApp &app)
{
    QJsonObject json{
        {QStringLiteral("bundle_id"), app.bundleId},
        {QStringLiteral("name"), app.name},
        {QStringLiteral("version"), app.version},
        {QStringLiteral("build"), app.build},
        {QStringLiteral("path"), app.path},
        {QStringLiteral("is_running"), app.isRunning},
        {QStringLiteral("is_vesk_app"), app.isVeskApp},
    };
    if (app.fileSize)
        json.insert(QStringLiteral("file_size_mb"), double(*app.fileSize) / 1048576.0);
    if (app.lastOpened)
        json.insert(QStringLiteral("last_opened"), isoSeconds(*app.lastOpened));
    return json;
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
