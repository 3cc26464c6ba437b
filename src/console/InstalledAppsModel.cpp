#include "console/InstalledAppsModel.h"

#include "console/ConsoleTexts.h"

#include <QPointer>

#include <qcoro/qcorosignal.h>

#include <algorithm>

namespace vesk {

InstalledAppsModel::InstalledAppsModel(Scan scan, QObject *parent) : QObject(parent), m_scan(std::move(scan)) {}

QCoro::Task<> InstalledAppsModel::load()
{
    QPointer<InstalledAppsModel> self(this);
    if (m_scanning) {
        // A caller that arrives during a scan waits for its result.
        while (m_scanning) {
            co_await qCoro(this, &InstalledAppsModel::changed);
            if (!self)
                co_return;
        }
        co_return;
    }
    if (!m_scan) {
        m_scanned = true;
        emit changed();
        co_return;
    }
    m_scanning = true;
    emit changed();
    const Scan scan = m_scan;
    QList<InstalledApp> found = co_await scan();
    if (!self)
        co_return;
    m_apps = std::move(found);
    m_scanning = false;
    m_scanned = true;
    emit changed();
}

void InstalledAppsModel::setFilter(Filter filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit changed();
}

QList<InstalledApp> InstalledAppsModel::shown() const
{
    QList<InstalledApp> out;
    for (const InstalledApp &app : m_apps) {
        if (m_filter == Filter::running && !app.isRunning)
            continue;
        if (m_filter == Filter::stopped && app.isRunning)
            continue;
        out.append(app);
    }
    return out;
}

QString InstalledAppsModel::statusText() const
{
    if (!m_scanned)
        return ConsoleTexts::scanningApps;
    return m_apps.isEmpty() ? ConsoleTexts::noVeskAppsFound : QString();
}

QString InstalledAppsModel::countLine() const
{
    if (m_apps.isEmpty())
        return {};
    const auto running =
        std::count_if(m_apps.cbegin(), m_apps.cend(), [](const InstalledApp &a) { return a.isRunning; });
    return QString::number(m_apps.size()) + ConsoleTexts::veskAppsFound + tr("%1 running").arg(running);
}

} // namespace vesk
