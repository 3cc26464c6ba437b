#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace vesk {

// A decoded property list: dictionaries become QVariantMap, arrays QVariantList, strings
// QString, integers qint64, reals double, booleans bool, dates QDateTime (UTC), data
// QByteArray. `error` says why the bytes were refused; it is empty on success.
struct PlistResult {
    QVariant value;
    QString error;

    bool ok() const { return error.isEmpty(); }
    static PlistResult failure(QString why) { return PlistResult{QVariant(), std::move(why)}; }
};

// Picks the format from the first bytes: "bplist00" is binary, anything else is read as XML.
PlistResult parsePropertyList(const QByteArray &bytes);

} // namespace vesk
