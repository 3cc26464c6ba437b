#pragma once

#include "fleetd/http/FleetContext.h"

class QHttpServerRequest;
class QHttpServerResponder;

namespace vesk::fleetd {

// GET release_download?file=NAME: an archive this server hosts, with its original file name in
// Content-Disposition. Releases are offered to every tenant alike and their download carries
// no fleet key, so the route is open; the name must be one of the hosted archives. The archive
// streams from its file as the connection takes it (a range when one is asked), never read
// whole into memory.
class ReleaseDownloadHandler {
public:
    explicit ReleaseDownloadHandler(FleetContext context) : m_context(std::move(context)) {}

    void operator()(const QHttpServerRequest &request, QHttpServerResponder &&responder) const;

private:
    FleetContext m_context;
};

} // namespace vesk::fleetd
