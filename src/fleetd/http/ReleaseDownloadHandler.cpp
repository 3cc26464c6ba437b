#include "fleetd/http/ReleaseDownloadHandler.h"

#include "fleetd/http/ByteRange.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/ReleaseArchives.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QUrlQuery>

namespace vesk::fleetd {

QHttpServerResponse ReleaseDownloadHandler::operator()(const QHttpServerRequest &request) const
{
    using Status = QHttpServerResponse::StatusCode;
    const QString name = QUrlQuery(request.url()).queryItemValue(QStringLiteral("file"), QUrl::FullyDecoded);
    const std::optional<QString> path =
        m_context.dbPath.isEmpty() ? std::nullopt : ReleaseArchives(m_context.dbPath).pathOf(name);
    QFile file(path.value_or(QString()));
    if (!path || !file.open(QIODevice::ReadOnly))
        return jsonError(Status::NotFound, QStringLiteral("no hosted release archive %1").arg(name));

    const qint64 size = file.size();
    const std::optional<ByteRange> range = ByteRange::parse(request.value(QByteArrayLiteral("Range")), size);
    if (range && range->unsatisfiable) {
        QHttpServerResponse refused = jsonError(Status::RequestRangeNotSatisfiable,
                                                QStringLiteral("%1 has %2 bytes").arg(name).arg(size));
        refused.setHeader(QByteArrayLiteral("Content-Range"), "bytes */" + QByteArray::number(size));
        return refused;
    }
    // Only the asked part is read, so an agent resuming a large archive costs the server that
    // part alone. The route table answers with whole responses; QHttpServer sets Content-Length.
    const qint64 first = range ? range->first : 0;
    const qint64 length = range ? range->length : size;
    QByteArray bytes;
    if (!file.seek(first) || (bytes = file.read(length)).size() != length)
        return jsonError(Status::InternalServerError, QStringLiteral("could not read %1").arg(name));
    QHttpServerResponse response(QByteArrayLiteral("application/octet-stream"), std::move(bytes),
                                 range ? Status::PartialContent : Status::Ok);
    response.setHeader(QByteArrayLiteral("Accept-Ranges"), QByteArrayLiteral("bytes"));
    if (range) {
        response.setHeader(QByteArrayLiteral("Content-Range"),
                           "bytes " + QByteArray::number(first) + '-' + QByteArray::number(first + length - 1) + '/' +
                               QByteArray::number(size));
    }
    // The stored name is "<sha256>-<original name>"; the agent keeps the original one.
    const QString original = name.section(QLatin1Char('-'), 1);
    response.setHeader(QByteArrayLiteral("Content-Disposition"),
                       QByteArrayLiteral("attachment; filename=\"") + original.toUtf8() + '"');
    return response;
}

} // namespace vesk::fleetd
