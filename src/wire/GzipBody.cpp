#include "wire/GzipBody.h"

#include <zlib.h>

#include <array>

namespace vesk::GzipBody {

namespace {
// zlib's window bits plus 16: a gzip header and trailer instead of zlib's.
constexpr int kGzipWindowBits = 15 + 16;
} // namespace

QByteArray compress(const QByteArray &data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size())) + 18), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : QByteArray();
}

Inflated inflate(const QByteArray &gzip, qint64 maxBytes)
{
    Inflated result;
    z_stream stream{};
    if (inflateInit2(&stream, kGzipWindowBits) != Z_OK)
        return result;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gzip.constData()));
    stream.avail_in = uInt(gzip.size());
    QByteArray out;
    std::array<char, 16384> chunk;
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
        stream.avail_out = uInt(chunk.size());
        status = ::inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        const qsizetype produced = qsizetype(chunk.size() - stream.avail_out);
        if (out.size() + produced > maxBytes) {
            result.tooLarge = true;
            break;
        }
        out.append(chunk.data(), produced);
        // No progress with input left means a truncated stream.
        if (status == Z_OK && produced == 0 && stream.avail_in == 0)
            break;
    }
    // Only a whole stream with nothing after it counts; trailing bytes are a broken body.
    if (status == Z_STREAM_END && stream.avail_in == 0 && !result.tooLarge)
        result.data = std::move(out);
    inflateEnd(&stream);
    return result;
}

} // namespace vesk::GzipBody
