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

int choice(const QComboBox *box)
{
    return box->currentData().toInt();
}

void selectData(QComboBox *box, int value)
{
    box->setCurrentIndex(std::max(0, box->findData(value)));
}

// How the form hears an edit of a kind of field, reads its value and shows one.
template <typename Shown, auto editedSignal, auto readValue, auto showValue>
struct FieldKind {
    using Value = Shown;
    static constexpr auto edited = editedSignal;
    static constexpr auto read = readValue;
    static constexpr auto show = showValue;
};
template <typename Field>
struct FieldOf;
template <>
struct FieldOf<QCheckBox> : FieldKind<bool, &QCheckBox::toggled, &QCheckBox::isChecked, &QCheckBox::setChecked> {};
template <>
struct FieldOf<QSpinBox> : FieldKind<int, &QSpinBox::valueChanged, &QSpinBox::value, &QSpinBox::setValue> {};
template <>
struct FieldOf<QComboBox> : FieldKind<int, &QComboBox::currentIndexChanged, &choice, &selectData> {};
template <>
struct FieldOf<QLineEdit> : FieldKind<QString, &QLineEdit::textEdited, &QLineEdit::text, &QLineEdit::setText> {};
template <>
struct FieldOf<QTimeEdit> : FieldKind<QTime, &QTimeEdit::timeChanged, &QTimeEdit::time, &QTimeEdit::setTime> {};
template <>
struct FieldOf<QPlainTextEdit>
    : FieldKind<QString, &QPlainTextEdit::textChanged, &QPlainTextEdit::toPlainText, &QPlainTextEdit::setPlainText> {};
} // namespace

PolicyRuleForm::PolicyRuleForm(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget), m_hint(new QLabel(tr("Select a rule to edit its settings.")))
{
    static_cast<QLabel *>(m_hint)->setAlignment(Qt::AlignCenter);
    m_stack->addWidget(m_hint);
    // In the order of PolicyRuleKind.
    const std::array builders{&PolicyRuleForm::buildWeekly,     &PolicyRuleForm::buildUpdates,
                              &PolicyRuleForm::buildKeepAlive,  &PolicyRuleForm::buildAppRestart,
                              &PolicyRuleForm::buildCleanup,    &PolicyRuleForm::buildShare};
    static_assert(builders.size() == std::tuple_size_v<decltype(m_pages)>);
    for (std::size_t kind = 0; kind < builders.size(); ++kind) {
        Page &page = m_pages[kind];
        page.widget = new QWidget;
        (this->*builders[kind])(page, new QFormLayout(page.widget));
        m_stack->addWidget(page.widget);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
}

void PolicyRuleForm::showRule(PolicyFormModel *model, std::optional<PolicyRuleRow> row)
{
    m_model = model;
    if (!model || !row) {
        m_stack->setCurrentWidget(m_hint);
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

template <typename Field, typename Get, typename Set>
Field *PolicyRuleForm::bind(Page &page, Field *field, Get get, Set set)
{
    using Kind = FieldOf<Field>;
    page.fills.push_back([field, get]() { std::invoke(Kind::show, field, get()); });
    connect(field, Kind::edited, this, [this, field, set]() {
        if (!m_filling) {
            set(std::invoke(Kind::read, field));
            changed();
        }
    });
    return field;
}

template <typename Field, typename Rule, typename Value>
Field *PolicyRuleForm::bind(Page &page, Field *field, Rule &(PolicyRuleForm::*rule)(), Value Rule::*member)
{
    using Shown = typename FieldOf<Field>::Value;
    return bind(
        page, field, [this, rule, member]() { return Shown((this->*rule)().*member); },
        [this, rule, member](const Shown &value) { (this->*rule)().*member = Value(value); });
}

QWidget *PolicyRuleForm::daysRow(Page &page, std::function<Weekdays &()> target)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < kWeekOrder.size(); ++i) {
        const Weekdays::Day day = kWeekOrder[i];
        auto *box = new QCheckBox(QLocale().dayName(int(i) + 1, QLocale::ShortFormat));
        line->addWidget(bind(page, box, [target, day]() { return target().contains(day); }, [target, day](bool on) {
            if (on)
                target().insert(day);
            else
                target().remove(day);
        }));
    }
    line->addStretch(1);
    return row;
}

void PolicyRuleForm::buildWeekly(Page &page, QFormLayout *form)
{
    auto *enabled = new QCheckBox(tr("Restart the machines on a schedule"));
    enabled->setObjectName(QStringLiteral("weeklyRestartEnabled"));
    const auto at = [this]() { return QTime(weekly().hour, weekly().minute); };
    form->addRow(bind(page, enabled, &PolicyRuleForm::weekly, &RestartSchedule::enabled));
    form->addRow(tr("At"), bind(page, timeEdit(1, 0), at, [this](QTime time) {
                     weekly().hour = time.hour();
                     weekly().minute = time.minute();
                 }));
    form->addRow(tr("Days"), daysRow(page, [this]() -> Weekdays & { return weekly().days; }));
}

void PolicyRuleForm::buildUpdates(Page &page, QFormLayout *form)
{
    auto *mode = new QComboBox;
    mode->setObjectName(QStringLiteral("updateMode"));
    for (const UpdatePolicy::Mode each :
         {UpdatePolicy::Mode::adminApproved, UpdatePolicy::Mode::automatic, UpdatePolicy::Mode::localAllowed})
        mode->addItem(PolicyFormModel::modeName(each), int(each));
    auto *description = new QLabel;
    description->setWordWrap(true);
    const auto describe = [this, description]() { description->setText(UpdatePolicy::description(updates().mode)); };
    auto *start = spin(0, 23, QStringLiteral(":00"));
    start->setObjectName(QStringLiteral("updateWindowStart"));
    auto *end = spin(0, 23, QStringLiteral(":00"));
    end->setObjectName(QStringLiteral("updateWindowEnd"));
    auto *pins = new QLabel;
    pins->setWordWrap(true);
    form->addRow(tr("Installs"), bind(page, mode, [this]() { return int(updates().mode); }, [this, describe](int chosen) {
                     updates().mode = UpdatePolicy::Mode(chosen);
                     describe();
                 }));
    page.fills.push_back(describe);
    form->addRow(description);
    form->addRow(tr("Window opens"), bind(page, start, &PolicyRuleForm::updates, &UpdatePolicy::windowStart));
    form->addRow(tr("Window closes"), bind(page, end, &PolicyRuleForm::updates, &UpdatePolicy::windowEnd));
    form->addRow(tr("Days"), daysRow(page, [this]() -> Weekdays & { return updates().days; }));
    form->addRow(tr("Pinned versions"), pins);
    page.fills.push_back([this, pins]() {
        QStringList lines;
        for (auto it = updates().pinnedVersions.cbegin(); it != updates().pinnedVersions.cend(); ++it)
            lines.append(QStringLiteral("%1 → %2").arg(it.key(), it.value()));
        pins->setText(lines.isEmpty() ? tr("None") : lines.join(QLatin1Char('\n')));
    });
}

void PolicyRuleForm::buildKeepAlive(Page &page, QFormLayout *form)
{
    auto *name = new QLineEdit;
    name->setObjectName(QStringLiteral("keepAliveName"));
    auto *apps = new QPlainTextEdit;
    apps->setObjectName(QStringLiteral("keepAliveApps"));
    apps->setPlaceholderText(tr("One bundle ID per line, e.g. com.lumora.capture"));
    apps->setMaximumHeight(80);
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
    form->addRow(tr("Name"), bind(page, name, &PolicyRuleForm::keepAlive, &KeepAliveRule::name));
    form->addRow(tr("Apps"),
                 bind(page, apps, [this]() { return PolicyFormModel::bundleIdsText(keepAlive().bundleIds); },
                      [this](const QString &text) { keepAlive().bundleIds = PolicyFormModel::bundleIds(text); }));
    form->addRow(tr("Windows"), windows);
    form->addRow(tr("Days"), daysRow(page, [this]() -> Weekdays & { return keepAlive().days; }));
    page.fills.push_back([this]() { rebuildWindows(); });
    connect(addWindow, &QPushButton::clicked, this, [this]() {
        keepAlive().windows.append(TimeWindow{QUuid::createUuid(), 9, 0, 17, 0});
        rebuildWindows();
        changed();
    });
}

void PolicyRuleForm::addRemovableRow(QVBoxLayout *rows, std::initializer_list<QWidget *> fields,
                                     std::function<void()> remove)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    for (QWidget *field : fields)
        line->addWidget(field);
    auto *button = new QPushButton(tr("Remove"));
    line->addWidget(button);
    line->addStretch(1);
    rows->addWidget(row);
    connect(button, &QPushButton::clicked, this, [this, remove]() {
        remove();
        changed();
    });
}

void PolicyRuleForm::rebuildWindows()
{
    clearRows(m_windows);
    const QList<TimeWindow> &windows = keepAlive().windows;
    m_allDay->setVisible(windows.isEmpty());
    for (int i = 0; i < windows.size(); ++i) {
        const TimeWindow &window = windows.at(i);
        QTimeEdit *start = timeEdit(window.startHour, window.startMinute);
        QTimeEdit *end = timeEdit(window.endHour, window.endMinute);
        start->setObjectName(QStringLiteral("windowStart%1").arg(i));
        end->setObjectName(QStringLiteral("windowEnd%1").arg(i));
        addRemovableRow(m_windows, {start, new QLabel(tr("to")), end}, [this, i]() {
            keepAlive().windows.removeAt(i);
            rebuildWindows();
        });
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
    }
}

void PolicyRuleForm::buildAppRestart(Page &page, QFormLayout *form)
{
    auto *app = new QLineEdit;
    app->setObjectName(QStringLiteral("restartApp"));
    app->setPlaceholderText(tr("Bundle ID, e.g. com.lumora.capture"));
    auto *trigger = new QComboBox;
    trigger->addItem(tr("Every few hours of running"), int(AppRestartRule::Trigger::interval));
    trigger->addItem(tr("At set times of day"), int(AppRestartRule::Trigger::scheduled));
    auto *interval = spin(1, 24 * 7, tr(" h"));
    auto *times = new QWidget;
    auto *timeColumn = new QVBoxLayout(times);
    timeColumn->setContentsMargins(0, 0, 0, 0);
    m_restartTimes = new QVBoxLayout;
    auto *addTime = new QPushButton(tr("Add Time"));
    timeColumn->addLayout(m_restartTimes);
    timeColumn->addWidget(addTime, 0, Qt::AlignLeft);
    auto *memory = spin(0, 1024 * 1024, tr(" MB"));
    memory->setSpecialValueText(tr("No limit"));
    // The hours apply to the interval trigger, the times to the scheduled one.
    const auto enableFor = [interval, times](AppRestartRule::Trigger chosen) {
        interval->setEnabled(chosen == AppRestartRule::Trigger::interval);
        times->setEnabled(chosen == AppRestartRule::Trigger::scheduled);
    };
    connect(trigger, &QComboBox::currentIndexChanged, this,
            [trigger, enableFor]() { enableFor(AppRestartRule::Trigger(choice(trigger))); });
    const auto rule = &PolicyRuleForm::appRestart;
    form->addRow(tr("App"), bind(page, app, [this]() { return appRestart().bundleId; },
                                 [this](const QString &text) { appRestart().bundleId = text.trimmed(); }));
    form->addRow(tr("Restart"), bind(page, trigger, rule, &AppRestartRule::trigger));
    page.fills.push_back([this, enableFor]() { enableFor(appRestart().trigger); });
    form->addRow(tr("Every"), bind(page, interval, rule, &AppRestartRule::intervalHours));
    form->addRow(tr("Times"), times);
    form->addRow(tr("Days"), daysRow(page, [this]() -> Weekdays & { return appRestart().days; }));
    form->addRow(bind(page, new QCheckBox(tr("Also restart it when it stops responding")), rule,
                      &AppRestartRule::restartIfHung));
    form->addRow(tr("Memory limit"),
                 bind(page, memory, [this]() { return int(appRestart().maxMemoryMB.value_or(0)); }, [this](int mb) {
                     appRestart().maxMemoryMB = mb > 0 ? std::optional<qint64>(mb) : std::nullopt;
                 }));
    page.fills.push_back([this]() { rebuildTimes(); });
    connect(addTime, &QPushButton::clicked, this, [this]() {
        appRestart().scheduledTimes.append(RestartTime{QUuid::createUuid(), 4, 0});
        rebuildTimes();
        changed();
    });
}

void PolicyRuleForm::rebuildTimes()
{
    clearRows(m_restartTimes);
    const QList<RestartTime> &times = appRestart().scheduledTimes;
    for (int i = 0; i < times.size(); ++i) {
        QTimeEdit *at = timeEdit(times.at(i).hour, times.at(i).minute);
        addRemovableRow(m_restartTimes, {at}, [this, i]() {
            appRestart().scheduledTimes.removeAt(i);
            rebuildTimes();
        });
        connect(at, &QTimeEdit::timeChanged, this, [this, i](QTime time) {
            appRestart().scheduledTimes[i].hour = time.hour();
            appRestart().scheduledTimes[i].minute = time.minute();
            changed();
        });
    }
}

void PolicyRuleForm::buildCleanup(Page &page, QFormLayout *form)
{
    auto *folder = new QLineEdit;
    folder->setPlaceholderText(tr("e.g. ~/Pictures/Booth"));
    auto *filter = new QComboBox;
    filter->addItem(tr("All files"), int(RetentionRule::FileFilter::all));
    filter->addItem(tr("Images"), int(RetentionRule::FileFilter::images));
    filter->addItem(tr("Videos"), int(RetentionRule::FileFilter::videos));
    filter->addItem(tr("Images and videos"), int(RetentionRule::FileFilter::media));
    const auto rule = &PolicyRuleForm::cleanup;
    const auto flag = [&](const QString &text, bool RetentionRule::*member) {
        return bind(page, new QCheckBox(text), rule, member);
    };
    form->addRow(tr("Name"), bind(page, new QLineEdit, rule, &RetentionRule::name));
    form->addRow(tr("Folder"), bind(page, folder, [this]() { return cleanup().folderPath; },
                                    [this](const QString &text) { cleanup().folderPath = text.trimmed(); }));
    form->addRow(flag(tr("Enabled"), &RetentionRule::enabled));
    form->addRow(flag(tr("Dry run: only log what would be removed"), &RetentionRule::dryRun));
    form->addRow(tr("Older than"), bind(page, spin(1, 24 * 3650, tr(" h")), rule, &RetentionRule::maxAgeHours));
    form->addRow(tr("Files"), bind(page, filter, rule, &RetentionRule::fileFilter));
    form->addRow(flag(tr("Include subfolders"), &RetentionRule::includeSubfolders));
    form->addRow(flag(tr("Remove folders left empty"), &RetentionRule::removeEmptyFolders));
    form->addRow(flag(tr("Move to the Trash instead of deleting"), &RetentionRule::useTrash));
    form->addRow(tr("Always keep newest"), bind(page, spin(0, 1000000), rule, &RetentionRule::keepNewestCount));
}

void PolicyRuleForm::buildShare(Page &page, QFormLayout *form)
{
    auto *address = new QLineEdit;
    address->setPlaceholderText(tr("smb://server/share"));
    auto *user = new QLineEdit;
    user->setPlaceholderText(tr("Empty: connect as guest"));
    const auto rule = &PolicyRuleForm::share;
    form->addRow(tr("Name"), bind(page, new QLineEdit, rule, &MonitoredShare::name));
    form->addRow(tr("Address"), bind(page, address, [this]() { return share().address; },
                                     [this](const QString &text) { share().address = text.trimmed(); }));
    form->addRow(tr("User name"), bind(page, user, [this]() { return share().username.value_or(QString()); },
                                       [this](const QString &text) {
                                           const QString name = text.trimmed();
                                           share().username =
                                               name.isEmpty() ? std::nullopt : std::optional<QString>(name);
                                       }));
    form->addRow(bind(page, new QCheckBox(tr("Enabled")), rule, &MonitoredShare::enabled));
    form->addRow(bind(page, new QCheckBox(tr("Mount again when it drops")), rule, &MonitoredShare::autoRemount));
    form->addRow(new QLabel(tr("Passwords are entered on each machine; they never travel with the policy.")));
}

void PolicyRuleForm::fill()
{
    m_filling = true;
    const Page &page = m_pages[std::size_t(m_row.kind)];
    for (const std::function<void()> &show : page.fills)
        show();
    m_stack->setCurrentWidget(page.widget);
    m_filling = false;
}

} // namespace vesk
