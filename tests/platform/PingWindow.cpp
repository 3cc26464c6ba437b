// A test application with one X11 window that takes _NET_WM_PING, the way toolkits set it up.
// Prints "ready" once the window is mapped with its properties, answers pings, and on SIGUSR1
// prints "blocked" and stops reading events for good, like an app whose UI thread deadlocked.
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t blockRequested = 0;

void onBlock(int) { blockRequested = 1; }

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace

int main()
{
    std::signal(SIGUSR1, onBlock);
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 100, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screens.data->root_visual, 0, nullptr);
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(c, "_NET_WM_PING");
    const uint32_t pid = uint32_t(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &ping);
    xcb_map_window(c, window);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: all applied
    std::printf("ready\n");
    std::fflush(stdout);

    const int fd = xcb_get_file_descriptor(c);
    while (!blockRequested) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == protocols
                && message->data.data32[0] == ping) {
                message->window = root;
                xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                               reinterpret_cast<const char *>(message));
                xcb_flush(c);
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c))
            return 3;
        pollfd readable{fd, POLLIN, 0};
        ::poll(&readable, 1, 50);
    }
    std::printf("blocked\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
