#include "credentials/CredentialsConfig.h"

#include "CredentialsBuildConfig.h"

namespace vesk::credentials {

QUrl defaultUploadTestUrl()
{
    return QUrl(QStringLiteral(VESK_CREDENTIALS_UPLOAD_TEST_URL));
}

QString keyPassword()
{
    return QStringLiteral(VESK_CREDENTIALS_KEY_PASSWORD);
}

} // namespace vesk::credentials
