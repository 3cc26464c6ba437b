// fleetd_push_idle: one `vesk-fleetd serve` holding N idle push channels (WebSockets), each
// opened as an agent opens it (POST push_session with the fleet key, then the WebSocket with
// its ticket). Reports the server's resident memory and a normal command poll's answer time
// with no channel open (the baseline) and with all N open, over a window that spans the
// server's ping sweep, and how fast a test push reaches one of the N.
//
//   fleetd_push_idle [--channels N] [--poll-seconds S]       (bench/push_idle.sh raises ulimit -n)
#include "FleetServer.h"
#include "LoadApplication.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QTextStream>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

QByteArray request(const QByteArray &path, quint16 port, const QByteArray &key, const QByteArray &serial)
{
    const QByteArray body = "{\"serial\":\"" + serial + "\"}";
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nX-Fleet-Key: " + key +
           "\r\nX-Device-Serial: " + serial + "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// One request on a fresh connection, read to the server's close: status line and body.
// Blocking on this socket alone, as a separate agent would see it.
struct Answer {
    int status = 0;
    QByteArray body;
    double ms = 0;
};
Answer exchange(quint16 port, const QByteArray &text)
{
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    Answer answer;
    if (!socket.waitForConnected(10000))
        return answer;
    socket.write(text);
    QByteArray reply;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000)) {
        reply += socket.readAll();
        const qsizetype end = reply.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        const qsizetype lengthAt = reply.toLower().indexOf("content-length:");
        if (lengthAt >= 0 && lengthAt < end) {
            const qint64 length = reply.mid(lengthAt + 15, reply.indexOf("\r\n", lengthAt) - lengthAt - 15).trimmed().toLongLong();
            if (reply.size() >= end + 4 + length)
                break;
        }
    }
    reply += socket.readAll();
    answer.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (reply.startsWith("HTTP/1.1 "))
        answer.status = reply.mid(9, 3).toInt();
    answer.body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
    return answer;
}

// Resident and peak resident memory of `pid` in KiB, from /proc.
std::pair<qint64, qint64> memoryOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    qint64 rss = 0, hwm = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ').value(0).toLongLong();
            else if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return {rss, hwm};
}

// User + system CPU seconds of `pid`.
double cpuOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return static_cast<double>(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / 100.0;
}

struct PollStats {
    int count = 0;
    int failed = 0;
    double p50 = 0, p99 = 0, max = 0;
};

// Polls one machine every 250 ms for `seconds`, turning the event loop in between so the open
// channels stay served (and answer the server's pings).
PollStats pollFor(quint16 port, const QByteArray &poll, int seconds)
{
    std::vector<double> ms;
    PollStats stats;
    QElapsedTimer window;
    window.start();
    while (window.elapsed() < seconds * 1000LL) {
        const Answer answer = exchange(port, poll);
        if (answer.status == 200)
            ms.push_back(answer.ms);
        else
            ++stats.failed;
        QTest::qWait(250);
    }
    std::sort(ms.begin(), ms.end());
    stats.count = static_cast<int>(ms.size());
    if (!ms.empty()) {
        stats.p50 = ms[ms.size() / 2];
        stats.p99 = ms[std::min(ms.size() - 1, static_cast<std::size_t>(static_cast<double>(ms.size()) * 0.99))];
        stats.max = ms.back();
    }
    return stats;
}

} // namespace

int main(int argc, char **argv)
{
    const QCommandLineOption channelsOption("channels", "Idle push channels to open.", "N", "10000");
    const QCommandLineOption secondsOption("poll-seconds", "Seconds of polling per measurement (the server pings every 60 s).", "S", "70");
    const LoadApplication app(argc, argv, {channelsOption, secondsOption});
    QTextStream out(stdout);
    const int channels = app.value(channelsOption).toInt();
    const int pollSeconds = app.value(secondsOption).toInt();

    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < rlim_t(channels) + 100) {
        out << "open-file limit " << limit.rlim_cur << " is below " << channels + 100 << "; raise ulimit -n" << Qt::endl;
        return 1;
    }

    FleetServer server;
    if (!server.start(channels + 1, out))
        return 1;
    const FleetFixture &fleet = server.fleet;
    const quint16 port = server.port;
    const qint64 pid = server.process.processId();
    // The polling machine is one more, with no channel of its own.
    const QByteArray pollSerial = fleet.serials.at(channels).toLatin1();
    const QByteArray poll = request("/api/device_commands", port, fleet.fleetKey, pollSerial);

    out << "vesk-fleetd pid " << pid << " on port " << port << "; " << channels << " channels" << Qt::endl;
    const PollStats before = pollFor(port, poll, std::min(pollSeconds, 10));
    const auto [rssBefore, hwmBefore] = memoryOf(pid);

    // Open the channels, at most 200 handshakes in flight.
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    sockets.reserve(std::size_t(channels));
    int opened = 0, failed = 0, inFlight = 0, next = 0;
    QElapsedTimer opening;
    opening.start();
    while (opened + failed < channels && opening.elapsed() < 600000) {
        while (inFlight < 200 && next < channels) {
            const QByteArray serial = fleet.serials.at(next++).toLatin1();
            const Answer session = exchange(port, request("/api/push_session", port, fleet.fleetKey, serial));
            const QString ticket = QJsonDocument::fromJson(session.body).object().value("ticket").toString();
            if (session.status != 200 || ticket.isEmpty()) {
                ++failed;
                continue;
            }
            auto socket = std::make_unique<QWebSocket>();
            QWebSocket *raw = socket.get();
            QObject::connect(raw, &QWebSocket::connected, raw, [&] { ++opened; --inFlight; });
            QObject::connect(raw, &QWebSocket::disconnected, raw, [&, raw] {
                if (raw->property("up").toBool())
                    return;
                ++failed;
                --inFlight;
            });
            QObject::connect(raw, &QWebSocket::connected, raw, [raw] { raw->setProperty("up", true); });
            raw->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/push?ticket=%2").arg(port).arg(ticket)));
            sockets.push_back(std::move(socket));
            ++inFlight;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double openSeconds = static_cast<double>(opening.elapsed()) / 1000.0;
    out << "opened " << opened << " channels in " << QString::number(openSeconds, 'f', 1) << " s (" << failed
        << " failed)" << Qt::endl;
    QTest::qWait(3000);
    const double cpuStart = cpuOf(pid);
    const PollStats during = pollFor(port, poll, pollSeconds);
    const double cpuIdle = cpuOf(pid) - cpuStart;
    const auto [rssAfter, hwmAfter] = memoryOf(pid);
    int stillOpen = 0;
    for (const auto &socket : sockets)
        stillOpen += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;

    // A test push to the first machine, as `vesk-fleetd push test` sends it.
    double pushMs = -1;
    if (!sockets.empty()) {
        QElapsedTimer timer;
        bool received = false;
        QObject::connect(sockets.front().get(), &QWebSocket::textMessageReceived, sockets.front().get(),
                         [&](const QString &) { if (!received) { received = true; pushMs = static_cast<double>(timer.nsecsElapsed()) / 1e6; } });
        timer.start();
        QProcess::execute(VESK_FLEETD_BINARY, {"push", "test", fleet.serials.at(0), "--db", server.db});
        if (!QTest::qWaitFor([&] { return received; }, 5000))
            pushMs = -1;
    }

    const auto print = [&](const char *label, const PollStats &stats) {
        out << label << ": " << stats.count << " polls, p50 " << QString::number(stats.p50, 'f', 1) << " ms, p99 "
            << QString::number(stats.p99, 'f', 1) << " ms, max " << QString::number(stats.max, 'f', 1) << " ms, "
            << stats.failed << " failed" << Qt::endl;
    };
    print("poll, no channels (baseline)", before);
    print(QStringLiteral("poll, %1 idle channels").arg(opened).toUtf8().constData(), during);
    out << "server RSS: " << rssBefore / 1024 << " MiB with no channels, " << rssAfter / 1024 << " MiB with "
        << stillOpen << " open (peak " << hwmAfter / 1024 << " MiB); "
        << QString::number(static_cast<double>(rssAfter - rssBefore) / std::max(1, stillOpen), 'f', 1)
        << " KiB per channel" << Qt::endl;
    out << "server CPU while idle with the channels: " << QString::number(cpuIdle, 'f', 2) << " s over "
        << pollSeconds << " s (polls and ping sweeps included)" << Qt::endl;
    out << "test push to one of them: " << (pushMs < 0 ? QStringLiteral("not received") : QString::number(pushMs, 'f', 1) + " ms")
        << " (including starting vesk-fleetd push test)" << Qt::endl;
    out << "poll p99 with the channels " << (during.p99 < 1000 && during.count > 0 ? "under" : "NOT under")
        << " 1 s (target)" << Qt::endl;
    for (auto &socket : sockets)
        socket->abort();
    return during.count > 0 && during.failed == 0 && stillOpen == channels ? 0 : 1;
}
