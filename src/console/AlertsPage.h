#pragma once

#include "console/AlertsModel.h"
#include "console/ConsoleContext.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QTabWidget;

namespace vesk {

// The Alerts screen: "Active", "History" and "Fleet" tabs over the alerts model.
class AlertsPage : public QWidget {
    Q_OBJECT
public:
    explicit AlertsPage(const ConsoleContext &context, QWidget *parent = nullptr);

    AlertsModel &model() { return m_model; }
    // Loads the fleet tab again; the screen calls it each time it is shown.
    void reloadFleet();

private:
    struct Tab {
        QListWidget *rows;
        QLabel *empty;
    };
    Tab addTab(const QString &title, const char *name);
    void showTab(const Tab &tab, const AlertTab &content);
    void refresh();

    ConsoleContext m_context;
    AlertsModel m_model;
    QTabWidget *m_tabs;
    Tab m_active;
    Tab m_history;
    Tab m_fleet;
};

} // namespace vesk
