// Policy and update records as the agent reads them from the fleet server: snake_case keys
// converted first. "<record name>\n<JSON>"; a record that decodes must survive its own
// encoding unchanged.
#include "FuzzTarget.h"

#include "wire/KeyCaseConversion.h"
#include "wire/policy/AppUpdatesResponse.h"
#include "wire/policy/DevicePolicy.h"
#include "wire/policy/DevicePolicyResponse.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

template <class T> void decodeAndRoundTrip(const QJsonValue &root)
{
    QString error;
    const std::optional<T> record = T::fromJson(root, &error);
    if (!record) {
        VESK_FUZZ_CHECK(!error.isEmpty());
        return;
    }
    const QByteArray text = QJsonDocument(record->toJson()).toJson();
    const std::optional<T> again = T::fromJson(QJsonDocument::fromJson(text).object(), nullptr);
    VESK_FUZZ_CHECK(again.has_value());
    VESK_FUZZ_CHECK(*again == *record);
}

} // namespace

VESK_FUZZ_TARGET(policy_records)
{
    const vesk::fuzz::SplitInput split = vesk::fuzz::splitFirstLine(input);
    const QJsonDocument document = QJsonDocument::fromJson(split.rest);
    const QJsonValue root =
        vesk::KeyCase::fromSnakeCase(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
    if (split.head == "DevicePolicy")
        decodeAndRoundTrip<vesk::DevicePolicy>(root);
    else if (split.head == "DevicePolicyResponse")
        decodeAndRoundTrip<vesk::DevicePolicyResponse>(root);
    else if (split.head == "AppUpdatesResponse")
        decodeAndRoundTrip<vesk::AppUpdatesResponse>(root);
}
