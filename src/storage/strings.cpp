// The string primitives: copy, membership, comparison and size.
#include "storage/storage.h"

char* copy_into(const char* from, char* to)
{
    while ((*to = *from++) != 0)
        to++;
    return to;
}

bool char_in_set(int c, const char* set)
{
    signed char want = static_cast<signed char>(c);
    for (; *set; set++)
        if (static_cast<signed char>(*set) == want)
            return true;
    return false;
}

int compare_strings(const char* a, const char* b)
{
    while (*a == *b) {
        if (*a == 0)
            return 0;
        a++;
        b++;
    }
    return static_cast<signed char>(*a) - static_cast<signed char>(*b);
}

int32_t string_size(const char* s)
{
    if (!s)
        return 0;
    const char* p = s;
    while (*p)
        p++;
    return static_cast<int32_t>(p - s + 1);
}
