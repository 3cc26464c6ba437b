#pragma once

#include <QString>

#include <ostream>

namespace vesk {

// A tenant's fleet secret as kept in the keychain: the id and the 64-character code.
struct StoredFleetSecret {
    QString code;
    qint64 id = 0;

    friend bool operator==(const StoredFleetSecret &, const StoredFleetSecret &) = default;
};

// Prints the id and the code's length, never the code.
inline std::ostream &operator<<(std::ostream &out, const StoredFleetSecret &secret)
{
    return out << "StoredFleetSecret(id=" << secret.id << ", " << secret.code.size() << " chars)";
}

} // namespace vesk
