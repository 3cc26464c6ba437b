#include "pairing/SecretVerdict.h"

#include <ostream>

namespace vesk {

std::ostream &operator<<(std::ostream &out, const SecretVerdict &verdict)
{
    static const char *names[] = {"accepted", "rotated", "revoked", "mismatch", "rejected", "unreachable"};
    return out << names[int(verdict.kind)] << "(\"" << verdict.message.toStdString() << "\")";
}

} // namespace vesk
