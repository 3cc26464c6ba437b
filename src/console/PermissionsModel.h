#pragma once

#include "local/SystemPermissions.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <qcoro/qcorotask.h>

namespace vesk {

// The permissions part of Settings: one line per permission with the test that decided it,
// the signature problem when there is one, and the re-check.
class PermissionsModel final : public QObject {
    Q_OBJECT
public:
    explicit PermissionsModel(SystemPermissions *permissions, QObject *parent = nullptr);

    bool isAvailable() const { return m_permissions != nullptr; }
    bool isChecking() const { return m_checking; }
    // "Full Disk Access: granted — <detail>", "App Management: …", then any signature problem;
    // a single line saying the check is unavailable when the agent runs without it.
    QStringList lines() const;

    QCoro::Task<> recheck();

signals:
    void changed();

private:
    QPointer<SystemPermissions> m_permissions;
    bool m_checking = false;
};

} // namespace vesk
