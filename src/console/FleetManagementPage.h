#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;

namespace vesk {

class DefaultsStore;

// One reporting switch of the Fleet Management screen and the user default it writes.
struct FleetSwitch {
    QString key;
    QString label;
};

// Fleet Management: the master reporting switch, the scouts and remote-control switches under
// it, and where to look for apps to update. Each change is written to its user default at once,
// where the fleet services read it; the switches under the master are disabled while it is off.
class FleetManagementPage : public QWidget {
    Q_OBJECT
public:
    explicit FleetManagementPage(DefaultsStore &defaults, QWidget *parent = nullptr);

    // The switches under the master, in screen order.
    static const QList<FleetSwitch> &scoutSwitches();
    // What the screen says after a change: whether the scouts now report.
    static QString savedText(bool masterOn);

private:
    void refresh();

    DefaultsStore &m_defaults;
    QCheckBox *m_master;
    QList<QCheckBox *> m_scouts;
    QComboBox *m_scope;
    QLabel *m_status;
};

} // namespace vesk
