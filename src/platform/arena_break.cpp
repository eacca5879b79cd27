// The arena's private address range and the break that moves inside it.
#include "platform/platform.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

// Largest range asked for; halved until the system grants one.
static constexpr uintptr_t ARENA_WANTED = uintptr_t{1} << 32;
// Smallest range worth having.
static constexpr uintptr_t ARENA_LEAST = uintptr_t{1} << 16;
static constexpr uintptr_t PAGE = 4096;

static constinit char* arena_start = nullptr;     // first byte of the range
static constinit char* arena_limit = nullptr;     // one past its last byte
static constinit char* arena_break = nullptr;     // the break as the shell sees it
static constinit char* arena_committed = nullptr; // end of the accessible pages

static uintptr_t round_page(uintptr_t n)
{
    return (n + PAGE - 1) & ~(PAGE - 1);
}

bool platform_reserve_arena()
{
    if (arena_start)
        return true;
    uintptr_t size = ARENA_WANTED;
    // Under an address-space limit, leave most of it to the library and the
    // programs' own needs: never ask for more than a quarter of the limit.
    struct rlimit lim;
    if (getrlimit(RLIMIT_AS, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) {
        uintptr_t quarter = lim.rlim_cur / 4;
        while (size > ARENA_LEAST && size > quarter)
            size /= 2;
    }
    for (; size >= ARENA_LEAST; size /= 2) {
        void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p != MAP_FAILED) {
            arena_start = static_cast<char*>(p);
            arena_limit = arena_start + size;
            arena_break = arena_start;
            arena_committed = arena_start;
            return true;
        }
    }
    return false;
}

char* platform_arena_start()
{
    platform_reserve_arena();
    return arena_start;
}

char* platform_set_break(int32_t delta)
{
    if (!arena_start && !platform_reserve_arena())
        return PLATFORM_BREAK_FAILED;
    char* old = arena_break;
    intptr_t want = reinterpret_cast<intptr_t>(old) + delta;
    if (want < reinterpret_cast<intptr_t>(arena_start) || want > reinterpret_cast<intptr_t>(arena_limit))
        return PLATFORM_BREAK_FAILED;
    char* next = reinterpret_cast<char*>(want);
    char* pages = arena_start + round_page(static_cast<uintptr_t>(next - arena_start));
    if (pages > arena_committed) {
        if (mprotect(arena_committed, static_cast<size_t>(pages - arena_committed), PROT_READ | PROT_WRITE) != 0)
            return PLATFORM_BREAK_FAILED;
        arena_committed = pages;
    } else if (pages < arena_committed) {
        size_t len = static_cast<size_t>(arena_committed - pages);
        madvise(pages, len, MADV_DONTNEED);
        mprotect(pages, len, PROT_NONE);
        arena_committed = pages;
    }
    arena_break = next;
    return old;
}
