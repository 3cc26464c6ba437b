#pragma once

#include "TestHttpClient.h"

#include "fleetd/http/FleetHttpServer.h"
#include "fleetd/storage/FleetStore.h"
#include "wire/TelemetryReport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A real server on an OS-chosen loopback port over a real SQLite file, with two
// tenants: ABCD1234 (event EVT-A, machines A1 and A2) and WXYZ9876 (event EVT-B,
// machine B1), each with an active secret.
class FleetAPIFixture : public ::testing::Test {
protected:
    struct Tenant {
        QString code;
        qint64 tenantId = 0;
        qint64 secretId = 0;
        QString secretCode;
        QByteArray key;
        // The tenant's machine that calls when a test names none.
        QString machine;
    };

    void SetUp() override;

    static QByteArray keyFor(const QString &tenantCode, qint64 secretId, const QString &code);
    void beat(const QString &serial, const QString &eventCode, const QString &app = "warden");
    // A complete telemetry report of `serial` (the members every report carries) and its body.
    static vesk::TelemetryReport telemetry(const QString &serial);
    static QByteArray body(const vesk::TelemetryReport &report);

    // Sends with the tenant's key and X-Device-Serial `serial` (A1 for A, B1 for B when empty).
    HttpAnswer call(const Tenant &tenant, const QByteArray &method, const QString &path,
                    const QByteArray &body = {}, const QByteArray &contentType = "application/json",
                    const QString &serial = {});
    HttpAnswer raw(const QByteArray &method, const QString &path, const QByteArray &body,
                   const QList<std::pair<QByteArray, QByteArray>> &headers,
                   const QByteArray &contentType = "application/json");

    QTemporaryDir m_dir;
    QString m_dbPath;
    vesk::fleetd::FleetStore m_store;
    QDateTime m_now = QDateTime(QDate(2025, 3, 1), QTime(9, 30, 0), Qt::UTC);
    std::unique_ptr<vesk::fleetd::FleetHttpServer> m_server;
    TestHttpClient m_client;
    QString m_api;
    Tenant m_a;
    Tenant m_b;
};
