// Waits for the first top-level window to be mapped on the X display and says so: the
// moment a program's first window shows, measured the same way for every program.
// Prints "ready" once it listens, then "mapped" and exits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <xcb/xcb.h>

int main()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("map_wait: no X display\n", stderr);
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t* error = xcb_request_check(
        connection,
        xcb_change_window_attributes_checked(connection, screen->root, XCB_CW_EVENT_MASK, &mask));
    if (error != nullptr) {
        std::free(error);
        return 2;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const bool mapped = (event->response_type & ~0x80) == XCB_MAP_NOTIFY;
        std::free(event);
        if (mapped) {
            std::puts("mapped");
            std::fflush(stdout);
            xcb_disconnect(connection);
            return 0;
        }
    }
    return 1;
}
