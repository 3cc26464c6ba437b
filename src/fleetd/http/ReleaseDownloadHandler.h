#pragma once

#include "fleetd/http/FleetContext.h"

#include <QHttpServerResponse>

class QHttpServerRequest;

namespace vesk::fleetd {

// GET release_download?file=NAME: an archive this server hosts, with its original file name in
// Content-Disposition. Releases are offered to every tenant alike and their download carries
// no fleet key, so the route is open; the name must be one of the hosted archives.
class ReleaseDownloadHandler {
public:
    explicit ReleaseDownloadHandler(FleetContext context) : m_context(std::move(context)) {}

    QHttpServerResponse operator()(const QHttpServerRequest &request) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
