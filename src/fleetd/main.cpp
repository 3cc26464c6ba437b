// vesk-fleetd: the reference fleet server. All the work is in fleetdcore.
#include "fleetd/cli/FleetdMain.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    // Qt's glib event dispatcher walks every socket on each loop turn; with
    // thousands of agents' keep-alive connections its plain poll dispatcher is
    // several times faster. The server needs nothing glib-specific.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesk-fleetd"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return vesk::fleetd::fleetdMain(QCoreApplication::arguments(), out, err);
}
