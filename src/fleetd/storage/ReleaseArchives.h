#pragma once

#include <QString>

#include <optional>

namespace vesk::fleetd {

// Release archives this server hosts and signs, kept beside the database: the fleet's Ed25519
// signing key in "<db>.release-key" (mode 0600, made on first use) and the archives in
// "<db>.releases/", each as "<sha256>-<file name>" with its signature in a ".sig" file next to it.
class ReleaseArchives {
public:
    // Where a hosted archive is fetched: this route and "?file=" + its name.
    static constexpr const char *downloadRoute = "/api/release_download?file=";

    explicit ReleaseArchives(QString dbPath) : m_dbPath(std::move(dbPath)) {}

    QString folder() const { return m_dbPath + QStringLiteral(".releases"); }
    QString keyFile() const { return m_dbPath + QStringLiteral(".release-key"); }

    // The fleet's public key (base64), making the key pair first when there is none.
    std::optional<QString> publicKey(QString *error) const;

    struct Stored {
        QString name;      // inside folder()
        QString sha256;    // hex
        QString signature; // base64 Ed25519ph of the archive's bytes
    };
    // Copies the archive in, hashed and signed.
    std::optional<Stored> store(const QString &archive, QString *error) const;
    // The signature kept for a hosted archive, empty when there is none.
    QString signatureOf(const QString &name) const;
    // The path of a hosted archive, or none when `name` names nothing hosted here.
    std::optional<QString> pathOf(const QString &name) const;

private:
    std::optional<QByteArray> secretKey(QString *error) const;

    QString m_dbPath;
};

} // namespace vesk::fleetd
