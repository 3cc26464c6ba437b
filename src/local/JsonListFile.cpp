#include "local/JsonListFile.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace vesk::jsonlist {

std::optional<QJsonArray> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isArray())
        return std::nullopt;
    return document.array();
}

std::optional<QString> write(const QString &path, const QJsonArray &items)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return AtomicFile::write(path, QJsonDocument(items).toJson(QJsonDocument::Indented));
}

} // namespace vesk::jsonlist
