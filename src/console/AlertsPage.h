#pragma once

#include "console/AlertsModel.h"
#include "console/ConsoleContext.h"

#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace vesk {

// The Alerts screen: "Active", "History" and "Fleet" tabs over the alerts model, and the
// actions on the selected alert with the outcome of the last one.
class AlertsPage : public QWidget {
    Q_OBJECT
public:
    explicit AlertsPage(const ConsoleContext &context, QWidget *parent = nullptr);
    ~AlertsPage() override;

    AlertsModel &model() { return m_model; }
    // Loads the fleet tab again; the screen calls it each time it is shown.
    void reloadFleet();

signals:
    // "Show Machine" on a fleet alert: the window opens that machine's detail.
    void openMachine(const QString &serial);

private:
    struct Tab {
        QListWidget *rows;
        QLabel *empty;
    };
    Tab addTab(const QString &title, const char *name);
    void showTab(const Tab &tab, const AlertTab &content);
    void refresh();
    // The list and row of the selected alert in the tab shown.
    std::pair<AlertList, int> current() const;
    void updateActions();

    ConsoleContext m_context;
    std::unique_ptr<FleetSettingsStore> m_settings;
    AlertsModel m_model;
    QTabWidget *m_tabs;
    Tab m_active;
    Tab m_history;
    Tab m_fleet;
    QPushButton *m_acknowledge;
    QPushButton *m_restartApp;
    QPushButton *m_mute;
    QPushButton *m_showMachine;
    QLabel *m_actionText;
};

} // namespace vesk
