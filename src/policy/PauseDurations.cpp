#include "policy/PauseDurations.h"

#include <QStringList>

namespace vesk::PauseDurations {

namespace {
constexpr int maxMinutes = 7 * 24 * 60;

QList<int> parseEntries(const QString &text)
{
    QList<int> minutes;
    for (const QString &entry : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int value = entry.trimmed().toInt(&ok);
        if (ok && value >= 1 && value <= maxMinutes && !minutes.contains(value))
            minutes.append(value);
    }
    return minutes;
}
} // namespace

QList<int> parse(const QString &text)
{
    const QList<int> minutes = parseEntries(text);
    return minutes.isEmpty() ? parseEntries(QString::fromLatin1(defaultText)) : minutes;
}

} // namespace vesk::PauseDurations
