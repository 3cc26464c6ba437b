#include "app/AppDelegate.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <gtest/gtest.h>

using vesk::AppDelegate;

TEST(AppDelegate, OnlyCommandPendingPushesMakeThePollerPoll)
{
    struct Case {
        const char *name;
        const char *payload;
        bool pollerSet;
        int polls;
    };
    const Case cases[] = {
        {"command pending", R"({"type":"command_pending","aps":{}})", true, 1},
        {"no type", R"({"aps":{"alert":"hi"}})", true, 0},
        {"other type", R"({"type":"alert"})", true, 0},
        {"type not a string", R"({"type":1})", true, 0},
        {"no poller yet", R"({"type":"command_pending"})", false, 0},
    };
    for (const Case &c : cases) {
        AppDelegate delegate;
        int polls = 0;
        if (c.pollerSet)
            delegate.setCommandPoller([&polls]() { ++polls; });
        delegate.didReceiveRemoteNotification(QJsonDocument::fromJson(c.payload).object());
        QCoreApplication::processEvents();
        EXPECT_EQ(polls, c.polls) << c.name;
    }
}

TEST(AppDelegate, PushTokenIsLowercaseHexWithoutSeparators)
{
    AppDelegate delegate;
    QString received;
    delegate.setAlertService([&received](const QString &token) { received = token; });
    delegate.didRegisterForRemoteNotifications(QByteArray::fromHex("00ABcd7f10"));
    EXPECT_EQ(received, QStringLiteral("00abcd7f10"));
}
