#include "commands/LogCollector.h"

#include "platform/LogCategories.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace vesk {

namespace {
// The journal for five minutes is seconds of work; a tool stuck longer than this is hung.
constexpr std::chrono::milliseconds toolTimeout{120000};

QString decodeUtf8Strictly(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}
} // namespace

bool LogCollector::isValidBundleId(const QString &bundleId)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-zA-Z0-9._\\-]+$"));
    return pattern.match(bundleId).hasMatch();
}

qsizetype LogCollector::characterCount(const QString &text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return count;
}

QString LogCollector::keepTail(const QString &text)
{
    if (text.size() <= maxCharacters)
        return text;
    // Count characters, not UTF-16 units, from the end, so a cut never splits a surrogate pair.
    qsizetype start = text.size();
    for (qsizetype kept = 0; kept < maxCharacters && start > 0; ++kept) {
        --start;
        if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate())
            --start;
    }
    return text.mid(start);
}

QCoro::Task<QString> LogCollector::collectLogs(std::optional<QString> bundleId) const
{
    const LogCollector self = *this;
    if (bundleId)
        bundleId->remove(QLatin1Char('\''));
    ToolInvocation invocation = self.m_query(bundleId);
    ToolOptions options;
    options.captureStandardError = false;
    options.timeout = toolTimeout;
    const ToolOutcome outcome = co_await self.m_runner->run(std::move(invocation), options);
    if (!outcome.started)
        co_return QStringLiteral("Failed to collect logs: ") + outcome.errorText;
    co_return keepTail(decodeUtf8Strictly(outcome.standardOutput));
}

QCoro::Task<CommandResult> LogCollector::collectAndUpload(std::optional<QString> bundleId) const
{
    const LogCollector self = *this;
    if (bundleId && !isValidBundleId(*bundleId))
        co_return CommandResult::failure(QStringLiteral("Invalid bundle_id"));

    const QString text = co_await self.collectLogs(bundleId);
    if (text.isEmpty())
        co_return CommandResult::ok(QStringLiteral("No logs found"));

    const APIStatus uploaded = co_await self.m_upload(bundleId.value_or(QStringLiteral("system")), text);
    if (!uploaded)
        qCCritical(lcFleet).noquote() << QStringLiteral("Log submission failed: ") + uploaded.errorMessage();
    co_return CommandResult::ok(QStringLiteral("Collected %1 bytes of logs").arg(characterCount(text)));
}

} // namespace vesk
