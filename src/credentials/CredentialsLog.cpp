#include "credentials/CredentialsLog.h"

namespace vesk {
Q_LOGGING_CATEGORY(lcCredentials, "credentials")
} // namespace vesk
