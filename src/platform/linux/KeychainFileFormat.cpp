#include "platform/linux/KeychainFileFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace vesk {

namespace {

constexpr int kFormat = 1;

KeychainFileContents failure(const QString &why)
{
    return {{}, why};
}

} // namespace

KeychainFileContents parseKeychainFile(const QByteArray &text)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failure(QStringLiteral("not JSON (%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset));
    if (!doc.isObject())
        return failure(QStringLiteral("not a JSON object"));

    const QJsonObject root = doc.object();
    const QJsonValue format = root.value(QStringLiteral("format"));
    if (!format.isDouble() || format.toInt() != kFormat)
        return failure(QStringLiteral("unknown format"));
    const QJsonValue list = root.value(QStringLiteral("items"));
    if (!list.isArray())
        return failure(QStringLiteral("no list of items"));

    KeychainFileContents out;
    int index = 0;
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject item = entry.toObject();
        const QJsonValue service = item.value(QStringLiteral("service"));
        const QJsonValue account = item.value(QStringLiteral("account"));
        const QJsonValue value = item.value(QStringLiteral("value"));
        if (!service.isString() || !account.isString() || !value.isString())
            return failure(QStringLiteral("item %1 lacks a service, account or value").arg(index));
        const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return failure(QStringLiteral("item %1 has a value that is not base64").arg(index));
        out.items.insert({service.toString(), account.toString()}, *decoded);
        ++index;
    }
    return out;
}

QByteArray serializeKeychainFile(const KeychainItems &items)
{
    QJsonArray list;
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        list.append(QJsonObject{
            {QStringLiteral("service"), it.key().first},
            {QStringLiteral("account"), it.key().second},
            {QStringLiteral("value"), QString::fromLatin1(it.value().toBase64())},
        });
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat}, {QStringLiteral("items"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vesk
