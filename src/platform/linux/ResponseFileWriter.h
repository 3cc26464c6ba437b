#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkReply;

namespace vesk {

// Streams a reply's body into a file while it arrives, once the reply's status is known to be
// a success; any other status's body stays in the reply for the caller to read. A write that
// fails aborts the reply and is reported by error().
class ResponseFileWriter final : public QObject {
    Q_OBJECT
public:
    ResponseFileWriter(QNetworkReply *reply, const QString &path);

    // Call once the reply has finished: writes what is left. True when the body went to the file.
    bool finish();
    QString error() const { return m_error; }

private:
    void drain();
    bool isSuccess() const;

    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    QString m_error;
};

} // namespace vesk
