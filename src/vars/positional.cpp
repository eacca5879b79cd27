// The positional parameters in counted blocks, held by the loops that walk them.
#include "vars/vars.h"

#include "input/input.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <cstddef>

constinit ArgBlock* current_args = nullptr;
constinit HeldArgs* held_args = nullptr;

// Gives up one use of b, releasing its texts and itself at the last.
static void drop_use(ArgBlock* b)
{
    if (--b->uses > 0)
        return;
    for (char** p = b->args; *p; p++)
        heap_free(*p);
    heap_free(b);
}

void set_args(char** vector)
{
    int32_t n = 0;
    while (vector[n])
        n++;
    // The replacing block is complete before the old one goes, so a "no space"
    // failure leaves the parameters as they were.
    ArgBlock* b = static_cast<ArgBlock*>(
        heap_alloc(static_cast<int32_t>(offsetof(ArgBlock, args) + sizeof(char*) * static_cast<size_t>(n + 1))));
    b->uses = 1;
    for (int32_t i = 0; i <= n; i++)
        b->args[i] = nullptr;
    for (int32_t i = 0; i < n; i++)
        b->args[i] = copy_string(vector[i]);
    if (current_args)
        drop_use(current_args);
    current_args = b;
    arg_vector = b->args;
    arg_count = n > 0 ? n - 1 : 0;
    set_number_string(&param_count_text, arg_count);
}

ArgBlock* hold_args()
{
    ArgBlock* b = current_args;
    if (!b)
        return nullptr;
    // The hold lives on the working stack, inside the loop's own node, so
    // the same block can be held by nested loops.
    HeldArgs* h = static_cast<HeldArgs*>(stack_alloc(sizeof(HeldArgs)));
    h->next = held_args;
    h->block = b;
    b->uses++;
    held_args = h;
    return b;
}

HeldArgs* release_args(ArgBlock* block)
{
    if (!block)
        return held_args;
    if (held_args && held_args->block == block)
        held_args = held_args->next;
    drop_use(block);
    return held_args;
}

void release_loop_holds()
{
    while (held_args) {
        HeldArgs* next = held_args->next;
        drop_use(held_args->block);
        held_args = next;
    }
}

void release_held_args()
{
    release_loop_holds();
    while (pop_input()) {
    }
}
