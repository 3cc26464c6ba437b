#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

#include <chrono>
#include <optional>

namespace vesk {

// The way an X11 window manager decides that an application is not responding: it sends each
// of the application's windows a _NET_WM_PING client message, and the application's event loop
// answers by sending it back to the root window. An app whose event loop is blocked (a deadlock,
// a busy loop on its UI thread) cannot answer, whatever its process state.
//
// A process's windows are the ones whose _NET_WM_PID names it and whose WM_PROTOCOLS list
// _NET_WM_PING, among the window manager's client list (_NET_CLIENT_LIST) or, without a
// window manager, the top-level windows and their children. Every window is pinged at once and
// the answers are awaited together, so one probe waits at most `timeout`.
//
// The verdict per process: true when one of its windows answered, false when none did. A
// process with no pingable window has no verdict. None at all when no X display can be reached
// (`display` empty: $DISPLAY); on Wayland that is the case for native Wayland apps, which only
// the compositor can ping, while X11 apps under Xwayland are pinged as on X11.
//
// Opens its own connection for each probe, so it can run on any thread.
std::optional<QHash<qint32, bool>> pingX11Windows(const QList<qint32> &pids, std::chrono::milliseconds timeout,
                                                  const QByteArray &display = {});

inline constexpr std::chrono::milliseconds defaultWindowPingTimeout = std::chrono::seconds(5);

} // namespace vesk
