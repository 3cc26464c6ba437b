#include "console/LockPasswordsModel.h"

#include "local/AppLock.h"

#include <QPointer>

namespace vesk {

const QList<LockScope> &LockPasswordsModel::scopes()
{
    static const QList<LockScope> listed{LockScope::app, LockScope::settings, LockScope::policy, LockScope::pause};
    return listed;
}

LockPasswordsModel::LockPasswordsModel(AppLock *lock, QObject *parent) : QObject(parent), m_lock(lock) {}

QString LockPasswordsModel::stateLine(LockScope scope) const
{
    return hasPassword(scope) ? tr("Password set") : tr("No password");
}

QCoro::Task<> LockPasswordsModel::refresh()
{
    if (!m_lock)
        co_return;
    QPointer<LockPasswordsModel> self(this);
    AppLock *lock = m_lock;
    for (LockScope scope : scopes()) {
        const bool stored = co_await lock->hasPassword(scope);
        if (!self)
            co_return;
        m_hasPassword.insert(scope, stored);
    }
    emit changed();
}

QCoro::Task<> LockPasswordsModel::change(LockScope scope, QString current, QString newPassword, QString confirmation)
{
    if (!m_lock)
        co_return;
    QPointer<LockPasswordsModel> self(this);
    AppLock *lock = m_lock;
    const PasswordChange outcome =
        co_await lock->changePassword(scope, std::move(current), std::move(newPassword), std::move(confirmation));
    if (!self)
        co_return;
    if (outcome.done)
        m_hasPassword.insert(scope, true);
    setMessage(scope, outcome.message);
}

QCoro::Task<> LockPasswordsModel::remove(LockScope scope, QString current)
{
    if (!m_lock)
        co_return;
    QPointer<LockPasswordsModel> self(this);
    AppLock *lock = m_lock;
    const PasswordChange outcome = co_await lock->removePassword(scope, std::move(current));
    if (!self)
        co_return;
    if (outcome.done)
        m_hasPassword.insert(scope, false);
    setMessage(scope, outcome.message);
}

void LockPasswordsModel::setMessage(LockScope scope, const QString &text)
{
    m_messages.insert(scope, text);
    emit changed();
}

} // namespace vesk
