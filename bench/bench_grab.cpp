// record's grab alone, its encoder left out: a 1280 x 720 region at
// (102, 102) grabbed at every tick of 30 a second, as the take loop grabs
// it, for SECONDS. Prints the pictures grabbed anew and the CPU it cost, as
// % of one core, for bench/bench_record.sh to set beside x11grab's grab
// into the null muxer. Runs on an X display.
//
//     bench_grab SECONDS
#include "record/x11grabber.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    X11Grabber grabber(true);
    std::string error;
    const Region area { 102, 102, 1280, 720 };
    if (!grabber.open(&error) || !grabber.prepare(area, &error)) {
        std::fprintf(stderr, "bench_grab: %s\n", error.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto tick = std::chrono::nanoseconds(1000000000 / 30);
    const auto start = Clock::now();
    const double cpu0 = cpuSeconds();
    long ticks = 0, anew = 0;
    for (auto next = start; Clock::now() - start < std::chrono::duration<double>(seconds);
         next += tick, ++ticks) {
        std::this_thread::sleep_until(next);
        if (!grabber.grab(area.x, area.y)) {
            std::fprintf(stderr, "bench_grab: a grab failed\n");
            return 1;
        }
        anew += grabber.unchanged() ? 0 : 1;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("record grab fps=%.1f anew_per_s=%.1f cpu_pct=%.1f\n", double(ticks) / wall,
                double(anew) / wall, 100 * (cpuSeconds() - cpu0) / wall);
    grabber.release();
    return 0;
}
