#pragma once

#include <QString>

namespace vesk::fleetd {

// The text of `vesk-fleetd --help`.
QString fleetdHelpText();

} // namespace vesk::fleetd
