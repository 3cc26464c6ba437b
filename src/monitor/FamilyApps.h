#pragma once

#include "monitor/AppRef.h"

#include <QList>
#include <QSet>
#include <QString>

namespace vesk {

// The maker's own applications, compiled in. Both views come from one table.
const QSet<QString> &familyBundleIds();
const QList<AppRef> &familyAppTable();
bool isFamilyApp(const QString &bundleId);

} // namespace vesk
