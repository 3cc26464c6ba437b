#include "platform/linux/ResponseFileWriter.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace vesk {

ResponseFileWriter::ResponseFileWriter(QNetworkReply *reply, const QString &path)
    : QObject(reply), m_reply(reply), m_file(path)
{
    connect(reply, &QNetworkReply::readyRead, this, &ResponseFileWriter::drain);
}

bool ResponseFileWriter::isSuccess() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

void ResponseFileWriter::drain()
{
    if (!m_reply || !m_error.isEmpty() || !isSuccess())
        return;
    if (!m_file.isOpen() && !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = m_file.errorString();
        m_reply->abort();
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    if (m_file.write(chunk) != chunk.size()) {
        m_error = m_file.errorString();
        m_reply->abort();
    }
}

bool ResponseFileWriter::finish()
{
    if (!m_reply || !isSuccess())
        return false;
    drain();
    if (m_error.isEmpty() && !m_file.flush())
        m_error = m_file.errorString();
    m_file.close();
    return m_error.isEmpty();
}

} // namespace vesk
