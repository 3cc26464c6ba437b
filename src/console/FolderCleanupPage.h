#pragma once

#include "console/FolderCleanupModel.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace vesk {

// The Folder Cleanup screen over its model: the rules with their last run, the editor of
// this Mac's rules (its refusal shown while typing and again on save) and the recent log.
class FolderCleanupPage : public QWidget {
    Q_OBJECT
public:
    explicit FolderCleanupPage(FolderRetentionService *service, QWidget *parent = nullptr);

    FolderCleanupModel &model() { return m_model; }

private:
    QWidget *buildEditor();
    void refresh();
    void edit(const RetentionRule &rule);
    RetentionRule draft() const;
    void showProblem();
    std::optional<RetentionRule> selectedRule() const;

    FolderCleanupModel m_model;
    RetentionRule m_editing;
    QLabel *m_sweep;
    QListWidget *m_rules;
    QLabel *m_empty;
    QPushButton *m_edit;
    QPushButton *m_remove;
    QPushButton *m_sweepNow;
    QGroupBox *m_editor = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_folder = nullptr;
    QSpinBox *m_age = nullptr;
    QComboBox *m_ageUnit = nullptr;
    QComboBox *m_filter = nullptr;
    QSpinBox *m_keepNewest = nullptr;
    QCheckBox *m_enabled = nullptr;
    QCheckBox *m_dryRun = nullptr;
    QCheckBox *m_subfolders = nullptr;
    QCheckBox *m_emptyFolders = nullptr;
    QCheckBox *m_trash = nullptr;
    QLabel *m_problem = nullptr;
    QLabel *m_logTitle;
    QListWidget *m_log;
};

} // namespace vesk
