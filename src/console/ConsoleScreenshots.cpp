#include "console/ConsoleScreenshots.h"

#include "console/AlertsPage.h"
#include "console/BatchSheet.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleWindow.h"
#include "console/InstalledAppsModel.h"
#include "console/MachinePage.h"
#include "console/MachineSoftwarePage.h"
#include "console/PolicyManagerPage.h"
#include "console/SettingsPage.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include <qcoro/qcorosignal.h>

#include <algorithm>

namespace vesk {

namespace {
QString fileName(int index, const QString &title)
{
    QString slug = title.toLower();
    slug.replace(QLatin1Char(' '), QLatin1Char('-'));
    return QStringLiteral("%1-%2.png").arg(index, 2, 10, QLatin1Char('0')).arg(slug);
}
} // namespace

QCoro::Task<ConsoleScreenshots> ConsoleScreenshots::capture(ConsoleWindow &window, QString dir)
{
    ConsoleScreenshots shots;
    if (!QDir().mkpath(dir)) {
        shots.error = QStringLiteral("Cannot create ") + dir;
        co_return shots;
    }
    const auto save = [&](QWidget &widget, const QString &title) {
        QCoreApplication::processEvents();
        const QString path = QDir(dir).filePath(fileName(static_cast<int>(shots.written.size()) + 1, title));
        if (!widget.grab().save(path, "PNG")) {
            shots.error = QStringLiteral("Cannot write ") + path;
            return false;
        }
        shots.written.append(path);
        return true;
    };

    window.show();
    co_await window.directory().refresh();
    for (ConsoleScreen screen : window.sidebarScreens()) {
        window.showScreen(screen);
        if (screen == ConsoleScreen::alerts) {
            // Showing the screen started the fleet load; the picture waits for its answer and
            // shows the tenant's alerts rather than this machine's quiet Active tab.
            AlertsModel &alerts = window.alertsPage().model();
            while (alerts.fleet().emptyTitle == ConsoleTexts::loadingFleetAlerts)
                co_await qCoro(&alerts, &AlertsModel::changed);
            if (auto *tabs = window.alertsPage().findChild<QTabWidget *>()) {
                for (int tab = 0; tab < tabs->count(); ++tab) {
                    if (tabs->tabText(tab) == QLatin1String("Fleet"))
                        tabs->setCurrentIndex(tab);
                }
            }
        }
        if (screen == ConsoleScreen::policyManager) {
            PolicyManagerModel &policies = window.policyManagerPage().model();
            co_await policies.load();
            // The editor, not its empty state, is the picture worth having.
            if (!policies.policies().isEmpty())
                policies.select(policies.policies().first().id);
        }
        if (screen == ConsoleScreen::installedApps || screen == ConsoleScreen::softwareUpdates)
            co_await window.installedApps().load();
        if (!save(window, screenInfo(screen).title))
            co_return shots;
    }
    const QList<MachineEntry> &machines = window.directory().list().machines();
    if (!machines.isEmpty()) {
        // This Mac when the fleet lists it: its telemetry is the one surely reported.
        const auto here = std::find_if(machines.cbegin(), machines.cend(), [](const MachineEntry &m) { return m.isThisMac; });
        const MachineEntry &first = here != machines.cend() ? *here : machines.first();
        window.showMachine(first.serial);
        MachineDetailModel &detail = window.machinePage().model();
        co_await detail.show(first.serial, first.name, detail.hours());
        co_await window.machinePage().notes().load();
        if (!save(window, QStringLiteral("machine ") + first.serial))
            co_return shots;
        auto *tabs = window.machinePage().findChild<QTabWidget *>(QStringLiteral("machineTabs"));
        MachineSoftwarePage &software = window.machinePage().software();
        co_await software.model().show(first.serial, first.name);
        tabs->setCurrentWidget(&software);
        const bool saved = save(window, QStringLiteral("machine software ") + first.serial);
        tabs->setCurrentIndex(0);
        if (!saved)
            co_return shots;
    }
    if (BatchSheet *sheet = window.openBatchSheet()) {
        const bool saved = save(*sheet, QStringLiteral("batch commands"));
        sheet->close();
        if (!saved)
            co_return shots;
    }
    // Settings shows one tab at a time: the sidebar pass took the first, these are the others.
    if (window.sidebarScreens().contains(ConsoleScreen::settings)) {
        window.showScreen(ConsoleScreen::settings);
        QTabWidget &tabs = window.settingsPage().tabs();
        for (int tab = 1; tab < tabs.count(); ++tab) {
            tabs.setCurrentIndex(tab);
            if (!save(window, QStringLiteral("settings ") + tabs.tabText(tab)))
                co_return shots;
        }
        tabs.setCurrentIndex(0);
    }
    co_return shots;
}

} // namespace vesk
