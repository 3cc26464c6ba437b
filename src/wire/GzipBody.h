#pragma once

#include <QByteArray>

#include <optional>

namespace vesk {

// HTTP bodies sent with "Content-Encoding: gzip", shared by the agent and vesk-fleetd.
namespace GzipBody {

// Bodies shorter than this go as they are: gzip's framing and the extra header would cost
// more than a small JSON body saves.
inline constexpr qsizetype kMinimumBytes = 256;

// The gzip stream of `data` (RFC 1952), at the default level.
QByteArray compress(const QByteArray &data);

struct Inflated {
    std::optional<QByteArray> data; // none when the stream is broken or over the cap
    bool tooLarge = false;          // the stream inflates past maxBytes
};

// The bytes a gzip stream stands for, refusing as soon as they pass `maxBytes`: a few KB
// of zeros can stand for gigabytes, so nothing is inflated past the cap.
Inflated inflate(const QByteArray &gzip, qint64 maxBytes);

} // namespace GzipBody

} // namespace vesk
