// The parsers of the kernel's text files, against text captured from a real machine.
#include "platform/linux/SystemInfoParsers.h"

#include <QFile>

#include <gtest/gtest.h>

#include <string>

namespace vesk {
namespace {

std::string captured(const char *name)
{
    QFile file(QStringLiteral(VESK_SYSINFO_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing test data " << name;
    return file.readAll().toStdString();
}

TEST(SystemInfoParsers, MemInfoUsesTotalMinusAvailable)
{
    // MemTotal 24683784 kB, MemAvailable 23484596 kB.
    EXPECT_EQ(parseMemInfo(captured("meminfo")), (MemoryFigures{24683784ULL * 1024, (24683784ULL - 23484596ULL) * 1024}));
    // Kernels before 3.14 have no MemAvailable.
    EXPECT_EQ(parseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n"),
              (MemoryFigures{1024000, 600 * 1024}));
    EXPECT_EQ(parseMemInfo("MemFree: 100 kB\n"), std::nullopt);
    EXPECT_EQ(parseMemInfo(""), std::nullopt);
}

TEST(SystemInfoParsers, CpuTicksFoldTheKernelStatesIntoFour)
{
    // cpu  433299 0 39968 1771179 585 0 134 2121 0 0
    EXPECT_EQ(parseCpuTicks(captured("proc_stat")), (CpuTicks{433299, 39968 + 0 + 134, 1771179 + 585, 0}));
    EXPECT_EQ(parseCpuTicks("cpu  10 2 3 4\n"), (CpuTicks{10, 3, 4, 2})) << "the four fields of old kernels";
    EXPECT_EQ(parseCpuTicks("cpu0 1 2 3 4 5 6 7\n"), std::nullopt) << "a single processor is not the machine";
    EXPECT_EQ(parseCpuTicks("cpu 1 2 x 4\n"), std::nullopt);
}

TEST(SystemInfoParsers, Uptime)
{
    EXPECT_DOUBLE_EQ(parseUptime(captured("uptime")).value_or(-1), 11246.62);
    EXPECT_EQ(parseUptime("abc 12"), std::nullopt);
}

TEST(SystemInfoParsers, OsReleaseVersionIsPaddedToThreeParts)
{
    struct Case {
        std::string text;
        QString want;
    };
    const Case cases[] = {
        {captured("os-release-debian12"), QStringLiteral("12.0.0")},
        {"NAME=\"Ubuntu\"\nVERSION_ID=\"22.04\"\n", QStringLiteral("22.4.0")},
        {"VERSION_ID=9.3.1\n", QStringLiteral("9.3.1")},
        {"VERSION_ID='39'\n", QStringLiteral("39.0.0")},
        {"ID=arch\nBUILD_ID=rolling\n", QStringLiteral("0.0.0")},
        {"VERSION_ID=\"15.5-beta\"\n", QStringLiteral("15.5.0")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseOsReleaseVersion(c.text), c.want) << c.text;
}

TEST(SystemInfoParsers, DefaultRouteInterface)
{
    EXPECT_EQ(parseDefaultRouteInterface(captured("net_route")), QStringLiteral("eth0"));
    const std::string twoDefaults =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "tun0\t00000000\t00000000\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
    EXPECT_EQ(parseDefaultRouteInterface(twoDefaults), QStringLiteral("eth0")) << "lowest metric of the routes up";
    const std::string route = captured("net_route");
    EXPECT_EQ(parseDefaultRouteInterface(route.substr(0, route.find('\n') + 1)), QString()) << "header only";
}

TEST(SystemInfoParsers, NetworkMountsAreNamedByTheirMountPoint)
{
    EXPECT_EQ(networkMountNames(parseMountInfo(captured("mountinfo"))), QStringList());
    const QList<MountEntry> mounts = parseMountInfo(captured("mountinfo-network-shares"));
    ASSERT_EQ(mounts.size(), 5);
    EXPECT_EQ(mounts[1], (MountEntry{QStringLiteral("/mnt/Event Captures"), QStringLiteral("cifs"),
                                     QStringLiteral("//nas.local/Event Captures")}));
    EXPECT_EQ(networkMountNames(mounts),
              (QStringList{QStringLiteral("Event Captures"), QStringLiteral("archive"), QStringLiteral("Prints")}));
}

TEST(SystemInfoParsers, ProcessStatSurvivesParenthesesInTheName)
{
    // "Vesk (Capture) 2" is cut to 15 characters by the kernel: "(Vesk (Capture) )".
    EXPECT_EQ(parseProcessStatFields(captured("pid_stat_spaces")), (ProcessStatFields{'S', 0, 0, 1125291}));
    EXPECT_EQ(parseProcessStatFields(captured("pid_stat_stopped"))->state, 'T');
    EXPECT_EQ(parseProcessStatFields(captured("pid_stat_busy")), (ProcessStatFields{'S', 171, 303, 14}));
    EXPECT_EQ(parseProcessStatFields("123 (short) S 1 2"), std::nullopt);
    EXPECT_EQ(parseStatmResidentPages(captured("pid_statm")), 412u);
    EXPECT_EQ(parseStatmResidentPages("730"), std::nullopt);
}

TEST(SystemInfoParsers, UeventValues)
{
    const std::string uevent = "POWER_SUPPLY_NAME=BAT0\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_CAPACITY=87\n";
    EXPECT_EQ(ueventValue(uevent, "POWER_SUPPLY_CAPACITY"), QStringLiteral("87"));
    EXPECT_EQ(ueventValue(uevent, "POWER_SUPPLY_CAPACITY_LEVEL"), QString());
    EXPECT_EQ(ueventValue("INTERFACE=eth0\nIFINDEX=4\n", "DEVTYPE"), QString());
}

} // namespace
} // namespace vesk
