#include "platform/linux/ProcParsers.h"

#include <QTimeZone>

#include <charconv>
#include <limits>
#include <string_view>

namespace vesk {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The next blank-separated word of `text`, consumed; empty at the end.
std::string_view nextWord(std::string_view &text)
{
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

template <typename T>
bool parseNumber(std::string_view text, T &value)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

} // namespace

std::optional<ProcStat> parseProcStat(const QByteArray &bytes)
{
    // Read every sample for each running app: no copies of the line, no lists of fields.
    const std::string_view text(bytes.constData(), size_t(bytes.size()));
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string_view::npos || open == 0 || close == std::string_view::npos || close < open)
        return std::nullopt;

    ProcStat stat;
    if (!parseNumber(trimmed(text.substr(0, open)), stat.pid))
        return std::nullopt;
    stat.comm = QString::fromUtf8(text.data() + open + 1, qsizetype(close - open - 1));

    // Fields after the name start at field 3 (state); start time is field 22.
    std::string_view rest = text.substr(close + 1);
    std::string_view state, ppid, start;
    int count = 0;
    for (std::string_view word = nextWord(rest); !word.empty(); word = nextWord(rest), ++count) {
        if (count == 0)
            state = word;
        else if (count == 1)
            ppid = word;
        else if (count == 19)
            start = word;
    }
    if (count < 20 || state.size() != 1)
        return std::nullopt;
    stat.state = state.front();
    if (!parseNumber(ppid, stat.ppid) || !parseNumber(start, stat.startTicks))
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

std::optional<QDateTime> processStartTime(qint64 bootTimeSeconds, quint64 startTicks, qint64 ticksPerSecond)
{
    const qint64 hz = ticksPerSecond > 0 ? ticksPerSecond : 100;
    // The figures come from text files and may be anything: 128 bits hold every product, and a
    // start past what milliseconds since 1970 can say is no start time rather than a wrapped one.
    const __int128 ms = __int128(bootTimeSeconds) * 1000 + __int128(startTicks / quint64(hz)) * 1000 +
        __int128(startTicks % quint64(hz)) * 1000 / hz;
    if (ms < std::numeric_limits<qint64>::min() || ms > std::numeric_limits<qint64>::max())
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(ms), QTimeZone::utc());
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
