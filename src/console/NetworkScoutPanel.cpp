#include "console/NetworkScoutPanel.h"

#include "console/ConsoleTexts.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace vesk {

NetworkScoutPanel::NetworkScoutPanel(QWidget *parent)
    : QWidget(parent), m_trends(new QLabel), m_events(new QListWidget), m_more(new QLabel), m_empty(new QLabel)
{
    setObjectName(QStringLiteral("networkScout"));
    m_trends->setObjectName(QStringLiteral("networkTrends"));
    m_events->setObjectName(QStringLiteral("networkEvents"));
    m_empty->setObjectName(QStringLiteral("networkEmpty"));
    m_trends->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(ConsoleTexts::networkScoutTrends)));
    layout->addWidget(m_trends);
    layout->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(ConsoleTexts::networkScoutLog)));
    layout->addWidget(m_empty);
    layout->addWidget(m_events, 1);
    layout->addWidget(m_more);
    layout->addStretch();
    showEvents({});
}

void NetworkScoutPanel::showEvents(const QList<NetworkEvent> &events)
{
    const NetworkScoutLog log = NetworkScoutLog::from(events);
    m_trends->setText(log.trends.isEmpty() ? QStringLiteral("—") : log.trends);
    m_empty->setText(log.emptyText);
    m_empty->setVisible(!log.emptyText.isEmpty());
    m_events->clear();
    m_events->addItems(log.lines);
    m_events->setVisible(!log.lines.isEmpty());
    m_more->setText(log.moreLine);
    m_more->setVisible(!log.moreLine.isEmpty());
}

} // namespace vesk
