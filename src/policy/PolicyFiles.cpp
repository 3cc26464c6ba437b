#include "policy/PolicyFiles.h"

#include "policy/PolicyCheck.h"
#include "platform/AtomicFile.h"
#include "platform/LogCategories.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

std::optional<DevicePolicy> decodePolicy(const QJsonValue &value, QString *error)
{
    std::optional<DevicePolicy> policy = DevicePolicy::fromJson(value, error);
    if (!policy)
        return std::nullopt;
    if (const std::optional<QString> bad = PolicyCheck::problem(*policy)) {
        setError(error, *bad);
        return std::nullopt;
    }
    return policy;
}

std::optional<QJsonDocument> parse(const QByteArray &bytes, QString *error)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        setError(error, parseError.errorString());
        return std::nullopt;
    }
    return document;
}

} // namespace

QString PolicyFiles::libraryPath() const
{
    return QDir(m_dir).filePath(QStringLiteral("policies.json"));
}

QString PolicyFiles::cachePath() const
{
    return QDir(m_dir).filePath(QStringLiteral("policy_cache.json"));
}

std::optional<QByteArray> PolicyFiles::read(const QString &path, QString *error) const
{
    QDir().mkpath(m_dir);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return std::nullopt;
    }
    if (file.size() > maxFileBytes) {
        setError(error, QStringLiteral("%1 bytes is more than a policy file holds").arg(file.size()));
        return std::nullopt;
    }
    return file.readAll();
}

bool PolicyFiles::write(const QString &path, const QByteArray &bytes) const
{
    QDir().mkpath(m_dir);
    if (const std::optional<QString> error = AtomicFile::write(path, bytes)) {
        qCWarning(lcPolicy).noquote() << QStringLiteral("Policy file not saved: ") + *error;
        return false;
    }
    return true;
}

std::optional<QList<DevicePolicy>> PolicyFiles::readLibrary(QString *error) const
{
    const std::optional<QByteArray> bytes = read(libraryPath(), error);
    if (!bytes)
        return std::nullopt;
    const std::optional<QJsonDocument> document = parse(*bytes, error);
    if (!document)
        return std::nullopt;
    if (!document->isArray()) {
        setError(error, QStringLiteral("expected a list of policies"));
        return std::nullopt;
    }
    QList<DevicePolicy> policies;
    const QJsonArray array = document->array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString why;
        std::optional<DevicePolicy> policy = decodePolicy(array.at(i), &why);
        if (!policy) {
            setError(error, QStringLiteral("[%1]: %2").arg(i).arg(why));
            return std::nullopt;
        }
        policies.append(std::move(*policy));
    }
    return policies;
}

bool PolicyFiles::saveLibrary(const QList<DevicePolicy> &policies) const
{
    QJsonArray array;
    for (const DevicePolicy &policy : policies)
        array.append(policy.toJson());
    return write(libraryPath(), QJsonDocument(array).toJson(QJsonDocument::Indented));
}

std::optional<DevicePolicy> PolicyFiles::readCache(QString *error) const
{
    const std::optional<QByteArray> bytes = read(cachePath(), error);
    if (!bytes)
        return std::nullopt;
    const std::optional<QJsonDocument> document = parse(*bytes, error);
    if (!document)
        return std::nullopt;
    if (!document->isObject()) {
        setError(error, QStringLiteral("expected one policy"));
        return std::nullopt;
    }
    return decodePolicy(document->object(), error);
}

bool PolicyFiles::writeCache(const DevicePolicy &policy) const
{
    return write(cachePath(), QJsonDocument(policy.toJson()).toJson(QJsonDocument::Compact));
}

} // namespace vesk
