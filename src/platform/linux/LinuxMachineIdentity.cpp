#include "platform/linux/LinuxMachineIdentity.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>

namespace vesk {

namespace {

QString readSmallFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(256)).trimmed();
}

} // namespace

QString chooseSerial(const QString &dmiSerial, const QString &machineId)
{
    static const QStringList placeholders = {
        QStringLiteral("to be filled by o.e.m."), QStringLiteral("default string"),
        QStringLiteral("system serial number"), QStringLiteral("not specified"),
        QStringLiteral("none"), QStringLiteral("0"), QStringLiteral("00000000")};
    const QString dmi = dmiSerial.trimmed();
    if (!dmi.isEmpty() && !placeholders.contains(dmi.toLower()))
        return dmi;
    return machineId.trimmed();
}

LinuxMachineIdentity::LinuxMachineIdentity(QString overrideSerial, QString sysRoot)
    : m_override(std::move(overrideSerial)), m_sysRoot(std::move(sysRoot))
{
}

QString LinuxMachineIdentity::hardwareSerial() const
{
    if (!m_override.isEmpty())
        return m_override;
    const QDir root(m_sysRoot);
    return chooseSerial(readSmallFile(root.filePath(QStringLiteral("sys/class/dmi/id/product_serial"))),
                        readSmallFile(root.filePath(QStringLiteral("etc/machine-id"))));
}

QString LinuxMachineIdentity::hostName() const
{
    return QHostInfo::localHostName();
}

} // namespace vesk
