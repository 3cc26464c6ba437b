#include "app/FleetSettingsStore.h"
