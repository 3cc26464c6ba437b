// Credential files found in the scanned folders: bytes to text, text to a credential set.
#include "FuzzTarget.h"

#include "credentials/CredentialFileParser.h"

#include <QDateTime>
#include <QTimeZone>

VESK_FUZZ_TARGET(credential_file)
{
    namespace files = vesk::credentialfiles;
    static const QDateTime readAt = QDateTime::fromSecsSinceEpoch(1780000000, QTimeZone::utc());
    const std::optional<QString> text = files::decodeText(input);
    if (!text)
        return;
    (void)files::parseText(*text, QStringLiteral("Credentials_Fuzz.xml"), readAt);
    (void)files::isValidAccount(*text);
    (void)files::setNameFromFileName(text->left(300));
}
