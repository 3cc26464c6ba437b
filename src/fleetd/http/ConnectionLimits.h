#pragma once

#include "fleetd/http/FieldLimits.h"

#include <QByteArray>
#include <QtGlobal>

#include <chrono>

namespace vesk::fleetd {

// How long and how much one client connection may take before the server gives up on it.
// Timeouts are enforced by ConnectionFront on a sweep a few times per timeout.
struct ConnectionLimits {
    // From the first byte of a request to the blank line that ends its headers. Fixed from
    // that first byte, so a client that trickles a header at a time gains nothing.
    std::chrono::milliseconds headerTimeout{10000};
    // The longest pause between two reads while a request body is arriving.
    std::chrono::milliseconds bodyTimeout{30000};
    // A kept-alive connection (or a fresh one) that starts no request in this time is closed.
    // Above the agents' 300 s command poll (push channel up, or low-data mode), so a metered
    // agent reuses its connection instead of paying a new handshake at every poll.
    std::chrono::milliseconds idleTimeout{330000};
    // The request line plus all header lines; more gets 431.
    qsizetype maxHeaderBytes = 16 * 1024;
    // Declared body bytes of the larger requests in progress (over smallBodyBytes each); one
    // that would cross it gets 503 with Retry-After, so never-finished uploads cannot add up to
    // the machine's memory (QHttpServer holds about twice a body while it arrives). Polls,
    // heartbeats and other small requests are never counted, so they always get through.
    qint64 maxInFlightBodyBytes = 128LL * 1024 * 1024;
    qint64 smallBodyBytes = 64 * 1024;
    // X-Device-Serial longer than this gets 400 before any handler runs.
    qsizetype maxSerialBytes = FieldLimits::kSerial;
    // After answering and closing on an error, unread bytes are drained this long so the client
    // reads the answer instead of a reset.
    std::chrono::milliseconds lingerTime{1000};
};

// The largest request body a path accepts: the route's own limit, or the JSON limit for any
// other path (which answers 404 anyway).
qint64 bodyLimitForPath(const QByteArray &path);

} // namespace vesk::fleetd
