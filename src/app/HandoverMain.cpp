// vesk-warden-handover: started by the agent after it swapped its own new files in. Starts
// the new agent (after the old one quit, or by restarting its unit) and puts the previous
// files back when the new agent does not report started. Its lines also go to
// "self-update.log" in the agent's storage folder, which outlives both processes.
#include "platform/LogCategories.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/RenameExchange.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/SystemdAgentRelaunch.h"
#include "updates/SelfUpdateHandover.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>

using namespace vesk;

namespace {

QString g_logFile;

void logLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString line = qFormatLogMessage(type, context, message) + QLatin1Char('\n');
    std::fputs(qPrintable(line), stderr);
    QFile log(g_logFile);
    if (log.open(QIODevice::Append))
        log.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + line.toUtf8());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const std::optional<SelfUpdateHandover::Plan> plan =
        SelfUpdateHandover::Plan::fromArguments(QCoreApplication::arguments().mid(1));
    if (!plan) {
        std::fputs("vesk-warden-handover: started by vesk-warden during a self-update, not by hand\n", stderr);
        return 2;
    }
    qSetMessagePattern(QStringLiteral("%{category}: %{message}"));
    g_logFile = plan->stateDir + QStringLiteral("/self-update.log");
    qInstallMessageHandler(logLine);

    SystemClock clock;
    RenameExchange swap;
    LinuxWorkspace workspace({});
    SystemdAgentRelaunch relaunch(QProcessEnvironment::systemEnvironment());
    SelfUpdateHandover handover(relaunch, swap, workspace, clock);
    const SelfUpdateHandover::Outcome outcome = QCoro::waitFor(handover.run(*plan));
    return outcome.started ? 0 : 1;
}
