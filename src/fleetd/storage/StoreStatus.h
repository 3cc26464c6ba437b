#pragma once

#include <QString>

#include <iosfwd>
#include <utility>

namespace vesk::fleetd {

// Outcome of a store operation: a code callers can branch on and a message for people.
class StoreStatus {
public:
    enum class Code {
        Ok,
        // No file at the given path (only when the caller asked for an existing store).
        Missing,
        // The file is not SQLite at all.
        NotADatabase,
        // SQLite, but somebody else's: tables without our schema version.
        NotAFleetDatabase,
        // Written by a newer vesk-fleetd; we refuse rather than guess.
        NewerSchema,
        // Any SQL failure: open, query, migration.
        QueryFailed,
        // The row asked for does not exist (or belongs to another tenant).
        NotFound,
        // The change contradicts what is stored (a duplicate, a finished command).
        Conflict,
        // The caller's input cannot be stored as given.
        Invalid,
    };

    StoreStatus() = default;
    StoreStatus(Code code, QString message) : m_code(code), m_message(std::move(message)) {}

    static StoreStatus ok() { return {}; }

    bool isOk() const { return m_code == Code::Ok; }
    Code code() const { return m_code; }
    const QString &message() const { return m_message; }

    friend bool operator==(const StoreStatus &, const StoreStatus &) = default;

private:
    Code m_code = Code::Ok;
    QString m_message;
};

// A value together with the status of the operation that produced it.
template <typename T>
struct StoreResult {
    StoreStatus status;
    T value{};
};

const char *toString(StoreStatus::Code code);
std::ostream &operator<<(std::ostream &stream, const StoreStatus &status);

} // namespace vesk::fleetd
