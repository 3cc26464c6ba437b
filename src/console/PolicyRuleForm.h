#pragma once

#include "console/PolicyFormModel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;
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
    struct Days {
        std::array<QCheckBox *, 7> boxes{};
    };

    QWidget *buildWeekly();
    QWidget *buildUpdates();
    QWidget *buildKeepAlive();
    QWidget *buildAppRestart();
    QWidget *buildCleanup();
    QWidget *buildShare();
    QWidget *daysRow(Days &days, std::function<Weekdays &()> target);
    void setDays(const Days &days, Weekdays value);
    void fill();
    void rebuildWindows();
    void rebuildTimes();
    void changed();
    void onToggle(QCheckBox *box, std::function<void(bool)> write);
    void onNumber(QSpinBox *box, std::function<void(int)> write);
    void onChoice(QComboBox *box, std::function<void(int)> write);
    void onText(QLineEdit *edit, std::function<void(const QString &)> write);
    // The rule being shown, for the page of its kind.
    RestartSchedule &weekly();
    UpdatePolicy &updates();
    KeepAliveRule &keepAlive();
    AppRestartRule &appRestart();
    RetentionRule &cleanup();
    MonitoredShare &share();

    PolicyFormModel *m_model = nullptr;
    PolicyRuleRow m_row;
    bool m_filling = false;
    QStackedWidget *m_pages;
    QWidget *m_hint;

    QWidget *m_weeklyPage = nullptr;
    QCheckBox *m_weeklyEnabled = nullptr;
    QTimeEdit *m_weeklyTime = nullptr;
    Days m_weeklyDays;

    QWidget *m_updatesPage = nullptr;
    QComboBox *m_updateMode = nullptr;
    QLabel *m_updateDescription = nullptr;
    QSpinBox *m_updateStart = nullptr;
    QSpinBox *m_updateEnd = nullptr;
    Days m_updateDays;
    QLabel *m_pins = nullptr;

    QWidget *m_keepAlivePage = nullptr;
    QLineEdit *m_keepAliveName = nullptr;
    QPlainTextEdit *m_keepAliveApps = nullptr;
    QVBoxLayout *m_windows = nullptr;
    QLabel *m_allDay = nullptr;
    Days m_keepAliveDays;

    QWidget *m_appRestartPage = nullptr;
    QLineEdit *m_restartApp = nullptr;
    QComboBox *m_restartTrigger = nullptr;
    QSpinBox *m_restartInterval = nullptr;
    QVBoxLayout *m_restartTimes = nullptr;
    Days m_restartDays;
    QCheckBox *m_restartIfHung = nullptr;
    QSpinBox *m_restartMemory = nullptr;

    QWidget *m_cleanupPage = nullptr;
    QLineEdit *m_cleanupName = nullptr;
    QLineEdit *m_cleanupFolder = nullptr;
    QCheckBox *m_cleanupEnabled = nullptr;
    QCheckBox *m_cleanupDryRun = nullptr;
    QSpinBox *m_cleanupAge = nullptr;
    QComboBox *m_cleanupFilter = nullptr;
    QCheckBox *m_cleanupSubfolders = nullptr;
    QCheckBox *m_cleanupEmptyFolders = nullptr;
    QCheckBox *m_cleanupTrash = nullptr;
    QSpinBox *m_cleanupKeep = nullptr;

    QWidget *m_sharePage = nullptr;
    QLineEdit *m_shareName = nullptr;
    QLineEdit *m_shareAddress = nullptr;
    QLineEdit *m_shareUser = nullptr;
    QCheckBox *m_shareEnabled = nullptr;
    QCheckBox *m_shareRemount = nullptr;
};

} // namespace vesk
