#pragma once

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace vesk {

// A network share (smb, afp or nfs URL) kept mounted on this Mac. Carried by the
// device policy and kept in this Mac's own list. Passwords never travel with it.
struct MonitoredShare {
    QUuid id = QUuid::createUuid(); // also names the share's keychain item
    QString name;
    QString address;
    std::optional<QString> username; // none: guest
    bool enabled = true;
    bool autoRemount = true;

    // Every key but "username" is required.
    static std::optional<MonitoredShare> fromJson(const QJsonValue &json, QString *error);
    QJsonObject toJson() const;
    bool operator==(const MonitoredShare &) const = default;
};

} // namespace vesk
