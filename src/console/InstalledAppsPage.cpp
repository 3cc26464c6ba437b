#include "console/InstalledAppsPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vesk {

InstalledAppsPage::InstalledAppsPage(InstalledAppsModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_filter(new QComboBox), m_count(new QLabel), m_status(new QLabel),
      m_table(new QTreeWidget)
{
    setObjectName(QStringLiteral("installedAppsPage"));
    m_filter->addItem(tr("All"), static_cast<int>(InstalledAppsModel::Filter::all));
    m_filter->addItem(tr("Running"), static_cast<int>(InstalledAppsModel::Filter::running));
    m_filter->addItem(tr("Stopped"), static_cast<int>(InstalledAppsModel::Filter::stopped));
    m_count->setObjectName(QStringLiteral("installedAppsCount"));
    m_status->setObjectName(QStringLiteral("installedAppsStatus"));
    m_status->setAlignment(Qt::AlignCenter);
    m_table->setObjectName(QStringLiteral("installedApps"));
    m_table->setRootIsDecorated(false);
    m_table->setHeaderLabels({tr("Name"), tr("Version"), tr("Build"), tr("State"), tr("Size"), tr("Last Opened"),
                              tr("Location")});
    m_table->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *rescan = new QPushButton(tr("Rescan"));

    auto *top = new QHBoxLayout;
    auto *title = new QLabel(tr("Installed Apps"));
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold"));
    top->addWidget(title);
    top->addStretch();
    top->addWidget(m_filter);
    top->addWidget(rescan);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_count);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_table, 1);
    m_count->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_filter, &QComboBox::activated, this, [this](int index) {
        m_model.setFilter(static_cast<InstalledAppsModel::Filter>(m_filter->itemData(index).toInt()));
    });
    connect(rescan, &QPushButton::clicked, this, [this]() { m_model.load(); });
    connect(&m_model, &InstalledAppsModel::changed, this, &InstalledAppsPage::refresh);
    refresh();
}

void InstalledAppsPage::refresh()
{
    m_count->setText(m_model.countLine());
    m_status->setText(m_model.statusText());
    m_status->setVisible(!m_status->text().isEmpty());
    m_table->clear();
    const QLocale locale;
    for (const InstalledApp &app : m_model.shown()) {
        const QString size = app.fileSize ? locale.formattedDataSize(*app.fileSize) : QString();
        const QString opened = app.lastOpened ? locale.toString(app.lastOpened->toLocalTime(), QLocale::ShortFormat)
                                              : QString();
        auto *row = new QTreeWidgetItem(m_table, {app.name, app.version, app.build,
                                                  app.isRunning ? tr("Running") : tr("Stopped"), size, opened,
                                                  app.path});
        row->setData(0, Qt::UserRole, app.bundleId);
        row->setToolTip(0, app.bundleId);
    }
    m_table->setVisible(m_model.hasScanned() && !m_model.apps().isEmpty());
}

} // namespace vesk
