#pragma once

#include <QString>

namespace vesk {

struct HeartbeatConfig {
    QString appType;      // sent as "app"
    QString appVersion;   // sent as "version"
    QString endpoint;     // absolute URL of the heartbeat endpoint
    double interval = 900; // seconds between beats
    double timeout = 3;    // request time-out, seconds
};

} // namespace vesk
