// The working stack: items built by bumping a pointer, released wholesale to a mark.
#include "storage/storage.h"

#include "signals/signals.h"

static constinit char empty_item[1] = {0};

constinit char* stack_base = nullptr;
constinit char* item_start = empty_item;
constinit char* stack_top = nullptr;
constinit char* frozen_stacks = nullptr;

static inline char* align8(char* p)
{
    return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(p) + 7) & ~uintptr_t{7});
}

void* stack_alloc(int32_t n)
{
    int32_t s = (n + 7) & ~7;
    char* start = item_start;
    arena_room(start + s);
    item_start = start + s;
    stack_top = item_start;
    return start;
}

char* stack_begin()
{
    if (break_end - item_start < STACK_HEADROOM) {
        set_break(break_increment);
        if (break_increment < BREAK_STEP_LARGEST)
            break_increment += BREAK_STEP_GROWTH;
    }
    return item_start;
}

void stack_push_text(const char* s)
{
    while (*s)
        stack_push(*s++);
}

char* stack_end(char* e)
{
    arena_room(e + 1);
    *e = 0;
    char* start = item_start;
    item_start = align8(e + 1);
    stack_top = item_start;
    return start;
}

char* stack_copy(const char* s)
{
    stack_begin();
    stack_top = item_start;
    while (*s)
        stack_push(*s++);
    return stack_end(stack_top);
}

void stack_tidy(char* mark)
{
    while (reinterpret_cast<uintptr_t>(frozen_stacks) > reinterpret_cast<uintptr_t>(mark)) {
        char* area = frozen_stacks;
        heap_free(area);
        frozen_stacks = *reinterpret_cast<char**>(area);
    }
    char* keep = reinterpret_cast<uintptr_t>(mark) > reinterpret_cast<uintptr_t>(stack_base) ? mark : stack_base;
    item_start = keep;
    stack_top = keep;
    remove_temps(mark);
}

char* stack_hold_item(int32_t* length)
{
    *length = static_cast<int32_t>(stack_top - item_start);
    return stack_end(stack_top);
}

void stack_resume_item(char* held, int32_t length)
{
    stack_tidy(held);
    if (item_start != held) {
        // The heap grew meanwhile: the held text (intact in its frozen
        // area) moves to the current stack.
        arena_room(item_start + length + 1);
        for (int32_t i = 0; i < length; i++)
            item_start[i] = held[i];
    }
    stack_top = item_start + length;
}

void stack_trim()
{
    if (break_end - stack_base > TRIM_THRESHOLD)
        set_break(-TRIM_STEP);
}
