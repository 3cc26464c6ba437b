#pragma once

#include <QList>
#include <QString>

#include <ostream>

namespace vesk {

// One application as the console's pickers offer it.
struct AppRef {
    QString bundleId;
    QString name;
    bool isVeskApp = false;

    bool operator==(const AppRef &) const = default;
};

// Orders by name as people read it (the current locale's collation), then by identifier.
void sortAppRefsByName(QList<AppRef> &refs);

inline std::ostream &operator<<(std::ostream &os, const AppRef &ref)
{
    return os << "AppRef{" << ref.bundleId.toStdString() << ", \"" << ref.name.toStdString() << "\", "
              << (ref.isVeskApp ? "family" : "other") << "}";
}

} // namespace vesk
