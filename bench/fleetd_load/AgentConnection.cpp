#include "AgentConnection.h"

#include <QHostAddress>

AgentConnection::AgentConnection(QByteArray request, Done done, QObject *parent)
    : QObject(parent), m_request(std::move(request)), m_done(std::move(done))
{
    connect(&m_socket, &QTcpSocket::connected, this, &AgentConnection::send);
    connect(&m_socket, &QTcpSocket::readyRead, this, &AgentConnection::readAnswers);
}

void AgentConnection::start(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void AgentConnection::send()
{
    if (m_stopped)
        return;
    m_timer.start();
    m_socket.write(m_request);
}

void AgentConnection::readAnswers()
{
    m_buffer += m_socket.readAll();
    while (true) {
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray head = m_buffer.left(headerEnd).toLower();
        qsizetype length = 0;
        const qsizetype at = head.indexOf("content-length:");
        if (at >= 0)
            length = head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        if (m_buffer.size() < headerEnd + 4 + length)
            return;
        const int status = m_buffer.mid(9, 3).toInt();
        m_buffer.remove(0, headerEnd + 4 + length);
        m_done(status, m_timer.nsecsElapsed() / 1000);
        send();
    }
}
