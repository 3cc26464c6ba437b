#pragma once

#include <QString>

namespace vesk {

// One extra folder the scan looks in; only a recursive location is searched below its top level.
struct CredentialScanLocation {
    QString url;
    bool recursive = false;

    bool operator==(const CredentialScanLocation &) const = default;
};

} // namespace vesk
