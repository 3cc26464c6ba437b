#include "console/PollingTexts.h"

#include <QCoreApplication>

#include <cmath>

namespace vesk::PollingTexts {

QString line(bool lowDataMode, double monthMegabytes)
{
    const QString cadence = lowDataMode
                                ? QCoreApplication::translate("Settings", "Polling every 2–5 minutes.")
                                : QCoreApplication::translate("Settings", "Polling every 10–30 seconds.");
    return cadence + QLatin1Char(' ')
           + QCoreApplication::translate("Settings", "Measured ~%1 MB/month.").arg(std::lround(monthMegabytes));
}

QString line(bool lowDataMode)
{
    return line(lowDataMode, lowDataMode ? VESK_MONTH_MB_LOWDATA : VESK_MONTH_MB_DEFAULT);
}

} // namespace vesk::PollingTexts
