#pragma once

#include "console/SoftwareUpdatesModel.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QTreeWidget;

namespace vesk {

// "Software Updates": the filter, the policy's update line, a held critical release, and one
// row per app with its versions, its state and an Install button for an offered update.
class SoftwareUpdatesPage : public QWidget {
    Q_OBJECT
public:
    explicit SoftwareUpdatesPage(SoftwareUpdatesModel &model, QWidget *parent = nullptr);

private:
    void refresh();

    SoftwareUpdatesModel &m_model;
    QComboBox *m_filter;
    QLabel *m_policy;
    QLabel *m_held;
    QLabel *m_empty;
    QTreeWidget *m_table;
};

} // namespace vesk
