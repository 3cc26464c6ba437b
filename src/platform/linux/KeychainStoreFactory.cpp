#include "platform/linux/KeychainStoreFactory.h"

#include "platform/LogCategories.h"
#include "platform/linux/FileKeychainStore.h"
#include "platform/linux/SecretServiceKeychain.h"
#include "platform/linux/SecretServiceProbe.h"

#include <QDBusConnection>
#include <QLibrary>

namespace vesk {

namespace {

// How long start-up waits for the session bus to say whether a Secret Service exists.
constexpr std::chrono::milliseconds kProbeTimeout{1500};

// QtKeychain speaks to a Secret Service through libsecret, loaded at run time; without
// it every operation would fail, so the file is the better keychain.
bool libsecretLoadable()
{
    QLibrary library(QStringLiteral("secret-1"), 0);
    return library.load();
}

} // namespace

std::unique_ptr<KeychainStore> makeKeychainStore(const PlatformPaths &paths)
{
    QString reason = QStringLiteral("no Secret Service on the session bus");
    if (secretServiceAnswers(QDBusConnection::sessionBus(), kProbeTimeout)) {
        if (libsecretLoadable()) {
            qCInfo(lcPlatform) << "Keychain: the desktop keychain (a Secret Service answers on the session bus)";
            return std::make_unique<SecretServiceKeychain>();
        }
        reason = QStringLiteral("a Secret Service answers but libsecret is not installed");
    }
    qCInfo(lcPlatform).noquote() << QStringLiteral("Keychain: the private file %1 (%2)").arg(paths.keychainFile, reason);
    return std::make_unique<FileKeychainStore>(paths.keychainFile);
}

} // namespace vesk
