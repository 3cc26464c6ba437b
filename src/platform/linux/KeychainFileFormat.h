#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <utility>

namespace vesk {

// Contents of the keychain file: (service, account) → value.
using KeychainItems = QMap<std::pair<QString, QString>, QByteArray>;

// Outcome of reading the file's text; `error` is empty when it was understood.
struct KeychainFileContents {
    KeychainItems items;
    QString error;
};

// The file is one JSON object:
//   {"format": 1, "items": [{"service": "…", "account": "…", "value": "<base64>"}, …]}
// Values are base64 so that any bytes survive. Anything else, including a format
// newer than this agent knows, is reported as an error rather than guessed at.
KeychainFileContents parseKeychainFile(const QByteArray &text);
QByteArray serializeKeychainFile(const KeychainItems &items);

} // namespace vesk
