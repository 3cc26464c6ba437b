#include "MemoryKeychainStore.h"

namespace vesk::test {

QCoro::Task<KeychainRead> MemoryKeychainStore::read(QString service, QString account)
{
    ++m_calls[index(Operation::Read)];
    if (failing(Operation::Read))
        co_return KeychainRead::error(m_failures[index(Operation::Read)]);
    const auto it = m_items.constFind({service, account});
    if (it == m_items.cend())
        co_return KeychainRead::notFound();
    co_return KeychainRead::of(it.value());
}

QCoro::Task<KeychainResult> MemoryKeychainStore::write(QString service, QString account, QByteArray value)
{
    ++m_calls[index(Operation::Write)];
    if (failing(Operation::Write)) {
        // Copy first: QCoro moves from the expression given to co_return.
        const KeychainResult failure = m_failures[index(Operation::Write)];
        co_return failure;
    }
    m_items.insert({service, account}, value);
    co_return KeychainResult::success();
}

QCoro::Task<KeychainResult> MemoryKeychainStore::remove(QString service, QString account)
{
    ++m_calls[index(Operation::Remove)];
    if (failing(Operation::Remove)) {
        // Copy first: QCoro moves from the expression given to co_return.
        const KeychainResult failure = m_failures[index(Operation::Remove)];
        co_return failure;
    }
    m_items.remove({service, account});
    co_return KeychainResult::success();
}

void MemoryKeychainStore::put(const QString &service, const QString &account, const QByteArray &value)
{
    m_items.insert({service, account}, value);
}

std::optional<QByteArray> MemoryKeychainStore::stored(const QString &service, const QString &account) const
{
    const auto it = m_items.constFind({service, account});
    if (it == m_items.cend())
        return std::nullopt;
    return it.value();
}

void MemoryKeychainStore::failWith(Operation op, const KeychainResult &result, int succeedFirst)
{
    m_failures[index(op)] = result;
    m_failFromCall[index(op)] = m_calls[index(op)] + succeedFirst;
}

void MemoryKeychainStore::clearFailures()
{
    m_failures.fill(KeychainResult::success());
}

} // namespace vesk::test
