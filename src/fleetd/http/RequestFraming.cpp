#include "fleetd/http/RequestFraming.h"

#include <QByteArrayList>
#include <QVarLengthArray>

#include <algorithm>
#include <cctype>
#include <utility>

namespace vesk::fleetd {

namespace {

constexpr qsizetype kMaxChunkLineBytes = 4096;

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
    });
}

bool hasListToken(QByteArrayView value, const char *token)
{
    for (qsizetype start = 0; start <= value.size();) {
        qsizetype end = value.indexOf(',', start);
        if (end < 0)
            end = value.size();
        if (value.sliced(start, end - start).trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Leading LF or CRLF before a request line are allowed; the header block ends at the first
// empty line. Returns the index just past that line, or -1.
qsizetype headerEnd(const QByteArray &buffer, qsizetype from)
{
    const qsizetype crlf = buffer.indexOf("\n\r\n", from);
    const qsizetype lf = buffer.indexOf("\n\n", from);
    if (crlf < 0 && lf < 0)
        return -1;
    if (lf < 0 || (crlf >= 0 && crlf < lf))
        return crlf + 3;
    return lf + 2;
}

} // namespace

RequestFraming::Event RequestFraming::fail(int status, QString message)
{
    m_errorStatus = status;
    m_errorMessage = std::move(message);
    return Event::Error;
}

RequestFraming::Event RequestFraming::finishRequest()
{
    m_phase = Phase::Idle;
    m_chunkState = ChunkState::None;
    m_remaining = 0;
    m_buffer.clear();
    return Event::RequestDone;
}

RequestFraming::Event RequestFraming::skipBody(qint64 bytes)
{
    const qint64 taken = std::min(bytes, m_remaining);
    m_remaining -= taken;
    m_bodyBytes += taken;
    return m_remaining == 0 ? finishRequest() : Event::NeedMore;
}

RequestFraming::Event RequestFraming::advance(const char *data, qsizetype size, qsizetype *offset)
{
    if (m_errorStatus != 0)
        return Event::Error;
    // A request without a body ends right after its head.
    if (m_phase == Phase::Body && m_chunkState == ChunkState::None && m_remaining == 0)
        return finishRequest();
    while (*offset < size) {
        if (m_phase == Phase::Body) {
            if (m_chunkState != ChunkState::None)
                return chunked(data, size, offset);
            const qint64 taken = std::min<qint64>(m_remaining, size - *offset);
            *offset += taken;
            return skipBody(taken);
        }
        if (m_phase == Phase::Idle) {
            const char c = data[*offset];
            if (c == '\r' || c == '\n') {
                ++*offset;
                continue;
            }
            m_phase = Phase::Header;
        }
        const qsizetype before = m_buffer.size();
        // Enough to see a terminator just past the limit; more is refused below.
        const qsizetype taken = std::min<qsizetype>(size - *offset, m_maxHeaderBytes + 4 - before);
        m_buffer.append(data + *offset, taken);
        // A bad request line is refused as soon as it is complete, before the server's own
        // parser gives up on it without an answer.
        if (!m_requestLineChecked) {
            if (const qsizetype lineEnd = m_buffer.indexOf('\n', before); lineEnd >= 0) {
                m_requestLineChecked = true;
                if (checkRequestLine(QByteArrayView(m_buffer).first(lineEnd)) == Event::Error)
                    return Event::Error;
            }
        }
        const qsizetype end = headerEnd(m_buffer, std::max<qsizetype>(0, before - 3));
        if (end < 0) {
            *offset += taken;
            if (m_buffer.size() > m_maxHeaderBytes)
                return fail(431, QStringLiteral("request headers exceed %1 bytes").arg(m_maxHeaderBytes));
            continue;
        }
        *offset += end - before;
        m_buffer.truncate(end);
        if (end > m_maxHeaderBytes)
            return fail(431, QStringLiteral("request headers exceed %1 bytes").arg(m_maxHeaderBytes));
        return parseHead();
    }
    return Event::NeedMore;
}

RequestFraming::Event RequestFraming::checkRequestLine(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const QByteArrayList parts = line.toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty())
        return fail(400, QStringLiteral("malformed request line"));
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return fail(400, QStringLiteral("only HTTP/1.1 and HTTP/1.0 are served"));
    if (parts[0] == "CONNECT")
        return fail(405, QStringLiteral("CONNECT is not served"));
    return Event::NeedMore;
}

RequestFraming::Event RequestFraming::parseHead()
{
    const QByteArray block = std::exchange(m_buffer, QByteArray());
    m_requestLineChecked = false;
    // The lines of the block without their line ends, as views into it.
    QVarLengthArray<QByteArrayView, 32> lines;
    for (qsizetype start = 0; start < block.size();) {
        qsizetype end = block.indexOf('\n', start);
        if (end < 0)
            end = block.size();
        QByteArrayView line(block.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    const QByteArrayList requestLine = lines.value(0).toByteArray().split(' ');
    if (checkRequestLine(lines.value(0)) == Event::Error)
        return Event::Error;
    const QByteArray &version = requestLine[2];

    Head head;
    head.method = requestLine[0];
    head.target = requestLine[1];
    head.path = head.target.left(head.target.indexOf('?') < 0 ? head.target.size() : head.target.indexOf('?'));
    bool keepAlive = false;
    bool close = false;
    bool hasTransferEncoding = false;
    int keys = 0;
    int serials = 0;
    int contentTypes = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.startsWith(' ') || line.startsWith('\t') || !isToken(line.first(colon)))
            return fail(400, QStringLiteral("malformed header line"));
        const QByteArrayView name = line.first(colon);
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        const auto is = [&name](const char *wanted) { return name.compare(wanted, Qt::CaseInsensitive) == 0; };
        if (is("content-length")) {
            bool ok = value.size() <= 18 && !value.isEmpty() &&
                      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
            const qint64 length = ok ? value.toLongLong(&ok) : 0;
            if (!ok || (head.contentLength && *head.contentLength != length))
                return fail(400, QStringLiteral("malformed Content-Length"));
            head.contentLength = length;
        } else if (is("transfer-encoding")) {
            if (hasTransferEncoding || value.compare("chunked", Qt::CaseInsensitive) != 0)
                return fail(400, QStringLiteral("only the chunked Transfer-Encoding is accepted"));
            hasTransferEncoding = true;
        } else if (is("connection")) {
            close = close || hasListToken(value, "close");
            keepAlive = keepAlive || hasListToken(value, "keep-alive");
        } else if (is("upgrade")) {
            if (value.compare("websocket", Qt::CaseInsensitive) != 0)
                return fail(400, QStringLiteral("protocol upgrades are not served"));
            head.webSocketUpgrade = true;
        } else if (is("x-device-serial")) {
            head.serialBytes = value.size();
            head.deviceSerial = value.toByteArray();
            ++serials;
        } else if (is("x-fleet-key")) {
            head.fleetKey = value.toByteArray();
            ++keys;
        } else if (is("content-type")) {
            head.contentType = value.toByteArray();
            ++contentTypes;
        } else if (is("expect")) {
            head.expectsContinue = value.compare("100-continue", Qt::CaseInsensitive) == 0;
        }
    }
    if (keys > 1 || serials > 1 || contentTypes > 1) {
        head.fleetKey.clear();
        head.deviceSerial.clear();
        head.contentType.clear();
    }
    if (hasTransferEncoding && head.contentLength)
        return fail(400, QStringLiteral("both Content-Length and Transfer-Encoding"));
    if (hasTransferEncoding && version == "HTTP/1.0")
        return fail(400, QStringLiteral("Transfer-Encoding in an HTTP/1.0 request"));
    head.chunked = hasTransferEncoding;
    head.closeAfter = close || (version == "HTTP/1.0" && !keepAlive);

    m_head = std::move(head);
    m_phase = Phase::Body;
    m_bodyBytes = 0;
    m_chunkState = m_head.chunked ? ChunkState::Size : ChunkState::None;
    m_remaining = m_head.chunked ? 0 : m_head.contentLength.value_or(0);
    return Event::HeadReady;
}

RequestFraming::Event RequestFraming::chunked(const char *data, qsizetype size, qsizetype *offset)
{
    while (*offset < size) {
        if (m_chunkState == ChunkState::Data) {
            const qint64 taken = std::min<qint64>(m_remaining, size - *offset);
            *offset += taken;
            m_remaining -= taken;
            m_bodyBytes += taken;
            if (m_remaining == 0)
                m_chunkState = ChunkState::DataEnd;
            continue;
        }
        // The other states read one line: a chunk size, the CRLF after a chunk, or a trailer.
        const qsizetype newline = QByteArrayView(data + *offset, size - *offset).indexOf('\n');
        const qsizetype taken = newline < 0 ? size - *offset : newline + 1;
        m_buffer.append(data + *offset, taken);
        *offset += taken;
        if (m_buffer.size() > kMaxChunkLineBytes)
            return fail(400, QStringLiteral("malformed chunked body"));
        if (newline < 0)
            return Event::NeedMore;
        QByteArray line = m_buffer.trimmed();
        m_buffer.clear();
        if (m_chunkState == ChunkState::DataEnd) {
            if (!line.isEmpty())
                return fail(400, QStringLiteral("malformed chunked body"));
            m_chunkState = ChunkState::Size;
        } else if (m_chunkState == ChunkState::Size) {
            const qsizetype extension = line.indexOf(';');
            const QByteArray digits = (extension < 0 ? line : line.left(extension)).trimmed();
            bool ok = !digits.isEmpty() && digits.size() <= 15 &&
                      std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(uchar(c)) != 0; });
            const qint64 chunk = ok ? digits.toLongLong(&ok, 16) : 0;
            if (!ok)
                return fail(400, QStringLiteral("malformed chunk size"));
            m_remaining = chunk;
            m_chunkState = chunk == 0 ? ChunkState::Trailer : ChunkState::Data;
        } else if (line.isEmpty()) {
            return finishRequest();
        }
    }
    return Event::NeedMore;
}

} // namespace vesk::fleetd
