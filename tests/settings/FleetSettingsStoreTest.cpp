#include "settings/FleetSettingsStore.h"

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "platform/linux/SettingsDefaultsStore.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;
using namespace vesk;
namespace keys = vesk::FleetSettingsKeys;

namespace {

enum class Backend { memory, iniFile };

// Every case runs against the in-memory defaults and against the real INI-backed store.
class FleetSettingsStoreTest : public ::testing::TestWithParam<Backend> {
protected:
    FleetSettingsStoreTest()
    {
        if (GetParam() == Backend::memory) {
            m_defaults = std::make_unique<test::MemoryDefaultsStore>();
        } else {
            m_iniPath = m_dir.filePath(QStringLiteral("defaults.ini"));
            m_defaults = std::make_unique<SettingsDefaultsStore>(m_iniPath);
        }
        m_store = std::make_unique<FleetSettingsStore>(*m_defaults, m_clock);
    }

    // A second store over the same domain, as after a restart of the agent.
    std::unique_ptr<DefaultsStore> reopenedDefaults()
    {
        if (GetParam() == Backend::memory)
            return nullptr;
        return std::make_unique<SettingsDefaultsStore>(m_iniPath);
    }

    static LocationNotificationRule rule(const QString &code, QStringList disabled,
                                         std::optional<SuppressionDuration> muted = std::nullopt,
                                         std::optional<QDateTime> mutedAt = std::nullopt)
    {
        return {code, code + QStringLiteral(" hall"), muted, mutedAt, std::move(disabled)};
    }

    ScheduledDeviceAction action(const QString &command) const
    {
        return {QUuid::createUuid(), command, QStringLiteral("com.lumora.print"), m_clock.now().addSecs(600)};
    }

    QTemporaryDir m_dir;
    QString m_iniPath;
    test::ManualClock m_clock;
    std::unique_ptr<DefaultsStore> m_defaults;
    std::unique_ptr<FleetSettingsStore> m_store;
};

} // namespace

TEST_P(FleetSettingsStoreTest, FreshInstallReadsTheRegisteredSwitchesWithoutWritingThem)
{
    m_store->registerFleetDefaults();
    EXPECT_TRUE(m_store->fleetReportingEnabled());
    EXPECT_TRUE(m_store->systemHealthReporting());
    EXPECT_TRUE(m_store->appStateReporting());
    EXPECT_TRUE(m_store->appManagementEnabled());
    EXPECT_TRUE(m_store->remoteCommandsEnabled());
    EXPECT_FALSE(m_store->foregroundAppReporting());
    EXPECT_FALSE(m_store->sensitiveTelemetryEnabled());
    EXPECT_TRUE(m_store->autoStartServices());
    EXPECT_TRUE(m_store->autoRestartServices());
    EXPECT_EQ(m_store->updateSearchScope(), UpdateSearchScope::entireMachine);
    EXPECT_FALSE(m_store->hideWindowAtLaunch() || m_store->agentMode() || m_store->lowDataMode());
    EXPECT_TRUE(m_store->suppressedSerials().isEmpty());
    EXPECT_FALSE(m_store->activeRemoteMessage());

    // Registration defaults never reach the disk: another process sees no value.
    if (auto reopened = reopenedDefaults()) {
        EXPECT_FALSE(reopened->hasObject(keys::fleetReportingEnabled));
    }

    m_defaults->setValue(keys::remoteCommandsEnabled, false);
    EXPECT_FALSE(m_store->remoteCommandsEnabled()) << "a stored value wins over the registered one";
}

TEST_P(FleetSettingsStoreTest, ServiceSwitchesHonourAnExplicitFalseAndReadTrueOnceRemoved)
{
    struct Case {
        QLatin1String key;
        bool (FleetSettingsStore::*read)() const;
    };
    for (const Case &tc : {Case{keys::autoStartServices, &FleetSettingsStore::autoStartServices},
                           Case{keys::autoRestartServices, &FleetSettingsStore::autoRestartServices}}) {
        m_defaults->setValue(tc.key, false);
        EXPECT_FALSE((m_store.get()->*tc.read)()) << tc.key.data();
        m_defaults->setValue(tc.key, true);
        EXPECT_TRUE((m_store.get()->*tc.read)()) << tc.key.data();
        m_defaults->setValue(tc.key, false);
        m_defaults->remove(tc.key);
        EXPECT_TRUE((m_store.get()->*tc.read)()) << tc.key.data();
    }
}

TEST_P(FleetSettingsStoreTest, UpdateSearchScopeMapsOnlyTheExactRawValues)
{
    const std::vector<std::pair<QString, UpdateSearchScope>> cases = {
        {"applicationsFolder", UpdateSearchScope::applicationsFolder},
        {"entireMachine", UpdateSearchScope::entireMachine},
        {"ApplicationsFolder", UpdateSearchScope::entireMachine},
        {"/Applications", UpdateSearchScope::entireMachine},
        {"", UpdateSearchScope::entireMachine},
    };
    for (const auto &[stored, want] : cases) {
        m_defaults->setValue(keys::updateSearchScope, stored);
        EXPECT_EQ(m_store->updateSearchScope(), want) << stored.toStdString();
    }
}

TEST_P(FleetSettingsStoreTest, OldSerialListsBecomeIndefiniteSuppressionsStoredAsJson)
{
    const std::vector<std::pair<const char *, QVariant>> cases = {
        {"two serials", QStringList{"C02AAA", "C02BBB"}},
        {"one serial", QStringList{"C02AAA"}},
        {"a list of variants", QVariantList{QStringLiteral("C02AAA"), QStringLiteral("C02BBB")}},
    };
    for (const auto &[name, old] : cases) {
        m_defaults->setValue(keys::suppressedSerials, old);
        const QDateTime convertedAt = m_clock.now();
        const QList<AlertSuppression> got = m_store->suppressedSerials();

        QList<AlertSuppression> want;
        for (const QVariant &serial : old.toList())
            want.append({serial.toString(), SuppressionDuration::indefinitely, convertedAt});
        EXPECT_EQ(got, want) << name;
        EXPECT_EQ(m_defaults->object(keys::suppressedSerials).typeId(), QMetaType::QByteArray) << name;
        EXPECT_TRUE(QJsonDocument::fromJson(m_defaults->dataValue(keys::suppressedSerials)).isArray()) << name;

        m_clock.advance(1h);
        EXPECT_EQ(m_store->suppressedSerials(), want) << name << ": converted once, not again with a new time";
    }

    m_defaults->setValue(keys::suppressedSerials, QStringLiteral(R"([{"serial":"C02AAA"}])"));
    EXPECT_TRUE(m_store->suppressedSerials().isEmpty()) << "JSON text is not a bare serial";

    // The INI format keeps no element types, so only the memory store can hold this.
    if (GetParam() == Backend::memory) {
        m_defaults->setValue(keys::suppressedSerials, QVariantList{QStringLiteral("C02AAA"), 7});
        EXPECT_TRUE(m_store->suppressedSerials().isEmpty()) << "a list holding a number is no list of serials";
        EXPECT_EQ(m_defaults->object(keys::suppressedSerials).typeId(), QMetaType::QVariantList) << "left alone";
    }
}

TEST_P(FleetSettingsStoreTest, UpsertReplacesTheLocationsRuleAndDropsOneThatLimitsNothing)
{
    const QDateTime now = m_clock.now();
    m_store->setLocationNotificationRules({rule("EVT-1", {"disk"}), rule("EVT-2", {"memory"})});

    m_store->upsertLocationRule(rule("EVT-1", {"disk", "cpu"}));
    EXPECT_EQ(m_store->locationNotificationRules(),
              (QList<LocationNotificationRule>{rule("EVT-2", {"memory"}), rule("EVT-1", {"disk", "cpu"})}));

    m_store->upsertLocationRule(rule("EVT-1", {}));
    EXPECT_EQ(m_store->locationNotificationRules(), QList<LocationNotificationRule>{rule("EVT-2", {"memory"})});

    // A mute that already ran out limits nothing either.
    m_store->upsertLocationRule(rule("EVT-3", {}, SuppressionDuration::oneHour, now.addSecs(-3600)));
    EXPECT_EQ(m_store->locationNotificationRules().size(), 1);

    const LocationNotificationRule muted = rule("EVT-2", {}, SuppressionDuration::oneHour, now);
    m_store->upsertLocationRule(muted);
    EXPECT_EQ(m_store->locationNotificationRules(), QList<LocationNotificationRule>{muted});
}

TEST_P(FleetSettingsStoreTest, CorruptScheduledActionsReadEmptyAndTheNextWriteReplacesThem)
{
    const std::vector<std::pair<const char *, QVariant>> corrupt = {
        {"not JSON", QByteArray("[{\"id\":")},
        {"an object instead of a list", QByteArray(R"({"id":"x"})")},
        {"an entry missing its date", QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","command":"restart"}])")},
        {"text instead of data", QStringLiteral("[]")},
    };
    for (const auto &[name, stored] : corrupt) {
        m_defaults->setValue(keys::scheduledActions, stored);
        EXPECT_TRUE(m_store->scheduledActions().isEmpty()) << name;
        const ScheduledDeviceAction next = action(QStringLiteral("restart_app"));
        m_store->setScheduledActions({next});
        EXPECT_EQ(m_store->scheduledActions(), QList<ScheduledDeviceAction>{next}) << name;
    }
}

TEST_P(FleetSettingsStoreTest, RemovingAScheduledActionKeepsTheOthersInOrder)
{
    const ScheduledDeviceAction first = action(QStringLiteral("restart"));
    const ScheduledDeviceAction second = action(QStringLiteral("quit_app"));
    const ScheduledDeviceAction third = action(QStringLiteral("launch_app"));
    m_store->setScheduledActions({first, second, third});
    m_store->removeScheduledAction(second.id);
    m_store->removeScheduledAction(QUuid::createUuid());
    EXPECT_EQ(m_store->scheduledActions(), (QList<ScheduledDeviceAction>{first, third}));
}

TEST_P(FleetSettingsStoreTest, ActiveMessageRoundTripsAndNoneRemovesTheKey)
{
    const RemoteMessage message{55, QStringLiteral("Heads up"), QStringLiteral("Restart at noon"), true,
                                m_clock.now().addMSecs(250)};
    m_store->setActiveRemoteMessage(message);
    EXPECT_EQ(m_store->activeRemoteMessage(), message);
    if (auto reopened = reopenedDefaults()) {
        EXPECT_EQ(FleetSettingsStore(*reopened, m_clock).activeRemoteMessage(), message) << "after a restart";
    }

    m_store->setActiveRemoteMessage(std::nullopt);
    EXPECT_FALSE(m_defaults->hasObject(keys::activeRemoteMessage));
    EXPECT_FALSE(m_store->activeRemoteMessage());
}

TEST_P(FleetSettingsStoreTest, AValueThatCannotBeEncodedLeavesThePreviousOneInPlace)
{
    const AlertSuppression kept{QStringLiteral("C02AAA"), SuppressionDuration::oneHour, m_clock.now()};
    m_store->setSuppressedSerials({kept});
    m_store->setSuppressedSerials({AlertSuppression{QStringLiteral("C02BBB"), SuppressionDuration::oneHour, QDateTime()}});
    EXPECT_EQ(m_store->suppressedSerials(), QList<AlertSuppression>{kept});

    const RemoteMessage shown{1, std::nullopt, QStringLiteral("Hello"), false, m_clock.now()};
    m_store->setActiveRemoteMessage(shown);
    m_store->setActiveRemoteMessage(RemoteMessage{2, std::nullopt, QStringLiteral("Bad"), false, QDateTime()});
    EXPECT_EQ(m_store->activeRemoteMessage(), shown);
}

INSTANTIATE_TEST_SUITE_P(Backends, FleetSettingsStoreTest, ::testing::Values(Backend::memory, Backend::iniFile),
                         [](const auto &info) { return info.param == Backend::memory ? "Memory" : "IniFile"; });
