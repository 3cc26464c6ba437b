#pragma once

#include "console/AppChooser.h"
#include "console/MachineSoftwareModel.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vesk {

class Clock;

// The machine detail's Software tab: the reported apps, the updates on offer with their
// schedule and pin commands, and quit, launch and restart for the apps picked in the selector.
class MachineSoftwarePage : public QWidget {
    Q_OBJECT
public:
    MachineSoftwarePage(ConsoleFleet &fleet, const Clock &clock, QWidget *parent = nullptr);

    MachineSoftwareModel &model() { return m_model; }
    AppChooser &chooser() { return m_chooser; }

private:
    void refresh();
    QString selectedUpdate() const;
    std::optional<QDateTime> pickTime(const QString &title, const QString &prompt);
    void confirmRestart();

    const Clock &m_clock;
    MachineSoftwareModel m_model;
    AppChooser m_chooser;
    QLabel *m_appsText;
    QTreeWidget *m_apps;
    QLabel *m_updatesText;
    QTreeWidget *m_updates;
    QPushButton *m_schedule;
    QPushButton *m_pin;
    QLabel *m_commandText;
    QString m_shownSerial; // the selector's ticks belong to this machine
};

} // namespace vesk
