#pragma once

#include <QString>

namespace vesk {

// Real tests of what this process may do to the file system, for the permission check: the
// answer is 0 when the test went through, else the errno of the first refusal.
class AccessProbe {
public:
    virtual ~AccessProbe() = default;

    // Creates a temporary entry in `folder`, renames it and removes it again: what replacing an
    // application bundle there takes. Nothing is left behind either way.
    virtual int tryReplaceIn(const QString &folder) const = 0;
    // Lists `path` when it is a folder, reads its first byte when it is a file.
    virtual int tryRead(const QString &path) const = 0;
};

} // namespace vesk
