#pragma once

#include "console/InstalledAppsModel.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QTreeWidget;

namespace vesk {

// "Installed Apps": this machine's family apps with version, build, state, size, last use
// and location, filtered to all, running or stopped.
class InstalledAppsPage : public QWidget {
    Q_OBJECT
public:
    explicit InstalledAppsPage(InstalledAppsModel &model, QWidget *parent = nullptr);

private:
    void refresh();

    InstalledAppsModel &m_model;
    QComboBox *m_filter;
    QLabel *m_count;
    QLabel *m_status;
    QTreeWidget *m_table;
};

} // namespace vesk
