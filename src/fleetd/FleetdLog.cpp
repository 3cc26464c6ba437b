#include "fleetd/FleetdLog.h"

Q_LOGGING_CATEGORY(lcFleetd, "fleetd")
