#include "updates/OwnAgent.h"

#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>

namespace vesk {

OwnAgent OwnAgent::locate(const Workspace &workspace, const QString &executable, const QStringList &arguments,
                          const QString &builtVersion)
{
    OwnAgent own;
    own.executable = executable;
    own.arguments = arguments;
    own.version = builtVersion;
    QDir dir = QFileInfo(executable).absoluteDir();
    const bool inMacOS = dir.dirName() == QLatin1String("MacOS") && dir.cdUp() &&
                         dir.dirName() == QLatin1String("Contents") && dir.cdUp() &&
                         dir.dirName().endsWith(QLatin1String(".app"));
    if (!inMacOS)
        return own;
    const std::optional<BundleInfo> info = workspace.bundleInfo(dir.absolutePath());
    if (!info)
        return own;
    own.bundlePath = dir.absolutePath();
    own.bundleId = info->bundleIdentifier.value_or(fallbackBundleId);
    own.version = info->shortVersion.value_or(QString());
    own.build = info->buildVersion;
    return own;
}

QString OwnAgent::handoverProgramIn(const QString &bundle) const
{
    return bundle + QStringLiteral("/Contents/MacOS/vesk-warden-handover");
}

} // namespace vesk
