#pragma once

#include <QStringList>

namespace vesk {

// The folders a cleanup rule may never name, as this platform lays them out. Paths are
// compared after standardising, without trailing slashes.
struct ProtectedFolders {
    QStringList tooBroad;        // the folder itself is refused
    QStringList systemPrefixes;  // anything below is refused; each ends in "/"
    QStringList homeParents;     // folders holding the users' home folders ("/Users")
    QStringList homeAppSupport;  // names of app-support folders inside a home ("Library")

    // The macOS layout.
    static ProtectedFolders macOS();
};

} // namespace vesk
