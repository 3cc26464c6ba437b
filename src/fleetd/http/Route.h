#pragma once

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QString>

#include <functional>

namespace vesk::fleetd {

// One entry of the route table: a method on an exact path, and who answers it: a handler that
// returns the whole response, or a streamer that writes it through the responder as the
// connection takes it.
struct Route {
    using Handler = std::function<QHttpServerResponse(const QHttpServerRequest &)>;
    using Streamer = std::function<void(const QHttpServerRequest &, QHttpServerResponder &&)>;

    QHttpServerRequest::Method method;
    QString path;
    Handler handler;
    Streamer streamer = {};
};

} // namespace vesk::fleetd
