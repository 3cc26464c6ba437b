#include "TestHttpClient.h"

#include "fleetd/storage/FleetStore.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vesk::fleetd;

namespace {

// Waits, within a bound, for the one line serve prints once it listens.
QString firstLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000))
            return {};
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

TEST(ServeProcessTest, ServesOnAChosenPortStoresHeartbeatsAndStopsCleanlyOnSigterm)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("fleet.sqlite");
    QProcess serve;
    serve.start(VESK_FLEETD_BINARY, {"serve", "--listen", "127.0.0.1:0", "--db", db});
    ASSERT_TRUE(serve.waitForStarted(10000));

    const QString url = firstLine(serve);
    const QRegularExpressionMatch match = QRegularExpression(R"(^http://127\.0\.0\.1:(\d+)/api$)").match(url);
    ASSERT_TRUE(match.hasMatch()) << url.toStdString() << serve.readAllStandardError().toStdString();
    EXPECT_NE(match.captured(1).toInt(), 0);

    TestHttpClient client;
    const HttpAnswer answer = client.send(
        "POST", QUrl(url + "/heartbeat"),
        R"({"eventcode": "EVT", "serial": "C02PROC", "app": "warden", "version": "1.0", "state": {"agentMode": false}})");
    EXPECT_EQ(answer.status, 200) << answer.body.toStdString();

    serve.terminate(); // SIGTERM
    ASSERT_TRUE(serve.waitForFinished(10000));
    EXPECT_EQ(serve.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(serve.exitCode(), 0) << serve.readAllStandardError().toStdString();
    // Nothing more than the URL on standard output.
    EXPECT_EQ(serve.readAllStandardOutput(), QByteArray());
    // The last connection closing folds the WAL back into the database file.
    EXPECT_FALSE(QFile::exists(db + "-wal"));

    FleetStore store;
    ASSERT_EQ(store.open(db, FleetStore::OpenMode::ExistingOnly), StoreStatus::ok());
    const StoreResult<QList<MachineRecord>> listed = store.machines();
    ASSERT_EQ(listed.value.size(), 1);
    EXPECT_EQ(listed.value[0].serial, "C02PROC");
}

} // namespace
