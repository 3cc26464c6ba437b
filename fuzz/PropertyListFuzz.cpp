// Info.plist files of installed applications, in both forms, and the format detection.
#include "FuzzTarget.h"

#include "platform/linux/BinaryPropertyList.h"
#include "platform/linux/PropertyList.h"
#include "platform/linux/XmlPropertyList.h"

namespace {

void checkOutcome(const vesk::PlistResult &result)
{
    // A refusal says why; a success carries a value.
    VESK_FUZZ_CHECK(result.ok() == result.value.isValid());
}

} // namespace

VESK_FUZZ_TARGET(property_list)
{
    checkOutcome(vesk::parsePropertyList(input));
    if (input.startsWith("bplist00"))
        checkOutcome(vesk::parseXmlPropertyList(input));
    else
        checkOutcome(vesk::parseBinaryPropertyList(QByteArray("bplist00") + input));
}
