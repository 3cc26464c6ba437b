#pragma once

#include "commands/messages/RemoteMessagePresenter.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace vesk {

class RemoteMessagePanel;

// Shows the message in one panel on every screen, and again when screens come and go.
class RemoteMessagePanels final : public QObject, public RemoteMessagePresenter {
    Q_OBJECT
public:
    // The panels when this process has a display; none when it runs offscreen or without screens.
    static std::unique_ptr<RemoteMessagePresenter> forThisDisplay();
    // Why this process cannot show windows (a platform without a display, or no screen); none
    // when it can.
    static std::optional<QString> missingDisplay();

    RemoteMessagePanels();
    ~RemoteMessagePanels() override;

    // Not on screen while no screen is connected: the panels follow when one is.
    std::optional<QString> present(const RemoteMessage &message, const QString &sentText,
                                   std::function<void()> dismiss) override;
    void withdraw() override;

private:
    void rebuild();

    struct Shown {
        RemoteMessage message;
        QString sentText;
        std::function<void()> dismiss;
    };
    std::optional<Shown> m_shown;
    QList<QPointer<RemoteMessagePanel>> m_panels;
};

} // namespace vesk
