#include "platform/linux/PropertyList.h"

#include "platform/linux/BinaryPropertyList.h"
#include "platform/linux/XmlPropertyList.h"

namespace vesk {

PlistResult parsePropertyList(const QByteArray &bytes)
{
    if (bytes.startsWith("bplist"))
        return parseBinaryPropertyList(bytes);
    return parseXmlPropertyList(bytes);
}

} // namespace vesk
