#include "maintenance/JsonListFile.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

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
    return !AtomicFile::write(m_path, QJsonDocument(items).toJson(QJsonDocument::Indented));
}

} // namespace vesk
