// The failure path: messages, the recovery rule, the process exit and the temporary files.
#include "signals/signals.h"

#include "exec/exec.h"
#include "expand/expand.h"
#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "startup/startup.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <cstddef>
#include <unistd.h>

constinit int32_t exit_status = 0;
constinit sigjmp_buf error_return = {};
constinit IoNode* temp_files = nullptr;
constinit DeferredTemp* deferred_temps = nullptr;

static constinit int held_descriptors[HELD_DESCRIPTOR_SLOTS] = {};
static constinit int held_descriptor_count = 0;

void hold_descriptor(int fd)
{
    if (fd >= 0 && held_descriptor_count < HELD_DESCRIPTOR_SLOTS)
        held_descriptors[held_descriptor_count++] = fd;
}

void release_descriptor(int fd)
{
    for (int i = held_descriptor_count - 1; i >= 0; i--) {
        if (held_descriptors[i] == fd) {
            held_descriptors[i] = held_descriptors[--held_descriptor_count];
            return;
        }
    }
}

void close_descriptor(int fd)
{
    release_descriptor(fd);
    close(fd);
}

static void close_held_descriptors()
{
    while (held_descriptor_count > 0)
        close(held_descriptors[--held_descriptor_count]);
}

void fail(const char* subject, const char* message)
{
    fail_with_word(subject, message, nullptr);
}

void fail_with_word(const char* subject, const char* message, const char* word)
{
    put_prefix();
    put_plain(subject);
    if (message) {
        put_bytes(output_fd, ": ", 2);
        put_string(message);
        put_plain(word);
    }
    put_newline();
    exit_shell(1);
}

// The nesting counters and the -e suspended by a condition.
static void reset_nesting()
{
    parse_depth = 0;
    expand_depth = 0;
    exec_depth = 0;
    source_depth = 0;
    in_read_builtin = 0;
    if (condition_depth) {
        shell_flags |= errexit_outside_conditions;
        condition_depth = 0;
    }
}

void recover_state()
{
    reset_nesting();
    close_held_descriptors();
    restore_held_trap_state();
}

void exit_shell(int32_t status)
{
    exit_status = status;
    if ((shell_flags & (FLAG_RECOVER | FLAG_ERREXIT | FLAG_CHILD)) == FLAG_RECOVER) {
        release_held_args();
        break_count = 0;
        break_pending = 0;
        recover_state();
        siglongjmp(error_return, 1);
    }
    finish();
}

void finish()
{
    char* trap = trap_commands[0];
    if (trap) {
        // The slot is emptied first, so the exit trap runs at most once; the
        // status survives the trap unless the trap runs exit itself.  What an
        // abandoned command left in the reader is dropped first.
        trap_commands[0] = nullptr;
        int32_t status = exit_status;
        // The shell is on its way out: an error in the trap ends it too,
        // with no command loop left to return to.
        shell_flags |= FLAG_CHILD;
        release_held_args();
        pushback_char = 0;
        break_count = 0;
        break_pending = 0;
        reset_nesting();
        // The signal that ended the shell does not abandon its cleaning up.
        trap_note = static_cast<uint8_t>(trap_note & ~FATAL_PENDING);
        execute_source_text(trap, nullptr);
        exit_status = status;
    }
    remove_temps(nullptr);
    _exit(exit_status & 0xff);
}

void interrupt_check()
{
    if (trap_note & FATAL_PENDING)
        exit_shell(3);
}

void remove_temps(char* mark)
{
    while (temp_files && reinterpret_cast<uintptr_t>(temp_files) > reinterpret_cast<uintptr_t>(mark)) {
        unlink(temp_files->file);
        temp_files = temp_files->link;
    }
    if (!mark)
        remove_deferred_temps(nullptr);
}

void remove_temps_on_signal()
{
    for (IoNode* t = temp_files; t; t = t->link)
        unlink(t->file);
    for (DeferredTemp* d = deferred_temps; d; d = d->next)
        unlink(d->name);
}

void defer_temp(const char* name)
{
    int32_t n = string_size(name);
    DeferredTemp* d = static_cast<DeferredTemp*>(heap_alloc(static_cast<int32_t>(offsetof(DeferredTemp, name)) + n));
    copy_into(name, d->name);
    d->next = deferred_temps;
    deferred_temps = d;
}

DeferredTemp* defer_temps(char* mark)
{
    DeferredTemp* before = deferred_temps;
    while (temp_files && reinterpret_cast<uintptr_t>(temp_files) > reinterpret_cast<uintptr_t>(mark)) {
        defer_temp(temp_files->file);
        temp_files = temp_files->link;
    }
    return before;
}

void remove_deferred_temps(DeferredTemp* until)
{
    while (deferred_temps && deferred_temps != until) {
        DeferredTemp* d = deferred_temps;
        unlink(d->name);
        deferred_temps = d->next;
        heap_free(d);
    }
}

void forget_deferred_temps(DeferredTemp* until)
{
    while (deferred_temps && deferred_temps != until) {
        DeferredTemp* d = deferred_temps;
        deferred_temps = d->next;
        heap_free(d);
    }
}

void forget_temps()
{
    temp_files = nullptr;
    deferred_temps = nullptr;
}
