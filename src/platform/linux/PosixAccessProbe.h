#pragma once

#include "platform/AccessProbe.h"

namespace vesk {

// The access tests with plain system calls, so that the errno is the kernel's own answer.
class PosixAccessProbe final : public AccessProbe {
public:
    // The temporary names, followed by the process id.
    static constexpr const char *probeName = ".vesk-warden-permission-probe-";
    static constexpr const char *renamedName = ".vesk-warden-permission-probe-renamed-";

    int tryReplaceIn(const QString &folder) const override;
    int tryRead(const QString &path) const override;
};

} // namespace vesk
