// The output primitives: one write each on the diagnostic descriptor.
#include "output/output.h"

#include "platform/platform.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <unistd.h>

constinit int output_fd = 2;

void put_bytes(int fd, const char* s, int32_t n)
{
    if (n > 0)
        (void)!write(fd, s, static_cast<size_t>(n));
}

void put_newline()
{
    put_bytes(output_fd, "\n", 1);
}

void put_blank()
{
    put_bytes(output_fd, " ", 1);
}

void put_char(int c)
{
    char b = static_cast<char>(c);
    if (b)
        put_bytes(output_fd, &b, 1);
}

void put_string(const char* s)
{
    if (s)
        put_bytes(output_fd, s, string_size(s) - 1);
}

// No byte with bit 7 set leaves the shell from a message or listing: the
// marks of quoted characters are removed and empty quoted words dropped.
void put_plain(const char* s)
{
    if (!s)
        return;
    char chunk[128];
    int32_t n = 0;
    for (; *s; s++) {
        char c = static_cast<char>(*s & 0x7f);
        if (!c)
            continue;
        chunk[n++] = c;
        if (n == static_cast<int32_t>(sizeof chunk)) {
            put_bytes(output_fd, chunk, n);
            n = 0;
        }
    }
    put_bytes(output_fd, chunk, n);
}

void put_prefix()
{
    if (!(shell_flags & FLAG_PROMPT) && dollar_zero) {
        put_string(dollar_zero);
        put_bytes(output_fd, ": ", 2);
    }
}

void put_number(int32_t n)
{
    number_to_text(n);
    put_string(number_text);
}

void put_long(uint64_t n)
{
    long_to_text(n);
    put_string(number_text);
}

void put_times(clock_t ticks)
{
    put_string(format_times(ticks, platform_clock_ticks()));
}
