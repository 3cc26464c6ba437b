#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QTemporaryDir>

#include <memory>

namespace vesk::test {

// A real vesk-warden or vesk-fleetd child process with its own temporary HOME,
// its output collected for assertions. The shared and application folders default to
// HOME/Shared and HOME/Applications; `environment` overrides any variable (two agents of
// one machine share those folders). A fleet "restart" runs `false`, never a reboot.
class ChildProcess {
public:
    ChildProcess(const QString &program, const QStringList &arguments, const QString &home,
                 const QMap<QString, QString> &environment = {});
    ~ChildProcess();

    // Writes `input` to the child's standard input and closes it.
    void sendInput(const QByteArray &input);
    // Waits (event loop turning) until the merged output contains `needle`.
    bool waitForOutput(const QString &needle, int timeoutMs);
    QString output();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // SIGTERM, then the exit code (-1 when it had to be killed).
    int terminate(int timeoutMs = 10000);
    // For one-shot commands: the exit code once it ends by itself (-1 on a crash or time-out).
    int waitForExit(int timeoutMs = 20000);

private:
    QProcess m_process;
    QString m_output;
};

// `vesk-fleetd serve` on an OS-chosen loopback port with a store in `dir`, and any further
// serve options (--tls-cert/--tls-key).
class FleetServer {
public:
    explicit FleetServer(const QString &dir, const QStringList &serveOptions = {});
    QString baseUrl() const { return m_baseUrl; }
    QString dbPath() const { return m_db; }
    // `vesk-fleetd machines` output.
    QString machines() const;
    int stop() { return m_process->terminate(); }

private:
    QString m_db;
    QString m_baseUrl;
    std::unique_ptr<ChildProcess> m_process;
};

// `vesk-fleetd ARGS --db DB`, expected to succeed; its standard output, trimmed.
QString fleetdAdmin(const QStringList &arguments, const QString &db);
// The code of an "id<TAB>code" line as the secret commands print it.
QString secretCodeOf(const QString &issued);
// The first column of the first row `sql` (one bound value) finds in the server's store,
// opened read-only beside the running server; null when there is none.
QVariant storedValue(const QString &dbPath, const QString &sql, const QVariant &bound);

} // namespace vesk::test
