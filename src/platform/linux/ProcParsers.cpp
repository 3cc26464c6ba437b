#include "platform/linux/ProcParsers.h"

#include <QTimeZone>

namespace vesk {

std::optional<ProcStat> parseProcStat(const QByteArray &text)
{
    const qsizetype open = text.indexOf('(');
    const qsizetype close = text.lastIndexOf(')');
    if (open <= 0 || close < open)
        return std::nullopt;

    ProcStat stat;
    bool ok = false;
    stat.pid = text.left(open).trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    stat.comm = QString::fromUtf8(text.mid(open + 1, close - open - 1));

    // Fields after the name start at field 3 (state); start time is field 22.
    const QList<QByteArray> fields = text.mid(close + 1).simplified().split(' ');
    if (fields.size() < 20 || fields[0].size() != 1)
        return std::nullopt;
    stat.state = fields[0][0];
    stat.ppid = fields[1].toInt(&ok);
    if (!ok)
        return std::nullopt;
    stat.startTicks = fields[19].toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return stat;
}

QStringList parseCmdline(const QByteArray &raw)
{
    QStringList argv;
    if (raw.isEmpty())
        return argv;
    const QByteArray body = raw.endsWith('\0') ? raw.chopped(1) : raw;
    for (const QByteArray &arg : body.split('\0'))
        argv.append(QString::fromLocal8Bit(arg));
    return argv;
}

std::optional<qint64> parseBootTime(const QByteArray &procStatText)
{
    for (const QByteArray &line : procStatText.split('\n')) {
        if (!line.startsWith("btime "))
            continue;
        bool ok = false;
        const qint64 seconds = line.mid(6).trimmed().toLongLong(&ok);
        if (ok)
            return seconds;
    }
    return std::nullopt;
}

QDateTime processStartTime(qint64 bootTimeSeconds, quint64 startTicks, qint64 ticksPerSecond)
{
    const qint64 hz = ticksPerSecond > 0 ? ticksPerSecond : 100;
    const qint64 ms = bootTimeSeconds * 1000 + qint64(startTicks / quint64(hz)) * 1000
        + qint64(startTicks % quint64(hz)) * 1000 / hz;
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

QString scriptArgument(const QStringList &argv)
{
    for (qsizetype i = 1; i < argv.size(); ++i) {
        if (!argv[i].startsWith(QLatin1Char('-')))
            return argv[i];
    }
    return {};
}

} // namespace vesk
