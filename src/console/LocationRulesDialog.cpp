#include "console/LocationRulesDialog.h"

#include "console/LocationRulesModel.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

LocationRulesDialog::LocationRulesDialog(LocationRulesModel &model, QWidget *parent)
    : QDialog(parent), m_model(model), m_list(new QListWidget), m_code(new QLineEdit), m_name(new QLineEdit),
      m_message(new QLabel), m_banner(new QLabel(LocationRuleTexts::mutedBanner)),
      m_mute(new QPushButton(tr("Mute Location"))), m_unmute(new QPushButton(tr("Unmute"))),
      m_remove(new QPushButton(tr("Remove")))
{
    setObjectName(QStringLiteral("locationRulesDialog"));
    setWindowTitle(tr("Location notification rules"));
    m_list->setObjectName(QStringLiteral("locationRules"));
    m_code->setObjectName(QStringLiteral("locationRuleCode"));
    m_code->setPlaceholderText(tr("Location code"));
    m_name->setObjectName(QStringLiteral("locationRuleName"));
    m_name->setPlaceholderText(tr("Name"));
    m_message->setObjectName(QStringLiteral("locationRuleMessage"));
    m_message->setWordWrap(true);

    auto *add = new QPushButton(tr("Add"));
    add->setObjectName(QStringLiteral("addLocationRule"));
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(m_code);
    addRow->addWidget(m_name, 1);
    addRow->addWidget(add);

    auto *muteMenu = new QMenu(m_mute);
    const std::pair<QString, SuppressionDuration> mutes[] = {
        {tr("Mute for 1 hour"), SuppressionDuration::oneHour},
        {tr("Mute for 24 hours"), SuppressionDuration::twentyFourHours},
        {tr("Mute until recovery"), SuppressionDuration::untilRecovery},
        {tr("Mute indefinitely"), SuppressionDuration::indefinitely},
    };
    for (const auto &[label, duration] : mutes)
        muteMenu->addAction(label, this, [this, duration]() { m_model.mute(selectedCode(), duration); });
    m_mute->setMenu(muteMenu);
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_mute);
    actions->addWidget(m_unmute);
    actions->addStretch();
    actions->addWidget(m_remove);

    auto *categories = new QGroupBox(tr("Notify for"));
    auto *grid = new QGridLayout(categories);
    for (const AlertCategory category : AlertCategories::all()) {
        auto *box = new QCheckBox(AlertCategories::rawValue(category));
        grid->addWidget(box, int(m_categories.size()) / 3, int(m_categories.size()) % 3);
        m_categories.append(box);
        connect(box, &QCheckBox::toggled, this,
                [this, category](bool on) { m_model.setCategoryEnabled(selectedCode(), category, on); });
    }

    auto *close = new QDialogButtonBox(QDialogButtonBox::Close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(addRow);
    layout->addWidget(m_message);
    layout->addWidget(m_banner);
    layout->addLayout(actions);
    layout->addWidget(categories);
    layout->addWidget(close);

    connect(add, &QPushButton::clicked, this, [this]() {
        if (m_model.add(m_code->text(), m_name->text())) {
            m_list->setCurrentRow(m_model.rowOf(m_code->text().trimmed()));
            m_code->clear();
            m_name->clear();
        }
    });
    connect(m_unmute, &QPushButton::clicked, this, [this]() { m_model.unmute(selectedCode()); });
    connect(m_remove, &QPushButton::clicked, this, [this]() { m_model.remove(selectedCode()); });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, &LocationRulesDialog::updateSelection);
    connect(&m_model, &LocationRulesModel::changed, this, &LocationRulesDialog::refresh);
    refresh();
}

QString LocationRulesDialog::selectedCode() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void LocationRulesDialog::refresh()
{
    const QString selected = selectedCode();
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const LocationRulesModel::Row &row : m_model.rows()) {
            auto *item = new QListWidgetItem(row.title + QStringLiteral(" — ") + row.status, m_list);
            item->setData(Qt::UserRole, row.locationCode);
            if (row.locationCode == selected)
                m_list->setCurrentItem(item);
        }
    }
    m_message->setText(m_model.message());
    m_message->setVisible(!m_model.message().isEmpty());
    updateSelection();
}

void LocationRulesDialog::updateSelection()
{
    const QString code = selectedCode();
    const int row = m_model.rowOf(code);
    const bool muted = row >= 0 && m_model.rows().at(row).muted;
    m_banner->setVisible(muted);
    for (QPushButton *button : {m_mute, m_unmute, m_remove})
        button->setEnabled(!code.isEmpty());
    m_unmute->setEnabled(muted);
    for (int i = 0; i < m_categories.size(); ++i) {
        const QSignalBlocker quiet(m_categories[i]);
        m_categories[i]->setEnabled(!code.isEmpty());
        m_categories[i]->setChecked(m_model.categoryEnabled(code, AlertCategories::all().at(i)));
    }
}

} // namespace vesk
