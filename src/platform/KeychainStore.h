#pragma once

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <iosfwd>
#include <optional>

class QDebug;

namespace vesk {

// Why a keychain operation did not succeed. NotFound is an ordinary answer of a
// read, never of a write or a removal.
enum class KeychainError {
    None,
    NotFound,     // no item of that service and account
    Unavailable,  // no keychain answered: no backend, locked, or no reply in time
    AccessDenied, // the keychain refused, or its file could not be kept private
    Corrupt,      // the stored data cannot be read back; a write sets it aside
    Failed,       // anything else, such as an I/O error while saving
};

// Outcome of one keychain operation. The message is a complete sentence fit for the
// log; it names items and files, never a secret.
struct KeychainResult {
    KeychainError code = KeychainError::None;
    QString message;

    bool ok() const { return code == KeychainError::None; }

    static KeychainResult success() { return {}; }
    static KeychainResult failure(KeychainError code, const QString &message) { return {code, message}; }

    friend bool operator==(const KeychainResult &, const KeychainResult &) = default;
};

// Outcome of a read: the stored bytes, or why there are none.
struct KeychainRead {
    KeychainResult result;
    QByteArray value; // meaningful only when result.ok()

    bool found() const { return result.ok(); }
    bool absent() const { return result.code == KeychainError::NotFound; }
    bool failed() const { return !found() && !absent(); }
    // The bytes, or none when the item is absent or could not be read: the agent
    // treats a keychain read error as "nothing stored".
    std::optional<QByteArray> valueOrNone() const;

    static KeychainRead of(const QByteArray &value) { return {KeychainResult::success(), value}; }
    static KeychainRead notFound();
    static KeychainRead error(const KeychainResult &result) { return {result, {}}; }

    friend bool operator==(const KeychainRead &, const KeychainRead &) = default;
};

QString keychainErrorName(KeychainError code);

std::ostream &operator<<(std::ostream &out, KeychainError code);
std::ostream &operator<<(std::ostream &out, const KeychainResult &result);
// Prints the size of a found value, never its bytes.
std::ostream &operator<<(std::ostream &out, const KeychainRead &read);
QDebug operator<<(QDebug out, const KeychainResult &result);

// Generic-password items named by a service and an account. An empty account is an
// item with no account of its own (the lock hashes and share passwords are named by
// their service alone); the fleet secret's items share one service and differ by
// account. Values are bytes; text is stored as UTF-8.
//
// Every operation is awaitable because a desktop keychain answers over D-Bus and may
// take its time; the file keychain completes before returning. Arguments are taken
// by value so that a suspended operation never refers to a caller's temporaries.
class KeychainStore {
public:
    virtual ~KeychainStore() = default;

    virtual QCoro::Task<KeychainRead> read(QString service, QString account) = 0;
    // Replaces any item of the same service and account.
    virtual QCoro::Task<KeychainResult> write(QString service, QString account, QByteArray value) = 0;
    // Removing an item that does not exist succeeds.
    virtual QCoro::Task<KeychainResult> remove(QString service, QString account) = 0;
};

} // namespace vesk
