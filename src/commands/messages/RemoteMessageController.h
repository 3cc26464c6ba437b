#pragma once

#include "commands/MessageCommands.h"
#include "wire/RemoteMessage.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace vesk {

class Clock;
class FleetCommandChannel;
class FleetSettingsStore;
class RemoteMessagePresenter;

// The administrator's message on this machine's screens: shown by "show_message", kept in
// the settings store across restarts of the agent, taken down by "clear_message" or, when
// the message allows it, by the person at the machine, which is reported to the fleet.
// Without a display (no presenter, or one with no screen) the message is still kept, logged
// and readable through activeMessage(), but "show_message" says it is not on screen and why.
// Main thread only.
class RemoteMessageController : public QObject, public MessageCommands {
    Q_OBJECT
public:
    struct Dependencies {
        FleetSettingsStore &settings;
        FleetCommandChannel &results; // where a dismissal at the machine is reported
        Clock &clock;
        std::unique_ptr<RemoteMessagePresenter> presenter; // none: headless
    };

    explicit RemoteMessageController(Dependencies deps, QObject *parent = nullptr);
    ~RemoteMessageController() override;

    // The command poller's side: "show_message", "clear_message" and the restore at start.
    CommandResult showMessage(qint64 commandId, const QMap<QString, QString> &params) override;
    CommandResult clearMessage() override;
    void restoreMessage() override;

    // Replaces any shown message with this one. None when it is on screen, else why not.
    std::optional<QString> show(const RemoteMessage &message);
    // The panel's Dismiss button: clears a dismissable message and reports it to the fleet.
    void dismissAtMachine();
    // True when a message was shown (and is now gone). Sends no report.
    bool clearRemotely();

    const std::optional<RemoteMessage> &activeMessage() const { return m_active; }
    bool hasDisplay() const { return m_presenter != nullptr; }

signals:
    void activeMessageChanged();
    // The dismissal report finished; `delivered` is false when it failed (already logged).
    void dismissalReported(bool delivered);

private:
    void clear();
    void dismissShown(const RemoteMessage &shown);
    QCoro::Task<> reportDismissal(qint64 commandId, QString text);

    FleetSettingsStore &m_settings;
    FleetCommandChannel &m_results;
    Clock &m_clock;
    std::unique_ptr<RemoteMessagePresenter> m_presenter;
    std::optional<RemoteMessage> m_active;
};

} // namespace vesk
