#pragma once

#include "console/AppChooser.h"
#include "console/BatchCommandModel.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vesk {

class MachineListModel;

// "Send commands to multiple machines": tick machines, choose a command (and the app for the
// app commands), send, and read each machine's outcome.
class BatchSheet : public QDialog {
    Q_OBJECT
public:
    BatchSheet(ConsoleFleet &fleet, const MachineListModel &machines, QWidget *parent = nullptr);

    BatchCommandModel &model() { return m_model; }
    // The apps offered for the app commands.
    AppChooser &apps() { return m_apps; }

private:
    void refresh();
    void filterMachines(const QString &text);

    BatchCommandModel m_model;
    QLineEdit *m_filter;
    QListWidget *m_machines;
    QComboBox *m_command;
    AppChooser m_apps;
    QWidget *m_appView;
    QLabel *m_blocker;
    QPushButton *m_send;
    QListWidget *m_outcomes;
};

} // namespace vesk
