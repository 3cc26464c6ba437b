#pragma once

#include "console/PolicyFormModel.h"
#include "console/PolicyManagerModel.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace vesk {

class MachineListModel;
class PolicyRuleForm;

// The Policy Manager: the tenant's policies beside the editor of the selected one (name,
// the machines it is assigned to, its rules as a list with a form for the selected rule and
// a read-only JSON view). While the policy lock is engaged the editor is
// read-only and asks for the policy password.
class PolicyManagerPage : public QWidget {
    Q_OBJECT
public:
    PolicyManagerPage(ConsoleFleet &fleet, AppLock &lock, const MachineListModel &machines, QWidget *parent = nullptr);

    PolicyManagerModel &model() { return m_model; }
    // Loads the list again; the screen calls it each time it is shown.
    void reload();

private:
    void refresh();
    void fillEditor();
    void save();
    void listRules(int selectRow);
    void showRule(int row);
    void ruleEdited();
    void removeRule();
    QCoro::Task<> unlock(QString password);

    AppLock &m_lock;
    const MachineListModel &m_machines;
    PolicyManagerModel m_model;
    QLabel *m_note;
    QListWidget *m_list;
    QStackedWidget *m_detail;
    QWidget *m_empty;
    QWidget *m_editor;
    QWidget *m_lockRow;
    QLineEdit *m_password;
    QLineEdit *m_name;
    QListWidget *m_assigned;
    PolicyFormModel m_form;
    QTabWidget *m_ruleTabs;
    QWidget *m_ruleArea;
    QListWidget *m_ruleList;
    PolicyRuleForm *m_ruleForm;
    QPushButton *m_removeRule;
    QPlainTextEdit *m_rules; // the JSON view
    QPushButton *m_save;
    QPushButton *m_delete;
    QLabel *m_status;
    std::optional<QUuid> m_shown; // the policy the editor's fields were filled from
};

} // namespace vesk
