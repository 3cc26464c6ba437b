#include "fleetd/http/FileRangeBody.h"

#include "fleetd/http/ConnectionFront.h"

#include <QTcpSocket>

namespace vesk::fleetd {

FileRangeBody::FileRangeBody(QFile *file, qint64 first, qint64 length, QTcpSocket *sink)
    : m_file(file), m_remaining(length), m_sink(sink)
{
    m_file->setParent(this);
    if (!m_file->seek(first))
        m_remaining = 0;
    // Unbuffered: QIODevice must not read ahead of what the socket can take.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (m_sink) {
        m_sink->setProperty(kStreamingBodyProperty, true);
        connect(m_sink, &QIODevice::bytesWritten, this, &FileRangeBody::sinkDrained);
    }
}

FileRangeBody::~FileRangeBody()
{
    // Gone once the last bytes are in the socket (or the socket is gone).
    if (!m_sink)
        return;
    m_sink->setProperty(kStreamingBodyProperty, false);
    if (m_sink->property(kCloseAfterBodyProperty).toBool())
        m_sink->disconnectFromHost();
}

qint64 FileRangeBody::bytesAvailable() const
{
    if (m_remaining <= 0)
        return 0;
    if (m_sink && m_sink->bytesToWrite() >= kHighWater) {
        // Nothing now; readyRead once the socket has sent most of what it holds.
        m_held = true;
        return 0;
    }
    return m_remaining;
}

qint64 FileRangeBody::readData(char *data, qint64 maxSize)
{
    if (m_remaining <= 0)
        return 0;
    const qint64 read = m_file->read(data, std::min(maxSize, m_remaining));
    if (read <= 0) {
        // A file cut short under the server: the client sees a short body and retries.
        m_remaining = 0;
        return read < 0 ? -1 : 0;
    }
    m_remaining -= read;
    return read;
}

void FileRangeBody::sinkDrained()
{
    if (!m_held || !m_sink || m_sink->bytesToWrite() >= kHighWater / 2)
        return;
    m_held = false;
    emit readyRead();
}

} // namespace vesk::fleetd
