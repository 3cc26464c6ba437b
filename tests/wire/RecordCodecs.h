#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace vesk::test {

// One record type with a valid sample of its JSON, behind a type-erased decoder so
// tables can run over every record.
struct RecordCodec {
    QString name;
    QByteArray sample;
    // The decoded record encoded again, or none with the error.
    std::function<std::optional<QJsonObject>(const QJsonValue &, QString *)> decodeAndEncode;
    // Decode, encode, decode: true when both decoded records are equal.
    std::function<bool(const QJsonValue &)> roundTripsStably;
};

// Every wire and stored record, each with a sample that uses every member.
std::vector<RecordCodec> allRecordCodecs();

QJsonObject parseObject(const QByteArray &json);

} // namespace vesk::test
