#include "commands/payload/PathContainment.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace vesk::PathContainment {

bool isWithin(const QString &path, const QString &folder)
{
    if (path == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

bool isStrictlyInside(const QString &path, const QString &folder)
{
    return path != folder && isWithin(path, folder);
}

QString resolved(const QString &path)
{
    QString existing = QDir::cleanPath(path);
    QStringList missing;
    while (true) {
        const QFileInfo info(existing);
        const QString real = info.canonicalFilePath();
        if (!real.isEmpty()) {
            missing.prepend(real);
            return QDir::cleanPath(missing.join(QLatin1Char('/')));
        }
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QDir::cleanPath(path);
        missing.prepend(existing.mid(slash + 1));
        existing = existing.left(slash);
    }
}

} // namespace vesk::PathContainment
