// A settings file chosen by the operator on import. One that decodes must export and
// import again to the same snapshot.
#include "FuzzTarget.h"

#include "local/SettingsSnapshot.h"

VESK_FUZZ_TARGET(settings_export)
{
    const auto decoded = vesk::SettingsSnapshot::decode(input);
    const auto *snapshot = std::get_if<vesk::SettingsSnapshot>(&decoded);
    if (!snapshot)
        return;
    const auto again = vesk::SettingsSnapshot::decode(snapshot->encode());
    const auto *reread = std::get_if<vesk::SettingsSnapshot>(&again);
    VESK_FUZZ_CHECK(reread != nullptr);
    VESK_FUZZ_CHECK(reread->encode() == snapshot->encode());
}
