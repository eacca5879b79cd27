// Execution: the executor, redirections, program search, children, the
// builtins and read.
//
// execute_tree walks one command tree.  Builtins and test run in the shell;
// everything else runs in a forked child, except that the last command of a
// child's own tree replaces the child (exec_in_place), so ( a; b ) and each
// pipeline element cost one process.  Redirections are applied only in a
// process that will not return to the command loop with them in place: a
// child, or the shell itself under exec.
#pragma once

#include <cstdint>

#include "input/input.h"

struct CommandNode;
struct IoNode;
struct SimpleNode;
struct WordNode;

// ---- executor.cpp ----

// Globals
extern int32_t loop_depth;       // for/while/until loops being executed
extern int32_t break_count;      // levels to break (positive) or continue (negative)
extern uint8_t break_pending;    // loops are being left or continued
extern int32_t last_fork_pid;    // the latest fork's result; 0 when run in place
extern int32_t stdin_redirected; // descriptor 0 was replaced in this process
extern int32_t exec_depth;       // nesting of execute_tree calls, bounded
extern int32_t condition_depth;  // conditions running with -e suspended
extern uint32_t errexit_outside_conditions; // the -e bit found by the outermost one

// Runs node; returns its status, also left in exit_status.
int32_t execute_tree(CommandNode* node, int exec_in_place, int* pipe_in, int* pipe_out);

// ---- redirect.cpp ----

void apply_redirections(IoNode* list);
void move_descriptor(int from, int to);
int open_for_input(const char* path);
int create_for_output(const char* path);
void make_pipe(int* pair);

// Opens a script or sourced file: as open_for_input, but a directory is
// refused too; -1 when it cannot be read.
int open_script(const char* path);

// ---- program.cpp ----

constexpr const char DEFAULT_SEARCH_PATH[] = "/sbin:/bin:/usr/sbin:/usr/bin:/usr/local/sbin:/usr/local/bin";

// Replaces the process by the program argv[0], searched along PATH, or runs
// a file the system cannot execute as a script in this process.  Returns
// only under -n.
void invoke_program(char** argv);

const char* choose_search_path(const char* name);
int open_along_path(const char* list, const char* name);

// ---- children.cpp ----

constexpr int POSTED_SLOTS = 20;

// Globals
extern int32_t posted_children[POSTED_SLOTS]; // children still to be waited for
extern int32_t posted_count;                  // slots in use

void post_child(int32_t pid);
void clear_posted_children();
void await_children(int32_t pid, int for_wait_builtin);

// ---- builtins.cpp ----

using BuiltinCode = int32_t;
constexpr BuiltinCode BUILTIN_SET = 1;
constexpr BuiltinCode BUILTIN_CD = 2;
constexpr BuiltinCode BUILTIN_EXEC = 3;
constexpr BuiltinCode BUILTIN_LOGIN = 4;
constexpr BuiltinCode BUILTIN_TRAP = 5;
constexpr BuiltinCode BUILTIN_EXIT = 6;
constexpr BuiltinCode BUILTIN_SHIFT = 7;
constexpr BuiltinCode BUILTIN_WAIT = 8;
constexpr BuiltinCode BUILTIN_CONTINUE = 9;
constexpr BuiltinCode BUILTIN_BREAK = 10;
constexpr BuiltinCode BUILTIN_EVAL = 11;
constexpr BuiltinCode BUILTIN_DOT = 12;
constexpr BuiltinCode BUILTIN_READONLY = 13;
constexpr BuiltinCode BUILTIN_TIMES = 14;
constexpr BuiltinCode BUILTIN_EXPORT = 15;
constexpr BuiltinCode BUILTIN_NULL = 16;
constexpr BuiltinCode BUILTIN_READ = 17;
constexpr BuiltinCode BUILTIN_UMASK = 19;
constexpr BuiltinCode BUILTIN_NEWGRP = 20;
constexpr BuiltinCode BUILTIN_ULIMIT = 21;
constexpr BuiltinCode BUILTIN_TEST = 127;

constexpr NameCode builtin_table[] = {
    {"cd", BUILTIN_CD},         {"read", BUILTIN_READ},       {"set", BUILTIN_SET},
    {":", BUILTIN_NULL},        {"trap", BUILTIN_TRAP},       {"ulimit", BUILTIN_ULIMIT},
    {"login", BUILTIN_LOGIN},   {"wait", BUILTIN_WAIT},       {"eval", BUILTIN_EVAL},
    {".", BUILTIN_DOT},         {"newgrp", BUILTIN_NEWGRP},   {"readonly", BUILTIN_READONLY},
    {"export", BUILTIN_EXPORT}, {"chdir", BUILTIN_CD},        {"break", BUILTIN_BREAK},
    {"continue", BUILTIN_CONTINUE}, {"shift", BUILTIN_SHIFT}, {"exit", BUILTIN_EXIT},
    {"exec", BUILTIN_EXEC},     {"times", BUILTIN_TIMES},     {"umask", BUILTIN_UMASK},
    {nullptr, 0},
};
static_assert(sizeof(builtin_table) / sizeof(builtin_table[0]) == 22);

constexpr NameCode test_table[] = {
    {"test", BUILTIN_TEST},
    {"[", BUILTIN_TEST},
    {nullptr, 0},
};

// Runs builtin code with the command's words; returns its status.
int32_t run_builtin(BuiltinCode code, int argc, char** argv, SimpleNode* node);

// Runs a text (with further words, each after a blank) as one command list,
// parsed whole before any of it runs.
void execute_source_text(char* text, char** words);

// Runs the file behind fd the same way; closes fd.
void execute_source_fd(int fd);

// Deepest nesting of eval, . and trap commands; deeper fails with "no space".
constexpr int SOURCE_DEPTH_LIMIT = 100;

// Globals
extern int32_t source_depth; // nesting of execute_source calls in progress

// ---- read_builtin.cpp ----

int32_t read_into_variables(char** names);
