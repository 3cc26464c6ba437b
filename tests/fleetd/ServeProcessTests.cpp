#include "TestHttpClient.h"

#include "fleetd/storage/FleetStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>
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

// A figure of /proc/PID/status in KiB ("VmRSS", "VmHWM"), -1 when unreadable.
qint64 statusKiB(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

TEST(ServeProcessTest, LargeReleaseArchiveStreamsWithoutTheServerHoldingIt)
{
    // 64 MB keeps the suite quick and is four times the bound below; "VESK_RELEASE_STREAM_MB=300"
    // measures the full-size case.
    const qint64 megabytes = qEnvironmentVariableIsSet("VESK_RELEASE_STREAM_MB")
                                 ? qEnvironmentVariableIntValue("VESK_RELEASE_STREAM_MB")
                                 : 64;
    const qint64 size = megabytes * 1024 * 1024;
    QTemporaryDir dir;
    const QString db = dir.filePath("fleet.sqlite");
    // A sparse file: the server reads every byte, the disk holds none of them.
    const QString name = QString(64, QLatin1Char('e')) + "-Big 9.0.zip";
    ASSERT_TRUE(QDir().mkpath(db + ".releases"));
    QFile archive(db + ".releases/" + name);
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    ASSERT_TRUE(archive.resize(size));
    archive.close();

    QProcess serve;
    // Under AddressSanitizer freed buffers sit in quarantine and would count as held.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":quarantine_size_mb=1");
    serve.setProcessEnvironment(environment);
    serve.start(VESK_FLEETD_BINARY, {"serve", "--listen", "127.0.0.1:0", "--db", db});
    ASSERT_TRUE(serve.waitForStarted(10000));
    const QRegularExpressionMatch match =
        QRegularExpression(R"(^http://127\.0\.0\.1:(\d+)/api$)").match(firstLine(serve));
    ASSERT_TRUE(match.hasMatch()) << serve.readAllStandardError().toStdString();
    const qint64 rssBefore = statusKiB(serve.processId(), "VmRSS");
    ASSERT_GT(rssBefore, 0);

    // One request that asks the server to close after the answer: the close marks the end.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, quint16(match.captured(1).toUInt()));
    ASSERT_TRUE(client.waitForConnected(10000));
    client.write("GET /api/release_download?file=" + QUrl::toPercentEncoding(name) +
                 " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray head;
    qint64 bodyBytes = 0;
    QElapsedTimer guard;
    guard.start();
    while (client.state() != QAbstractSocket::UnconnectedState && guard.elapsed() < 100000) {
        client.waitForReadyRead(1000);
        // Read and dropped as it comes: the test must not hold the archive either.
        const QByteArray chunk = client.readAll();
        if (head.endsWith("\r\n\r\n")) {
            bodyBytes += chunk.size();
            continue;
        }
        head += chunk;
        if (const qsizetype end = head.indexOf("\r\n\r\n"); end >= 0) {
            bodyBytes += head.size() - (end + 4);
            head.truncate(end + 4);
        }
    }
    bodyBytes += client.readAll().size();
    const qint64 peak = statusKiB(serve.processId(), "VmHWM");

    EXPECT_TRUE(head.startsWith("HTTP/1.1 200")) << head.toStdString();
    EXPECT_TRUE(head.contains("Content-Length: " + QByteArray::number(size))) << head.toStdString();
    EXPECT_EQ(bodyBytes, size) << "the whole archive, and the server closed the connection after it";
    // The peak over the whole download stays within a few socket buffers of where it started.
    EXPECT_LT(peak - rssBefore, 16 * 1024) << "RSS before " << rssBefore << " KiB, peak " << peak << " KiB";
    std::printf("release stream: %lld MB, server RSS %lld KiB before, peak %lld KiB\n", megabytes, rssBefore, peak);

    serve.terminate();
    ASSERT_TRUE(serve.waitForFinished(10000));
}

} // namespace
