#pragma once

#include "console/NetworkScoutLog.h"

#include <QWidget>

class QLabel;
class QListWidget;

namespace vesk {

// The machine detail's network log: the trends over the range, then the newest changes.
class NetworkScoutPanel : public QWidget {
    Q_OBJECT
public:
    explicit NetworkScoutPanel(QWidget *parent = nullptr);

    void showEvents(const QList<NetworkEvent> &events);

private:
    QLabel *m_trends;
    QListWidget *m_events;
    QLabel *m_more;
    QLabel *m_empty;
};

} // namespace vesk
