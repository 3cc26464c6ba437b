#pragma once

#include "platform/KeychainStore.h"

#include <chrono>

namespace vesk {

// The desktop keychain through QtKeychain, used where a Secret Service answers on the
// session bus. An empty account is passed on as an empty key, so items named by their
// service alone stay distinct from every account of that service.
//
// A keychain that waits on its user (a locked collection asking for its password) is
// given `timeout`; after that the operation fails as Unavailable rather than holding
// up the agent, and the abandoned request finishes, and cleans up, on its own.
class SecretServiceKeychain final : public KeychainStore {
public:
    explicit SecretServiceKeychain(std::chrono::milliseconds timeout = std::chrono::seconds(15));

    QCoro::Task<KeychainRead> read(QString service, QString account) override;
    QCoro::Task<KeychainResult> write(QString service, QString account, QByteArray value) override;
    QCoro::Task<KeychainResult> remove(QString service, QString account) override;

private:
    std::chrono::milliseconds m_timeout;
};

} // namespace vesk
