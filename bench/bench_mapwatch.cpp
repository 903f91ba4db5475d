// Times a program's start from outside: starts it, waits for the X server to map the first
// window that carries the program's process id (_NET_WM_PID), lets it settle, ends it and
// reads its peak memory from the kernel's account of the child.
//
//   bench_mapwatch [--settle-ms N] [--limit-ms N] -- PROGRAM [ARGS...]
//
// Prints "shown_ms=<ms from spawn to map> ran_ms=<ms> queued_ms=<ms> maxrss_kib=<peak resident
// set>": ran and queued are the child's main thread's time on a processor and waiting for one
// until the map, from the kernel's schedstat, so a busy machine's share of the wait can be told
// from the program's own. Uses $DISPLAY.

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Free
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, Free>;

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

long windowPid(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t pidAtom)
{
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) {
        return -1;
    }
    return static_cast<long>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
}

// The main thread's nanoseconds on a processor and waiting in the run queue so far.
struct Schedule
{
    double ranMs = -1;
    double queuedMs = -1;
};

Schedule mainThreadSchedule(pid_t child)
{
    std::ifstream in("/proc/" + std::to_string(child) + "/schedstat");
    unsigned long long ran = 0;
    unsigned long long queued = 0;
    if (!(in >> ran >> queued)) {
        return {};
    }
    return {ran / 1e6, queued / 1e6};
}

// Waits for the child's first mapped window; the milliseconds since spawn, or -1.
double waitForMap(xcb_connection_t* connection, xcb_atom_t pidAtom, pid_t child,
                  Clock::time_point spawned, int limitMs, Schedule& schedule)
{
    pollfd watch{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (Clock::now() - spawned < std::chrono::milliseconds(limitMs)) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
            const Reply<xcb_generic_event_t> event(raw);
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
                continue;
            }
            const Clock::time_point mapped = Clock::now();
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
            if (windowPid(connection, map->window, pidAtom) == child) {
                schedule = mainThreadSchedule(child);
                return std::chrono::duration<double, std::milli>(mapped - spawned).count();
            }
        }
        if (xcb_connection_has_error(connection) != 0 || waitpid(child, nullptr, WNOHANG) != 0) {
            return -1;
        }
        poll(&watch, 1, 50);
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    int settleMs = 1000;
    int limitMs = 20000;
    int first = 1;
    for (; first < argc && std::strcmp(argv[first], "--") != 0; ++first) {
        if (std::strcmp(argv[first], "--settle-ms") == 0 && first + 1 < argc) {
            settleMs = std::atoi(argv[++first]);
        } else if (std::strcmp(argv[first], "--limit-ms") == 0 && first + 1 < argc) {
            limitMs = std::atoi(argv[++first]);
        }
    }
    if (first + 1 >= argc) {
        std::fprintf(stderr, "usage: bench_mapwatch [--settle-ms N] [--limit-ms N] -- PROGRAM "
                             "[ARGS...]\n");
        return 2;
    }

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "bench_mapwatch: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    // The atom round trip also makes sure the server has our event mask before the child
    // can map anything.
    const xcb_atom_t pidAtom = atom(connection, "_NET_WM_PID");

    pid_t child = 0;
    const Clock::time_point spawned = Clock::now();
    if (posix_spawnp(&child, argv[first + 1], nullptr, nullptr, argv + first + 1, environ) != 0) {
        std::fprintf(stderr, "bench_mapwatch: cannot start %s\n", argv[first + 1]);
        return 2;
    }
    Schedule schedule;
    const double shownMs = waitForMap(connection, pidAtom, child, spawned, limitMs, schedule);
    if (shownMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    }
    kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    xcb_disconnect(connection);
    if (shownMs < 0) {
        std::fprintf(stderr, "bench_mapwatch: no window of %s was mapped\n", argv[first + 1]);
        return 1;
    }
    std::printf("shown_ms=%.3f ran_ms=%.3f queued_ms=%.3f maxrss_kib=%ld\n", shownMs,
                schedule.ranMs, schedule.queuedMs, usage.ru_maxrss);
    return 0;
}
