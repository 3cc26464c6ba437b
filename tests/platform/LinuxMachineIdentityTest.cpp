#include "platform/linux/LinuxMachineIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

const char kMachineId[] = "4c4c4544004a3510804bb4c04f4e3732";

} // namespace

TEST(ChooseSerial, PrefersARealDmiSerialOverTheMachineId)
{
    struct Case {
        const char *name;
        QString dmi;
        QString machineId;
        QString want;
    };
    const Case cases[] = {
        {"DMI serial", "PF3ABC12", kMachineId, "PF3ABC12"},
        {"DMI serial with padding", "  PF3ABC12 \n", kMachineId, "PF3ABC12"},
        {"blank DMI", "   ", kMachineId, kMachineId},
        {"vendor placeholder", "To Be Filled By O.E.M.", kMachineId, kMachineId},
        {"placeholder in other case", "DEFAULT STRING", kMachineId, kMachineId},
        {"zeros", "00000000", QString(kMachineId) + "\n", kMachineId},
        {"nothing at all", "", "", ""},
    };
    for (const Case &tc : cases)
        EXPECT_EQ(vesk::chooseSerial(tc.dmi, tc.machineId).toStdString(), tc.want.toStdString()) << tc.name;
}

TEST(LinuxMachineIdentity, ReadsSerialFilesUnderItsRoot)
{
    struct Case {
        const char *name;
        std::optional<QByteArray> dmiFile;
        std::optional<QByteArray> machineIdFile;
        QString overrideSerial;
        QString want;
    };
    const Case cases[] = {
        {"DMI file", "PF3ABC12\n", QByteArray(kMachineId) + "\n", {}, "PF3ABC12"},
        {"DMI unreadable", std::nullopt, QByteArray(kMachineId) + "\n", {}, kMachineId},
        {"DMI placeholder", "System Serial Number\n", QByteArray(kMachineId), {}, kMachineId},
        {"neither file", std::nullopt, std::nullopt, {}, ""},
        {"override wins", "PF3ABC12\n", QByteArray(kMachineId), "VESK-TEST-1", "VESK-TEST-1"},
    };
    for (const Case &tc : cases) {
        QTemporaryDir root;
        if (tc.dmiFile)
            writeFile(root.filePath(QStringLiteral("sys/class/dmi/id/product_serial")), *tc.dmiFile);
        if (tc.machineIdFile)
            writeFile(root.filePath(QStringLiteral("etc/machine-id")), *tc.machineIdFile);
        const vesk::LinuxMachineIdentity identity(tc.overrideSerial, root.path());
        EXPECT_EQ(identity.hardwareSerial().toStdString(), tc.want.toStdString()) << tc.name;
        EXPECT_EQ(identity.serialOrUnknown().toStdString(), tc.want.isEmpty() ? "UNKNOWN" : tc.want.toStdString())
            << tc.name;
    }
}
