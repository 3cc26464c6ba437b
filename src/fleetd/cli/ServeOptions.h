#pragma once

#include "fleetd/http/ConnectionLimits.h"
#include "fleetd/storage/CommandStore.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace vesk::fleetd {

// serve's options: HTTPS, the connection timeouts, how long history is kept and when an
// unanswered command is handed out again.
struct ServeOptions {
    QString tlsCert; // PEM certificate (chain) file; with tlsKey, serve speaks HTTPS
    QString tlsKey;  // PEM private key file, unencrypted
    ConnectionLimits limits;
    // Telemetry, logs and alerts older than this many days are deleted.
    int retentionDays = 90;
    // How long a delivered command waits for its result before a poll hands it out again.
    std::chrono::seconds redeliverAfter = CommandStore::kDefaultRedeliverAfter;

    // The option names, for the parser and the "applies only to serve" check.
    static QStringList optionNames();
    // Reads the options `parser` was given (added with addTo). On failure returns false with
    // `error` set.
    bool read(const QCommandLineParser &parser, QString *error);
    static void addTo(QCommandLineParser &parser);
};

} // namespace vesk::fleetd
