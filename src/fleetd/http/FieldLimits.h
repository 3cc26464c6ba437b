#pragma once

#include <QtGlobal>

namespace vesk::fleetd {

// The longest identifiers the server stores, in characters: far above any real one, far below
// what would bloat the directory and every listing that prints it.
struct FieldLimits {
    static constexpr qsizetype kSerial = 128;
    static constexpr qsizetype kEventCode = 64;
    static constexpr qsizetype kAppName = 128;
    static constexpr qsizetype kVersion = 64;
    static constexpr qsizetype kHeartbeatStateKeys = 256;
};

} // namespace vesk::fleetd
