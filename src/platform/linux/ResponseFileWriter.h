#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkReply;

namespace vesk {

// Streams a reply's body into a file while it arrives, once the reply's status is known to be
// a success; any other status's body stays in the reply for the caller to read. A write that
// fails, or a body that grows past maxBytes, aborts the reply and is reported by failure().
class ResponseFileWriter final : public QObject {
    Q_OBJECT
public:
    ResponseFileWriter(QNetworkReply *reply, const QString &path, qint64 maxBytes);

    // Call once the reply has finished: writes what is left. True when the body went to the file.
    bool finish();
    // Why the body could not be saved, ready to hand on; empty while all is well.
    QString failure() const { return m_failure; }

private:
    void drain();
    bool isSuccess() const;
    void fail(QString message);

    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    qint64 m_maxBytes;
    qint64 m_written = 0;
    QString m_failure;
};

} // namespace vesk
