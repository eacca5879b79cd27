// Errors, signals and traps.
//
// The failure path.  Nothing in the command machinery returns an error:
// fail reports on the spot and leaves by one jump, back to the command
// loop's recovery point error_return when the shell recovers (FLAG_RECOVER
// set, FLAG_ERREXIT and FLAG_CHILD clear), otherwise out of the process
// through finish.  What recovery must undo lives in globals walked in one
// place (exit_shell and the command loop), never in destructors, so every
// frame a jump can cross holds only trivially destructible objects.
//
// Signals.  One catcher notes arrivals in trap_note and signal_marks and
// returns; the main line reacts at safe points: interrupt_check ends the
// command when a signal without a trap arrived, run_pending_traps runs the
// trap commands.  The interrupt also gets the shell out of a blocking read,
// directory read or wait that armed read_jump with read_in_progress.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "platform/platform.h"

struct IoNode;

// ---- failure.cpp ----

// Globals
extern int32_t exit_status;    // status of the last command; $? is made from it
extern sigjmp_buf error_return; // recovery point, set by the command loop
extern IoNode* temp_files;     // captured here-document files, newest (highest) first

// Reports "$0: subject: message" and leaves; message or subject may be null.
[[noreturn]] void fail(const char* subject, const char* message);

// As fail, with word written right after the message.
[[noreturn]] void fail_with_word(const char* subject, const char* message, const char* word);

// Sets exit_status and recovers or ends the process.
[[noreturn]] void exit_shell(int32_t status);

// Runs the exit trap, removes the temporary files and ends the process.
[[noreturn]] void finish();

// Puts back what an abandoned command may have left half-changed: the
// nesting counters, -e suspended by a condition, the traps of a failed exec.
void recover_state();

// Descriptors a command holds only for a while (pipe ends, here-document
// files being written): recovery closes the ones still held, so that an
// abandoned command leaves none open in a shell that goes on.
constexpr int HELD_DESCRIPTOR_SLOTS = 32;

void hold_descriptor(int fd);
void release_descriptor(int fd);

// Releases fd and closes it.
void close_descriptor(int fd);

// Leaves with status 3 when a signal without a trap command has arrived.
void interrupt_check();

// Removes the temporary files listed above a working-stack mark (0: all,
// the deferred ones included).
void remove_temps(char* mark);

// Temporary files whose removal waits for a process to open them, named in
// block-heap records, newest first.
struct DeferredTemp {
    DeferredTemp* next;
    char name[8]; // runs on
};

// Globals
extern DeferredTemp* deferred_temps; // files waiting for a process to open them, newest first

// Removes every temporary file this process holds, changing no list: for a
// signal that ends the process.
void remove_temps_on_signal();

// Moves the files listed above mark to the deferred list; returns the list
// as it was before, for remove_deferred_temps.
DeferredTemp* defer_temps(char* mark);

// Adds one name to the deferred list.
void defer_temp(const char* name);

// Removes the deferred files added since until (null: all of them).
void remove_deferred_temps(DeferredTemp* until);

// Forgets the deferred files added since until, leaving them in place (they
// belong to another process now).
void forget_deferred_temps(DeferredTemp* until);

// A forked process: the temporary files are its parent's, not its own.
void forget_temps();

// ---- traps.cpp ----

constexpr uint8_t TRAP_PENDING = 0x02;        // a signal with a trap command arrived
constexpr uint8_t FATAL_PENDING = 0x04;       // a signal without one arrived
constexpr uint8_t DISPOSITION_CHANGED = 0x08; // the shell moved it from its default
constexpr uint8_t CATCH_ON_RESET = 0x10;      // a reset hands it to the catcher

// Globals
extern char* trap_commands[SIGNAL_SLOTS];     // trap texts; slot 0 the exit trap; "" ignores
extern volatile uint8_t trap_note;            // summary of pending signals
extern volatile uint8_t signal_marks[SIGNAL_SLOTS]; // per-signal notes and disposition marks
extern volatile uint8_t read_in_progress;     // the interrupt may jump to read_jump
extern sigjmp_buf read_jump;                  // where an interrupted blocking call resumes
extern volatile uint8_t interrupt_count;      // interrupts caught, cleared by waits
extern uint8_t original_dispositions[SIGNAL_SLOTS]; // how each signal was before any trap

void signal_catcher(int sig);

// The start-up dispositions.
void init_signals();

// Ignores sig; false when it had the default disposition before.  Fails
// with "bad trap: cannot trap 11" for the memory fault.
bool ignore_signal(int sig);

// Has sig caught for its trap command.
void catch_for_trap(int sig);

// Stores command as sig's trap ("" ignores the signal) and changes the
// disposition to match; the first trap on sig records its disposition.
void set_trap(int sig, const char* command);

// Drops sig's trap and gives it back the disposition it had before any trap.
void reset_trap(int sig);

// Drops every trap but the ignoring ones, for a forked process or an exec.
void reset_traps_for_child();


// Clears the trap table for an exec as reset_traps_for_child does, keeping
// what it held so that a failed exec can put it back.
void hold_traps_for_exec();

// Puts back the traps held by hold_traps_for_exec, if any (the failure path
// calls it when the shell goes on).
void restore_held_trap_state();

// The exec went ahead (a script is run in place): nothing to put back.
void forget_held_traps();

// Runs the trap commands of the signals that arrived, highest first.
void run_pending_traps();
