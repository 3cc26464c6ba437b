#include "fleetd/http/ByteRange.h"

namespace vesk::fleetd {

namespace {

// A run of decimal digits only; "+5", " 5" and "" are not positions.
std::optional<qint64> position(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    return text.toLongLong();
}

} // namespace

std::optional<ByteRange> ByteRange::parse(const QByteArray &header, qint64 fileSize)
{
    const QByteArray value = header.trimmed();
    if (!value.startsWith("bytes=") || value.contains(','))
        return std::nullopt;
    const QByteArray rangeText = value.mid(6).trimmed();
    const qsizetype dash = rangeText.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    const QByteArray from = rangeText.left(dash);
    const QByteArray to = rangeText.mid(dash + 1);
    const ByteRange none{0, 0, true};

    if (from.isEmpty()) {
        // The last n bytes, or all of them when the file is shorter.
        const std::optional<qint64> suffix = position(to);
        if (!suffix)
            return std::nullopt;
        if (*suffix == 0 || fileSize == 0)
            return none;
        const qint64 length = qMin(*suffix, fileSize);
        return ByteRange{fileSize - length, length, false};
    }
    const std::optional<qint64> first = position(from);
    if (!first)
        return std::nullopt;
    qint64 last = fileSize - 1;
    if (!to.isEmpty()) {
        const std::optional<qint64> asked = position(to);
        if (!asked || *asked < *first)
            return std::nullopt;
        last = qMin(*asked, last);
    }
    if (*first >= fileSize)
        return none;
    return ByteRange{*first, last - *first + 1, false};
}

} // namespace vesk::fleetd
