#pragma once

#include "console/PolicyFormModel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

class QFormLayout;
class QLabel;
class QStackedWidget;
class QVBoxLayout;

namespace vesk {

// The fields of one rule of the policy being edited: a page per rule kind. Every edit is
// written straight into the form model's policy and announced with edited(), so the rule
// list can retitle the row.
class PolicyRuleForm : public QWidget {
    Q_OBJECT
public:
    explicit PolicyRuleForm(QWidget *parent = nullptr);

    // Shows the rule `row` of `model`'s policy; none shows the hint to pick a rule.
    void showRule(PolicyFormModel *model, std::optional<PolicyRuleRow> row);

signals:
    void edited();

private:
    // The page of one rule kind and the steps that show the rule in its fields.
    struct Page {
        QWidget *widget = nullptr;
        std::vector<std::function<void()>> fills;
    };

    void buildWeekly(Page &page, QFormLayout *form);
    void buildUpdates(Page &page, QFormLayout *form);
    void buildKeepAlive(Page &page, QFormLayout *form);
    void buildAppRestart(Page &page, QFormLayout *form);
    void buildCleanup(Page &page, QFormLayout *form);
    void buildShare(Page &page, QFormLayout *form);
    // Ties `field` to one value of the shown rule: filling the page shows what `get` reads,
    // and an edit hands the field's new value to `set`, except while the form is being filled.
    template <typename Field, typename Get, typename Set>
    Field *bind(Page &page, Field *field, Get get, Set set);
    // The same for a field that holds `member` of the rule `rule` answers, as it is.
    template <typename Field, typename Rule, typename Value>
    Field *bind(Page &page, Field *field, Rule &(PolicyRuleForm::*rule)(), Value Rule::*member);
    QWidget *daysRow(Page &page, std::function<Weekdays &()> target);
    void fill();
    // Adds to `rows` a row of `fields` and a Remove button that runs `remove`.
    void addRemovableRow(QVBoxLayout *rows, std::initializer_list<QWidget *> fields, std::function<void()> remove);
    void rebuildWindows();
    void rebuildTimes();
    void changed();
    // The rule being shown, for the page of its kind.
    RestartSchedule &weekly() { return m_model->rules().restartSchedule; }
    UpdatePolicy &updates() { return m_model->rules().updatePolicy; }
    KeepAliveRule &keepAlive() { return m_model->rules().keepAliveRules[m_row.index]; }
    AppRestartRule &appRestart() { return m_model->rules().appRestartRules[m_row.index]; }
    RetentionRule &cleanup() { return m_model->rules().retentionRules[m_row.index]; }
    MonitoredShare &share() { return m_model->rules().monitoredShares[m_row.index]; }

    PolicyFormModel *m_model = nullptr;
    PolicyRuleRow m_row;
    bool m_filling = false;
    QStackedWidget *m_stack;
    QWidget *m_hint;
    std::array<Page, std::size_t(PolicyRuleKind::share) + 1> m_pages; // by rule kind
    QVBoxLayout *m_windows = nullptr;
    QLabel *m_allDay = nullptr;
    QVBoxLayout *m_restartTimes = nullptr;
};

} // namespace vesk
