#include "pairing/PairingStatus.h"

#include <ostream>

namespace vesk {

QString PairingStatus::headline() const
{
    switch (kind) {
    case Kind::paired:
        return QStringLiteral("Paired — receiving commands and policies");
    case Kind::notPaired:
        return QStringLiteral("Paste this account's fleet secret to connect this Mac to remote commands and "
                              "policies. Your admin gets the code from the admin portal under Devices → Fleet "
                              "Secrets — it's shown once when generated.");
    case Kind::serialUnknown:
        return QStringLiteral("This Mac isn't registered yet");
    case Kind::tenantHasNoSecret:
        return QStringLiteral("No fleet secret for this account yet");
    case Kind::needsReentry:
        return QStringLiteral("Fleet secret changed — re-pair required");
    case Kind::revoked:
        return QStringLiteral("This device was revoked by your administrator");
    }
    return {};
}

QString PairingStatus::detail() const
{
    if (kind == Kind::paired)
        return QStringLiteral("Secret on file starts with ") + preview;
    return {};
}

QString PairingStatus::fieldLabel() const
{
    return kind == Kind::notPaired ? QStringLiteral("Fleet Secret (64-character code)") : QString();
}

QString PairingStatus::actionTitle() const
{
    switch (kind) {
    case Kind::paired:
        return QStringLiteral("Unpair");
    case Kind::serialUnknown:
        return QStringLiteral("Check Again");
    default:
        return {};
    }
}

std::ostream &operator<<(std::ostream &out, const PairingStatus &status)
{
    static const char *names[] = {"paired", "notPaired", "serialUnknown", "tenantHasNoSecret", "needsReentry",
                                  "revoked"};
    out << names[int(status.kind)];
    if (status.kind == PairingStatus::Kind::paired)
        out << "(" << status.preview.toStdString() << ")";
    return out;
}

} // namespace vesk
