#include "credentials/CredentialManager.h"

#include "ManualClock.h"
#include "MemoryDefaultsStore.h"
#include "ScriptedHttpTransport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vesk;

namespace {

CredentialSet fullSet(const char *name)
{
    CredentialSet set;
    set.name = QString::fromUtf8(name);
    set.storeNumber = QStringLiteral("17");
    set.date = QStringLiteral("Oct 2026");
    set.lastReadAt = QDateTime(QDate(2026, 10, 1), QTime(8, 30, 15, 250), QTimeZone::utc());
    set.kr5Account = QStringLiteral("AAAA-1111");
    set.kr5Location = QStringLiteral("Haunted Hall");
    set.kr53Account = QStringLiteral("CCCC3333");
    set.kr53Location = QStringLiteral("Alt");
    return set;
}

CredentialSchedule season(const char *setName, int priority, std::optional<int> year)
{
    CredentialSchedule s;
    s.credentialSetName = QString::fromUtf8(setName);
    s.startMonth = 12;
    s.startDay = 1;
    s.endMonth = 1;
    s.endDay = 15;
    s.priority = priority;
    s.recurring = !year;
    s.year = year;
    return s;
}

class CredentialPersistenceTest : public ::testing::Test {
protected:
    std::unique_ptr<CredentialManager> makeManager()
    {
        auto manager = std::make_unique<CredentialManager>(m_defaults, m_clock, m_http,
                                                           PlatformPaths::underRoot(m_root.path()), QUrl());
        manager->setAuditLogger([this](const QString &event, const QString &text) {
            m_audits.append(event + QStringLiteral(" ") + text);
        });
        return manager;
    }

    QTemporaryDir m_root;
    test::MemoryDefaultsStore m_defaults;
    test::ManualClock m_clock;
    test::ScriptedHttpTransport m_http;
    QStringList m_audits;
};

TEST_F(CredentialPersistenceTest, EverythingSurvivesARestart)
{
    auto first = makeManager();
    ASSERT_TRUE(first->addSet(fullSet("Haunts")));
    ASSERT_TRUE(first->addSet(fullSet("Holidays")));
    first->addSchedule(season("Haunts", 5, 2026));
    first->addSchedule(season("Holidays", 2, std::nullopt));
    ASSERT_TRUE(first->setPipeline(QStringLiteral("Holidays"), QStringLiteral("kr5-3")));

    const QStringList keys = m_defaults.storedValues().keys();
    for (const char *key : {"credentialSets", "schedules", "selectedPipeline", "pipelineSelections"})
        EXPECT_TRUE(keys.contains(QStringLiteral("lumora_credentials_") + QString::fromUtf8(key))) << key;

    const auto second = makeManager();
    EXPECT_EQ(second->currentSets(), first->currentSets());
    EXPECT_EQ(second->schedules(), first->schedules());
    EXPECT_EQ(second->selectedPipeline(), QStringLiteral("kr5-3"));
    EXPECT_EQ(second->pipelineSelections().value(QStringLiteral("Holidays")), QStringLiteral("kr5-3"));
    EXPECT_EQ(second->currentSets().at(1).tenantCode(), QStringLiteral("CCCC3333"));
    EXPECT_FALSE(second->schedules().first().id.isNull());
}

TEST_F(CredentialPersistenceTest, UnreadableStoredListsStartEmpty)
{
    const QByteArray goodSchedules = R"([{"id":"6F1C2A34-0B7E-4C55-9D1A-2B3C4D5E6F70","credentialSetName":"A",
        "startMonth":1,"startDay":1,"endMonth":2,"endDay":1,"priority":1,"recurring":true}])";
    struct Case {
        const char *name;
        QVariant sets;
        QVariant schedules;
        int wantSets;
        int wantSchedules;
    };
    const Case cases[] = {
        {"one bad element spoils the list", QByteArray(R"([{"name":"A"},{"name":7}])"), goodSchedules, 0, 1},
        {"not JSON; a schedule without an id", QByteArray("{{{"),
         QByteArray(R"([{"credentialSetName":"A","startMonth":1}])"), 0, 0},
    };
    for (const Case &c : cases) {
        m_defaults.setValue(QStringLiteral("lumora_credentials_credentialSets"), c.sets);
        m_defaults.setValue(QStringLiteral("lumora_credentials_schedules"), c.schedules);
        const auto manager = makeManager();
        EXPECT_EQ(manager->currentSets().size(), c.wantSets) << c.name;
        EXPECT_EQ(manager->schedules().size(), c.wantSchedules) << c.name;
    }
}

TEST_F(CredentialPersistenceTest, EditsAreGuardedAndADeletedSetTakesItsSeasons)
{
    auto manager = makeManager();
    ASSERT_TRUE(manager->addSet(fullSet("Haunts")));
    ASSERT_TRUE(manager->addSet(fullSet("Other")));
    CredentialSet badAccount = fullSet("Bad");
    badAccount.kr52Account = QStringLiteral("ABC_1234");
    EXPECT_FALSE(manager->addSet(badAccount));
    EXPECT_FALSE(manager->addSet(fullSet("Haunts"))) << "names are identities";
    manager->addSchedule(season("Haunts", 1, std::nullopt));
    manager->addSchedule(season("Haunts", 2, 2026));
    manager->addSchedule(season("Other", 3, std::nullopt));

    ASSERT_TRUE(manager->deleteSet(QStringLiteral("Haunts")));
    EXPECT_EQ(manager->schedules().size(), 1);
    EXPECT_EQ(m_audits.filter(QStringLiteral("credentialSetDeleted Deleted set 'Haunts' and 2 schedule(s)")).size(), 1);
    EXPECT_EQ(makeManager()->schedules().size(), 1) << "the removal was saved";
}

TEST_F(CredentialPersistenceTest, CurrentSetFollowsTheLocationTimezone)
{
    auto manager = makeManager();
    ASSERT_TRUE(manager->addSet(fullSet("Default")));
    ASSERT_TRUE(manager->addSet(fullSet("NewYear")));
    CredentialSchedule newYearsDay = season("NewYear", 1, std::nullopt);
    newYearsDay.startMonth = 1;
    newYearsDay.startDay = 1;
    newYearsDay.endMonth = 1;
    newYearsDay.endDay = 1;
    manager->addSchedule(newYearsDay);
    // 11:00 UTC on 31 December is already New Year's Day in Auckland.
    const QDateTime at(QDate(2026, 12, 31), QTime(11, 0), QTimeZone::utc());
    EXPECT_EQ(manager->currentCredentialSet(at)->name, QStringLiteral("Default"));
    manager->setLocationTimezone(QTimeZone("Pacific/Auckland"));
    EXPECT_EQ(manager->currentCredentialSet(at)->name, QStringLiteral("NewYear"));
}

} // namespace
