#include "console/LocalListModel.h"

#include <QLocale>

namespace vesk {

bool LocalListModel::isOwn(const QUuid &id) const
{
    const QList<Row> all = rows();
    return !id.isNull()
           && std::any_of(all.cbegin(), all.cend(), [&](const Row &row) { return row.id == id && !row.fromPolicy; });
}

QStringList LocalListModel::newestFirst(const QList<PolicyLogEntry> &log)
{
    QStringList lines;
    for (const PolicyLogEntry &entry : log)
        lines.prepend(when(entry.date) + QStringLiteral("  ") + entry.message);
    return lines;
}

QString LocalListModel::when(const QDateTime &at)
{
    return QLocale().toString(at.toLocalTime(), QLocale::ShortFormat);
}

} // namespace vesk
