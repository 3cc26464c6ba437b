#pragma once

#include "platform/linux/PropertyList.h"

namespace vesk {

// The XML form: <plist> holding one value. Nesting deeper than a sane limit is refused.
PlistResult parseXmlPropertyList(const QByteArray &bytes);

} // namespace vesk
