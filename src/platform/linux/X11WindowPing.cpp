#include "platform/linux/X11WindowPing.h"

#include <QElapsedTimer>
#include <QSet>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <poll.h>

namespace vesk {

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

struct Connection {
    xcb_connection_t *c = nullptr;
    ~Connection()
    {
        if (c)
            xcb_disconnect(c);
    }
};

// An atom that exists already; XCB_ATOM_NONE when no client ever named it (then no window
// carries it either, and we do not create it on the server).
xcb_atom_t existingAtom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> children(xcb_connection_t *c, xcb_window_t window)
{
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree)
        return {};
    const xcb_window_t *list = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(list, list + xcb_query_tree_children_length(tree.get()));
}

std::vector<xcb_window_t> candidateWindows(xcb_connection_t *c, xcb_window_t root, xcb_atom_t clientList)
{
    if (clientList != XCB_ATOM_NONE) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, clientList, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr));
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) > 0) {
            const auto *list = static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
            return std::vector<xcb_window_t>(list, list + xcb_get_property_value_length(reply.get()) / 4);
        }
    }
    // No window manager keeps a list: the top-level windows, and one level below for frames.
    std::vector<xcb_window_t> out = children(c, root);
    const size_t topLevel = out.size();
    for (size_t i = 0; i < topLevel; ++i) {
        const std::vector<xcb_window_t> inner = children(c, out[i]);
        out.insert(out.end(), inner.begin(), inner.end());
    }
    return out;
}

struct Atoms {
    xcb_atom_t pid = XCB_ATOM_NONE;
    xcb_atom_t protocols = XCB_ATOM_NONE;
    xcb_atom_t ping = XCB_ATOM_NONE;
};

// The windows of the wanted processes that take pings, each with its process.
QHash<xcb_window_t, qint32> pingableWindows(xcb_connection_t *c, const std::vector<xcb_window_t> &windows,
                                            const Atoms &atoms, const QSet<qint32> &wanted)
{
    // Ask for every property first and read the answers after: one round trip, not one per window.
    std::vector<xcb_get_property_cookie_t> pidCookies;
    std::vector<xcb_get_property_cookie_t> protocolCookies;
    pidCookies.reserve(windows.size());
    protocolCookies.reserve(windows.size());
    for (const xcb_window_t w : windows) {
        pidCookies.push_back(xcb_get_property(c, 0, w, atoms.pid, XCB_ATOM_CARDINAL, 0, 1));
        protocolCookies.push_back(xcb_get_property(c, 0, w, atoms.protocols, XCB_ATOM_ATOM, 0, 64));
    }
    QHash<xcb_window_t, qint32> out;
    for (size_t i = 0; i < windows.size(); ++i) {
        const Reply<xcb_get_property_reply_t> pid(xcb_get_property_reply(c, pidCookies[i], nullptr));
        const Reply<xcb_get_property_reply_t> protocols(xcb_get_property_reply(c, protocolCookies[i], nullptr));
        if (!pid || pid->format != 32 || xcb_get_property_value_length(pid.get()) < 4 || !protocols
            || protocols->format != 32)
            continue;
        const auto owner = qint32(*static_cast<const uint32_t *>(xcb_get_property_value(pid.get())));
        if (!wanted.contains(owner))
            continue;
        const auto *list = static_cast<const xcb_atom_t *>(xcb_get_property_value(protocols.get()));
        const int count = xcb_get_property_value_length(protocols.get()) / 4;
        if (std::find(list, list + count, atoms.ping) != list + count)
            out.insert(windows[i], owner);
    }
    return out;
}

} // namespace

std::optional<QHash<qint32, bool>> pingX11Windows(const QList<qint32> &pids, std::chrono::milliseconds timeout,
                                                  const QByteArray &display)
{
    Connection connection;
    int screenNumber = 0;
    connection.c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    xcb_connection_t *c = connection.c;
    if (xcb_connection_has_error(c))
        return std::nullopt;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return std::nullopt;
    const xcb_window_t root = screens.data->root;

    QHash<qint32, bool> verdicts;
    const Atoms atoms{existingAtom(c, "_NET_WM_PID"), existingAtom(c, "WM_PROTOCOLS"), existingAtom(c, "_NET_WM_PING")};
    if (pids.isEmpty() || atoms.pid == XCB_ATOM_NONE || atoms.protocols == XCB_ATOM_NONE
        || atoms.ping == XCB_ATOM_NONE)
        return verdicts;
    const QSet<qint32> wanted(pids.cbegin(), pids.cend());
    const QHash<xcb_window_t, qint32> windows =
        pingableWindows(c, candidateWindows(c, root, existingAtom(c, "_NET_CLIENT_LIST")), atoms, wanted);
    if (windows.isEmpty())
        return verdicts;

    // Answers go to the root window with SubstructureNotify, which any client may listen for.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    // A token of our own in the timestamp field: the app echoes it, a window manager that
    // pings with server times ignores answers it cannot match.
    static std::atomic<uint32_t> nextToken{0x7e5c0001u};
    const uint32_t token = nextToken++;
    QSet<xcb_window_t> pending;
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        verdicts.insert(it.value(), false);
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = it.key();
        event.type = atoms.protocols;
        event.data.data32[0] = atoms.ping;
        event.data.data32[1] = token;
        event.data.data32[2] = it.key();
        xcb_send_event(c, 0, it.key(), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
        pending.insert(it.key());
    }
    xcb_flush(c);

    QElapsedTimer waited;
    waited.start();
    const int fd = xcb_get_file_descriptor(c);
    while (!pending.isEmpty() && !xcb_connection_has_error(c)) {
        while (xcb_generic_event_t *raw = xcb_poll_for_event(c)) {
            const Reply<xcb_generic_event_t> event(raw);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
                continue;
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(raw);
            if (message->type != atoms.protocols || message->data.data32[0] != atoms.ping
                || message->data.data32[1] != token)
                continue;
            const xcb_window_t window = message->data.data32[2];
            if (pending.remove(window))
                verdicts.insert(windows.value(window), true);
        }
        const qint64 left = timeout.count() - waited.elapsed();
        if (pending.isEmpty() || left <= 0)
            break;
        pollfd readable{fd, POLLIN, 0};
        ::poll(&readable, 1, int(left));
    }
    return verdicts;
}

} // namespace vesk
