#pragma once

#include <QMutex>
#include <QMutexLocker>

namespace vesk {

// The four pairing status flags of this machine's fleet secret. Pairing work runs off
// the main thread, so every read and write takes the state lock.
class PairingFlags {
public:
    struct Snapshot {
        bool isRevoked = false;
        bool tenantHasNoSecret = false;
        bool serialUnknown = false;
        bool needsReentry = false;
        bool operator==(const Snapshot &) const = default;
    };

    Snapshot snapshot() const
    {
        QMutexLocker lock(&m_lock);
        return m_flags;
    }
    void set(const Snapshot &flags)
    {
        QMutexLocker lock(&m_lock);
        m_flags = flags;
    }
    void clear() { set(Snapshot{}); }
    // Raises one flag, leaving the others as they are, in one step under the lock.
    void raise(bool Snapshot::*flag)
    {
        QMutexLocker lock(&m_lock);
        m_flags.*flag = true;
    }

private:
    mutable QMutex m_lock;
    Snapshot m_flags;
};

} // namespace vesk
