#include "fleetd/storage/ReleaseArchives.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sodium.h>

namespace vesk::fleetd {

namespace {

// Only a plain last path component, without control characters, becomes part of a name.
QString safeName(const QString &path)
{
    QString name = QFileInfo(path).fileName();
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c == QLatin1Char('/'); });
    return name.isEmpty() ? QStringLiteral("release.zip") : name;
}

} // namespace

std::optional<QByteArray> ReleaseArchives::secretKey(QString *error) const
{
    if (sodium_init() < 0) {
        *error = QStringLiteral("the signature library could not start");
        return std::nullopt;
    }
    QFile existing(keyFile());
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray key = QByteArray::fromBase64(existing.readAll().trimmed());
        if (key.size() != crypto_sign_SECRETKEYBYTES) {
            *error = keyFile() + QStringLiteral(" does not hold a signing key");
            return std::nullopt;
        }
        return key;
    }
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, Qt::Uninitialized);
    QByteArray secret(crypto_sign_SECRETKEYBYTES, Qt::Uninitialized);
    crypto_sign_keypair(reinterpret_cast<unsigned char *>(publicKey.data()),
                        reinterpret_cast<unsigned char *>(secret.data()));
    QSaveFile file(keyFile());
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(secret.toBase64() + '\n') < 0 || !file.commit()) {
        *error = keyFile() + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    return secret;
}

std::optional<QString> ReleaseArchives::publicKey(QString *error) const
{
    const std::optional<QByteArray> secret = secretKey(error);
    if (!secret)
        return std::nullopt;
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, Qt::Uninitialized);
    crypto_sign_ed25519_sk_to_pk(reinterpret_cast<unsigned char *>(publicKey.data()),
                                 reinterpret_cast<const unsigned char *>(secret->constData()));
    return QString::fromLatin1(publicKey.toBase64());
}

std::optional<ReleaseArchives::Stored> ReleaseArchives::store(const QString &archive, QString *error) const
{
    const std::optional<QByteArray> secret = secretKey(error);
    if (!secret)
        return std::nullopt;
    QFile in(archive);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = archive + QStringLiteral(": ") + in.errorString();
        return std::nullopt;
    }
    if (!QDir().mkpath(folder())) {
        *error = QStringLiteral("cannot create ") + folder();
        return std::nullopt;
    }
    const QString partial = folder() + QStringLiteral("/.incoming-") + safeName(archive);
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = partial + QStringLiteral(": ") + out.errorString();
        return std::nullopt;
    }
    // One pass: copy, hash and sign together.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    crypto_sign_state state;
    crypto_sign_init(&state);
    QByteArray block(1 << 20, Qt::Uninitialized);
    while (true) {
        const qint64 got = in.read(block.data(), block.size());
        if (got < 0 || (got > 0 && out.write(block.constData(), got) != got)) {
            *error = archive + QStringLiteral(": cannot copy: ") + (got < 0 ? in.errorString() : out.errorString());
            out.remove();
            return std::nullopt;
        }
        if (got == 0)
            break;
        hash.addData(QByteArrayView(block.constData(), got));
        crypto_sign_update(&state, reinterpret_cast<const unsigned char *>(block.constData()), quint64(got));
    }
    out.close();
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_final_create(&state, signature, nullptr, reinterpret_cast<const unsigned char *>(secret->constData()));

    Stored stored;
    stored.sha256 = QString::fromLatin1(hash.result().toHex());
    stored.name = stored.sha256 + QLatin1Char('-') + safeName(archive);
    stored.signature =
        QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(signature), sizeof signature).toBase64());
    const QString target = folder() + QLatin1Char('/') + stored.name;
    QFile::remove(target);
    QSaveFile sig(target + QStringLiteral(".sig"));
    if (!QFile::rename(partial, target) || !sig.open(QIODevice::WriteOnly) || sig.write(stored.signature.toLatin1()) < 0 ||
        !sig.commit()) {
        *error = QStringLiteral("cannot store ") + target;
        return std::nullopt;
    }
    return stored;
}

QString ReleaseArchives::signatureOf(const QString &name) const
{
    const std::optional<QString> path = pathOf(name);
    QFile sig(path.value_or(QString()) + QStringLiteral(".sig"));
    if (!path || !sig.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(sig.readAll().trimmed());
}

std::optional<QString> ReleaseArchives::pathOf(const QString &name) const
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
        name.endsWith(QLatin1String(".sig")))
        return std::nullopt;
    const QString path = folder() + QLatin1Char('/') + name;
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return path;
}

} // namespace vesk::fleetd
