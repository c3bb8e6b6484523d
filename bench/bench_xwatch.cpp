// Watches a program start and idle from outside, on a running X server:
//
//   start-up  from just before exec to the first moment the given screen
//             pixel shows the given colour (the window's first paint);
//   idle      CPU time and wakeups (context switches) of all the program's
//             threads over the given number of seconds, once it has
//             painted and settled; and the same for the program together
//             with the other processes given (the X server, the window
//             manager), whose idle cost the program may cause;
//   memory    the program's peak resident set, when it has been stopped.
//
// Nothing in the program watched is changed or told anything.
//
//     bench_xwatch X Y RRGGBB IDLE_SECONDS [PID...] -- COMMAND [ARG...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int64_t now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepNanos(int64_t nanos)
{
    timespec ts = { time_t(nanos / 1000000000), long(nanos % 1000000000) };
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) { }
}

int channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    while (!(mask & 1)) {
        mask >>= 1;
        pixel >>= 1;
    }
    return int((pixel & mask) * 255 / mask);
}

bool pixelIs(Display *display, int x, int y, unsigned long rgb)
{
    XImage *image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    const int r = channel(pixel, image->red_mask);
    const int g = channel(pixel, image->green_mask);
    const int b = channel(pixel, image->blue_mask);
    XDestroyImage(image);
    return ((unsigned long)(r) << 16 | (unsigned long)(g) << 8 | (unsigned long)(b)) == rgb;
}

struct Usage
{
    int64_t cpuNanos = 0;
    int64_t wakeups = 0;
};

// Summed over the process's threads: nanoseconds on a CPU, and how often a
// thread went to sleep or was preempted, each of which ends in a wakeup.
// A thread's own counts: /proc/PID/status has the main thread's alone.
Usage usage(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return { -1, -1 };
    Usage total;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + '/' + entry->d_name;
        if (FILE *file = std::fopen((task + "/schedstat").c_str(), "r")) {
            long long onCpu = 0;
            if (std::fscanf(file, "%lld", &onCpu) == 1)
                total.cpuNanos += onCpu;
            std::fclose(file);
        }
        if (FILE *file = std::fopen((task + "/status").c_str(), "r")) {
            char line[256];
            long long count = 0;
            while (std::fgets(line, sizeof line, file)) {
                if (std::sscanf(line, "voluntary_ctxt_switches: %lld", &count) == 1
                    || std::sscanf(line, "nonvoluntary_ctxt_switches: %lld", &count) == 1)
                    total.wakeups += count;
            }
            std::fclose(file);
        }
    }
    closedir(dir);
    return total;
}

Usage usage(const std::vector<pid_t> &pids)
{
    Usage total;
    for (const pid_t pid : pids) {
        const Usage one = usage(pid);
        if (one.cpuNanos < 0)
            return one;
        total.cpuNanos += one.cpuNanos;
        total.wakeups += one.wakeups;
    }
    return total;
}

bool exited(pid_t pid, int *status)
{
    return waitpid(pid, status, WNOHANG) == pid;
}

} // namespace

int main(int argc, char *argv[])
{
    int command = 5;
    std::vector<pid_t> others;
    while (command < argc && std::strcmp(argv[command], "--") != 0)
        others.push_back(pid_t(std::atoi(argv[command++])));
    ++command;
    if (argc < 6 || command >= argc) {
        std::fprintf(stderr,
                     "usage: bench_xwatch X Y RRGGBB IDLE_SECONDS [PID...] -- COMMAND [ARG...]\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const unsigned long rgb = std::strtoul(argv[3], nullptr, 16);
    const double idleSeconds = std::atof(argv[4]);

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_xwatch: no X display\n");
        return 1;
    }
    // The window of a previous run may still be going away.
    for (int i = 0; i < 2000 && pixelIs(display, x, y, rgb); ++i)
        sleepNanos(1000000);
    if (pixelIs(display, x, y, rgb)) {
        std::fprintf(stderr, "bench_xwatch: the pixel has the colour before the start\n");
        return 1;
    }

    const int64_t start = now();
    const pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        execvp(argv[command], argv + command);
        std::perror("bench_xwatch: exec");
        _exit(127);
    }

    int status = 0;
    int64_t painted = -1;
    while (now() - start < 20 * int64_t(1000000000)) {
        if (exited(pid, &status)) {
            std::fprintf(stderr, "bench_xwatch: %s ended before it painted\n", argv[command]);
            return 1;
        }
        if (pixelIs(display, x, y, rgb)) {
            painted = now();
            break;
        }
        sleepNanos(250000);
    }
    if (painted < 0) {
        std::fprintf(stderr, "bench_xwatch: %s did not paint in 20 s\n", argv[command]);
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return 1;
    }

    // Fonts, icons and the window manager's replies have all settled by now.
    sleepNanos(500000000);
    std::vector<pid_t> together = others;
    together.push_back(pid);
    const int64_t idleStart = now();
    const Usage alone = usage(pid);
    const Usage all = usage(together);
    sleepNanos(int64_t(idleSeconds * 1e9));
    const Usage aloneEnd = usage(pid);
    const Usage allEnd = usage(together);
    const int64_t idleEnd = now();
    if (all.cpuNanos < 0 || allEnd.cpuNanos < 0) {
        std::fprintf(stderr, "bench_xwatch: a process watched is gone\n");
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return 1;
    }
    const bool alive = !exited(pid, &status);

    rusage resources;
    if (alive) {
        kill(pid, SIGTERM);
        if (wait4(pid, &status, 0, &resources) != pid)
            return 1;
    } else {
        std::fprintf(stderr, "bench_xwatch: %s ended while idle\n", argv[command]);
        return 1;
    }
    const double idleNanos = std::max(double(idleEnd - idleStart), 1.0);
    const auto percent = [&](const Usage &from, const Usage &to) {
        return double(to.cpuNanos - from.cpuNanos) / idleNanos * 100.0;
    };
    const auto perSecond = [&](const Usage &from, const Usage &to) {
        return double(to.wakeups - from.wakeups) / idleNanos * 1e9;
    };
    std::printf("xwatch startup_ms=%.2f idle_s=%.2f idle_cpu_pct=%.4f idle_wakeups_per_s=%.2f "
                "together_cpu_pct=%.4f together_wakeups_per_s=%.2f maxrss_kb=%ld\n",
                double(painted - start) / 1e6, idleNanos / 1e9, percent(alone, aloneEnd),
                perSecond(alone, aloneEnd), percent(all, allEnd), perSecond(all, allEnd),
                resources.ru_maxrss);
    XCloseDisplay(display);
    return 0;
}
