// Fleet records as the agent and vesk-fleetd read them: "<record name>\n<JSON>". A record
// that decodes must encode and decode again to an equal record.
#include "FuzzTarget.h"
#include "RecordCodecs.h"

#include <QJsonArray>
#include <QJsonDocument>

VESK_FUZZ_TARGET(wire_records)
{
    static const std::vector<vesk::test::RecordCodec> codecs = vesk::test::allRecordCodecs();
    const vesk::fuzz::SplitInput split = vesk::fuzz::splitFirstLine(input);
    const QJsonDocument document = QJsonDocument::fromJson(split.rest);
    const QJsonValue root = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    for (const vesk::test::RecordCodec &codec : codecs) {
        if (codec.name.toUtf8() != split.head)
            continue;
        QString error;
        const std::optional<QJsonObject> encoded = codec.decodeAndEncode(root, &error);
        VESK_FUZZ_CHECK(encoded || !error.isEmpty());
        if (encoded)
            VESK_FUZZ_CHECK(codec.roundTripsStably(root));
    }
}
