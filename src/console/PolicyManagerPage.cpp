#include "console/PolicyManagerPage.h"

#include "console/ConsoleTexts.h"
#include "console/PolicyRuleForm.h"
#include "local/AppLock.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vesk {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
} // namespace

PolicyManagerPage::PolicyManagerPage(ConsoleFleet &fleet, AppLock &lock, const MachineListModel &machines,
                                     QWidget *parent)
    : QWidget(parent), m_lock(lock), m_machines(machines), m_model(fleet, lock), m_note(new QLabel),
      m_list(new QListWidget), m_detail(new QStackedWidget), m_empty(new QWidget), m_editor(new QWidget),
      m_lockRow(new QWidget), m_password(new QLineEdit), m_name(new QLineEdit), m_assigned(new QListWidget),
      m_ruleTabs(new QTabWidget), m_ruleArea(new QWidget), m_ruleList(new QListWidget),
      m_ruleForm(new PolicyRuleForm), m_removeRule(new QPushButton(tr("Remove Rule"))), m_rules(new QPlainTextEdit), m_save(new QPushButton(tr("Save"))), m_delete(new QPushButton(tr("Delete"))),
      m_status(new QLabel)
{
    auto *left = new QWidget;
    auto *leftColumn = new QVBoxLayout(left);
    auto *newButton = new QPushButton(tr("New Policy"));
    newButton->setObjectName(QStringLiteral("newPolicy"));
    m_note->setObjectName(QStringLiteral("policiesNote"));
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText); // it quotes what the server answered
    m_list->setObjectName(QStringLiteral("policyList"));
    leftColumn->addWidget(new QLabel(tr("<h2>Policy Manager</h2>")));
    leftColumn->addWidget(newButton);
    leftColumn->addWidget(m_note);
    leftColumn->addWidget(m_list, 1);

    auto *emptyColumn = new QVBoxLayout(m_empty);
    auto *emptyText = new QLabel(QStringLiteral("<h3>%1</h3>%2").arg(ConsoleTexts::noPolicySelected,
                                                                    ConsoleTexts::selectOrCreatePolicy));
    emptyText->setObjectName(QStringLiteral("policyEditorEmpty"));
    emptyText->setAlignment(Qt::AlignCenter);
    emptyColumn->addWidget(emptyText);

    auto *lockLine = new QHBoxLayout(m_lockRow);
    lockLine->setContentsMargins(0, 0, 0, 0);
    m_password->setObjectName(QStringLiteral("policyPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    auto *unlockButton = new QPushButton(tr("Unlock"));
    lockLine->addWidget(new QLabel(ConsoleTexts::policyLocked));
    lockLine->addWidget(m_password, 1);
    lockLine->addWidget(unlockButton);

    m_name->setObjectName(QStringLiteral("policyName"));
    m_assigned->setObjectName(QStringLiteral("policyMachines"));
    m_rules->setObjectName(QStringLiteral("policyRules"));
    m_rules->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_rules->setReadOnly(true);
    m_ruleList->setObjectName(QStringLiteral("policyRuleList"));
    m_ruleList->setMinimumWidth(240);
    // The rule form, not the machine list, gets the room.
    m_assigned->setMaximumHeight(150);
    m_ruleForm->setObjectName(QStringLiteral("policyRuleForm"));
    auto *addRule = new QPushButton(tr("Add Rule"));
    addRule->setObjectName(QStringLiteral("addRule"));
    auto *addMenu = new QMenu(addRule);
    for (const PolicyRuleKind kind : PolicyFormModel::addableKinds()) {
        addMenu->addAction(PolicyFormModel::kindName(kind), this, [this, kind]() {
            const int row = m_form.add(kind);
            listRules(row);
            ruleEdited();
        });
    }
    addRule->setMenu(addMenu);
    m_removeRule->setObjectName(QStringLiteral("removeRule"));
    auto *ruleColumn = new QVBoxLayout;
    ruleColumn->addWidget(m_ruleList, 1);
    auto *ruleButtons = new QHBoxLayout;
    ruleButtons->addWidget(addRule);
    ruleButtons->addWidget(m_removeRule);
    ruleColumn->addLayout(ruleButtons);
    auto *ruleLine = new QHBoxLayout(m_ruleArea);
    ruleLine->addLayout(ruleColumn, 2);
    ruleLine->addWidget(m_ruleForm, 3);
    m_ruleTabs->addTab(m_ruleArea, tr("Rules"));
    m_ruleTabs->addTab(m_rules, tr("JSON"));
    m_save->setObjectName(QStringLiteral("savePolicy"));
    m_delete->setObjectName(QStringLiteral("deletePolicy"));
    m_status->setObjectName(QStringLiteral("policyStatus"));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);
    auto *editorColumn = new QVBoxLayout(m_editor);
    editorColumn->addWidget(m_lockRow);
    auto *form = new QFormLayout;
    form->addRow(tr("Name"), m_name);
    form->addRow(tr("Assigned machines"), m_assigned);
    editorColumn->addLayout(form);
    editorColumn->addWidget(m_ruleTabs, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_delete);
    buttons->addWidget(m_save);
    editorColumn->addLayout(buttons);

    m_detail->addWidget(m_empty);
    m_detail->addWidget(m_editor);
    auto *split = new QSplitter;
    split->addWidget(left);
    split->addWidget(m_detail);
    split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split);

    connect(&m_model, &PolicyManagerModel::changed, this, &PolicyManagerPage::refresh);
    connect(newButton, &QPushButton::clicked, this, [this]() { m_model.createDraft(); });
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { m_model.select(item->data(kIdRole).toUuid()); });
    connect(m_save, &QPushButton::clicked, this, &PolicyManagerPage::save);
    connect(m_delete, &QPushButton::clicked, this, [this]() {
        if (m_model.selected())
            m_model.remove(m_model.selected()->id);
    });
    connect(m_ruleList, &QListWidget::currentRowChanged, this, &PolicyManagerPage::showRule);
    connect(m_ruleForm, &PolicyRuleForm::edited, this, &PolicyManagerPage::ruleEdited);
    connect(m_removeRule, &QPushButton::clicked, this, &PolicyManagerPage::removeRule);
    const auto submit = [this]() { unlock(m_password->text()); };
    connect(unlockButton, &QPushButton::clicked, this, submit);
    connect(m_password, &QLineEdit::returnPressed, this, submit);
    refresh();
}

void PolicyManagerPage::reload()
{
    m_model.load();
}

void PolicyManagerPage::refresh()
{
    const QString note = m_model.listNote();
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    m_list->clear();
    const std::optional<DevicePolicy> &selected = m_model.selected();
    for (const DevicePolicy &policy : m_model.policies()) {
        auto *item = new QListWidgetItem(policy.name, m_list);
        item->setData(kIdRole, policy.id);
        item->setSelected(selected && selected->id == policy.id);
    }
    m_detail->setCurrentWidget(selected ? m_editor : m_empty);
    // Fields are filled when another policy is shown, so a failed save keeps what was typed.
    if (selected && m_shown != selected->id)
        fillEditor();
    if (!selected)
        m_shown.reset();
    const bool editable = m_model.editable();
    m_lockRow->setVisible(!editable);
    for (QWidget *field : {static_cast<QWidget *>(m_name), static_cast<QWidget *>(m_assigned),
                           static_cast<QWidget *>(m_save), static_cast<QWidget *>(m_delete), m_ruleArea})
        field->setEnabled(editable);
    m_status->setText(m_model.statusText());
}

void PolicyManagerPage::fillEditor()
{
    const DevicePolicy &policy = *m_model.selected();
    m_shown = policy.id;
    m_name->setText(policy.name);
    m_assigned->clear();
    for (const AssignableMachine &machine : PolicyManagerModel::assignable(m_machines.machines(), policy)) {
        const QString label =
            machine.name == machine.serial ? machine.serial : QStringLiteral("%1 (%2)").arg(machine.name, machine.serial);
        auto *item = new QListWidgetItem(label, m_assigned);
        item->setData(kIdRole, machine.serial);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(machine.assigned ? Qt::Checked : Qt::Unchecked);
    }
    m_form.setPolicy(policy);
    listRules(0);
    m_rules->setPlainText(PolicyManagerModel::rulesText(policy));
}

void PolicyManagerPage::listRules(int selectRow)
{
    const QSignalBlocker quiet(m_ruleList);
    m_ruleList->clear();
    for (const PolicyRuleRow &row : m_form.rows())
        m_ruleList->addItem(row.label);
    m_ruleList->setCurrentRow(selectRow);
    showRule(m_ruleList->currentRow());
}

void PolicyManagerPage::showRule(int row)
{
    const QList<PolicyRuleRow> rows = m_form.rows();
    const std::optional<PolicyRuleRow> shown = row >= 0 && row < rows.size() ? std::optional(rows.at(row)) : std::nullopt;
    m_ruleForm->showRule(&m_form, shown);
    m_removeRule->setEnabled(shown && PolicyFormModel::addableKinds().contains(shown->kind));
}

void PolicyManagerPage::ruleEdited()
{
    const QList<PolicyRuleRow> rows = m_form.rows();
    for (int row = 0; row < m_ruleList->count() && row < rows.size(); ++row)
        m_ruleList->item(row)->setText(rows.at(row).label);
    m_rules->setPlainText(PolicyManagerModel::rulesText(m_form.rules()));
}

void PolicyManagerPage::removeRule()
{
    const int row = m_ruleList->currentRow();
    if (!m_form.remove(row))
        return;
    listRules(row - 1);
    ruleEdited();
}

void PolicyManagerPage::save()
{
    if (!m_model.selected())
        return;
    QStringList serials;
    for (int row = 0; row < m_assigned->count(); ++row) {
        const QListWidgetItem *item = m_assigned->item(row);
        if (item->checkState() == Qt::Checked)
            serials.append(item->data(kIdRole).toString());
    }
    QString error;
    const std::optional<DevicePolicy> draft = m_form.draft(m_model.selected()->id, m_name->text(), serials, &error);
    if (!draft) {
        m_status->setText(error);
        return;
    }
    m_model.save(*draft);
}

QCoro::Task<> PolicyManagerPage::unlock(QString password)
{
    QPointer<PolicyManagerPage> self(this);
    const bool opened = co_await m_lock.verify(LockScope::policy, std::move(password));
    if (!self)
        co_return;
    m_password->clear();
    if (!opened)
        m_status->setText(LockTexts::wrongAppPassword);
}

} // namespace vesk
