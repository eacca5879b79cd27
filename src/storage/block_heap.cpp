// The block heap: first-fit blocks searched from a roving start, merged during the search.
#include "storage/storage.h"

#include "platform/platform.h"
#include "signals/signals.h"

#include <cstring>
#include <unistd.h>

constinit char* heap_rover = nullptr;
constinit char* heap_top = nullptr;
constinit int32_t break_increment = BREAK_STEP_INITIAL;
constinit char* break_end = nullptr;
constinit char* heap_first = nullptr;

static inline uintptr_t& link_of(char* block)
{
    return *reinterpret_cast<uintptr_t*>(block);
}

static inline char* next_of(char* block)
{
    return reinterpret_cast<char*>(link_of(block) & ~BUSY_BIT);
}

static inline char* align8(char* p)
{
    return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(p) + 7) & ~uintptr_t{7});
}

char* set_break(int32_t delta)
{
    char* old = platform_set_break(delta);
    if (old != PLATFORM_BREAK_FAILED)
        break_end = old + delta;
    return old;
}

void grow_on_fault()
{
    if (set_break(break_increment) == PLATFORM_BREAK_FAILED)
        fail("no space", nullptr);
}

void storage_init()
{
    heap_first = platform_arena_start();
    if (!heap_first) {
        // Nothing could be reserved at all: say so the only way there is.
        static const char message[] = "no space\n";
        (void)!write(2, message, sizeof message - 1);
        _exit(1);
    }
    heap_top = heap_first;
    break_end = heap_first;
    set_break(BREAK_STEP_INITIAL);
    heap_grow(0);
}

// Searches from the rover for a free block of size bytes; null when the
// search wrapped twice without a fit.
static char* heap_search(uintptr_t size)
{
    char* p = heap_rover;
    int wraps = 0;
    for (;;) {
        char* q;
        if (link_of(p) & BUSY_BIT) {
            q = next_of(p);
        } else {
            // Absorb the free blocks that follow.
            while (!(link_of(next_of(p)) & BUSY_BIT))
                link_of(p) = link_of(next_of(p));
            q = next_of(p);
            if (static_cast<uintptr_t>(q - p) >= size)
                return p;
        }
        if (q <= p && ++wraps == 2)
            return nullptr;
        p = q;
    }
}

void* heap_alloc(int32_t n)
{
    uintptr_t size = (static_cast<uintptr_t>(n) + 15) & ~uintptr_t{7};
    char* p = heap_search(size);
    if (!p) {
        heap_grow(static_cast<int32_t>(size));
        p = heap_search(size);
    }
    char* q = next_of(p);
    char* rest = p + size;
    heap_rover = rest;
    if (q > rest)
        link_of(rest) = reinterpret_cast<uintptr_t>(q);
    link_of(p) = reinterpret_cast<uintptr_t>(rest) | BUSY_BIT;
    return p + 8;
}

void heap_free(void* a)
{
    char* p = static_cast<char*>(a);
    if (p && p > heap_first && p < heap_top)
        link_of(p - 8) &= ~BUSY_BIT;
}

void heap_grow(int32_t n)
{
    bool holds_data = stack_base != stack_top;
    size_t item_length = holds_data ? static_cast<size_t>(stack_top - item_start) : 0;
    char* top = heap_top;
    char* frozen_end = nullptr;
    if (holds_data) {
        frozen_end = align8(stack_top + 1);
        top = frozen_end;
    }
    uintptr_t extra = (static_cast<uintptr_t>(n) + static_cast<uintptr_t>(break_increment))
        & ~static_cast<uintptr_t>(break_increment - 1);
    char* new_top = top + extra;
    char* new_base = new_top + 16;
    // Every write below must fit before any pointer changes.
    arena_room(new_base + item_length + 1);

    if (holds_data) {
        *stack_top = 0;
        *reinterpret_cast<char**>(stack_base - 8) = frozen_stacks;
        frozen_stacks = stack_base - 8;
        link_of(heap_top) = reinterpret_cast<uintptr_t>(frozen_end) | BUSY_BIT;
        heap_top = frozen_end;
    }
    heap_rover = heap_top;
    link_of(heap_top) = reinterpret_cast<uintptr_t>(new_top);
    heap_top = new_top;
    link_of(heap_top) = reinterpret_cast<uintptr_t>(heap_first) | BUSY_BIT;

    // The item being built moves to the fresh stack; its old copy stays in
    // the frozen block.
    if (holds_data)
        memcpy(new_base, item_start, item_length);
    new_base[item_length] = 0;
    stack_base = new_base;
    item_start = new_base;
    stack_top = new_base + item_length;
}
