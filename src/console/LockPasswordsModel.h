#pragma once

#include "local/LockScope.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

namespace vesk {

class AppLock;

// The password section of Settings: which locks have a password, and setting, changing or
// removing one with the lock's own refusals ("New passwords don't match.", ...). One result
// line per lock, so a message under one lock never shows under another.
class LockPasswordsModel final : public QObject {
    Q_OBJECT
public:
    // The locks the section offers, in the order it lists them.
    static const QList<LockScope> &scopes();

    explicit LockPasswordsModel(AppLock *lock, QObject *parent = nullptr);

    bool isAvailable() const { return m_lock != nullptr; }
    bool hasPassword(LockScope scope) const { return m_hasPassword.value(scope, false); }
    QString message(LockScope scope) const { return m_messages.value(scope); }
    // "Password set" or "No password".
    QString stateLine(LockScope scope) const;

    // Reads which locks have a password.
    QCoro::Task<> refresh();
    QCoro::Task<> change(LockScope scope, QString current, QString newPassword, QString confirmation);
    QCoro::Task<> remove(LockScope scope, QString current);

signals:
    void changed();

private:
    void setMessage(LockScope scope, const QString &text);

    AppLock *m_lock;
    QHash<LockScope, bool> m_hasPassword;
    QHash<LockScope, QString> m_messages;
};

} // namespace vesk
