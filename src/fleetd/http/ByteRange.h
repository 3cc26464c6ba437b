#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace vesk::fleetd {

// The part of a file a GET's Range header asks for. A single "bytes=a-b", "bytes=a-" or
// "bytes=-n" is honoured; anything else (no header, another unit, several ranges, a malformed
// value) means the whole file, as a server may ignore a Range it does not serve.
struct ByteRange {
    qint64 first = 0;
    qint64 length = 0;
    // The range names no byte of the file: the answer is 416.
    bool unsatisfiable = false;

    // None: serve the whole file with 200.
    static std::optional<ByteRange> parse(const QByteArray &header, qint64 fileSize);
};

} // namespace vesk::fleetd
