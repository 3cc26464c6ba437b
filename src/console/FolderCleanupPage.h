#pragma once

#include "console/FolderCleanupModel.h"
#include "console/LocalListPage.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace vesk {

// The Folder Cleanup screen over its model: the rules with their last run, the editor of
// this Mac's rules (its refusal shown while typing and again on save) and the recent log.
class FolderCleanupPage : public LocalListPage {
    Q_OBJECT
public:
    explicit FolderCleanupPage(FolderRetentionService *service, QWidget *parent = nullptr);

    FolderCleanupModel &model() { return m_model; }

private:
    void load(const QUuid &id) override;
    void remove(const QUuid &id) override { m_model.remove(id); }
    void save() override;
    RetentionRule draft() const;
    void showDraftProblem();

    FolderCleanupModel m_model;
    RetentionRule m_editing;
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
};

} // namespace vesk
