// The file-size limit, the clock-tick rate and the pause between fork attempts.
#include "platform/platform.h"

#include <cerrno>
#include <ctime>
#include <ulimit.h>
#include <unistd.h>

int64_t platform_ulimit(int command, int64_t value)
{
    // glibc keeps the historical interface: 512-byte units, and the largest
    // long for an unlimited size.
    long r = command == 1 ? ulimit(UL_GETFSIZE) : ulimit(UL_SETFSIZE, static_cast<long>(value));
    return r;
}

long platform_clock_ticks()
{
    long r = sysconf(_SC_CLK_TCK);
    return r > 0 ? r : 100;
}

void platform_pause_seconds(unsigned seconds)
{
    // A caught signal (the alarm among them) ends the sleep early; an
    // ignored alarm cannot, and the timed sleep still ends the wait.
    struct timespec t = {static_cast<time_t>(seconds), 0};
    nanosleep(&t, nullptr);
}
