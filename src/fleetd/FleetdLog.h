#pragma once

#include <QLoggingCategory>

// The fleet server's own log category, so operators can filter its lines.
Q_DECLARE_LOGGING_CATEGORY(lcFleetd)
