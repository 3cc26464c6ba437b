#include "console/NetworkSharesPage.h"

#include "console/ConsoleScreens.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace vesk {

NetworkSharesPage::NetworkSharesPage(NetworkShareMonitor *monitor, QWidget *parent)
    : LocalListPage({.title = screenInfo(ConsoleScreen::networkShares).title, .addButton = tr("Add Share…"),
                     .editorTitle = tr("Network share"), .pageName = QStringLiteral("networkSharesPage"),
                     .listName = QStringLiteral("sharesList"), .emptyName = QStringLiteral("sharesEmpty"),
                     .messageName = QStringLiteral("sharesMessage"), .editorName = QStringLiteral("shareEditor"),
                     .problemName = QStringLiteral("shareProblem")},
                    parent),
      m_model(monitor)
{
    auto *mount = new QPushButton(tr("Mount Now"));
    m_rowButtons.append(mount);
    m_buttons->addWidget(mount);
    m_buttons->addStretch();
    m_buttons->addWidget(m_activity);
    connect(mount, &QPushButton::clicked, this, [this]() {
        if (!selectedId().isNull())
            m_model.mountNow(selectedId());
    });

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
    m_form->addRow(tr("Address"), m_address);
    m_form->addRow(tr("User name"), m_user);
    m_form->addRow(tr("Password"), m_password);
    m_form->addRow(m_enabled);
    m_form->addRow(m_autoRemount);

    connect(m_address, &QLineEdit::textChanged, this,
            [this]() { m_problem->setText(m_model.problem(draft()).value_or(QString())); });
    finish(m_model);
}

void NetworkSharesPage::load(const QUuid &id)
{
    const MonitoredShare share = m_model.ownShare(id).value_or(MonitoredShare{});
    m_editing = share;
    m_name->setText(share.name);
    m_address->setText(share.address);
    m_user->setText(share.username.value_or(QString()));
    m_password->clear();
    m_enabled->setChecked(share.enabled);
    m_autoRemount->setChecked(share.autoRemount);
    m_problem->setText(share.address.isEmpty() ? QString() : m_model.problem(share).value_or(QString()));
}

void NetworkSharesPage::save()
{
    QPointer<NetworkSharesPage> self(this);
    m_model.save(draft(), m_password->text().toUtf8()).then([self](bool kept) {
        if (!self)
            return;
        self->m_password->clear();
        self->saved(kept, self->m_model.message());
    });
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

} // namespace vesk
