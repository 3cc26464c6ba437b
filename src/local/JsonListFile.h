#pragma once

#include "local/LocalList.h"
#include "platform/AtomicFile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

namespace vesk {

// A list kept as a pretty-printed JSON array of records in one file of the storage folder
// ("retention_rules.json", "monitored_shares.json"), for when the service that owns it does
// not run in this process (the one-shot settings commands). A missing or undecodable file
// reads as an empty list; the folder is created when the file is written.
template <class T>
class JsonListFile final : public LocalList<T> {
public:
    // Our own lists are small; anything past this is not one of them.
    static constexpr qint64 maxFileBytes = 16LL * 1024 * 1024;

    JsonListFile(QString dir, QString fileName) : m_dir(std::move(dir)), m_fileName(std::move(fileName)) {}

    QString path() const { return QDir(m_dir).filePath(m_fileName); }

    QList<T> items() const override
    {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes)
            return {};
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        const QJsonArray array = document.array();
        QList<T> items;
        for (qsizetype i = 0; i < array.size(); ++i) {
            std::optional<T> item = T::fromJson(array.at(i), nullptr);
            if (!item)
                return {};
            items.append(std::move(*item));
        }
        return items;
    }

    void replace(const QList<T> &items) override
    {
        QJsonArray array;
        for (const T &item : items)
            array.append(item.toJson());
        QDir().mkpath(m_dir);
        if (const std::optional<QString> error =
                AtomicFile::write(path(), QJsonDocument(array).toJson(QJsonDocument::Indented)))
            qWarning().noquote() << QStringLiteral("List not saved: ") + *error;
    }

private:
    QString m_dir;
    QString m_fileName;
};

} // namespace vesk
