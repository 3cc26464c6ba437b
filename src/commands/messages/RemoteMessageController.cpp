#include "commands/messages/RemoteMessageController.h"

#include "settings/FleetSettingsStore.h"
#include "commands/FleetCommandChannel.h"
#include "commands/messages/RemoteMessagePanels.h"
#include "commands/messages/RemoteMessagePresenter.h"
#include "commands/messages/RemoteMessageText.h"
#include "platform/Clock.h"
#include "platform/LogCategories.h"

#include <QPointer>

namespace vesk {

RemoteMessageController::RemoteMessageController(Dependencies deps, QObject *parent)
    : QObject(parent), m_settings(deps.settings), m_results(deps.results), m_clock(deps.clock),
      m_presenter(std::move(deps.presenter))
{
}

RemoteMessageController::~RemoteMessageController() = default;

CommandResult RemoteMessageController::showMessage(qint64 commandId, const QMap<QString, QString> &params)
{
    const std::optional<RemoteMessage> message = RemoteMessageText::fromParams(commandId, params, m_clock.now());
    if (!message)
        return CommandResult::failure(QStringLiteral("Missing message parameter"));
    if (const std::optional<QString> notShown = show(*message))
        return CommandResult::failure(QStringLiteral("Message not shown: ") + *notShown);
    return CommandResult::ok(message->dismissable
                                 ? QStringLiteral("Message displayed (dismissable)")
                                 : QStringLiteral("Message displayed (stays until cleared from the portal)"));
}

CommandResult RemoteMessageController::clearMessage()
{
    return CommandResult::ok(clearRemotely() ? QStringLiteral("Message cleared")
                                             : QStringLiteral("No message was on screen"));
}

std::optional<QString> RemoteMessageController::show(const RemoteMessage &message)
{
    m_settings.setActiveRemoteMessage(message);
    m_active = message;
    const QString kind = message.dismissable ? QStringLiteral("dismissable") : QStringLiteral("locked");
    std::optional<QString> notShown;
    if (m_presenter) {
        const QString sent =
            RemoteMessageText::abbreviatedDateTime(message.receivedAt.toTimeZone(m_clock.timeZone()));
        std::function<void()> dismiss;
        if (message.dismissable) {
            QPointer<RemoteMessageController> self(this);
            dismiss = [self, message] {
                if (self)
                    self->dismissShown(message);
            };
        }
        notShown = m_presenter->present(message, sent, std::move(dismiss));
    } else {
        // No screen to show it on: the console reads it from activeMessage().
        notShown = RemoteMessagePanels::missingDisplay().value_or(QStringLiteral("no display (the agent runs headless)"));
        qCInfo(lcFleet).noquote() << "Admin message kept without a display:"
                                  << (message.title ? *message.title + QStringLiteral(" — ") : QString()) +
                                         message.message;
    }
    if (notShown)
        qCWarning(lcFleet).noquote() << "Admin message (" + kind + ") not on screen: " + *notShown;
    else
        qCInfo(lcFleet).noquote() << "Displaying admin message (" + kind + ")";
    emit activeMessageChanged();
    return notShown;
}

void RemoteMessageController::clear()
{
    m_settings.setActiveRemoteMessage(std::nullopt);
    m_active.reset();
    if (m_presenter)
        m_presenter->withdraw();
    emit activeMessageChanged();
}

void RemoteMessageController::dismissAtMachine()
{
    if (m_active)
        dismissShown(*m_active);
}

void RemoteMessageController::dismissShown(const RemoteMessage &shown)
{
    // A stale panel (its message already replaced or cleared) dismisses nothing.
    if (!m_active || *m_active != shown || !shown.dismissable)
        return;
    clear();
    qCInfo(lcFleet) << "Admin message dismissed at the machine";
    const QString text = QStringLiteral("Dismissed on the machine at ") +
                         RemoteMessageText::abbreviatedDateTime(m_clock.localNow());
    reportDismissal(shown.commandId, text);
}

QCoro::Task<> RemoteMessageController::reportDismissal(qint64 commandId, QString text)
{
    QPointer<RemoteMessageController> self(this);
    FleetCommandChannel &results = m_results;
    const APIStatus sent = co_await results.reportCommandResult(commandId, true, text);
    if (!sent)
        qCCritical(lcFleet).noquote() << "Message dismissal report failed: " + sent.errorMessage();
    if (self)
        emit self->dismissalReported(sent.ok());
}

bool RemoteMessageController::clearRemotely()
{
    if (!m_active)
        return false;
    clear();
    qCInfo(lcFleet) << "Admin message cleared remotely";
    return true;
}

void RemoteMessageController::restoreMessage()
{
    if (const std::optional<RemoteMessage> persisted = m_settings.activeRemoteMessage())
        show(*persisted);
}

} // namespace vesk
