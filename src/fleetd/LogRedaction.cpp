#include "fleetd/LogRedaction.h"

#include <QRegularExpression>

namespace vesk::fleetd {

namespace {

QtMessageHandler previousHandler = nullptr;

void redactingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString redacted = redactFleetKeys(message);
    if (previousHandler)
        previousHandler(type, context, redacted);
}

} // namespace

QString redactFleetKeys(const QString &text)
{
    // A key's code is 64 hex characters; keep its id and the first 8 (the secret's preview).
    static const QRegularExpression key(QStringLiteral(R"([0-9A-Fa-f]{64}\.(\d{1,18})\.([0-9A-Fa-f]{8})[0-9A-Fa-f]{56})"));
    if (!text.contains(QLatin1Char('.')))
        return text;
    QString result = text;
    result.replace(key, QStringLiteral("[fleet key id \\1, code \\2…]"));
    return result;
}

void installLogRedaction()
{
    QtMessageHandler previous = qInstallMessageHandler(redactingHandler);
    if (previous != redactingHandler)
        previousHandler = previous;
}

} // namespace vesk::fleetd
