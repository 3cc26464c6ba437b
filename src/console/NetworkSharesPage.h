#pragma once

#include "console/NetworkSharesModel.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vesk {

// The Network Shares screen over its model: the shares with their mount status, "Mount
// Now", the editor of this Mac's shares with their credentials, and the recent log.
class NetworkSharesPage : public QWidget {
    Q_OBJECT
public:
    explicit NetworkSharesPage(NetworkShareMonitor *monitor, QWidget *parent = nullptr);

    NetworkSharesModel &model() { return m_model; }

private:
    QWidget *buildEditor();
    void refresh();
    void updateButtons();
    void edit(const MonitoredShare &share);
    MonitoredShare draft() const;
    std::optional<NetworkSharesModel::Row> selectedRow() const;

    NetworkSharesModel m_model;
    MonitoredShare m_editing;
    QLabel *m_check;
    QListWidget *m_shares;
    QLabel *m_empty;
    QLabel *m_message;
    QPushButton *m_edit;
    QPushButton *m_remove;
    QPushButton *m_mount;
    QGroupBox *m_editor = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_enabled = nullptr;
    QCheckBox *m_autoRemount = nullptr;
    QLabel *m_problem = nullptr;
    QLabel *m_logTitle;
    QListWidget *m_log;
};

} // namespace vesk
