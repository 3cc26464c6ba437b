#include "console/SettingsSections.h"

#include "console/ConsoleContext.h"
#include "console/LockPasswordsModel.h"
#include "console/PermissionsModel.h"
#include "console/PushSettingsModel.h"
#include "console/SettingsTransferModel.h"
#include "console/UploadCredentialsModel.h"
#include "local/AppLock.h"
#include "local/SettingsTransferService.h"
#include "platform/DefaultsStore.h"
#include "settings/FleetSettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vesk::SettingsSections {

namespace {

QLabel *wrapped(const QString &text = {}, const char *name = nullptr)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    return label;
}

QWidget *column(const char *name, QVBoxLayout *&layout)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    layout = new QVBoxLayout(page);
    return page;
}

QString lockTitle(LockScope scope)
{
    switch (scope) {
    case LockScope::app: return QObject::tr("App lock");
    case LockScope::policy: return QObject::tr("Policy lock");
    case LockScope::settings: return QObject::tr("Settings lock");
    case LockScope::pause: return QObject::tr("Pause lock");
    }
    return {};
}

QLineEdit *passwordField(const QString &placeholder)
{
    auto *field = new QLineEdit;
    field->setEchoMode(QLineEdit::Password);
    field->setPlaceholderText(placeholder);
    return field;
}

// A column named `name` owning a model made of `args` and the page: `build` lays it out and
// answers how to show the model, which runs now and whenever the model changes.
template <typename Model, typename Build, typename... Args>
QWidget *section(const char *name, Build build, Args &&...args)
{
    QVBoxLayout *layout = nullptr;
    QWidget *page = column(name, layout);
    auto *model = new Model(std::forward<Args>(args)..., page);
    const auto show = build(page, layout, model);
    QObject::connect(model, &Model::changed, page, show);
    show();
    return page;
}

// A check box for the boolean default `key`, named after it.
QCheckBox *defaultBox(DefaultsStore &defaults, const QString &key, const QString &text)
{
    auto *box = new QCheckBox(text);
    box->setObjectName(key);
    box->setChecked(defaults.boolValue(key));
    QObject::connect(box, &QCheckBox::toggled, box, [&defaults, key](bool on) { defaults.setValue(key, on); });
    return box;
}

} // namespace

QWidget *locks(const ConsoleContext &context)
{
    QVBoxLayout *layout = nullptr;
    QWidget *page = column("settingsLocks", layout);
    AppLock &lock = context.lock;
    auto *model = new LockPasswordsModel(&lock, page);
    layout->addWidget(
        defaultBox(context.defaults, AppLock::autoLockOnLaunchKey, QObject::tr("Lock management features at launch")));

    for (LockScope scope : LockPasswordsModel::scopes()) {
        auto *box = new QGroupBox(lockTitle(scope));
        box->setObjectName(QStringLiteral("lock-") + lockScopeName(scope));
        auto *form = new QFormLayout(box);
        form->addRow(wrapped(lockScopeDescription(scope)));
        auto *state = wrapped();
        form->addRow(state);
        auto *current = passwordField(QObject::tr("Current Password"));
        auto *fresh = passwordField(QObject::tr("New Password"));
        auto *confirm = passwordField(QObject::tr("Confirm Password"));
        form->addRow(QObject::tr("Current Password"), current);
        form->addRow(QObject::tr("New Password"), fresh);
        form->addRow(QObject::tr("Confirm Password"), confirm);
        auto *save = new QPushButton;
        auto *remove = new QPushButton(QObject::tr("Remove Password"));
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(save);
        buttons->addWidget(remove);
        buttons->addStretch();
        form->addRow(buttons);
        auto *message = wrapped();
        message->setObjectName(QStringLiteral("lockMessage-") + lockScopeName(scope));
        form->addRow(message);
        layout->addWidget(box);

        const auto show = [=]() {
            const bool stored = model->hasPassword(scope);
            state->setText(model->stateLine(scope));
            save->setText(stored ? QObject::tr("Change Password") : QObject::tr("Set Password"));
            current->setEnabled(stored);
            remove->setEnabled(stored);
            message->setText(model->message(scope));
        };
        QObject::connect(model, &LockPasswordsModel::changed, box, show);
        const auto clearFields = [=]() {
            for (QLineEdit *field : {current, fresh, confirm})
                field->clear();
        };
        QObject::connect(save, &QPushButton::clicked, box, [=]() {
            model->change(scope, current->text(), fresh->text(), confirm->text());
            clearFields();
        });
        QObject::connect(remove, &QPushButton::clicked, box, [=]() {
            model->remove(scope, current->text());
            clearFields();
        });
        show();
    }
    auto *lockNow = new QPushButton(QObject::tr("Lock Settings Now"));
    QObject::connect(lockNow, &QPushButton::clicked, page, [&lock, model]() {
        if (model->hasPassword(LockScope::settings))
            lock.setLocked(LockScope::settings, true);
    });
    layout->addWidget(lockNow, 0, Qt::AlignLeft);
    layout->addStretch();
    model->refresh();
    return page;
}

QWidget *push(const ConsoleContext &context)
{
    DefaultsStore &defaults = context.defaults;
    const auto build = [&defaults](QWidget *page, QVBoxLayout *layout, PushSettingsModel *model) {
        auto *channel = wrapped({}, "pushChannelLine");
        auto *token = wrapped({}, "pushTokenLine");
        layout->addWidget(channel);
        layout->addWidget(token);

        auto *scope = new QComboBox;
        scope->setObjectName(PushSettingsModel::alertScopeKey);
        scope->addItem(PushTexts::scopeAllLocations, QStringLiteral("photographer"));
        scope->addItem(PushTexts::scopeThisLocation, QStringLiteral("location"));
        const QString stored = defaults.stringValue(PushSettingsModel::alertScopeKey);
        scope->setCurrentIndex(stored == QLatin1String("location") ? 1 : 0);
        QObject::connect(scope, &QComboBox::currentIndexChanged, page, [&defaults, scope](int) {
            defaults.setValue(PushSettingsModel::alertScopeKey, scope->currentData().toString());
        });
        auto *form = new QFormLayout;
        form->addRow(QObject::tr("Alert scope"), scope);
        layout->addLayout(form);

        layout->addWidget(defaultBox(defaults, FleetSettingsKeys::agentMode, QObject::tr("Agent Mode")));
        layout->addWidget(wrapped(PushTexts::agentModeCaption));

        auto *registerButton = new QPushButton(QObject::tr("Register Token"));
        auto *registerResult = wrapped({}, "pushRegisterResult");
        auto *statusButton = new QPushButton(QObject::tr("Check Status"));
        auto *statusResult = wrapped({}, "pushStatusResult");
        auto *testButton = new QPushButton(QObject::tr("Send Test Push"));
        auto *testResult = wrapped({}, "pushTestResult");
        layout->addWidget(registerButton, 0, Qt::AlignLeft);
        layout->addWidget(registerResult);
        layout->addWidget(statusButton, 0, Qt::AlignLeft);
        layout->addWidget(statusResult);
        layout->addWidget(testButton, 0, Qt::AlignLeft);
        layout->addWidget(testResult);
        layout->addStretch();

        QObject::connect(registerButton, &QPushButton::clicked, page, [model]() { model->registerToken(); });
        QObject::connect(statusButton, &QPushButton::clicked, page, [model]() { model->checkStatus(); });
        QObject::connect(testButton, &QPushButton::clicked, page, [model]() { model->sendTestPush(); });
        return [=]() {
            channel->setText(model->channelLine());
            token->setText(model->tokenLine());
            registerResult->setText(model->registerResult());
            testResult->setText(model->testResult());
            statusResult->setText(model->statusResult());
            testButton->setEnabled(model->canTest());
        };
    };
    return section<PushSettingsModel>(
        "settingsPush", build,
        PushSettingsModel::Services{context.pushAlerts, context.pushChannel, context.alertReporting, context.notifier},
        context.defaults, context.clock, context.thisSerial);
}

QWidget *permissions(const ConsoleContext &context)
{
    const auto build = [](QWidget *page, QVBoxLayout *layout, PermissionsModel *model) {
        auto *lines = wrapped({}, "permissionLines");
        auto *recheck = new QPushButton(QObject::tr("Re-check"));
        layout->addWidget(lines);
        layout->addWidget(recheck, 0, Qt::AlignLeft);
        layout->addStretch();
        QObject::connect(recheck, &QPushButton::clicked, page, [model]() { model->recheck(); });
        return [=]() {
            lines->setText(model->lines().join(QLatin1Char('\n')));
            recheck->setEnabled(model->isAvailable() && !model->isChecking());
        };
    };
    return section<PermissionsModel>("settingsPermissions", build, context.permissions);
}

QWidget *transfer(const ConsoleContext &context)
{
    const auto build = [](QWidget *page, QVBoxLayout *layout, SettingsTransferModel *model) {
        auto *exportButton = new QPushButton(QObject::tr("Export Settings…"));
        auto *importButton = new QPushButton(QObject::tr("Import Settings…"));
        auto *result = wrapped({}, "transferResult");
        layout->addWidget(wrapped(TransferTexts::exportDescription));
        layout->addWidget(exportButton, 0, Qt::AlignLeft);
        layout->addWidget(wrapped(TransferTexts::importWarning));
        layout->addWidget(importButton, 0, Qt::AlignLeft);
        layout->addWidget(result);
        layout->addStretch();

        const QString filter = QObject::tr("Vesk Warden settings (*.json);;All files (*)");
        QObject::connect(exportButton, &QPushButton::clicked, page, [=]() {
            const QString path = QFileDialog::getSaveFileName(
                page, QObject::tr("Export Settings"),
                QDir::home().filePath(SettingsTransferModel::suggestedFileName()), filter);
            if (!path.isEmpty())
                model->exportTo(path);
        });
        QObject::connect(importButton, &QPushButton::clicked, page, [=]() {
            const QString path = QFileDialog::getOpenFileName(page, QObject::tr("Import Settings"), QDir::homePath(), filter);
            if (path.isEmpty())
                return;
            if (QMessageBox::warning(page, QObject::tr("Import Settings"), TransferTexts::importWarning,
                                     QMessageBox::Cancel | QMessageBox::Ok, QMessageBox::Cancel) != QMessageBox::Ok)
                return;
            model->importFrom(path);
        });
        return [=]() {
            result->setText(model->isAvailable() ? model->result()
                                                 : QObject::tr("Settings export and import are not available here."));
            exportButton->setEnabled(model->isAvailable() && !model->isBusy());
            importButton->setEnabled(model->isAvailable() && !model->isBusy());
        };
    };
    return section<SettingsTransferModel>("settingsTransfer", build, context.settingsTransfer);
}

QWidget *uploadCredentials(const ConsoleContext &context)
{
    const auto build = [](QWidget *page, QVBoxLayout *layout, UploadCredentialsModel *model) {
        auto *list = new QListWidget;
        list->setObjectName(QStringLiteral("credentialPairs"));
        auto *empty = wrapped({}, "credentialsEmpty");
        auto *test = new QPushButton(QObject::tr("Test Connection"));
        layout->addWidget(empty);
        layout->addWidget(list, 1);
        layout->addWidget(test, 0, Qt::AlignLeft);

        QObject::connect(list, &QListWidget::currentRowChanged, page, [test](int row) { test->setEnabled(row >= 0); });
        QObject::connect(test, &QPushButton::clicked, page, [model, list]() { model->test(list->currentRow()); });
        return [=]() {
            const int selected = list->currentRow();
            list->clear();
            for (const UploadCredentialsModel::Pair &pair : model->pairs()) {
                QString text = UploadCredentialsModel::label(pair);
                if (!pair.result.isEmpty())
                    text += QStringLiteral("\n    ") + pair.result;
                list->addItem(text);
            }
            list->setCurrentRow(std::min(selected, static_cast<int>(list->count()) - 1));
            empty->setText(model->pairs().isEmpty() ? model->emptyText() : QString());
            empty->setVisible(model->pairs().isEmpty());
            test->setEnabled(list->currentRow() >= 0);
        };
    };
    return section<UploadCredentialsModel>("settingsUploadCredentials", build, context.credentials);
}

} // namespace vesk::SettingsSections
