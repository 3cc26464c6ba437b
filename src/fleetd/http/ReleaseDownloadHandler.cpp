#include "fleetd/http/ReleaseDownloadHandler.h"

#include "fleetd/http/ByteRange.h"
#include "fleetd/http/ConnectionFront.h"
#include "fleetd/http/FileRangeBody.h"
#include "fleetd/http/JsonResponse.h"
#include "fleetd/storage/ReleaseArchives.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QUrlQuery>

#include <memory>

namespace vesk::fleetd {

void ReleaseDownloadHandler::operator()(const QHttpServerRequest &request, QHttpServerResponder &&responder) const
{
    using Status = QHttpServerResponse::StatusCode;
    const QString name = QUrlQuery(request.url()).queryItemValue(QStringLiteral("file"), QUrl::FullyDecoded);
    const std::optional<QString> path =
        m_context.dbPath.isEmpty() ? std::nullopt : ReleaseArchives(m_context.dbPath).pathOf(name);
    auto file = std::make_unique<QFile>(path.value_or(QString()));
    if (!path || !file->open(QIODevice::ReadOnly)) {
        jsonError(Status::NotFound, QStringLiteral("no hosted release archive %1").arg(name)).write(std::move(responder));
        return;
    }

    const qint64 size = file->size();
    const std::optional<ByteRange> range = ByteRange::parse(request.value(QByteArrayLiteral("Range")), size);
    if (range && range->unsatisfiable) {
        QHttpServerResponse refused = jsonError(Status::RequestRangeNotSatisfiable,
                                                QStringLiteral("%1 has %2 bytes").arg(name).arg(size));
        refused.setHeader(QByteArrayLiteral("Content-Range"), "bytes */" + QByteArray::number(size));
        refused.write(std::move(responder));
        return;
    }
    const qint64 first = range ? range->first : 0;
    const qint64 length = range ? range->length : size;
    // The stored name is "<sha256>-<original name>"; the agent keeps the original one.
    const QByteArray disposition =
        QByteArrayLiteral("attachment; filename=\"") + name.section(QLatin1Char('-'), 1).toUtf8() + '"';
    // The body is sequential, so the length is ours to state.
    auto *body = new FileRangeBody(file.release(), first, length, ConnectionFront::socketInService());
    const QByteArray type = QByteArrayLiteral("application/octet-stream");
    if (range) {
        const QByteArray contentRange = "bytes " + QByteArray::number(first) + '-' +
                                        QByteArray::number(first + length - 1) + '/' + QByteArray::number(size);
        responder.write(body,
                        {{"Content-Type", type},
                         {"Content-Length", QByteArray::number(length)},
                         {"Accept-Ranges", "bytes"},
                         {"Content-Range", contentRange},
                         {"Content-Disposition", disposition}},
                        Status::PartialContent);
    } else {
        responder.write(body,
                        {{"Content-Type", type},
                         {"Content-Length", QByteArray::number(length)},
                         {"Accept-Ranges", "bytes"},
                         {"Content-Disposition", disposition}},
                        Status::Ok);
    }
}

} // namespace vesk::fleetd
