#pragma once

#include "platform/KeychainStore.h"
#include "platform/PlatformPaths.h"

#include <memory>

namespace vesk {

// The machine's keychain: the desktop keychain when a Secret Service answers on the
// session bus and QtKeychain can reach it through libsecret, otherwise the private file
// at `paths.keychainFile`. Logs which one it chose (category "platform").
std::unique_ptr<KeychainStore> makeKeychainStore(const PlatformPaths &paths);

} // namespace vesk
