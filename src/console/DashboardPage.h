#pragma once

#include "console/ConsoleContext.h"

#include <QWidget>

class QLabel;

namespace vesk {

// This Mac at a glance; redrawn whenever one of the services it reads reports a change.
class DashboardPage : public QWidget {
    Q_OBJECT
public:
    explicit DashboardPage(const ConsoleContext &context, QWidget *parent = nullptr);

    void refresh();

private:
    ConsoleContext m_context;
    QLabel *m_machine;
    QLabel *m_health;
    QLabel *m_apps;
    QLabel *m_policy;
    QLabel *m_updates;
    QLabel *m_alerts;
};

} // namespace vesk
