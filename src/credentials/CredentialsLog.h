#pragma once

#include <QLoggingCategory>

namespace vesk {
// The credentials module logs under its own category, "credentials".
Q_DECLARE_LOGGING_CATEGORY(lcCredentials)
} // namespace vesk
