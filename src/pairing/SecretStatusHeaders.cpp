#include "pairing/SecretStatusHeaders.h"

namespace vesk {

namespace {
bool isSet(const HttpResponse &response, const QByteArray &name)
{
    const std::optional<QByteArray> value = response.header(name);
    return value && value->toLower() == "true";
}
} // namespace

SecretStatusHeaders SecretStatusHeaders::from(const HttpResponse &response)
{
    SecretStatusHeaders status;
    status.revoked = isSet(response, "X-Fleet-Secret-Revoked");
    status.rotated = isSet(response, "X-Fleet-Secret-Rotated");
    status.stale = isSet(response, "X-Fleet-Secret-Stale");
    status.mismatch = isSet(response, "X-Fleet-Secret-Mismatch");
    return status;
}

} // namespace vesk
