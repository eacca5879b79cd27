// Storage: one arena holding the block heap and the working stack, and the
// string primitives.
//
// The arena runs from the start of the shell's private range up to the
// break.  Its low part is the block heap: a chain of blocks, each starting
// with a 64-bit link word that holds the address of the next block, with
// BUSY_BIT set while the block is in use.  The chain is circular: the last
// block, heap_top, links back to the first and always counts as busy.  The
// word 8 bytes above heap_top is reserved (it becomes the frozen-stack link)
// and the working stack starts 16 bytes above heap_top, at stack_base,
// growing towards the break.
//
// The working stack holds everything built for one command.  Finished
// pieces are fixed by bumping item_start; the item being built runs from
// item_start to stack_top.  When the heap must grow, the whole stack area
// becomes one busy heap block (a "frozen" stack, chained on frozen_stacks)
// and the item being built is copied to a fresh stack above the grown heap,
// so an item under construction may move; its old copy stays readable until
// the next stack_tidy below it.  Callers that build an item across a call
// that may allocate keep offsets, not addresses.
//
// Space is checked before every write into the stack or the top block: the
// break is moved up by break_increment until the write fits, and "no space"
// is reported when the system refuses.  The checks come before any pointer
// changes, so the arena stays consistent after that failure.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- block_heap.cpp ----

constexpr uintptr_t BUSY_BIT = 1;

constexpr int32_t BREAK_STEP_INITIAL = 0x200; // first growth step
constexpr int32_t BREAK_STEP_GROWTH = 256;    // added to the step by stack_begin
constexpr int32_t BREAK_STEP_LARGEST = 0x800; // the step stops growing here
constexpr int32_t STACK_HEADROOM = 512;       // stack_begin extends below this
constexpr int32_t TRIM_THRESHOLD = 1024;      // stack_trim gives back above this
constexpr int32_t TRIM_STEP = 512;            // and this much per call

// Globals
extern char* heap_rover;        // block where the next heap search starts
extern char* heap_top;          // the top block (always busy, never merged)
extern int32_t break_increment; // current growth step of the break, 512 to 2048
extern char* break_end;         // the break as last moved by set_break
extern char* heap_first;        // the first block of the arena

// Returns at least n usable bytes, 8-byte aligned; grows the arena when no
// free block fits.  Leaves by "no space" when the system refuses memory.
void* heap_alloc(int32_t n);

// Releases the block whose data starts at a.  Null and addresses outside the
// heap (the working stack, the environment strings) are ignored.
void heap_free(void* a);

// Adds a free block big enough for a request of n bytes at the top of the
// arena, freezing the current stack area when it holds data.
void heap_grow(int32_t n);

// Moves the break by delta bytes; returns the previous break, or
// PLATFORM_BREAK_FAILED when the system refuses.
char* set_break(int32_t delta);

// Moves the break by one step; "no space" when the system refuses.
void grow_on_fault();

// Makes sure every byte below end is inside the break, moving it by the
// current step as often as needed.  Leaves by "no space".
inline void arena_room(const char* end)
{
    while (end > break_end)
        grow_on_fault();
}

// Creates the arena: one free block of 512 bytes and an empty stack.
void storage_init();

// ---- work_stack.cpp ----

// Globals
extern char* stack_base;    // lowest address of the current stack area
extern char* item_start;    // start of the item being built
extern char* stack_top;     // next free byte of the item being built
extern char* frozen_stacks; // earlier stack areas, now busy heap blocks (data addresses)

// n bytes rounded up to a multiple of 8, fixed at once.
void* stack_alloc(int32_t n);

// Starts an item after making head-room; returns item_start.
char* stack_begin();

// Appends byte c to the item being built.
inline void stack_push(int c)
{
    arena_room(stack_top + 1);
    *stack_top++ = static_cast<char>(c);
}

// Appends the bytes of s (without its NUL) to the item being built.
void stack_push_text(const char* s);

// Terminates the item with a NUL at e, fixes it and returns its start.
char* stack_end(char* e);

// A fixed copy of s on the stack.
char* stack_copy(const char* s);

// A mark for stack_tidy: the current item_start (no item under construction).
inline char* stack_mark()
{
    return item_start;
}

// Releases everything above mark (0: the whole stack), frozen areas
// included, and removes the here-document files recorded above it.
void stack_tidy(char* mark);

// Gives back TRIM_STEP bytes of break when more than TRIM_THRESHOLD lie idle
// above the stack base.
void stack_trim();

// Keeps the item being built across work that uses the stack itself: the
// item is fixed (its length left in *length) and its start returned; after
// the work, stack_resume_item cuts the stack back to it and makes it the
// item being built again, moved to the current stack if the heap grew.
char* stack_hold_item(int32_t* length);
void stack_resume_item(char* held, int32_t length);

// Offset of the item being built.
inline int32_t stack_offset()
{
    return static_cast<int32_t>(stack_top - item_start);
}

// ---- strings.cpp ----

// Copies from (with its NUL) to to; returns the address of the copied NUL.
char* copy_into(const char* from, char* to);

// True when the byte c occurs in set before its terminator.
bool char_in_set(int c, const char* set);

// 0 when a and b are equal, else the difference of the first differing
// bytes taken as signed chars.
int compare_strings(const char* a, const char* b);

// Bytes of s including its NUL; 0 for null.
int32_t string_size(const char* s);
