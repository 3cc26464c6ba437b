#include "fleetd/http/ReleaseDownloadHandler.h"

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
    QHttpServerResponse response(QByteArrayLiteral("application/octet-stream"), file.readAll());
    // The stored name is "<sha256>-<original name>"; the agent keeps the original one.
    const QString original = name.section(QLatin1Char('-'), 1);
    response.setHeader(QByteArrayLiteral("Content-Disposition"),
                       QByteArrayLiteral("attachment; filename=\"") + original.toUtf8() + '"');
    return response;
}

} // namespace vesk::fleetd
