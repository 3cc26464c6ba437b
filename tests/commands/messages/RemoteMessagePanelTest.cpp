#include "commands/messages/RemoteMessagePanel.h"
#include "commands/messages/RemoteMessagePanels.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QStringList labelTexts(const QWidget &panel)
{
    QStringList texts;
    for (const QLabel *label : panel.findChildren<QLabel *>())
        if (!label->text().isEmpty())
            texts.append(label->text());
    return texts;
}

QList<RemoteMessagePanel *> panelWindows()
{
    QList<RemoteMessagePanel *> panels;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *panel = qobject_cast<RemoteMessagePanel *>(window))
            panels.append(panel);
    return panels;
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

RemoteMessage message(bool dismissable)
{
    return RemoteMessage{41, QString("Tonight"), "Doors open at 6", dismissable, QDateTime()};
}

TEST(RemoteMessagePanel, DismissableOffersTheButtonThatDismisses)
{
    int dismissed = 0;
    RemoteMessagePanel panel(message(true), "Mar 2, 2026 at 9:00 AM", [&] { ++dismissed; });

    EXPECT_EQ(labelTexts(panel), QStringList({"Message from your administrator", "Tonight", "Doors open at 6",
                                              "Sent Mar 2, 2026 at 9:00 AM"}));
    const auto buttons = panel.findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "Dismiss");
    EXPECT_EQ(buttons[0]->accessibleDescription(), "Dismiss this message");
    buttons[0]->click();
    EXPECT_EQ(dismissed, 1);
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST(RemoteMessagePanel, LockedShowsTheNoticeInsteadOfAButton)
{
    RemoteMessagePanel panel(message(false), "Mar 2, 2026 at 9:00 AM", {});
    EXPECT_TRUE(panel.findChildren<QPushButton *>().isEmpty());
    EXPECT_TRUE(labelTexts(panel).contains("Only your administrator can clear this notice."));
}

TEST(RemoteMessagePanels, OnePanelPerScreenKeptWhenClosedUntilWithdrawn)
{
    RemoteMessagePanels panels;
    EXPECT_EQ(panels.present(message(false), "Mar 2, 2026 at 9:00 AM", {}), std::nullopt);
    const QList<RemoteMessagePanel *> shown = panelWindows();
    ASSERT_EQ(shown.size(), QGuiApplication::screens().size());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(shown[0]->isVisible());

    const QPointer<RemoteMessagePanel> closed = shown[0];
    closed->close();
    runDeferredDeletes();
    EXPECT_FALSE(closed.isNull()) << "closing a panel while the message is active must not release it";

    panels.withdraw();
    runDeferredDeletes();
    EXPECT_TRUE(closed.isNull());
    EXPECT_TRUE(panelWindows().isEmpty());
}

TEST(RemoteMessagePanel, OffscreenHasNoPanels)
{
    EXPECT_EQ(RemoteMessagePanels::forThisDisplay(), nullptr) << "tests run on the offscreen platform";
    EXPECT_EQ(RemoteMessagePanels::missingDisplay(), "no display (the agent runs headless, on the \"offscreen\" platform)");
}

} // namespace
} // namespace vesk::test
