#include "platform/linux/ReplyLimits.h"

#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <climits>

namespace vesk {

namespace {

QString sizeText(qint64 bytes)
{
    constexpr qint64 kMiB = 1024 * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0)
        return QStringLiteral("%1 MiB").arg(bytes / kMiB);
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString durationText(std::chrono::milliseconds duration)
{
    const qint64 ms = duration.count();
    if (ms >= 60000 && ms % 60000 == 0)
        return QStringLiteral("%1 min").arg(ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 ms").arg(ms);
}

} // namespace

QString responseTooLargeMessage(qint64 limit)
{
    return QStringLiteral("The response was larger than the %1 limit.").arg(sizeText(limit));
}

ReplyLimits::ReplyLimits(QNetworkReply *reply, Bounds bounds) : QObject(reply), m_reply(reply), m_bounds(bounds)
{
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyLimits::checkDeclaredLength);
    connect(reply, &QNetworkReply::readyRead, this, &ReplyLimits::checkBuffered);

    // Qt takes an int of milliseconds; a longer time must not wrap into a negative one.
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(static_cast<int>(std::clamp<qint64>(bounds.total.count(), 0, INT_MAX)));
    connect(&m_deadline, &QTimer::timeout, this, [this]() {
        fail(QStringLiteral("The request timed out: it did not finish within %1.").arg(durationText(m_bounds.total)));
    });
    m_deadline.start();
    connect(reply, &QNetworkReply::finished, &m_deadline, &QTimer::stop);
}

bool ReplyLimits::bodyGoesToFile() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return m_bounds.toFile && status >= 200 && status < 300;
}

void ReplyLimits::checkDeclaredLength()
{
    if (!m_reply || !m_failure.isEmpty() || !m_bounds.expectsBody)
        return;
    const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (!declared.isValid())
        return;
    const qint64 limit = bodyGoesToFile() ? m_bounds.fileBytes : m_bounds.bodyBytes;
    if (declared.toLongLong() > limit)
        fail(responseTooLargeMessage(limit));
}

void ReplyLimits::checkBuffered()
{
    // A body streamed to a file is drained and counted by its writer; anything else piles up
    // in the reply until the exchange ends.
    if (!m_reply || !m_failure.isEmpty() || bodyGoesToFile())
        return;
    if (m_reply->bytesAvailable() > m_bounds.bodyBytes)
        fail(responseTooLargeMessage(m_bounds.bodyBytes));
}

void ReplyLimits::fail(QString message)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = std::move(message);
    m_deadline.stop();
    if (m_reply)
        m_reply->abort();
}

} // namespace vesk
