#pragma once

#include "console/LocalListPage.h"
#include "console/NetworkSharesModel.h"

class QCheckBox;

namespace vesk {

// The Network Shares screen over its model: the shares with their mount status, "Mount
// Now", the editor of this Mac's shares with their credentials, and the recent log.
class NetworkSharesPage : public LocalListPage {
    Q_OBJECT
public:
    explicit NetworkSharesPage(NetworkShareMonitor *monitor, QWidget *parent = nullptr);

    NetworkSharesModel &model() { return m_model; }

private:
    void load(const QUuid &id) override;
    void remove(const QUuid &id) override { m_model.remove(id); }
    void save() override;
    MonitoredShare draft() const;

    NetworkSharesModel m_model;
    MonitoredShare m_editing;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_enabled = nullptr;
    QCheckBox *m_autoRemount = nullptr;
};

} // namespace vesk
