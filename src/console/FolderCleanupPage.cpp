#include "console/FolderCleanupPage.h"

#include "console/ConsoleScreens.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace vesk {

namespace {
constexpr int kHoursPerDay = 24;
} // namespace

FolderCleanupPage::FolderCleanupPage(FolderRetentionService *service, QWidget *parent)
    : LocalListPage({.title = screenInfo(ConsoleScreen::folderCleanup).title, .addButton = tr("Add Rule…"),
                     .editorTitle = tr("Cleanup rule"), .pageName = QStringLiteral("folderCleanupPage"),
                     .listName = QStringLiteral("cleanupRules"), .emptyName = QStringLiteral("cleanupEmpty"),
                     .editorName = QStringLiteral("cleanupEditor"), .problemName = QStringLiteral("cleanupProblem")},
                    parent),
      m_model(service)
{
    auto *sweepNow = new QPushButton(tr("Sweep Now"));
    m_buttons->addStretch();
    m_buttons->addWidget(m_activity);
    m_buttons->addWidget(sweepNow);
    sweepNow->setEnabled(m_model.isAvailable());
    connect(sweepNow, &QPushButton::clicked, this, [this]() { m_model.sweepNow(); });

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

    auto *folder = new QHBoxLayout;
    folder->addWidget(m_folder, 1);
    folder->addWidget(browse);
    auto *age = new QHBoxLayout;
    age->addWidget(m_age);
    age->addWidget(m_ageUnit);
    age->addStretch();
    m_form->addRow(tr("Folder"), folder);
    m_form->addRow(tr("Remove files older than"), age);
    m_form->addRow(tr("Files"), m_filter);
    m_form->addRow(tr("Always keep the newest"), m_keepNewest);
    for (QCheckBox *box : {m_enabled, m_dryRun, m_subfolders, m_emptyFolders, m_trash})
        m_form->addRow(box);

    connect(browse, &QPushButton::clicked, this, [this]() {
        const QString dir = QFileDialog::getExistingDirectory(this, tr("Folder to clean"), m_folder->text());
        if (!dir.isEmpty())
            m_folder->setText(dir);
    });
    for (QLineEdit *line : {m_name, m_folder})
        connect(line, &QLineEdit::textChanged, this, &FolderCleanupPage::showDraftProblem);
    connect(m_age, &QSpinBox::valueChanged, this, &FolderCleanupPage::showDraftProblem);
    connect(m_ageUnit, &QComboBox::currentIndexChanged, this, &FolderCleanupPage::showDraftProblem);
    finish(m_model);
}

void FolderCleanupPage::load(const QUuid &id)
{
    const RetentionRule rule = m_model.ownRule(id).value_or(RetentionRule{});
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
    showDraftProblem();
}

void FolderCleanupPage::save()
{
    const bool kept = m_model.save(draft());
    saved(kept, m_model.editError());
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

void FolderCleanupPage::showDraftProblem()
{
    m_problem->setText(m_model.problem(draft()).value_or(QString()));
}

} // namespace vesk
