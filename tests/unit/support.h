// Support for the unit tests: the arena, the failure path, captured
// diagnostics, and a compact printer for command trees.
//
// The shell leaves every failure by a jump to error_return.  run_armed arms
// that jump in a plain function and calls the code under test through a
// function pointer, so the frames the jump crosses hold nothing with a
// destructor.  The lambdas handed to guarded must keep to that rule too:
// plain values and pointers only, no strings or gtest assertions inside.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "parser/parser.h"

// The arena right after storage_init, recorded before any test ran.
struct InitialArena {
    char* first;       // heap_first
    uintptr_t link;    // the first block's link word
    char* top;         // heap_top
    char* rover;       // heap_rover
    char* base;        // stack_base
    char* item;        // item_start
    char* top_of_item; // stack_top
    char* frozen;      // frozen_stacks
};
extern InitialArena initial_arena;

// Runs fn(arg) with FLAG_RECOVER set (and -e and the child bit clear), so
// that a failure comes back here.  True when fn left through the failure
// path.  FLAG_RECOVER is put back as it was; other flags stay as fn left
// them.
bool run_armed(void (*fn)(void*), void* arg);

// What a guarded call did.
struct Outcome {
    bool failed;        // it left through fail or exit_shell
    int32_t status;     // exit_status afterwards
    std::string output; // everything written to output_fd meanwhile
};

Outcome guarded_call(void (*fn)(void*), void* arg);

template <typename F> Outcome guarded(F&& f)
{
    using Fn = std::remove_reference_t<F>;
    return guarded_call([](void* p) { (*static_cast<Fn*>(p))(); }, &f);
}

// Parses one command line as the command loop does (in a script: `#`
// starts a comment) and prints its tree, or "error: " and the message.
// The text is read through a nested input source, or with outermost set
// through the outermost one, as the command loop reads a terminal.
std::string parse_line(const std::string& text, bool outermost = false);

// The compact text of a tree:
//   simple command   {assignments} words io...  (io as fd op word: 1>f 0<&- 2>>f)
//   PIPE(l,r) LIST(l,r) AND(l,r) OR(l,r) PAREN(body)
//   IF(cond,then,else) WHILE(cond,body) UNTIL(cond,body)
//   FOR(name;words;body) CASE(word;pat|pat:body;...)
//   FORK<hex flags>[io](child)   (the [io] part only when there is some)
// A null tree prints as "-"; a quoted character as a backslash and the character.
std::string print_tree(const CommandNode* n);

// The link word of a heap block.
inline uintptr_t& link_of(char* block)
{
    return *reinterpret_cast<uintptr_t*>(block);
}

inline char* next_of(char* block)
{
    return reinterpret_cast<char*>(link_of(block) & ~uintptr_t{1});
}

inline bool is_busy(char* block)
{
    return (link_of(block) & 1) != 0;
}

// Every test starts and ends with an empty working stack and a clean reader.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
