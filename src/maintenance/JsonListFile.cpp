#include "maintenance/JsonListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace vesk {

namespace {
// Larger than any list an operator keeps; a bigger file is not ours.
constexpr qint64 kMaxBytes = 8 * 1024 * 1024;
} // namespace

std::optional<QJsonArray> JsonListFile::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isArray())
        return std::nullopt;
    return document.array();
}

bool JsonListFile::write(const QJsonArray &items) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(items).toJson(QJsonDocument::Indented));
    return file.commit();
}

} // namespace vesk
