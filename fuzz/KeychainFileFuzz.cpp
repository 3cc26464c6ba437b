// The private keychain file: a file that reads must write back to one that reads the same.
#include "FuzzTarget.h"

#include "platform/linux/KeychainFileFormat.h"

VESK_FUZZ_TARGET(keychain_file)
{
    const vesk::KeychainFileContents contents = vesk::parseKeychainFile(input);
    if (!contents.error.isEmpty())
        return;
    const vesk::KeychainFileContents again = vesk::parseKeychainFile(vesk::serializeKeychainFile(contents.items));
    VESK_FUZZ_CHECK(again.error.isEmpty());
    VESK_FUZZ_CHECK(again.items == contents.items);
}
