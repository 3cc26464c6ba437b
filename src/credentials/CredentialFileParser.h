#pragma once

#include "credentials/CredentialSet.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace vesk::credentialfiles {

// Credential files are a few hundred bytes; anything larger is not one and is never read whole.
inline constexpr qint64 maxFileBytes = 256 * 1024;
// Longest store number, date or location kept from a file; a longer value counts as absent.
inline constexpr int maxValueLength = 256;

// A candidate's lower-cased name begins with "credentials" and ends with ".xml" or ".txt".
bool isCandidateFileName(const QString &fileName);

// "Credentials_Haunts_2026.txt" → "Haunts_2026"; "credentials.xml" → "credentials".
QString setNameFromFileName(const QString &fileName);

// Letters, digits and hyphens only, and exactly 8 characters once the hyphens are removed.
bool isValidAccount(const QString &account);

// The file's text, or nullopt when the bytes are not UTF-8 text (bad sequences, NUL bytes).
std::optional<QString> decodeText(const QByteArray &bytes);

// The set a credential file describes, or nullopt when the text holds no "<credentials>".
// Values are the first occurrence of each element; one holding markup, and an account
// that fails isValidAccount, count as absent.
std::optional<CredentialSet> parseText(const QString &text, const QString &fileName, const QDateTime &readAt);

} // namespace vesk::credentialfiles
