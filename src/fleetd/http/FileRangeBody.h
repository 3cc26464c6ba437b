#pragma once

#include <QFile>
#include <QIODevice>
#include <QPointer>

class QTcpSocket;

namespace vesk::fleetd {

// A response body read from part of a file as the connection takes it: QHttpServerResponder
// pumps it into the socket, and while the socket still holds kHighWater bytes unsent the body
// offers nothing more, so a large download costs the server a bounded buffer however slowly
// the client reads. Sequential, so QHttpServer sends no Content-Length of its own.
class FileRangeBody final : public QIODevice {
public:
    static constexpr qint64 kHighWater = 1024 * 1024;

    // Takes `file`, open for reading; without a `sink` the body flows unthrottled.
    FileRangeBody(QFile *file, qint64 first, qint64 length, QTcpSocket *sink);
    ~FileRangeBody() override;

    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_remaining <= 0; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    void sinkDrained();

    QFile *m_file;
    qint64 m_remaining;
    QPointer<QTcpSocket> m_sink;
    mutable bool m_held = false;
};

} // namespace vesk::fleetd
