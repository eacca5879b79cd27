// Variables and parameters: the name table, the positional parameters and
// the environment.
//
// Every variable is a NameEntry in one unbalanced binary search tree keyed by
// name (signed byte order), rooted at the static MAIL entry; seven static
// entries give the tree its first shape.  Entries are created on first
// lookup, unset, and never removed.  Values are block-heap copies owned by
// their entry, except imported ones, which point into the environment
// strings; heap_free ignores those, so every replacement releases the same
// way.  A value is copied before the old one is released, so a "no
// space" failure never leaves an entry pointing at freed storage.
//
// Positional parameters live in counted ArgBlocks: one is current, and each
// for loop without in holds a use of the block it walks, so set and shift
// inside the loop cannot release the texts being iterated.  Recovery gives
// back the holds of abandoned loops.
#pragma once

#include <cstdint>

struct WordNode;

// ---- name_table.cpp ----

constexpr uint32_t NAME_READONLY = 0x8000;
constexpr uint32_t NAME_EXPORT = 0x4000;
constexpr uint32_t NAME_IMPORTED = 0x2000;

struct NameEntry {
    NameEntry* lesser;  // names that compare lower
    NameEntry* greater; // names that compare higher
    char* name;
    char* value;        // null: unset
    char* env_value;    // the value carried into programs' environments
    uint32_t flags;
};

// Globals
extern NameEntry mail_entry;      // MAIL, the root: the mail notice
extern NameEntry home_entry;      // HOME: cd's default, the home profile
extern NameEntry ifs_entry;       // IFS: field splitting and read
extern NameEntry ps1_entry;       // PS1: the prompt
extern NameEntry ps2_entry;       // PS2: the prompt for continued lines
extern NameEntry path_entry;      // PATH: the search path
extern NameEntry filematch_entry; // FILEMATCH: no meaning, shapes the tree
extern char* status_string;    // the text of $?
extern char* param_count_text; // the text of $#
extern char* shell_pid_text;   // the text of $$
extern char* async_pid_string; // the text of $!, null until the first background command

// True when name is a letter or '_' followed by letters, digits and '_'.
bool is_identifier(const char* name);

// The entry for name, created unset when absent; "is not an identifier".
NameEntry* lookup_name(const char* name);

// Performs name=value with the given attribute bits; false only when an
// imported SHELL names a restricted shell.  "is not an identifier",
// "restricted", "is read only".
bool assign_word(char* word, uint32_t bits);

// Gives the entry a copy of text (null: unset); "is read only", and
// "restricted" for PATH and SHELL in a restricted shell.
void set_value(NameEntry* entry, const char* text);

// As set_value, only when the entry has no value.
void set_default(NameEntry* entry, const char* text);

// Refuses a change of PATH or SHELL in a restricted shell.
void check_restricted_name(const NameEntry* entry);

char* copy_string(const char* text);
void replace_string(char** slot, const char* text);
void set_number_string(char** slot, int32_t n);
void update_status_string();

// Performs a command's assignment words, newest first, traced under -x.
void apply_assignments(WordNode* list, uint32_t bits);

// ---- positional.cpp ----

struct ArgBlock {
    int32_t uses;  // 1 while current, plus one per holding loop
    char* args[1]; // element 0, the parameters, a null (runs on)
};

// One loop's hold on a block; nested loops may hold the same block.
struct HeldArgs {
    HeldArgs* next;
    ArgBlock* block;
};

// Globals
extern ArgBlock* current_args; // the block arg_vector points into, or null
extern HeldArgs* held_args;    // holds of running for loops, newest first

// Makes vector[1]... the positional parameters (vector[0] is not one).
void set_args(char** vector);

// Takes a use of the current block for a loop; null when the parameters are
// still the process arguments.
ArgBlock* hold_args();

// Gives back the newest hold, on block; returns what is still held.
HeldArgs* release_args(ArgBlock* block);

// Gives back every held block and pops every input source above the
// outermost one.
void release_held_args();

// Gives back the holds of loops only, leaving the input sources alone.
void release_loop_holds();

// ---- environment.cpp ----

using NameOperation = void (*)(NameEntry*);

void walk_names(NameOperation op);
bool import_environment();
void prepare_export(NameEntry* entry);

// The environment for a program: exported variables with their current
// value, others with their imported one; in name order.  The table is not
// changed.
char** build_environment();

void print_variable(NameEntry* entry);
void print_attributes(NameEntry* entry);
