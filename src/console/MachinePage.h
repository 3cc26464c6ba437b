#pragma once

#include "console/MachineDetailModel.h"
#include "console/MachineNotesModel.h"

#include <QWidget>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;

namespace vesk {

class Clock;
class ConsoleFleet;
class MachineSoftwarePage;
class NetworkScoutPanel;

// The machine detail: the Overview (device status, telemetry charts over a chosen number of
// hours, the network changes and notes, and the restart command with its confirmation) and the
// Software tab.
class MachinePage : public QWidget {
    Q_OBJECT
public:
    // The hour ranges offered above the charts.
    static const QList<int> &hourChoices();

    // Notes added here are signed with `noteAuthor`.
    MachinePage(ConsoleFleet &fleet, const Clock &clock, QString noteAuthor = {}, QWidget *parent = nullptr);

    MachineDetailModel &model() { return m_model; }
    MachineNotesModel &notes() { return m_notes; }
    MachineSoftwarePage &software() { return *m_software; }
    void showMachine(const QString &serial, const QString &name, const QString &lastSeenLine);

private:
    void refresh();
    void confirmRestart();

    const Clock &m_clock;
    MachineDetailModel m_model;
    QLabel *m_title;
    QLabel *m_lastSeen;
    QLabel *m_status;
    QComboBox *m_hours;
    QLabel *m_telemetry;
    QChartView *m_chartView;
    QChart *m_chart;
    QLineSeries *m_cpu;
    QLineSeries *m_memory;
    QLineSeries *m_disk;
    QDateTimeAxis *m_timeAxis;
    QPushButton *m_restart;
    QLabel *m_commandResult;
    MachineNotesModel m_notes;
    NetworkScoutPanel *m_network;
    MachineSoftwarePage *m_software = nullptr;
};

} // namespace vesk
