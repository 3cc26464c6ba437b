#include "platform/linux/BinaryPropertyList.h"

#include <QDateTime>
#include <QTimeZone>

#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace vesk {

namespace {

constexpr qsizetype kHeaderSize = 8;
constexpr qsizetype kTrailerSize = 32;
constexpr int kMaxDepth = 256;
// Seconds from 1970-01-01 to the format's epoch, 2001-01-01 (UTC).
constexpr double kEpochOffset = 978307200.0;

class BinaryPlistReader {
public:
    explicit BinaryPlistReader(const QByteArray &bytes)
        : m_data(reinterpret_cast<const unsigned char *>(bytes.constData())), m_size(quint64(bytes.size())) {}

    PlistResult read()
    {
        if (m_size < quint64(kHeaderSize + kTrailerSize) || std::memcmp(m_data, "bplist00", 8) != 0)
            return PlistResult::failure(QStringLiteral("not a bplist00 file"));
        const unsigned char *trailer = m_data + m_size - kTrailerSize;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        const quint64 objectCount = bigEndian(trailer + 8, 8);
        const quint64 topObject = bigEndian(trailer + 16, 8);
        m_offsetTable = bigEndian(trailer + 24, 8);
        m_objectsEnd = m_size - kTrailerSize;

        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return PlistResult::failure(QStringLiteral("bad offset or reference size in trailer"));
        if (m_offsetTable < quint64(kHeaderSize) || m_offsetTable > m_objectsEnd)
            return PlistResult::failure(QStringLiteral("offset table lies outside the file"));
        // Divide instead of multiply so a huge count cannot overflow the check.
        if (objectCount == 0 || objectCount > (m_objectsEnd - m_offsetTable) / m_offsetSize)
            return PlistResult::failure(QStringLiteral("object count does not fit the offset table"));
        if (topObject >= objectCount)
            return PlistResult::failure(QStringLiteral("top object is not in the table"));

        m_objectCount = objectCount;
        m_decoded.resize(objectCount);
        m_inProgress.assign(objectCount, false);
        QVariant value = object(topObject, 0);
        if (!m_error.isEmpty())
            return PlistResult::failure(m_error);
        return PlistResult{std::move(value), {}};
    }

private:
    static quint64 bigEndian(const unsigned char *p, unsigned width)
    {
        quint64 v = 0;
        for (unsigned i = 0; i < width; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    bool has(quint64 pos, quint64 length) const { return pos <= m_objectsEnd && length <= m_objectsEnd - pos; }

    QVariant fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = why;
        return {};
    }

    QVariant object(quint64 index, int depth)
    {
        if (index >= m_objectCount)
            return fail(QStringLiteral("reference %1 is outside the object table").arg(index));
        if (m_decoded[index])
            return *m_decoded[index];
        if (m_inProgress[index])
            return fail(QStringLiteral("object %1 contains itself").arg(index));
        if (depth > kMaxDepth)
            return fail(QStringLiteral("nesting deeper than %1 levels").arg(kMaxDepth));
        const quint64 offset = bigEndian(m_data + m_offsetTable + index * m_offsetSize, m_offsetSize);
        if (offset < quint64(kHeaderSize) || offset >= m_offsetTable)
            return fail(QStringLiteral("object %1 starts outside the object area").arg(index));

        m_inProgress[index] = true;
        QVariant value = decode(offset, depth);
        m_inProgress[index] = false;
        if (!m_error.isEmpty())
            return {};
        m_decoded[index] = value;
        return value;
    }

    // Count of a container or string: the marker's low nibble, or an int object after it.
    std::optional<quint64> count(quint64 &pos, unsigned nibble)
    {
        if (nibble != 0xF)
            return nibble;
        if (!has(pos, 1) || (m_data[pos] & 0xF0) != 0x10 || (m_data[pos] & 0x0F) > 3) {
            fail(QStringLiteral("bad length after marker at %1").arg(pos));
            return std::nullopt;
        }
        const unsigned width = 1u << (m_data[pos] & 0x0F);
        if (!has(pos + 1, width)) {
            fail(QStringLiteral("length at %1 runs past the end").arg(pos));
            return std::nullopt;
        }
        const quint64 n = bigEndian(m_data + pos + 1, width);
        pos += 1 + width;
        return n;
    }

    QVariant decode(quint64 pos, int depth)
    {
        const unsigned char marker = m_data[pos++];
        const unsigned type = marker >> 4;
        const unsigned nibble = marker & 0x0F;
        switch (type) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09)
                return marker == 0x09;
            return fail(QStringLiteral("unsupported marker 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
        case 0x1: {
            if (nibble > 4)
                return fail(QStringLiteral("integer wider than 16 bytes"));
            const unsigned width = 1u << nibble;
            if (!has(pos, width))
                return fail(QStringLiteral("integer runs past the end"));
            // 16-byte integers carry the value in their low 8 bytes.
            const unsigned skip = width > 8 ? width - 8 : 0;
            const quint64 raw = bigEndian(m_data + pos + skip, width - skip);
            // Widths under 8 bytes are unsigned; 8 and 16 bytes are two's complement.
            return qint64(raw);
        }
        case 0x2: {
            if (nibble != 2 && nibble != 3)
                return fail(QStringLiteral("real of unsupported width"));
            const unsigned width = 1u << nibble;
            if (!has(pos, width))
                return fail(QStringLiteral("real runs past the end"));
            const quint64 raw = bigEndian(m_data + pos, width);
            if (width == 4)
                return double(std::bit_cast<float>(quint32(raw)));
            return std::bit_cast<double>(raw);
        }
        case 0x3: {
            if (marker != 0x33 || !has(pos, 8))
                return fail(QStringLiteral("bad date"));
            const double seconds = std::bit_cast<double>(bigEndian(m_data + pos, 8));
            // Keep the value inside what QDateTime and qint64 milliseconds can carry.
            if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12)
                return fail(QStringLiteral("date out of range"));
            return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((seconds + kEpochOffset) * 1000.0)), QTimeZone::utc());
        }
        case 0x4:
        case 0x5:
        case 0x6: {
            const auto n = count(pos, nibble);
            if (!n)
                return {};
            const quint64 unit = type == 0x6 ? 2 : 1;
            if (*n > m_objectsEnd / unit || !has(pos, *n * unit))
                return fail(QStringLiteral("string or data at %1 runs past the end").arg(pos));
            const char *p = reinterpret_cast<const char *>(m_data + pos);
            if (type == 0x4)
                return QByteArray(p, qsizetype(*n));
            if (type == 0x5)
                return QString::fromLatin1(p, qsizetype(*n));
            QString s(qsizetype(*n), Qt::Uninitialized);
            for (quint64 i = 0; i < *n; ++i)
                s[qsizetype(i)] = QChar(char16_t(bigEndian(m_data + pos + 2 * i, 2)));
            return s;
        }
        case 0xA:
        case 0xD: {
            const auto n = count(pos, nibble);
            if (!n)
                return {};
            const quint64 refs = type == 0xD ? 2 : 1;
            if (*n > m_objectsEnd / (refs * m_refSize) || !has(pos, *n * refs * m_refSize))
                return fail(QStringLiteral("container at %1 holds more entries than the file").arg(pos));
            if (type == 0xA) {
                QVariantList list;
                list.reserve(qsizetype(*n));
                for (quint64 i = 0; i < *n; ++i) {
                    QVariant item = object(ref(pos, i), depth + 1);
                    if (!m_error.isEmpty())
                        return {};
                    list.append(std::move(item));
                }
                return list;
            }
            QVariantMap map;
            for (quint64 i = 0; i < *n; ++i) {
                const QVariant key = object(ref(pos, i), depth + 1);
                if (!m_error.isEmpty())
                    return {};
                if (key.typeId() != QMetaType::QString)
                    return fail(QStringLiteral("dictionary key is not a string"));
                QVariant value = object(ref(pos, *n + i), depth + 1);
                if (!m_error.isEmpty())
                    return {};
                map.insert(key.toString(), std::move(value));
            }
            return map;
        }
        default:
            return fail(QStringLiteral("unsupported marker 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
        }
    }

    quint64 ref(quint64 start, quint64 i) const { return bigEndian(m_data + start + i * m_refSize, m_refSize); }

    const unsigned char *m_data;
    quint64 m_size;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    quint64 m_offsetTable = 0;
    quint64 m_objectsEnd = 0;
    quint64 m_objectCount = 0;
    std::vector<std::optional<QVariant>> m_decoded;
    std::vector<bool> m_inProgress;
    QString m_error;
};

} // namespace

PlistResult parseBinaryPropertyList(const QByteArray &bytes)
{
    return BinaryPlistReader(bytes).read();
}

} // namespace vesk
