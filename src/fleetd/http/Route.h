#pragma once

#include "fleetd/http/RequestFraming.h"

#include <QByteArrayView>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QString>

#include <functional>
#include <optional>

namespace vesk::fleetd {

// One entry of the route table: a method on an exact path, and who answers it: a handler that
// returns the whole response, or a streamer that writes it through the responder as the
// connection takes it.
struct Route {
    using Handler = std::function<QHttpServerResponse(const QHttpServerRequest &)>;
    using Streamer = std::function<void(const QHttpServerRequest &, QHttpServerResponder &&)>;

    // Optional: the whole HTTP answer to a request on this route with exactly this head and
    // body, given by the connection front before QHttpServer reads the request, or nothing to
    // let the handler answer. Only for answers the handler itself gave to the same request.
    using Shortcut = std::function<std::optional<QByteArray>(const RequestFraming::Head &, QByteArrayView body)>;

    QHttpServerRequest::Method method;
    QString path;
    Handler handler;
    Streamer streamer = {};
    Shortcut shortcut = {};
};

} // namespace vesk::fleetd
