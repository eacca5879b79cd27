// The Linux layer: everything the shell needs from the system that differs
// from the interfaces it was designed around.
//
// The arena.  The shell manages its own memory in one contiguous range that
// starts at a fixed address and ends at a "break" that only the shell moves.
// glibc's allocator, which library calls such as opendir use, owns the real
// program break, so the arena lives in a private range reserved at start-up
// (inaccessible until the break moves over it) and the break is moved inside
// that range.  Moving it up makes pages readable and writable, which counts
// against the data-size limit exactly as a real break would; moving it down
// gives whole pages back.  The start of the range stands for the end of the
// program's static data.
//
// Signals.  Linux numbers its signals differently; the shell keeps one slot
// per number from 0 (the exit trap) to 32 and keys its child-status messages
// by signal name.  A caught signal behaves as the design expects of signal():
// the handler stays installed, interrupted system calls restart, and the
// signal is blocked while its handler runs.  Every jump uses sigsetjmp with a
// saved mask, so a jump out of a handler makes the signal deliverable again.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <csignal>

// ---- arena_break.cpp ----

// Reserves the arena's address range; the first call of platform_set_break
// makes it on demand.  Returns false when nothing at all could be reserved.
bool platform_reserve_arena();

// The lowest address of the arena (where the first block goes).
char* platform_arena_start();

// Moves the break by delta bytes; returns the previous break, or
// PLATFORM_BREAK_FAILED when the range is exhausted or the system refuses.
char* platform_set_break(int32_t delta);

inline char* const PLATFORM_BREAK_FAILED = reinterpret_cast<char*>(~uintptr_t{0});

// ---- signal_table.cpp ----

// Number of trap slots: 0 for the exit trap and one per signal 1 to 32.
constexpr int SIGNAL_SLOTS = 33;
constexpr int SIGNAL_MESSAGE_COUNT = SIGNAL_SLOTS;

// The report printed for a child ended by signal n, or null (the interrupt
// and the broken pipe are reported by a bare newline).
const char* platform_signal_message(int n);

// What a disposition was before the shell changed it.
enum SignalWas : uint8_t { SIGNAL_WAS_DEFAULT, SIGNAL_WAS_OTHER, SIGNAL_REFUSED };

// Sets the disposition of sig to ignored; reports what it was.
SignalWas platform_ignore_signal(int sig);

// Installs handler for sig with restarting, persistent semantics.
void platform_catch_signal(int sig, void (*handler)(int));

// Gives sig back its default disposition.  For a signal whose default ends
// the process, that is a handler that first calls the cleanup (see below)
// and then ends the process by the signal as the default would; the shell
// sees it as the default disposition, and a program started with exec gets
// the real default.
void platform_default_signal(int sig);

// The cleanup run when a signal at its default disposition ends the
// process; it must be safe in a signal handler.
void platform_set_fatal_cleanup(void (*cleanup)());

// Puts the cleaning default in place of the plain default for every signal
// that ends the process by default and is at the default now.
void platform_clean_defaults();

// A signal's disposition as the shell sees it.
enum Disposition : uint8_t { DISPOSITION_NONE, DISPOSITION_DEFAULT, DISPOSITION_IGNORED, DISPOSITION_CAUGHT };

// The disposition of sig right now; DISPOSITION_NONE when it cannot be had.
Disposition platform_disposition(int sig);

// ---- directory.cpp ----

// Opens a directory for reading its entries; -1 when it does not exist, is
// not a directory or cannot be read.
int platform_open_directory(const char* path);

// Reads a batch of raw entries into buffer; the byte count, 0 at the end,
// negative on failure.  The call is a plain system call: nothing is locked
// or allocated, so the interrupt may abandon it by a jump.
long platform_read_directory(int fd, char* buffer, unsigned size);

// The name of the entry at *offset in a batch, advancing *offset past it;
// null when the batch is used up.
const char* platform_next_entry(const char* buffer, long length, long* offset);

constexpr unsigned DIRECTORY_BUFFER_SIZE = 8192;

// ---- limits.cpp ----

// The file-size limit in 512-byte units: command 1 gets it, command 2 sets
// it to value.  Returns the limit (or the new value), or -1 on failure.
int64_t platform_ulimit(int command, int64_t value);

// Clock ticks per second of the times() results.
long platform_clock_ticks();

// Waits about the given number of seconds, ended early by a caught signal.
// Used between fork attempts; works whether or not the alarm is deliverable.
void platform_pause_seconds(unsigned seconds);
