#pragma once

#include "commands/CommandResult.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace vesk {

class Clock;
class CommandParams;
class FleetSettingsStore;

// "restart" and "restart_app" may carry a "scheduled_at" time: a future one turns the
// command into a scheduled action that the poller's timed loop runs later.
class CommandDeferral {
public:
    CommandDeferral(FleetSettingsStore &settings, const Clock &clock, QLocale locale)
        : m_settings(settings), m_clock(clock), m_locale(std::move(locale))
    {
    }

    // None: run the command now. Otherwise the command's whole result (scheduled, or a
    // bad time, or a restart_app that names no app).
    std::optional<CommandResult> deferIfScheduled(const QString &command, const CommandParams &params) const;

private:
    FleetSettingsStore &m_settings;
    const Clock &m_clock;
    QLocale m_locale;
};

} // namespace vesk
