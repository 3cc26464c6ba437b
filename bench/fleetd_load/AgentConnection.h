#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>

#include <functional>

// One simulated agent: a keep-alive connection that sends its request again as
// soon as the previous answer is complete (a closed loop). HTTP/1.1 is written by
// hand here because QNetworkAccessManager caps connections per host at six and the
// point is thousands of concurrent ones; the server side is the real QHttpServer.
class AgentConnection : public QObject {
    Q_OBJECT
public:
    // Called with the status and the request's latency in microseconds.
    using Done = std::function<void(int status, qint64 micros)>;

    AgentConnection(QByteArray request, Done done, QObject *parent = nullptr);

    void start(quint16 port);
    void stop() { m_stopped = true; }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

private:
    void send();
    void readAnswers();

    QByteArray m_request;
    Done m_done;
    QTcpSocket m_socket;
    QByteArray m_buffer;
    QElapsedTimer m_timer;
    bool m_stopped = false;
};
