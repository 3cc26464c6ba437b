#include "fleetd/storage/ReleaseStore.h"

#include "fleetd/storage/SqlStatement.h"

namespace vesk::fleetd {

StoreStatus ReleaseStore::publish(const ReleaseRecord &release, const QDateTime &now)
{
    // Delete then insert, so a republished release also moves to the front of its bundle.
    SqlStatement remove(m_connection,
                        QStringLiteral("DELETE FROM releases WHERE bundle_id = :bundle AND version = :version"
                                       " AND build = :build"),
                        QStringLiteral("cannot replace release"));
    remove.bind(QStringLiteral(":bundle"), release.bundleId)
        .bind(QStringLiteral(":version"), release.version)
        .bind(QStringLiteral(":build"), release.build);
    if (!remove.exec())
        return remove.status();
    SqlStatement insert(m_connection,
                        QStringLiteral("INSERT INTO releases (bundle_id, version, build, name, download_url, sha256,"
                                       " release_notes, critical, released_at) VALUES (:bundle, :version, :build,"
                                       " :name, :url, :sha, :notes, :critical, :at)"),
                        QStringLiteral("cannot publish release"));
    insert.bind(QStringLiteral(":bundle"), release.bundleId)
        .bind(QStringLiteral(":version"), release.version)
        .bind(QStringLiteral(":build"), release.build)
        .bind(QStringLiteral(":name"), release.name)
        .bind(QStringLiteral(":url"), release.downloadUrl)
        .bind(QStringLiteral(":sha"), release.sha256)
        .bind(QStringLiteral(":notes"), release.releaseNotes)
        .bind(QStringLiteral(":critical"), release.critical ? 1 : 0)
        .bind(QStringLiteral(":at"), isoTime(now));
    return insert.run();
}

StoreResult<QList<ReleaseRecord>> ReleaseStore::list()
{
    SqlStatement select(m_connection,
                        QStringLiteral("SELECT bundle_id, name, version, build, download_url, sha256, release_notes,"
                                       " released_at, critical FROM releases ORDER BY bundle_id, id DESC"),
                        QStringLiteral("cannot list releases"));
    return select.rows([](const SqlStatement &row) {
        return ReleaseRecord{row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
                             row.value(3).toString(), row.value(4).toString(), row.value(5).toString(),
                             row.value(6).toString(), row.value(7).toString(), row.value(8).toInt() != 0};
    });
}

} // namespace vesk::fleetd
