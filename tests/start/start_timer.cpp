// How long a program takes from its start to its window on the screen: starts it, waits until the X
// server maps a new top-level window (the window manager's frame where one runs), prints the
// milliseconds and ends the program. Usage: blubbi-start-timer PROGRAM [ARGUMENTS...]
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "start-timer: no X server (DISPLAY)\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the server listens before the program starts.
    if (xcb_generic_error_t* error =
            xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask))) {
        std::free(error);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    bool mapped = false;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (!mapped && poll(&fd, 1, 30000) > 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect)
                mapped = true;
            std::free(event);
        }
        if (xcb_connection_has_error(x)) break;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(x);
    if (!mapped) {
        std::fprintf(stderr, "start-timer: %s showed no window\n", argv[1]);
        return 1;
    }
    std::printf("%.1f\n", ms);
    return 0;
}
