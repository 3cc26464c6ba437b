#include "console/SoftwareUpdatesPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vesk {

SoftwareUpdatesPage::SoftwareUpdatesPage(SoftwareUpdatesModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_filter(new QComboBox), m_policy(new QLabel), m_held(new QLabel),
      m_empty(new QLabel), m_table(new QTreeWidget)
{
    setObjectName(QStringLiteral("softwareUpdatesPage"));
    m_filter->addItem(tr("Updates"), static_cast<int>(SoftwareUpdatesModel::Filter::updates));
    m_filter->addItem(tr("Installed"), static_cast<int>(SoftwareUpdatesModel::Filter::installed));
    m_filter->addItem(tr("All Apps"), static_cast<int>(SoftwareUpdatesModel::Filter::all));
    m_policy->setObjectName(QStringLiteral("updatePolicyLine"));
    m_policy->setWordWrap(true);
    m_held->setObjectName(QStringLiteral("heldCriticalUpdate"));
    m_held->setWordWrap(true);
    m_held->setStyleSheet(QStringLiteral("color: #b45309; font-weight: bold"));
    m_empty->setObjectName(QStringLiteral("softwareUpdatesEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_table->setObjectName(QStringLiteral("softwareUpdates"));
    m_table->setRootIsDecorated(false);
    m_table->setHeaderLabels({tr("App"), tr("Installed"), tr("Available"), tr("Status"), QString()});
    m_table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *check = new QPushButton(tr("Check for Updates"));

    auto *top = new QHBoxLayout;
    auto *title = new QLabel(tr("Software Updates"));
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold"));
    top->addWidget(title);
    top->addStretch();
    top->addWidget(m_filter);
    top->addWidget(check);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_policy);
    layout->addWidget(m_held);
    layout->addWidget(m_empty, 1);
    layout->addWidget(m_table, 1);
    for (QLabel *line : {m_policy, m_held})
        line->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_filter, &QComboBox::activated, this, [this](int index) {
        m_model.setFilter(static_cast<SoftwareUpdatesModel::Filter>(m_filter->itemData(index).toInt()));
    });
    connect(check, &QPushButton::clicked, this, [this]() { m_model.checkNow(); });
    connect(&m_model, &SoftwareUpdatesModel::changed, this, &SoftwareUpdatesPage::refresh);
    refresh();
}

void SoftwareUpdatesPage::refresh()
{
    m_policy->setText(m_model.policyText());
    m_held->setText(m_model.heldText());
    m_held->setVisible(!m_held->text().isEmpty());
    m_empty->setText(m_model.emptyText());
    m_empty->setVisible(!m_empty->text().isEmpty());
    m_table->clear();
    const QList<SoftwareRow> rows = m_model.rows();
    for (const SoftwareRow &row : rows) {
        auto *item = new QTreeWidgetItem(m_table, {row.name, row.installedVersion, row.availableVersion, row.status});
        item->setToolTip(0, row.bundleId);
        if (!row.installable)
            continue;
        auto *install = new QPushButton(tr("Install"));
        install->setObjectName(QStringLiteral("install:") + row.bundleId);
        const QString bundleId = row.bundleId;
        // Queued: the install redraws the table, which deletes this button.
        connect(install, &QPushButton::clicked, this, [this, bundleId]() {
            QMetaObject::invokeMethod(this, [this, bundleId]() { m_model.install(bundleId); }, Qt::QueuedConnection);
        });
        m_table->setItemWidget(item, 4, install);
    }
    m_table->setVisible(!rows.isEmpty());
}

} // namespace vesk
