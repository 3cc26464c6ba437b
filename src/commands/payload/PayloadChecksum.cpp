#include "commands/payload/PayloadChecksum.h"

#include <QCryptographicHash>
#include <QFile>

namespace vesk::PayloadChecksum {

Digest sha256OfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Digest{{}, file.errorString()};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return Digest{{}, file.errorString()};
    return Digest{QString::fromLatin1(hash.result().toHex()), {}};
}

QString mismatchText(const QString &expected, const QString &actual)
{
    if (expected.compare(actual, Qt::CaseInsensitive) == 0)
        return {};
    return QStringLiteral("Checksum mismatch — expected ") + expected.left(12) + QStringLiteral("…, got ") +
           actual.left(12) + QStringLiteral("…");
}

} // namespace vesk::PayloadChecksum
