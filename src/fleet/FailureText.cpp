#include "fleet/FailureText.h"

#include "wire/FleetErrorAnswer.h"

#include <QStringDecoder>

namespace vesk {

QString failedResponseMessage(int status, const QByteArray &body)
{
    const std::optional<FleetErrorAnswer> answer = FleetErrorAnswer::decode(body);
    const QString text = answer ? answer->text() : QString();
    if (!text.isEmpty())
        return QStringLiteral("%1 (%2)").arg(text).arg(status);
    switch (status) {
    case 401:
        return QStringLiteral("Not authorized (401)");
    case 403:
        return QStringLiteral("Access denied (403)");
    case 404:
        return QStringLiteral("Not found (404)");
    case 409:
        return QStringLiteral("Conflict (409)");
    case 429:
        return QStringLiteral("Rate limited (429) — try again shortly");
    default:
        break;
    }
    if (status >= 500 && status <= 599)
        return QStringLiteral("Server error (%1)").arg(status);
    return QStringLiteral("HTTP %1").arg(status);
}

QString decodeFailureMessage(const QString &label, const QByteArray &body)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(body);
    if (utf8.hasError())
        return label + QStringLiteral(" decode failed: (binary)");
    // Count characters, not UTF-16 units, so a surrogate pair is never cut in half.
    qsizetype end = 0;
    for (int taken = 0; taken < 300 && end < text.size(); ++taken)
        end += (text.at(end).isHighSurrogate() && end + 1 < text.size()) ? 2 : 1;
    return label + QStringLiteral(" decode failed: ") + text.left(end);
}

} // namespace vesk
