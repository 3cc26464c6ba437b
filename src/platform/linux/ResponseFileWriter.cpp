#include "platform/linux/ResponseFileWriter.h"

#include "platform/linux/ReplyLimits.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace vesk {

namespace {
QString saveFailure(const QString &reason)
{
    return QStringLiteral("Couldn't save the response: ") + reason;
}
} // namespace

ResponseFileWriter::ResponseFileWriter(QNetworkReply *reply, const QString &path, qint64 maxBytes)
    : QObject(reply), m_reply(reply), m_file(path), m_maxBytes(maxBytes)
{
    connect(reply, &QNetworkReply::readyRead, this, &ResponseFileWriter::drain);
}

bool ResponseFileWriter::isSuccess() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

void ResponseFileWriter::fail(QString message)
{
    m_failure = std::move(message);
    if (m_reply)
        m_reply->abort();
}

void ResponseFileWriter::drain()
{
    if (!m_reply || !m_failure.isEmpty() || !isSuccess())
        return;
    if (!m_file.isOpen() && !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(saveFailure(m_file.errorString()));
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    m_written += chunk.size();
    if (m_written > m_maxBytes) {
        fail(responseTooLargeMessage(m_maxBytes));
        return;
    }
    if (m_file.write(chunk) != chunk.size())
        fail(saveFailure(m_file.errorString()));
}

bool ResponseFileWriter::finish()
{
    if (!m_reply || !isSuccess())
        return false;
    drain();
    if (m_failure.isEmpty() && !m_file.flush())
        m_failure = saveFailure(m_file.errorString());
    m_file.close();
    return m_failure.isEmpty();
}

} // namespace vesk
