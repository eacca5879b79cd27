// Start-up and the command loop: the entry sequence, the option flags and
// the read-parse-execute loop with its prompts, mail notice and recovery point.
//
// shell_flags is the one word of option and state bits the whole shell
// consults.  The option letters set the first kind through process_options
// (from the command line and from set); the state bits FLAG_PROMPT,
// FLAG_RECOVER and FLAG_CHILD are managed by the command loop, start-up and
// the executor, never by process_options.
#pragma once

#include <csetjmp>
#include <cstdint>

using ShellFlags = uint32_t;

// ---- options.cpp ----

constexpr ShellFlags FLAG_NOEXEC = 0x0001;      // n: read and parse, run nothing
constexpr ShellFlags FLAG_INTERACTIVE = 0x0002; // i: interactive whatever the descriptors
constexpr ShellFlags FLAG_PROMPT = 0x0004;      // prompts shown; messages unprefixed
constexpr ShellFlags FLAG_NOUNSET = 0x0008;     // u: an unset parameter is an error
constexpr ShellFlags FLAG_ERREXIT = 0x0010;     // e: a failing command ends the shell
constexpr ShellFlags FLAG_RECOVER = 0x0020;     // errors return to the command loop
constexpr ShellFlags FLAG_CHILD = 0x0040;       // a child process: errors end it
constexpr ShellFlags FLAG_ONECMD = 0x0080;      // t: one command line, read a byte at a time
constexpr ShellFlags FLAG_RESTRICTED = 0x0100;  // r: restricted shell
constexpr ShellFlags FLAG_STDIN = 0x0400;       // s: commands from standard input
constexpr ShellFlags FLAG_XTRACE = 0x0800;      // x: trace simple commands
constexpr ShellFlags FLAG_VERBOSE = 0x1000;     // v: echo the input as it is read
constexpr ShellFlags FLAG_KEYWORD = 0x2000;     // k: assignments anywhere in a command

struct OptionLetter {
    char letter;
    ShellFlags bit;
};

// The option letters in $- order, ending with a zero entry.
constexpr OptionLetter option_table[] = {
    {'x', FLAG_XTRACE}, {'n', FLAG_NOEXEC},      {'v', FLAG_VERBOSE}, {'t', FLAG_ONECMD},
    {'s', FLAG_STDIN},  {'i', FLAG_INTERACTIVE}, {'e', FLAG_ERREXIT}, {'r', FLAG_RESTRICTED},
    {'k', FLAG_KEYWORD}, {'u', FLAG_NOUNSET},    {0, 0},
};
static_assert(sizeof(option_table) / sizeof(option_table[0]) == 11);

constexpr const char SET_REFUSED_LETTERS[] = "sicr";  // set may not turn these on
constexpr const char PLUS_REFUSED_LETTERS[] = "csir"; // a + word may not turn these off

constexpr int DASH_TEXT_SIZE = 16;

// Globals
extern ShellFlags shell_flags;          // option and state bits
extern char dash_text[DASH_TEXT_SIZE];  // the text of $-

// Reads the option word argv[1]; returns the words left counting argv[0],
// whose copy is moved to the slot before them.  "bad option(s)" for a bad
// letter, or for one of "sicr" given to set.
int process_options(int argc, char** argv);

// Rebuilds dash_text from shell_flags; with_s adds a trailing s when the
// table order has not already put one there.
void rebuild_dash_text();

// ---- main.cpp / startup.cpp ----

constexpr int TEMP_NAME_SIZE = 29;

// Globals
extern char** arg_vector;          // positional parameters; element 0 is not one
extern int32_t arg_count;          // their number
extern char* dollar_zero;          // the text of $0, the prefix of messages
extern char* command_string;       // the -c text; a non-text marker once input is chosen
extern uint8_t startup_count;      // entries into the start-up sequence
extern sigjmp_buf script_restart;  // re-entry point for a script run in place
extern char temp_name[TEMP_NAME_SIZE]; // "/tmp/sh-" pid count
extern char* temp_name_end;        // where the count's digits go
extern uint32_t temp_count;        // files named by this process
extern char no_command_string[1];  // the marker stored in command_string

// The start-up sequence; never returns.
[[noreturn]] void shell_main(int argc, char** argv);

// The text after the last '/' of path, or path itself.
const char* basename_of(const char* path);

// Writes this process's id after "/tmp/sh-" and starts the count at 0.
void reset_temp_names();

// ---- command_loop.cpp ----

constexpr int INPUT_FD = 18;      // a file source's descriptor
constexpr int DIAGNOSTIC_FD = 19; // the shell's own standard error

// Moves fd to place (close-on-exec), or as near as the descriptor limit
// allows; returns where it is now.
int move_out_of_the_way(int fd, int place);

// Runs command lines from the current input until it ends (mode 0), or for
// a profile (mode FLAG_RECOVER) also until an error comes back.
void run_command_loop(ShellFlags mode);

// Shows PS2 for a newline consumed inside a construct, when prompting and
// reading the outermost source.
void continuation_prompt(int c);
