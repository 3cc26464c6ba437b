#pragma once

#include "platform/KeychainStore.h"
#include "platform/linux/KeychainFileFormat.h"

namespace vesk {

// The keychain of a machine without a desktop keychain: one JSON file, mode 0600 in a
// folder of mode 0700, replaced atomically on every change. A wrong mode found on
// either is put right and logged. A damaged file is reported by reads and removals
// and left alone; the next write copies it aside (`<file>.corrupt-<UTC time>`) and
// starts a fresh file, so nothing is lost without a trace.
//
// The file is read on every operation, so several stores (or processes) on one file
// see each other's writes; the last writer wins. Operations finish before returning.
class FileKeychainStore final : public KeychainStore {
public:
    explicit FileKeychainStore(QString file);

    QCoro::Task<KeychainRead> read(QString service, QString account) override;
    QCoro::Task<KeychainResult> write(QString service, QString account, QByteArray value) override;
    QCoro::Task<KeychainResult> remove(QString service, QString account) override;

    const QString &file() const { return m_file; }

private:
    struct Loaded {
        KeychainResult result; // Corrupt or Failed when the file could not be used
        KeychainItems items;
        bool exists = false;
    };

    KeychainRead readItem(const QString &service, const QString &account) const;
    KeychainResult writeItem(const QString &service, const QString &account, const QByteArray &value) const;
    KeychainResult removeItem(const QString &service, const QString &account) const;

    // Creates the folder when asked to, then enforces the modes of folder and file.
    KeychainResult securePlace(bool createFolder) const;
    Loaded load() const;
    KeychainResult setAsideDamagedFile() const;
    KeychainResult save(const KeychainItems &items) const;

    QString m_file;
    QString m_folder;
};

} // namespace vesk
