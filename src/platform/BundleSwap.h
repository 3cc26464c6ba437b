#pragma once

#include "platform/FolderHandle.h"

#include <QString>

#include <optional>

namespace vesk {

// Putting a new application bundle in place in one step, so that whatever happens to the
// agent meanwhile (a crash, SIGKILL, power loss after the journal commits) the bundle's path
// names the old bundle or the new one, whole, and never a mix or nothing. Both paths must
// lie on the same file system.
class BundleSwap {
public:
    virtual ~BundleSwap() = default;

    // Swaps the two entries: afterwards `a` names what `b` did and the other way round.
    virtual std::optional<FolderError> exchange(const QString &a, const QString &b) = 0;
    // Moves `from` to `to`, failing with occupied when something is already there.
    virtual std::optional<FolderError> moveNew(const QString &from, const QString &to) = 0;
};

} // namespace vesk
