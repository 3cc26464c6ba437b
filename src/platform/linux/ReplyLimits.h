#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

class QNetworkReply;

namespace vesk {

// Holds one reply to its bounds: the deadline for the whole exchange, and the size of a body
// held in memory, or of one streamed to a file as declared by its Content-Length (the file
// writer counts the bytes it saves). Crossing a bound aborts the reply at once; failure() then
// says why.
class ReplyLimits final : public QObject {
    Q_OBJECT
public:
    struct Bounds {
        std::chrono::milliseconds total;
        qint64 bodyBytes;
        qint64 fileBytes;
        bool toFile = false;    // a successful body goes to a file instead of memory
        bool expectsBody = true; // false for HEAD, whose Content-Length describes no body here
    };

    ReplyLimits(QNetworkReply *reply, Bounds bounds);

    // Empty while within bounds; set once a bound was crossed and the reply aborted.
    QString failure() const { return m_failure; }

private:
    void checkDeclaredLength();
    void checkBuffered();
    bool bodyGoesToFile() const;
    void fail(QString message);

    QPointer<QNetworkReply> m_reply;
    Bounds m_bounds;
    QTimer m_deadline;
    QString m_failure;
};

// The failure of a response whose body is larger than `limit` bytes.
QString responseTooLargeMessage(qint64 limit);

} // namespace vesk
