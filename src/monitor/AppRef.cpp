#include "monitor/AppRef.h"

#include <QCollator>

#include <algorithm>

namespace vesk {

void sortAppRefsByName(QList<AppRef> &refs)
{
    const QCollator collator;
    std::sort(refs.begin(), refs.end(), [&](const AppRef &a, const AppRef &b) {
        const int byName = collator.compare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.bundleId < b.bundleId;
    });
}

} // namespace vesk
