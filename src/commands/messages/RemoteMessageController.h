#pragma once

#include "commands/messages/RemoteMessageResult.h"
#include "wire/RemoteMessage.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace vesk {

class Clock;
class FleetAPIClient;
class FleetSettingsStore;
class RemoteMessagePresenter;

// The administrator's message on this machine's screens: shown by "show_message", kept in
// the settings store across restarts of the agent, taken down by "clear_message" or, when
// the message allows it, by the person at the machine, which is reported to the fleet.
// Without a display (no presenter, or one with no screen) the message is still kept, logged
// and readable through activeMessage(), but "show_message" says it is not on screen and why.
// Main thread only.
class RemoteMessageController : public QObject {
    Q_OBJECT
public:
    struct Dependencies {
        FleetSettingsStore &settings;
        FleetAPIClient &api;
        Clock &clock;
        std::unique_ptr<RemoteMessagePresenter> presenter; // none: headless
    };

    explicit RemoteMessageController(Dependencies deps, QObject *parent = nullptr);
    ~RemoteMessageController() override;

    // "show_message" with the command's parameters as text.
    RemoteMessageResult showFromCommand(qint64 commandId, const QMap<QString, QString> &params);
    // "clear_message".
    RemoteMessageResult clearFromCommand();

    // Replaces any shown message with this one. None when it is on screen, else why not.
    std::optional<QString> show(const RemoteMessage &message);
    // The panel's Dismiss button: clears a dismissable message and reports it to the fleet.
    void dismissAtMachine();
    // True when a message was shown (and is now gone). Sends no report.
    bool clearRemotely();
    // At start: shows the persisted message again, with its first receive time.
    void restore();

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
    FleetAPIClient &m_api;
    Clock &m_clock;
    std::unique_ptr<RemoteMessagePresenter> m_presenter;
    std::optional<RemoteMessage> m_active;
};

} // namespace vesk
