#pragma once

#include "platform/PlatformPaths.h"

#include <QProcessEnvironment>

namespace vesk {

// The Linux places: VESK_APPLICATIONS (colon-separated, first one is "/Applications")
// and VESK_SHARED_DIR override the two shared locations; the rest follows HOME and XDG.
PlatformPaths linuxPaths(const QProcessEnvironment &env);

} // namespace vesk
