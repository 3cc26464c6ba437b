#pragma once

#include "local/LocalList.h"

#include <QDebug>
#include <QJsonArray>
#include <QString>

#include <optional>

namespace vesk {

// The file half of every JsonListFile, whatever its records.
namespace jsonlist {
// Our own lists are small; anything past this is not one of them.
inline constexpr qint64 maxFileBytes = 16LL * 1024 * 1024;
// None when the file is missing, too large or not a JSON array.
std::optional<QJsonArray> read(const QString &path);
// Pretty-printed, written whole through a temporary file and a rename; the folder is made
// when missing. The reason when it could not be written.
std::optional<QString> write(const QString &path, const QJsonArray &items);
} // namespace jsonlist

// A list kept as a JSON array of records (each with fromJson and toJson) in one file of the
// storage folder ("retention_rules.json", "monitored_shares.json"). The service that owns the
// list keeps it here; the one-shot settings commands replace it here when that service does
// not run in this process.
template <class T>
class JsonListFile final : public LocalList<T> {
public:
    JsonListFile(const QString &dir, const QString &fileName) : m_path(dir + QLatin1Char('/') + fileName) {}

    const QString &path() const { return m_path; }

    // Empty when the file is missing, or when any record in it fails to decode: a file that is
    // partly ours is not half-read.
    QList<T> items() const override
    {
        const std::optional<QJsonArray> array = jsonlist::read(m_path);
        if (!array)
            return {};
        QList<T> items;
        for (const QJsonValue &value : *array) {
            std::optional<T> item = T::fromJson(value, nullptr);
            if (!item)
                return {};
            items.append(std::move(*item));
        }
        return items;
    }

    // The reason when the file could not be written.
    std::optional<QString> write(const QList<T> &items) const
    {
        QJsonArray array;
        for (const T &item : items)
            array.append(item.toJson());
        return jsonlist::write(m_path, array);
    }

    void replace(const QList<T> &items) override
    {
        if (const std::optional<QString> error = write(items))
            qWarning().noquote() << QStringLiteral("List not saved: ") + *error;
    }

private:
    QString m_path;
};

} // namespace vesk
