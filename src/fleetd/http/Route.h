#pragma once

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QString>

#include <functional>

namespace vesk::fleetd {

// One entry of the route table: a method on an exact path, and who answers it.
struct Route {
    using Handler = std::function<QHttpServerResponse(const QHttpServerRequest &)>;

    QHttpServerRequest::Method method;
    QString path;
    Handler handler;
};

} // namespace vesk::fleetd
