// The Wi-Fi name a sampling pass reads: answered from earlier look-ups, asked again on a
// fixed period, never waited for. Look-ups are promises the test keeps; time is virtual.
#include "platform/linux/WifiNameCache.h"

#include "ManualClock.h"

#include <QCoreApplication>
#include <QPromise>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vesk {
namespace {

using namespace std::chrono_literals;

class WifiNameCacheTest : public ::testing::Test {
protected:
    struct Lookup {
        QString interfaceName;
        std::shared_ptr<QPromise<std::optional<QString>>> promise;
        bool answered = false;
    };

    // Answers the `nth` unanswered look-up of an interface (the oldest by default).
    void answer(const QString &interfaceName, std::optional<QString> name, int nth = 0)
    {
        for (Lookup &lookup : lookups) {
            if (lookup.interfaceName != interfaceName || lookup.answered || nth-- > 0)
                continue;
            lookup.answered = true;
            lookup.promise->addResult(std::move(name));
            lookup.promise->finish();
            QCoreApplication::processEvents(); // the answer is taken in on the cache's thread
            return;
        }
        FAIL() << "no such look-up of " << interfaceName.toStdString() << " is outstanding";
    }
    int asked(const QString &interfaceName) const
    {
        return int(std::count_if(lookups.begin(), lookups.end(),
                                 [&](const Lookup &lookup) { return lookup.interfaceName == interfaceName; }));
    }

    test::ManualClock clock;
    std::vector<Lookup> lookups;
    WifiNameCache cache{[this](const QString &interfaceName) {
                            auto promise = std::make_shared<QPromise<std::optional<QString>>>();
                            promise->start();
                            lookups.push_back({interfaceName, promise});
                            return promise->future();
                        },
                        clock};
    const QString wlan0 = QStringLiteral("wlan0");
    const QString wlan1 = QStringLiteral("wlan1");
    const std::chrono::seconds period{WifiNameCache::kRefreshSeconds};
};

TEST_F(WifiNameCacheTest, AnswersFromTheLastLookupAndAsksAtMostOncePerPeriod)
{
    EXPECT_EQ(cache.current({wlan0}), std::nullopt) << "nothing known before the first answer";
    EXPECT_EQ(cache.current({wlan0}), std::nullopt);
    EXPECT_EQ(asked(wlan0), 1) << "a look-up still running is not asked again";

    answer(wlan0, QStringLiteral("Studio"));
    clock.advance(period - 1s);
    EXPECT_EQ(cache.current({wlan0}), QStringLiteral("Studio"));
    EXPECT_EQ(asked(wlan0), 1);

    clock.advance(1s);
    EXPECT_EQ(cache.current({wlan0}), QStringLiteral("Studio")) << "the old name stands while the new look-up runs";
    EXPECT_EQ(asked(wlan0), 2);
    answer(wlan0, std::nullopt); // left the network
    EXPECT_EQ(cache.current({wlan0}), std::nullopt);

    clock.advance(-10s); // the wall clock set back
    EXPECT_EQ(cache.current({wlan0}), std::nullopt);
    EXPECT_EQ(asked(wlan0), 3) << "an age that cannot be trusted counts as due";
}

TEST_F(WifiNameCacheTest, InterfacesComeAndGoWithoutStaleAnswers)
{
    EXPECT_EQ(cache.current({wlan0, wlan1}), std::nullopt);
    answer(wlan1, QStringLiteral("Booth"));
    EXPECT_EQ(cache.current({wlan0, wlan1}), QStringLiteral("Booth"));
    answer(wlan0, QStringLiteral("Studio"));
    EXPECT_EQ(cache.current({wlan0, wlan1}), QStringLiteral("Studio")) << "the first interface with a name wins";

    clock.advance(period);
    EXPECT_EQ(cache.current({wlan1}), QStringLiteral("Booth")) << "a vanished interface's name is dropped";
    EXPECT_EQ(cache.current({wlan0, wlan1}), QStringLiteral("Booth"));
    EXPECT_EQ(asked(wlan0), 2) << "an interface that comes back is asked about at once";

    // wlan1 goes away while its second look-up runs and comes back: only the third counts.
    cache.current({wlan0});
    EXPECT_EQ(cache.current({wlan1}), std::nullopt);
    EXPECT_EQ(asked(wlan1), 3);
    answer(wlan1, QStringLiteral("Old"));
    EXPECT_EQ(cache.current({wlan1}), std::nullopt);
    answer(wlan1, QStringLiteral("Lobby"));
    EXPECT_EQ(cache.current({wlan1}), QStringLiteral("Lobby"));
}

} // namespace
} // namespace vesk
