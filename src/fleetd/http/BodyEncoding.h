#pragma once

#include "fleetd/http/Route.h"

#include <QByteArray>

namespace vesk::fleetd {

// gzip on the wire, both ways. A request body sent with "Content-Encoding: gzip" is inflated
// before its handler runs, never past its route's body limit (413: a few KB of gzip can stand
// for gigabytes); a broken stream gets 400 and any other coding 415. A JSON answer to a client
// that accepts gzip goes compressed when that makes it smaller.
class BodyEncoding {
public:
    // Runs `handler` on the request's body as it was meant: inflated when it came compressed.
    static QHttpServerResponse handle(const QHttpServerRequest &request, const Route::Handler &handler);

    // The body handlers read: the inflated one while its request is handled, else the body as sent.
    static QByteArray body(const QHttpServerRequest &request);

    // Whether the client's Accept-Encoding takes gzip (and does not turn it down with q=0).
    static bool acceptsGzip(const QByteArray &acceptEncoding);
};

} // namespace vesk::fleetd
