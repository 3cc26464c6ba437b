// Thermal state, battery and interface rules from what sysfs and the address list say.
#include "platform/linux/InterfaceListing.h"
#include "platform/linux/SysfsSensors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vesk {
namespace {

void write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(ThermalState, TheWorstZoneCounts)
{
    const QList<TripPoint> laptop{{QStringLiteral("passive"), 95000}, {QStringLiteral("hot"), 100000},
                                  {QStringLiteral("critical"), 105000}};
    struct Case {
        const char *name;
        QList<ThermalZoneReading> zones;
        int want;
    };
    const Case cases[] = {
        {"no zones (virtual machine)", {}, 0},
        {"cool", {{45000, laptop}}, 0},
        {"throttling", {{95000, laptop}}, 1},
        {"hot", {{101000, laptop}}, 2},
        {"critical", {{105000, laptop}}, 3},
        {"one hot zone among cool ones", {{40000, laptop}, {102000, laptop}}, 2},
        {"active (fan) trips do not count", {{60000, {{QStringLiteral("active"), 50000}}}}, 0},
        {"placeholder trips at 0 do not count", {{30000, {{QStringLiteral("critical"), 0}}}}, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(thermalStateFromZones(c.zones), c.want) << c.name;
}

TEST(Battery, FirstSystemBatteryAndMainsPower)
{
    const std::string bat = "POWER_SUPPLY_NAME=BAT0\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_STATUS=Discharging\n"
                            "POWER_SUPPLY_PRESENT=1\nPOWER_SUPPLY_CAPACITY=63\n";
    const std::string acOn = "POWER_SUPPLY_NAME=AC\nPOWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=1\n";
    const std::string acOff = "POWER_SUPPLY_NAME=AC\nPOWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=0\n";
    const std::string mouse = "POWER_SUPPLY_NAME=hidpp_battery_0\nPOWER_SUPPLY_TYPE=Battery\n"
                              "POWER_SUPPLY_SCOPE=Device\nPOWER_SUPPLY_CAPACITY=20\n";
    const std::string charging = "POWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_STATUS=Charging\nPOWER_SUPPLY_CAPACITY=80\n";
    struct Case {
        const char *name;
        QList<std::string> supplies;
        std::optional<BatteryStatus> want;
    };
    const Case cases[] = {
        {"desktop without supplies", {}, std::nullopt},
        {"desktop with only mains", {acOn}, std::nullopt},
        {"a mouse's battery is not the machine's", {mouse, acOn}, std::nullopt},
        {"on mains", {acOn, bat}, BatteryStatus{63, true}},
        {"on battery", {acOff, bat}, BatteryStatus{63, false}},
        {"mouse listed first", {mouse, acOff, bat}, BatteryStatus{63, false}},
        {"no mains supply listed: charging means plugged in", {charging}, BatteryStatus{80, true}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(batteryFromSupplies(c.supplies), c.want) << c.name;
}

TEST(SysfsSensors, ReadsZonesAndSuppliesUnderItsRoot)
{
    QTemporaryDir root;
    const QString zone = root.path() + QStringLiteral("/class/thermal/thermal_zone0/");
    write(zone + QStringLiteral("temp"), "97000\n");
    write(zone + QStringLiteral("trip_point_0_type"), "passive\n");
    write(zone + QStringLiteral("trip_point_0_temp"), "95000\n");
    write(zone + QStringLiteral("trip_point_1_type"), "critical\n");
    write(zone + QStringLiteral("trip_point_1_temp"), "105000\n");
    write(root.path() + QStringLiteral("/class/power_supply/AC/uevent"), "POWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=1\n");
    write(root.path() + QStringLiteral("/class/power_supply/BAT0/uevent"),
          "POWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_CAPACITY=41\n");

    SysfsSensors sensors(root.path());
    EXPECT_EQ(sensors.thermalState(), 1);
    EXPECT_EQ(sensors.battery(), (BatteryStatus{41, true}));
    write(zone + QStringLiteral("temp"), "106000\n");
    EXPECT_EQ(sensors.thermalState(), 3) << "temperatures are read on every call";

    EXPECT_EQ(SysfsSensors(root.path() + QStringLiteral("/none")).battery(), std::nullopt);
}

TEST(InterfaceType, ClassifiesLinksBySysfsFacts)
{
    struct Case {
        const char *name;
        LinkFacts facts;
        QString want;
    };
    const Case cases[] = {
        {"loopback", {772, false, false, false, {}}, QString()},
        {"wired", {1, false, false, false, {}}, QStringLiteral("Ethernet")},
        {"wireless", {1, true, false, false, QStringLiteral("wlan")}, QStringLiteral("Wi-Fi")},
        {"bridge", {1, false, true, false, QStringLiteral("bridge")}, QStringLiteral("Bridge")},
        {"tap device", {1, false, false, true, {}}, QStringLiteral("VPN")},
        {"tun device", {65534, false, false, true, {}}, QStringLiteral("VPN")},
        {"wireguard", {65534, false, false, false, QStringLiteral("wireguard")}, QStringLiteral("VPN")},
        {"ppp", {512, false, false, false, {}}, QStringLiteral("VPN")},
        {"infiniband", {32, false, false, false, {}}, QStringLiteral("Other")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(interfaceType(c.facts), c.want) << c.name;
}

TEST(InterfaceListing, FirstAddressPerNameNoLoopback)
{
    const QList<InterfaceAddress> addresses{
        {QStringLiteral("lo"), QStringLiteral("127.0.0.1"), true, true, true},
        {QStringLiteral("eth0"), QStringLiteral("192.168.1.20"), true, true, false},
        {QStringLiteral("eth0"), QStringLiteral("192.168.1.21"), true, true, false},
        {QStringLiteral("wlan0"), QStringLiteral("10.0.0.5"), true, false, false},
        {QStringLiteral("lo0"), QStringLiteral("127.0.0.2"), true, true, false},
    };
    const auto typeOf = [](const QString &name) {
        if (name == QLatin1String("lo0"))
            return QString(); // loopback by its link type, without the flag
        return name.startsWith(QLatin1String("wlan")) ? QStringLiteral("Wi-Fi") : QStringLiteral("Ethernet");
    };
    const NetworkState state = listInterfaces(addresses, QStringLiteral("eth0"), typeOf);
    EXPECT_EQ(state.interfaces,
              (QList<NetworkInterface>{{QStringLiteral("eth0"), QStringLiteral("Ethernet"), QStringLiteral("192.168.1.20"), true},
                                       {QStringLiteral("wlan0"), QStringLiteral("Wi-Fi"), QStringLiteral("10.0.0.5"), false}}));
    EXPECT_EQ(state.primaryAddress, QStringLiteral("192.168.1.20"));
    EXPECT_EQ(listInterfaces(addresses, QStringLiteral("ppp0"), typeOf).primaryAddress, QString());
}

} // namespace
} // namespace vesk
