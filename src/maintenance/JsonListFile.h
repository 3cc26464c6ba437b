#pragma once

#include <QJsonArray>
#include <QString>

#include <optional>

namespace vesk {

// A pretty-printed JSON array the agent owns, in its storage folder.
class JsonListFile {
public:
    explicit JsonListFile(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }
    // None when the file is missing or is not a JSON array.
    std::optional<QJsonArray> read() const;
    // Written whole through a temporary file and a rename; the folder is made when missing.
    bool write(const QJsonArray &items) const;

private:
    QString m_path;
};

// Decodes every element with `decode` (a record's fromJson); none when any element fails,
// so a file that is partly ours is not half-read.
template <class Record, class Decode>
std::optional<QList<Record>> decodeAll(const QJsonArray &items, Decode decode)
{
    QList<Record> records;
    for (const QJsonValue &item : items) {
        QString error;
        std::optional<Record> record = decode(item, &error);
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

} // namespace vesk
