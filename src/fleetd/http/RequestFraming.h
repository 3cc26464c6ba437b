#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vesk::fleetd {

// Follows the bytes of one connection as the HTTP server will read them, request by request,
// to know where each request's headers and body begin and end without keeping its body: the
// connection front decides on a request from its head alone, before the body arrives.
class RequestFraming {
public:
    struct Head {
        QByteArray method;
        QByteArray target; // as sent, still percent-encoded
        QByteArray path;   // target up to its '?'
        bool closeAfter = false; // "Connection: close", or HTTP/1.0 without keep-alive
        std::optional<qint64> contentLength;
        bool chunked = false;
        qsizetype serialBytes = 0; // length of X-Device-Serial
        bool expectsContinue = false; // "Expect: 100-continue": the client waits before the body
        bool webSocketUpgrade = false; // "Upgrade: websocket": what follows is no longer HTTP
        // What decides a command poll's answer, trimmed, for the front's shortcut. All three are
        // left empty when any of them is sent twice: which one the server takes is its business.
        QByteArray fleetKey;
        QByteArray deviceSerial;
        QByteArray contentType;
    };

    enum class Phase { Idle, Header, Body };
    enum class Event {
        NeedMore,    // every byte given was taken
        HeadReady,   // head() holds the next request's head; its body follows
        RequestDone, // the request whose head came last ended
        Error,       // the bytes are not HTTP this server takes: errorStatus()/errorMessage()
    };

    explicit RequestFraming(qsizetype maxHeaderBytes) : m_maxHeaderBytes(maxHeaderBytes) {}

    // Reads from data[*offset] on and stops after the first event; *offset then points past
    // what was read. Call again until NeedMore.
    Event advance(const char *data, qsizetype size, qsizetype *offset);
    // Counts `bytes` of a Content-Length body known to be in the stream without reading them.
    // Returns RequestDone when they complete the body.
    Event skipBody(qint64 bytes);

    Phase phase() const { return m_phase; }
    const Head &head() const { return m_head; }
    // Bytes of a Content-Length body still to come (0 otherwise).
    qint64 contentRemaining() const { return m_chunkState == ChunkState::None ? m_remaining : 0; }
    // Body bytes of the current request seen so far (chunk data only, for chunked bodies).
    qint64 bodyBytes() const { return m_bodyBytes; }
    int errorStatus() const { return m_errorStatus; }
    const QString &errorMessage() const { return m_errorMessage; }

private:
    enum class ChunkState { None, Size, Data, DataEnd, Trailer };

    Event fail(int status, QString message);
    Event checkRequestLine(QByteArrayView line);
    Event parseHead();
    Event chunked(const char *data, qsizetype size, qsizetype *offset);
    Event finishRequest();

    qsizetype m_maxHeaderBytes;
    Phase m_phase = Phase::Idle;
    QByteArray m_buffer; // header block, or the current chunk-size / trailer line
    Head m_head;
    qint64 m_remaining = 0;
    qint64 m_bodyBytes = 0;
    ChunkState m_chunkState = ChunkState::None;
    bool m_requestLineChecked = false;
    int m_errorStatus = 0;
    QString m_errorMessage;
};

} // namespace vesk::fleetd
