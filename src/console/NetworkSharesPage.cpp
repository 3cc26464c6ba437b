#include "console/NetworkSharesPage.h"

#include "console/ConsoleScreens.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

namespace {
constexpr int kShareRole = Qt::UserRole + 1;
} // namespace

NetworkSharesPage::NetworkSharesPage(NetworkShareMonitor *monitor, QWidget *parent)
    : QWidget(parent), m_model(monitor), m_check(new QLabel), m_shares(new QListWidget), m_empty(new QLabel),
      m_message(new QLabel), m_edit(new QPushButton(tr("Edit…"))), m_remove(new QPushButton(tr("Remove"))),
      m_mount(new QPushButton(tr("Mount Now"))), m_logTitle(new QLabel(tr("<b>Recent activity</b>"))), m_log(new QListWidget)
{
    setObjectName(QStringLiteral("networkSharesPage"));
    m_shares->setObjectName(QStringLiteral("sharesList"));
    m_empty->setObjectName(QStringLiteral("sharesEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_message->setObjectName(QStringLiteral("sharesMessage"));
    m_message->setWordWrap(true);
    auto *title = new QLabel(screenInfo(ConsoleScreen::networkShares).title);
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold"));
    auto *add = new QPushButton(tr("Add Share…"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_mount);
    buttons->addStretch();
    buttons->addWidget(m_check);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(buttons);
    layout->addWidget(m_message);
    layout->addWidget(m_empty);
    layout->addWidget(m_shares, 2);
    layout->addWidget(buildEditor());
    layout->addWidget(m_logTitle);
    layout->addWidget(m_log, 1);
    layout->addStretch();

    add->setEnabled(m_model.isAvailable());
    connect(add, &QPushButton::clicked, this, [this]() { edit(MonitoredShare{}); });
    connect(m_edit, &QPushButton::clicked, this, [this]() {
        if (const auto row = selectedRow(); row && !row->fromPolicy)
            edit(row->share);
    });
    connect(m_remove, &QPushButton::clicked, this, [this]() {
        if (const auto row = selectedRow(); row && !row->fromPolicy)
            m_model.remove(row->share.id);
    });
    connect(m_mount, &QPushButton::clicked, this, [this]() {
        if (const auto row = selectedRow())
            m_model.mountNow(row->share.id);
    });
    connect(m_shares, &QListWidget::currentRowChanged, this, &NetworkSharesPage::updateButtons);
    connect(&m_model, &NetworkSharesModel::changed, this, &NetworkSharesPage::refresh);
    refresh();
}

QWidget *NetworkSharesPage::buildEditor()
{
    m_editor = new QGroupBox(tr("Network share"));
    m_editor->setObjectName(QStringLiteral("shareEditor"));
    m_name = new QLineEdit;
    m_address = new QLineEdit;
    m_address->setObjectName(QStringLiteral("shareAddress"));
    m_address->setPlaceholderText(QStringLiteral("smb://server/share"));
    m_user = new QLineEdit;
    m_user->setPlaceholderText(tr("Leave empty to connect as guest"));
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(tr("Kept in this Mac's keychain; leave empty to keep the stored one"));
    m_enabled = new QCheckBox(tr("Watch this share"));
    m_autoRemount = new QCheckBox(tr("Mount it again when it drops"));
    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("shareProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b3261e"));
    auto *save = new QPushButton(tr("Save"));
    auto *cancel = new QPushButton(tr("Cancel"));
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_problem, 1);
    actions->addWidget(cancel);
    actions->addWidget(save);
    auto *form = new QFormLayout(m_editor);
    form->addRow(tr("Name"), m_name);
    form->addRow(tr("Address"), m_address);
    form->addRow(tr("User name"), m_user);
    form->addRow(tr("Password"), m_password);
    form->addRow(m_enabled);
    form->addRow(m_autoRemount);
    form->addRow(actions);
    m_editor->hide();

    connect(m_address, &QLineEdit::textChanged, this,
            [this]() { m_problem->setText(m_model.problem(draft()).value_or(QString())); });
    connect(cancel, &QPushButton::clicked, m_editor, &QWidget::hide);
    connect(save, &QPushButton::clicked, this, [this]() {
        QPointer<NetworkSharesPage> self(this);
        m_model.save(draft(), m_password->text().toUtf8()).then([self](bool kept) {
            if (!self)
                return;
            self->m_password->clear();
            if (kept)
                self->m_editor->hide();
            else
                self->m_problem->setText(self->m_model.message());
        });
    });
    return m_editor;
}

void NetworkSharesPage::edit(const MonitoredShare &share)
{
    m_editing = share;
    m_name->setText(share.name);
    m_address->setText(share.address);
    m_user->setText(share.username.value_or(QString()));
    m_password->clear();
    m_enabled->setChecked(share.enabled);
    m_autoRemount->setChecked(share.autoRemount);
    m_problem->setText(share.address.isEmpty() ? QString() : m_model.problem(share).value_or(QString()));
    m_editor->show();
    m_name->setFocus();
}

MonitoredShare NetworkSharesPage::draft() const
{
    MonitoredShare share = m_editing;
    share.name = m_name->text();
    share.address = m_address->text();
    share.username = m_user->text().trimmed().isEmpty() ? std::nullopt : std::optional<QString>(m_user->text().trimmed());
    share.enabled = m_enabled->isChecked();
    share.autoRemount = m_autoRemount->isChecked();
    return share;
}

std::optional<NetworkSharesModel::Row> NetworkSharesPage::selectedRow() const
{
    const QListWidgetItem *item = m_shares->currentItem();
    if (!item)
        return std::nullopt;
    const QUuid id = item->data(kShareRole).toUuid();
    for (const NetworkSharesModel::Row &row : m_model.rows()) {
        if (row.share.id == id)
            return row;
    }
    return std::nullopt;
}

void NetworkSharesPage::refresh()
{
    const std::optional<NetworkSharesModel::Row> selected = selectedRow();
    {
        const QSignalBlocker quiet(m_shares);
        m_shares->clear();
        for (const NetworkSharesModel::Row &row : m_model.rows()) {
            auto *item =
                new QListWidgetItem(QStringList{row.title, row.summary, row.status}.join(QLatin1Char('\n')), m_shares);
            item->setData(kShareRole, row.share.id);
            if (selected && row.share.id == selected->share.id)
                m_shares->setCurrentItem(item);
        }
    }
    m_empty->setText(m_model.emptyText());
    m_empty->setVisible(!m_model.emptyText().isEmpty());
    m_shares->setVisible(m_shares->count() > 0);
    m_message->setText(m_model.message());
    m_message->setVisible(!m_model.message().isEmpty());
    m_check->setText(m_model.checkText());
    updateButtons();
    m_log->clear();
    m_log->addItems(m_model.logLines());
    m_logTitle->setVisible(m_log->count() > 0);
    m_log->setVisible(m_log->count() > 0);
}

void NetworkSharesPage::updateButtons()
{
    const std::optional<NetworkSharesModel::Row> selected = selectedRow();
    m_edit->setEnabled(selected && !selected->fromPolicy);
    m_remove->setEnabled(selected && !selected->fromPolicy);
    m_mount->setEnabled(selected.has_value());
}

} // namespace vesk
