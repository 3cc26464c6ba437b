#pragma once

#include <QString>
#include <QUrl>

namespace vesk::credentials {

// The upload service's connection-test URL this build was configured with.
QUrl defaultUploadTestUrl();

// The fixed key password the connection test sends; set at build time.
QString keyPassword();

} // namespace vesk::credentials
