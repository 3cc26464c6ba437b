#include "console/AppChooserView.h"

#include "console/ConsoleTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

AppChooserView::AppChooserView(AppChooser &chooser, const QString &searchName, QWidget *parent)
    : QWidget(parent), m_chooser(chooser), m_search(new QLineEdit), m_list(new QListWidget), m_limit(new QLabel),
      m_typed(new QLabel)
{
    m_search->setObjectName(searchName);
    m_search->setPlaceholderText(ConsoleTexts::appSearchPlaceholder);
    m_search->setClearButtonEnabled(true);
    m_list->setObjectName(searchName + QStringLiteral("Matches"));
    m_list->setUniformItemSizes(true);
    m_limit->setObjectName(searchName + QStringLiteral("Limit"));
    m_limit->setWordWrap(true);
    m_typed->setObjectName(searchName + QStringLiteral("Typed"));
    m_typed->setWordWrap(true);
    auto *hint = new QLabel(ConsoleTexts::exactBundleIdHint);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: gray"));
    auto *all = new QPushButton(ConsoleTexts::selectAllVeskApps);
    auto *clear = new QPushButton(tr("Clear"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(all);
    buttons->addWidget(clear);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_limit);
    layout->addWidget(m_typed);
    layout->addLayout(buttons);
    layout->addWidget(hint);
    layout->addStretch(); // takes the room of a hidden list
    for (QLabel *line : {m_limit, m_typed, hint})
        line->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_search, &QLineEdit::textChanged, &m_chooser, &AppChooser::setSearch);
    connect(all, &QPushButton::clicked, &m_chooser, &AppChooser::chooseAllVeskApps);
    connect(clear, &QPushButton::clicked, &m_chooser, &AppChooser::clearChoice);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (!m_filling)
            m_chooser.setChosen(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked);
    });
    // Queued: a tick redraws the list, which deletes the ticked item.
    connect(&m_chooser, &AppChooser::changed, this, &AppChooserView::refresh, Qt::QueuedConnection);
    refresh();
}

void AppChooserView::refresh()
{
    m_filling = true;
    m_list->clear();
    const QStringList &chosen = m_chooser.chosen();
    for (const AppRef &app : m_chooser.shown()) {
        auto *item = new QListWidgetItem(app.name + QStringLiteral(" — ") + app.bundleId, m_list);
        item->setData(Qt::UserRole, app.bundleId);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen.contains(app.bundleId) ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
    m_list->setVisible(!m_chooser.apps().isEmpty());
    m_limit->setText(m_chooser.limitText());
    m_limit->setVisible(!m_limit->text().isEmpty());
    m_typed->setText(m_chooser.typedText());
    m_typed->setVisible(!m_typed->text().isEmpty());
}

} // namespace vesk
