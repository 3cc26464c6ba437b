#pragma once

#include "platform/KeychainStore.h"

#include <QMap>

#include <array>
#include <utility>

namespace vesk::test {

// The keychain in memory. A failure set for an operation makes every later call of
// it fail with that result, without touching the items, until it is cleared; this is
// how services are driven down their "keychain error" paths.
class MemoryKeychainStore final : public KeychainStore {
public:
    enum class Operation { Read, Write, Remove };

    QCoro::Task<KeychainRead> read(QString service, QString account) override;
    QCoro::Task<KeychainResult> write(QString service, QString account, QByteArray value) override;
    QCoro::Task<KeychainResult> remove(QString service, QString account) override;

    // Setup and inspection, outside any failure that is set.
    void put(const QString &service, const QString &account, const QByteArray &value);
    std::optional<QByteArray> stored(const QString &service, const QString &account) const;
    int itemCount() const { return int(m_items.size()); }

    // Every later call of `op` fails with `result`, once `succeedFirst` more calls of it have
    // succeeded; an ok result clears the failure.
    void failWith(Operation op, const KeychainResult &result, int succeedFirst = 0);
    void clearFailures();
    // How many times `op` was asked for, failed calls included.
    int calls(Operation op) const { return m_calls[index(op)]; }

private:
    static std::size_t index(Operation op) { return std::size_t(op); }
    bool failing(Operation op) const
    {
        return !m_failures[index(op)].ok() && m_calls[index(op)] > m_failFromCall[index(op)];
    }

    QMap<std::pair<QString, QString>, QByteArray> m_items;
    std::array<KeychainResult, 3> m_failures{};
    std::array<int, 3> m_calls{};
    std::array<int, 3> m_failFromCall{};
};

} // namespace vesk::test
