// Decimal conversions in both directions, and the layout of process times.
#include "output/output.h"

#include "input/input.h"
#include "signals/signals.h"

constinit char number_text[NUMBER_TEXT_SIZE] = {};

void long_to_text(uint64_t n)
{
    char digits[NUMBER_TEXT_SIZE];
    int i = 0;
    do {
        digits[i++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n);
    char* p = number_text;
    while (i)
        *p++ = digits[--i];
    *p = 0;
}

void number_to_text(int32_t n)
{
    long_to_text(n < 0 ? 0 : static_cast<uint64_t>(n));
}

int32_t text_to_number(const char* s)
{
    int64_t value = 0;
    const char* p = s;
    while (is_digit(*p)) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX)
            break;
        p++;
    }
    if (p == s || value > INT32_MAX)
        fail(s, "bad number");
    return static_cast<int32_t>(value);
}

// Appends the decimal digits of n at p; returns the end.
static char* append_digits(char* p, uint64_t n)
{
    long_to_text(n);
    for (const char* d = number_text; *d; d++)
        *p++ = *d;
    return p;
}

const char* format_times(clock_t ticks, long rate)
{
    static char text[64];
    uint64_t t = ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
    uint64_t seconds = (t + static_cast<uint64_t>(rate / 2)) / static_cast<uint64_t>(rate);
    uint64_t hours = seconds / 3600;
    char* p = text;
    if (hours) {
        p = append_digits(p, hours);
        *p++ = 'h';
    }
    p = append_digits(p, (seconds / 60) % 60);
    *p++ = 'm';
    p = append_digits(p, seconds % 60);
    *p++ = 's';
    *p = 0;
    return text;
}
