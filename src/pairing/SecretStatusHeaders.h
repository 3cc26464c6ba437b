#pragma once

#include "platform/HttpTransport.h"

namespace vesk {

// The server's verdict on the fleet secret a request carried, from the
// "X-Fleet-Secret-*" headers. A header counts only when its value, lowercased, is
// exactly "true"; names match in any letter case.
struct SecretStatusHeaders {
    bool revoked = false;
    bool rotated = false;
    bool stale = false;
    bool mismatch = false;

    static SecretStatusHeaders from(const HttpResponse &response);
    bool any() const { return revoked || rotated || stale || mismatch; }
};

} // namespace vesk
