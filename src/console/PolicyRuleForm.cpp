#include "console/PolicyRuleForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace vesk {

namespace {
// Monday first, as the venues' weeks are planned.
constexpr std::array<Weekdays::Day, 7> kWeekOrder{Weekdays::monday, Weekdays::tuesday,  Weekdays::wednesday,
                                                  Weekdays::thursday, Weekdays::friday, Weekdays::saturday,
                                                  Weekdays::sunday};

QTimeEdit *timeEdit(int hour, int minute)
{
    auto *edit = new QTimeEdit(QTime(hour, minute));
    edit->setDisplayFormat(QStringLiteral("HH:mm"));
    return edit;
}

QSpinBox *spin(int min, int max, const QString &suffix = {})
{
    auto *box = new QSpinBox;
    box->setRange(min, max);
    box->setSuffix(suffix);
    return box;
}

// Removes and deletes every row of a rebuilt list; a row's own button may be the caller.
void clearRows(QVBoxLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
}

void selectData(QComboBox *box, int value)
{
    box->setCurrentIndex(std::max(0, box->findData(value)));
}
} // namespace

PolicyRuleForm::PolicyRuleForm(QWidget *parent)
    : QWidget(parent), m_pages(new QStackedWidget), m_hint(new QLabel(tr("Select a rule to edit its settings.")))
{
    static_cast<QLabel *>(m_hint)->setAlignment(Qt::AlignCenter);
    m_pages->addWidget(m_hint);
    m_weeklyPage = buildWeekly();
    m_updatesPage = buildUpdates();
    m_keepAlivePage = buildKeepAlive();
    m_appRestartPage = buildAppRestart();
    m_cleanupPage = buildCleanup();
    m_sharePage = buildShare();
    for (QWidget *page : {m_weeklyPage, m_updatesPage, m_keepAlivePage, m_appRestartPage, m_cleanupPage, m_sharePage})
        m_pages->addWidget(page);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);
}

void PolicyRuleForm::showRule(PolicyFormModel *model, std::optional<PolicyRuleRow> row)
{
    m_model = model;
    if (!model || !row) {
        m_pages->setCurrentWidget(m_hint);
        return;
    }
    m_row = *row;
    fill();
}

void PolicyRuleForm::changed()
{
    if (!m_filling)
        emit edited();
}

// Each field writes its value into the shown rule, except while the form is being filled.
void PolicyRuleForm::onToggle(QCheckBox *box, std::function<void(bool)> write)
{
    connect(box, &QCheckBox::toggled, this, [this, write](bool on) {
        if (!m_filling) {
            write(on);
            changed();
        }
    });
}

void PolicyRuleForm::onNumber(QSpinBox *box, std::function<void(int)> write)
{
    connect(box, &QSpinBox::valueChanged, this, [this, write](int value) {
        if (!m_filling) {
            write(value);
            changed();
        }
    });
}

void PolicyRuleForm::onChoice(QComboBox *box, std::function<void(int)> write)
{
    connect(box, &QComboBox::currentIndexChanged, this, [this, box, write]() {
        if (!m_filling) {
            write(box->currentData().toInt());
            changed();
        }
    });
}

void PolicyRuleForm::onText(QLineEdit *edit, std::function<void(const QString &)> write)
{
    connect(edit, &QLineEdit::textEdited, this, [this, write](const QString &text) {
        write(text);
        changed();
    });
}

RestartSchedule &PolicyRuleForm::weekly()
{
    return m_model->rules().restartSchedule;
}

UpdatePolicy &PolicyRuleForm::updates()
{
    return m_model->rules().updatePolicy;
}

KeepAliveRule &PolicyRuleForm::keepAlive()
{
    return m_model->rules().keepAliveRules[m_row.index];
}

AppRestartRule &PolicyRuleForm::appRestart()
{
    return m_model->rules().appRestartRules[m_row.index];
}

RetentionRule &PolicyRuleForm::cleanup()
{
    return m_model->rules().retentionRules[m_row.index];
}

MonitoredShare &PolicyRuleForm::share()
{
    return m_model->rules().monitoredShares[m_row.index];
}

QWidget *PolicyRuleForm::daysRow(Days &days, std::function<Weekdays &()> target)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < kWeekOrder.size(); ++i) {
        auto *box = new QCheckBox(QLocale().dayName(int(i) + 1, QLocale::ShortFormat));
        days.boxes[i] = box;
        line->addWidget(box);
        const Weekdays::Day day = kWeekOrder[i];
        connect(box, &QCheckBox::toggled, this, [this, target, day](bool on) {
            if (m_filling)
                return;
            Weekdays &set = target();
            if (on)
                set.insert(day);
            else
                set.remove(day);
            changed();
        });
    }
    line->addStretch(1);
    return row;
}

void PolicyRuleForm::setDays(const Days &days, Weekdays value)
{
    for (std::size_t i = 0; i < kWeekOrder.size(); ++i)
        days.boxes[i]->setChecked(value.contains(kWeekOrder[i]));
}

QWidget *PolicyRuleForm::buildWeekly()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_weeklyEnabled = new QCheckBox(tr("Restart the machines on a schedule"));
    m_weeklyEnabled->setObjectName(QStringLiteral("weeklyRestartEnabled"));
    m_weeklyTime = timeEdit(1, 0);
    form->addRow(m_weeklyEnabled);
    form->addRow(tr("At"), m_weeklyTime);
    form->addRow(tr("Days"), daysRow(m_weeklyDays, [this]() -> Weekdays & { return weekly().days; }));
    onToggle(m_weeklyEnabled, [this](bool on) { weekly().enabled = on; });
    connect(m_weeklyTime, &QTimeEdit::timeChanged, this, [this](QTime at) {
        if (!m_filling) {
            weekly().hour = at.hour();
            weekly().minute = at.minute();
            changed();
        }
    });
    return page;
}

QWidget *PolicyRuleForm::buildUpdates()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_updateMode = new QComboBox;
    m_updateMode->setObjectName(QStringLiteral("updateMode"));
    for (const UpdatePolicy::Mode mode :
         {UpdatePolicy::Mode::adminApproved, UpdatePolicy::Mode::automatic, UpdatePolicy::Mode::localAllowed})
        m_updateMode->addItem(PolicyFormModel::modeName(mode), int(mode));
    m_updateDescription = new QLabel;
    m_updateDescription->setWordWrap(true);
    m_updateStart = spin(0, 23, QStringLiteral(":00"));
    m_updateStart->setObjectName(QStringLiteral("updateWindowStart"));
    m_updateEnd = spin(0, 23, QStringLiteral(":00"));
    m_updateEnd->setObjectName(QStringLiteral("updateWindowEnd"));
    m_pins = new QLabel;
    m_pins->setWordWrap(true);
    form->addRow(tr("Installs"), m_updateMode);
    form->addRow(m_updateDescription);
    form->addRow(tr("Window opens"), m_updateStart);
    form->addRow(tr("Window closes"), m_updateEnd);
    form->addRow(tr("Days"), daysRow(m_updateDays, [this]() -> Weekdays & { return updates().days; }));
    form->addRow(tr("Pinned versions"), m_pins);
    onChoice(m_updateMode, [this](int mode) {
        updates().mode = UpdatePolicy::Mode(mode);
        m_updateDescription->setText(UpdatePolicy::description(updates().mode));
    });
    onNumber(m_updateStart, [this](int hour) { updates().windowStart = hour; });
    onNumber(m_updateEnd, [this](int hour) { updates().windowEnd = hour; });
    return page;
}

QWidget *PolicyRuleForm::buildKeepAlive()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_keepAliveName = new QLineEdit;
    m_keepAliveName->setObjectName(QStringLiteral("keepAliveName"));
    m_keepAliveApps = new QPlainTextEdit;
    m_keepAliveApps->setObjectName(QStringLiteral("keepAliveApps"));
    m_keepAliveApps->setPlaceholderText(tr("One bundle ID per line, e.g. com.lumora.capture"));
    m_keepAliveApps->setMaximumHeight(80);
    auto *windows = new QWidget;
    auto *windowColumn = new QVBoxLayout(windows);
    windowColumn->setContentsMargins(0, 0, 0, 0);
    m_windows = new QVBoxLayout;
    m_allDay = new QLabel(tr("No windows: the apps are kept running all day."));
    auto *addWindow = new QPushButton(tr("Add Window"));
    addWindow->setObjectName(QStringLiteral("addWindow"));
    windowColumn->addLayout(m_windows);
    windowColumn->addWidget(m_allDay);
    windowColumn->addWidget(addWindow, 0, Qt::AlignLeft);
    form->addRow(tr("Name"), m_keepAliveName);
    form->addRow(tr("Apps"), m_keepAliveApps);
    form->addRow(tr("Windows"), windows);
    form->addRow(tr("Days"), daysRow(m_keepAliveDays, [this]() -> Weekdays & { return keepAlive().days; }));
    onText(m_keepAliveName, [this](const QString &text) { keepAlive().name = text; });
    connect(m_keepAliveApps, &QPlainTextEdit::textChanged, this, [this]() {
        if (!m_filling) {
            keepAlive().bundleIds = PolicyFormModel::bundleIds(m_keepAliveApps->toPlainText());
            changed();
        }
    });
    connect(addWindow, &QPushButton::clicked, this, [this]() {
        keepAlive().windows.append(TimeWindow{QUuid::createUuid(), 9, 0, 17, 0});
        rebuildWindows();
        changed();
    });
    return page;
}

void PolicyRuleForm::rebuildWindows()
{
    clearRows(m_windows);
    const QList<TimeWindow> &windows = keepAlive().windows;
    m_allDay->setVisible(windows.isEmpty());
    for (int i = 0; i < windows.size(); ++i) {
        const TimeWindow &window = windows.at(i);
        auto *row = new QWidget;
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        QTimeEdit *start = timeEdit(window.startHour, window.startMinute);
        QTimeEdit *end = timeEdit(window.endHour, window.endMinute);
        start->setObjectName(QStringLiteral("windowStart%1").arg(i));
        end->setObjectName(QStringLiteral("windowEnd%1").arg(i));
        auto *remove = new QPushButton(tr("Remove"));
        line->addWidget(start);
        line->addWidget(new QLabel(tr("to")));
        line->addWidget(end);
        line->addWidget(remove);
        line->addStretch(1);
        m_windows->addWidget(row);
        connect(start, &QTimeEdit::timeChanged, this, [this, i](QTime at) {
            keepAlive().windows[i].startHour = at.hour();
            keepAlive().windows[i].startMinute = at.minute();
            changed();
        });
        connect(end, &QTimeEdit::timeChanged, this, [this, i](QTime at) {
            keepAlive().windows[i].endHour = at.hour();
            keepAlive().windows[i].endMinute = at.minute();
            changed();
        });
        connect(remove, &QPushButton::clicked, this, [this, i]() {
            keepAlive().windows.removeAt(i);
            rebuildWindows();
            changed();
        });
    }
}

QWidget *PolicyRuleForm::buildAppRestart()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_restartApp = new QLineEdit;
    m_restartApp->setObjectName(QStringLiteral("restartApp"));
    m_restartApp->setPlaceholderText(tr("Bundle ID, e.g. com.lumora.capture"));
    m_restartTrigger = new QComboBox;
    m_restartTrigger->addItem(tr("Every few hours of running"), int(AppRestartRule::Trigger::interval));
    m_restartTrigger->addItem(tr("At set times of day"), int(AppRestartRule::Trigger::scheduled));
    m_restartInterval = spin(1, 24 * 7, tr(" h"));
    auto *times = new QWidget;
    auto *timeColumn = new QVBoxLayout(times);
    timeColumn->setContentsMargins(0, 0, 0, 0);
    m_restartTimes = new QVBoxLayout;
    auto *addTime = new QPushButton(tr("Add Time"));
    timeColumn->addLayout(m_restartTimes);
    timeColumn->addWidget(addTime, 0, Qt::AlignLeft);
    m_restartIfHung = new QCheckBox(tr("Also restart it when it stops responding"));
    m_restartMemory = spin(0, 1024 * 1024, tr(" MB"));
    m_restartMemory->setSpecialValueText(tr("No limit"));
    form->addRow(tr("App"), m_restartApp);
    form->addRow(tr("Restart"), m_restartTrigger);
    form->addRow(tr("Every"), m_restartInterval);
    form->addRow(tr("Times"), times);
    form->addRow(tr("Days"), daysRow(m_restartDays, [this]() -> Weekdays & { return appRestart().days; }));
    form->addRow(m_restartIfHung);
    form->addRow(tr("Memory limit"), m_restartMemory);
    onText(m_restartApp, [this](const QString &text) { appRestart().bundleId = text.trimmed(); });
    connect(m_restartTrigger, &QComboBox::currentIndexChanged, this, [this, times]() {
        const auto trigger = AppRestartRule::Trigger(m_restartTrigger->currentData().toInt());
        m_restartInterval->setEnabled(trigger == AppRestartRule::Trigger::interval);
        times->setEnabled(trigger == AppRestartRule::Trigger::scheduled);
        if (!m_filling) {
            appRestart().trigger = trigger;
            changed();
        }
    });
    onNumber(m_restartInterval, [this](int hours) { appRestart().intervalHours = hours; });
    connect(addTime, &QPushButton::clicked, this, [this]() {
        appRestart().scheduledTimes.append(RestartTime{QUuid::createUuid(), 4, 0});
        rebuildTimes();
        changed();
    });
    onToggle(m_restartIfHung, [this](bool on) { appRestart().restartIfHung = on; });
    onNumber(m_restartMemory,
             [this](int mb) { appRestart().maxMemoryMB = mb > 0 ? std::optional<qint64>(mb) : std::nullopt; });
    return page;
}

void PolicyRuleForm::rebuildTimes()
{
    clearRows(m_restartTimes);
    const QList<RestartTime> &times = appRestart().scheduledTimes;
    for (int i = 0; i < times.size(); ++i) {
        auto *row = new QWidget;
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        QTimeEdit *at = timeEdit(times.at(i).hour, times.at(i).minute);
        auto *remove = new QPushButton(tr("Remove"));
        line->addWidget(at);
        line->addWidget(remove);
        line->addStretch(1);
        m_restartTimes->addWidget(row);
        connect(at, &QTimeEdit::timeChanged, this, [this, i](QTime time) {
            appRestart().scheduledTimes[i].hour = time.hour();
            appRestart().scheduledTimes[i].minute = time.minute();
            changed();
        });
        connect(remove, &QPushButton::clicked, this, [this, i]() {
            appRestart().scheduledTimes.removeAt(i);
            rebuildTimes();
            changed();
        });
    }
}

QWidget *PolicyRuleForm::buildCleanup()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_cleanupName = new QLineEdit;
    m_cleanupFolder = new QLineEdit;
    m_cleanupFolder->setPlaceholderText(tr("e.g. ~/Pictures/Booth"));
    m_cleanupEnabled = new QCheckBox(tr("Enabled"));
    m_cleanupDryRun = new QCheckBox(tr("Dry run: only log what would be removed"));
    m_cleanupAge = spin(1, 24 * 3650, tr(" h"));
    m_cleanupFilter = new QComboBox;
    m_cleanupFilter->addItem(tr("All files"), int(RetentionRule::FileFilter::all));
    m_cleanupFilter->addItem(tr("Images"), int(RetentionRule::FileFilter::images));
    m_cleanupFilter->addItem(tr("Videos"), int(RetentionRule::FileFilter::videos));
    m_cleanupFilter->addItem(tr("Images and videos"), int(RetentionRule::FileFilter::media));
    m_cleanupSubfolders = new QCheckBox(tr("Include subfolders"));
    m_cleanupEmptyFolders = new QCheckBox(tr("Remove folders left empty"));
    m_cleanupTrash = new QCheckBox(tr("Move to the Trash instead of deleting"));
    m_cleanupKeep = spin(0, 1000000);
    form->addRow(tr("Name"), m_cleanupName);
    form->addRow(tr("Folder"), m_cleanupFolder);
    form->addRow(m_cleanupEnabled);
    form->addRow(m_cleanupDryRun);
    form->addRow(tr("Older than"), m_cleanupAge);
    form->addRow(tr("Files"), m_cleanupFilter);
    form->addRow(m_cleanupSubfolders);
    form->addRow(m_cleanupEmptyFolders);
    form->addRow(m_cleanupTrash);
    form->addRow(tr("Always keep newest"), m_cleanupKeep);
    onText(m_cleanupName, [this](const QString &text) { cleanup().name = text; });
    onText(m_cleanupFolder, [this](const QString &text) { cleanup().folderPath = text.trimmed(); });
    const auto flag = [this](QCheckBox *box, bool RetentionRule::*member) {
        onToggle(box, [this, member](bool on) { cleanup().*member = on; });
    };
    flag(m_cleanupEnabled, &RetentionRule::enabled);
    flag(m_cleanupDryRun, &RetentionRule::dryRun);
    flag(m_cleanupSubfolders, &RetentionRule::includeSubfolders);
    flag(m_cleanupEmptyFolders, &RetentionRule::removeEmptyFolders);
    flag(m_cleanupTrash, &RetentionRule::useTrash);
    onNumber(m_cleanupAge, [this](int hours) { cleanup().maxAgeHours = hours; });
    onNumber(m_cleanupKeep, [this](int count) { cleanup().keepNewestCount = count; });
    onChoice(m_cleanupFilter, [this](int filter) { cleanup().fileFilter = RetentionRule::FileFilter(filter); });
    return page;
}

QWidget *PolicyRuleForm::buildShare()
{
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    m_shareName = new QLineEdit;
    m_shareAddress = new QLineEdit;
    m_shareAddress->setPlaceholderText(tr("smb://server/share"));
    m_shareUser = new QLineEdit;
    m_shareUser->setPlaceholderText(tr("Empty: connect as guest"));
    m_shareEnabled = new QCheckBox(tr("Enabled"));
    m_shareRemount = new QCheckBox(tr("Mount again when it drops"));
    form->addRow(tr("Name"), m_shareName);
    form->addRow(tr("Address"), m_shareAddress);
    form->addRow(tr("User name"), m_shareUser);
    form->addRow(m_shareEnabled);
    form->addRow(m_shareRemount);
    form->addRow(new QLabel(tr("Passwords are entered on each machine; they never travel with the policy.")));
    onText(m_shareName, [this](const QString &text) { share().name = text; });
    onText(m_shareAddress, [this](const QString &text) { share().address = text.trimmed(); });
    onText(m_shareUser, [this](const QString &text) {
        const QString user = text.trimmed();
        share().username = user.isEmpty() ? std::nullopt : std::optional<QString>(user);
    });
    onToggle(m_shareEnabled, [this](bool on) { share().enabled = on; });
    onToggle(m_shareRemount, [this](bool on) { share().autoRemount = on; });
    return page;
}

void PolicyRuleForm::fill()
{
    m_filling = true;
    switch (m_row.kind) {
    case PolicyRuleKind::weeklyRestart:
        m_weeklyEnabled->setChecked(weekly().enabled);
        m_weeklyTime->setTime(QTime(weekly().hour, weekly().minute));
        setDays(m_weeklyDays, weekly().days);
        m_pages->setCurrentWidget(m_weeklyPage);
        break;
    case PolicyRuleKind::updates: {
        selectData(m_updateMode, int(updates().mode));
        m_updateDescription->setText(UpdatePolicy::description(updates().mode));
        m_updateStart->setValue(updates().windowStart);
        m_updateEnd->setValue(updates().windowEnd);
        setDays(m_updateDays, updates().days);
        QStringList pins;
        for (auto it = updates().pinnedVersions.cbegin(); it != updates().pinnedVersions.cend(); ++it)
            pins.append(QStringLiteral("%1 → %2").arg(it.key(), it.value()));
        m_pins->setText(pins.isEmpty() ? tr("None") : pins.join(QLatin1Char('\n')));
        m_pages->setCurrentWidget(m_updatesPage);
        break;
    }
    case PolicyRuleKind::keepAlive:
        m_keepAliveName->setText(keepAlive().name);
        m_keepAliveApps->setPlainText(PolicyFormModel::bundleIdsText(keepAlive().bundleIds));
        setDays(m_keepAliveDays, keepAlive().days);
        rebuildWindows();
        m_pages->setCurrentWidget(m_keepAlivePage);
        break;
    case PolicyRuleKind::appRestart:
        m_restartApp->setText(appRestart().bundleId);
        m_restartInterval->setValue(appRestart().intervalHours);
        selectData(m_restartTrigger, int(appRestart().trigger));
        m_restartInterval->setEnabled(appRestart().trigger == AppRestartRule::Trigger::interval);
        m_restartTimes->parentWidget()->setEnabled(appRestart().trigger == AppRestartRule::Trigger::scheduled);
        setDays(m_restartDays, appRestart().days);
        m_restartIfHung->setChecked(appRestart().restartIfHung);
        m_restartMemory->setValue(int(appRestart().maxMemoryMB.value_or(0)));
        rebuildTimes();
        m_pages->setCurrentWidget(m_appRestartPage);
        break;
    case PolicyRuleKind::cleanup:
        m_cleanupName->setText(cleanup().name);
        m_cleanupFolder->setText(cleanup().folderPath);
        m_cleanupEnabled->setChecked(cleanup().enabled);
        m_cleanupDryRun->setChecked(cleanup().dryRun);
        m_cleanupAge->setValue(cleanup().maxAgeHours);
        selectData(m_cleanupFilter, int(cleanup().fileFilter));
        m_cleanupSubfolders->setChecked(cleanup().includeSubfolders);
        m_cleanupEmptyFolders->setChecked(cleanup().removeEmptyFolders);
        m_cleanupTrash->setChecked(cleanup().useTrash);
        m_cleanupKeep->setValue(cleanup().keepNewestCount);
        m_pages->setCurrentWidget(m_cleanupPage);
        break;
    case PolicyRuleKind::share:
        m_shareName->setText(share().name);
        m_shareAddress->setText(share().address);
        m_shareUser->setText(share().username.value_or(QString()));
        m_shareEnabled->setChecked(share().enabled);
        m_shareRemount->setChecked(share().autoRemount);
        m_pages->setCurrentWidget(m_sharePage);
        break;
    }
    m_filling = false;
}

} // namespace vesk
