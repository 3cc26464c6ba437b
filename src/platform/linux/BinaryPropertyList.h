#pragma once

#include "platform/linux/PropertyList.h"

namespace vesk {

// The binary form ("bplist00"): header, objects, offset table, 32-byte trailer. Every offset,
// reference and count is checked against the data before use; a reference cycle, a count
// larger than the bytes that could hold it, or nesting past a sane depth is refused.
// An object referenced from several places is decoded once.
PlistResult parseBinaryPropertyList(const QByteArray &bytes);

} // namespace vesk
