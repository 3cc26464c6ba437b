#include "console/FolderCleanupPage.h"

#include "console/ConsoleScreens.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vesk {

namespace {
constexpr int kRuleRole = Qt::UserRole + 1;
constexpr int kHoursPerDay = 24;
} // namespace

FolderCleanupPage::FolderCleanupPage(FolderRetentionService *service, QWidget *parent)
    : QWidget(parent), m_model(service), m_sweep(new QLabel), m_rules(new QListWidget), m_empty(new QLabel),
      m_edit(new QPushButton(tr("Edit…"))), m_remove(new QPushButton(tr("Remove"))),
      m_sweepNow(new QPushButton(tr("Sweep Now"))), m_logTitle(new QLabel(tr("<b>Recent activity</b>"))), m_log(new QListWidget)
{
    setObjectName(QStringLiteral("folderCleanupPage"));
    m_rules->setObjectName(QStringLiteral("cleanupRules"));
    m_empty->setObjectName(QStringLiteral("cleanupEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    auto *title = new QLabel(screenInfo(ConsoleScreen::folderCleanup).title);
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold"));
    auto *add = new QPushButton(tr("Add Rule…"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    buttons->addWidget(m_sweep);
    buttons->addWidget(m_sweepNow);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(buttons);
    layout->addWidget(m_empty);
    layout->addWidget(m_rules, 2);
    layout->addWidget(buildEditor());
    layout->addWidget(m_logTitle);
    layout->addWidget(m_log, 1);
    layout->addStretch();

    add->setEnabled(m_model.isAvailable());
    connect(add, &QPushButton::clicked, this, [this]() { edit(RetentionRule{}); });
    connect(m_edit, &QPushButton::clicked, this, [this]() {
        if (const auto rule = selectedRule())
            edit(*rule);
    });
    connect(m_remove, &QPushButton::clicked, this, [this]() {
        if (const auto rule = selectedRule())
            m_model.remove(rule->id);
    });
    connect(m_sweepNow, &QPushButton::clicked, this, [this]() { m_model.sweepNow(); });
    connect(m_rules, &QListWidget::currentRowChanged, this, [this]() {
        const bool own = selectedRule().has_value();
        m_edit->setEnabled(own);
        m_remove->setEnabled(own);
    });
    connect(&m_model, &FolderCleanupModel::changed, this, &FolderCleanupPage::refresh);
    refresh();
}

QWidget *FolderCleanupPage::buildEditor()
{
    m_editor = new QGroupBox(tr("Cleanup rule"));
    m_editor->setObjectName(QStringLiteral("cleanupEditor"));
    m_name = new QLineEdit;
    m_folder = new QLineEdit;
    m_folder->setObjectName(QStringLiteral("cleanupFolder"));
    m_folder->setPlaceholderText(tr("/Users/Shared/Event Exports"));
    auto *browse = new QPushButton(tr("Choose…"));
    m_age = new QSpinBox;
    m_age->setObjectName(QStringLiteral("cleanupAge"));
    m_age->setRange(0, 9999); // 0 is refused with a message rather than made impossible
    m_ageUnit = new QComboBox;
    m_ageUnit->addItem(tr("hours"), 1);
    m_ageUnit->addItem(tr("days"), kHoursPerDay);
    m_filter = new QComboBox;
    for (auto filter : {RetentionRule::FileFilter::all, RetentionRule::FileFilter::images,
                        RetentionRule::FileFilter::videos, RetentionRule::FileFilter::media})
        m_filter->addItem(FolderCleanupModel::filterLabel(filter), static_cast<int>(filter));
    m_keepNewest = new QSpinBox;
    m_keepNewest->setRange(0, 100000);
    m_enabled = new QCheckBox(tr("Enabled"));
    m_dryRun = new QCheckBox(tr("Preview only: count the files, never remove them"));
    m_subfolders = new QCheckBox(tr("Include subfolders"));
    m_emptyFolders = new QCheckBox(tr("Remove folders left empty"));
    m_trash = new QCheckBox(tr("Move files to the Trash instead of deleting them"));
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("cleanupProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b3261e"));
    auto *save = new QPushButton(tr("Save"));
    auto *cancel = new QPushButton(tr("Cancel"));

    auto *folder = new QHBoxLayout;
    folder->addWidget(m_folder, 1);
    folder->addWidget(browse);
    auto *age = new QHBoxLayout;
    age->addWidget(m_age);
    age->addWidget(m_ageUnit);
    age->addStretch();
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_problem, 1);
    actions->addWidget(cancel);
    actions->addWidget(save);
    auto *form = new QFormLayout(m_editor);
    form->addRow(tr("Name"), m_name);
    form->addRow(tr("Folder"), folder);
    form->addRow(tr("Remove files older than"), age);
    form->addRow(tr("Files"), m_filter);
    form->addRow(tr("Always keep the newest"), m_keepNewest);
    for (QCheckBox *box : {m_enabled, m_dryRun, m_subfolders, m_emptyFolders, m_trash})
        form->addRow(box);
    form->addRow(actions);
    m_editor->hide();

    connect(browse, &QPushButton::clicked, this, [this]() {
        const QString dir = QFileDialog::getExistingDirectory(this, tr("Folder to clean"), m_folder->text());
        if (!dir.isEmpty())
            m_folder->setText(dir);
    });
    for (QLineEdit *line : {m_name, m_folder})
        connect(line, &QLineEdit::textChanged, this, &FolderCleanupPage::showProblem);
    connect(m_age, &QSpinBox::valueChanged, this, &FolderCleanupPage::showProblem);
    connect(m_ageUnit, &QComboBox::currentIndexChanged, this, &FolderCleanupPage::showProblem);
    connect(cancel, &QPushButton::clicked, m_editor, &QWidget::hide);
    connect(save, &QPushButton::clicked, this, [this]() {
        if (m_model.save(draft()))
            m_editor->hide();
        else
            m_problem->setText(m_model.editError());
    });
    return m_editor;
}

void FolderCleanupPage::edit(const RetentionRule &rule)
{
    m_editing = rule;
    const bool inDays = rule.maxAgeHours > 0 && rule.maxAgeHours % kHoursPerDay == 0;
    m_name->setText(rule.name);
    m_folder->setText(rule.folderPath);
    m_ageUnit->setCurrentIndex(inDays ? 1 : 0);
    m_age->setValue(inDays ? rule.maxAgeHours / kHoursPerDay : rule.maxAgeHours);
    m_filter->setCurrentIndex(m_filter->findData(static_cast<int>(rule.fileFilter)));
    m_keepNewest->setValue(rule.keepNewestCount);
    m_enabled->setChecked(rule.enabled);
    m_dryRun->setChecked(rule.dryRun);
    m_subfolders->setChecked(rule.includeSubfolders);
    m_emptyFolders->setChecked(rule.removeEmptyFolders);
    m_trash->setChecked(rule.useTrash);
    showProblem();
    m_editor->show();
    m_name->setFocus();
}

RetentionRule FolderCleanupPage::draft() const
{
    RetentionRule rule = m_editing;
    rule.name = m_name->text();
    rule.folderPath = m_folder->text();
    rule.maxAgeHours = m_age->value() * m_ageUnit->currentData().toInt();
    rule.fileFilter = static_cast<RetentionRule::FileFilter>(m_filter->currentData().toInt());
    rule.keepNewestCount = m_keepNewest->value();
    rule.enabled = m_enabled->isChecked();
    rule.dryRun = m_dryRun->isChecked();
    rule.includeSubfolders = m_subfolders->isChecked();
    rule.removeEmptyFolders = m_emptyFolders->isChecked();
    rule.useTrash = m_trash->isChecked();
    return rule;
}

void FolderCleanupPage::showProblem()
{
    m_problem->setText(m_model.problem(draft()).value_or(QString()));
}

std::optional<RetentionRule> FolderCleanupPage::selectedRule() const
{
    const QListWidgetItem *item = m_rules->currentItem();
    if (!item || !item->data(kRuleRole).isValid())
        return std::nullopt;
    const QUuid id = item->data(kRuleRole).toUuid();
    for (const FolderCleanupModel::Row &row : m_model.rows()) {
        if (row.rule.id == id && !row.fromPolicy)
            return row.rule;
    }
    return std::nullopt;
}

void FolderCleanupPage::refresh()
{
    const QUuid selected = selectedRule() ? selectedRule()->id : QUuid();
    m_rules->clear();
    for (const FolderCleanupModel::Row &row : m_model.rows()) {
        auto *item = new QListWidgetItem(QStringList{row.title, row.summary, row.status}.join(QLatin1Char('\n')), m_rules);
        if (!row.fromPolicy)
            item->setData(kRuleRole, row.rule.id);
        if (!row.fromPolicy && row.rule.id == selected)
            m_rules->setCurrentItem(item);
    }
    m_empty->setText(m_model.emptyText());
    m_empty->setVisible(!m_model.emptyText().isEmpty());
    m_rules->setVisible(m_rules->count() > 0);
    m_sweep->setText(m_model.sweepText());
    m_sweepNow->setEnabled(m_model.isAvailable());
    const bool own = selectedRule().has_value();
    m_edit->setEnabled(own);
    m_remove->setEnabled(own);
    m_log->clear();
    m_log->addItems(m_model.logLines());
    m_logTitle->setVisible(m_log->count() > 0);
    m_log->setVisible(m_log->count() > 0);
}

} // namespace vesk
