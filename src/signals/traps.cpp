// The signal catcher, the dispositions and the trap commands.
#include "signals/signals.h"

#include "exec/exec.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <csignal>

constinit char* trap_commands[SIGNAL_SLOTS] = {};
constinit volatile uint8_t trap_note = 0;
constinit volatile uint8_t signal_marks[SIGNAL_SLOTS] = {
    0, 0, CATCH_ON_RESET, CATCH_ON_RESET, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, CATCH_ON_RESET, CATCH_ON_RESET,
};
constinit volatile uint8_t read_in_progress = 0;
constinit sigjmp_buf read_jump = {};
constinit volatile uint8_t interrupt_count = 0;
constinit uint8_t original_dispositions[SIGNAL_SLOTS] = {};
// Some signal's mark says its trap is pending: spares run_pending_traps the
// scan of every slot after every command.  Set by the catcher.
static constinit volatile uint8_t marks_pending = 0;

static_assert(SIGINT == 2 && SIGQUIT == 3 && SIGALRM == 14 && SIGTERM == 15, "marks table order");

// What a failed exec must put back.
struct HeldTraps {
    bool held;
    char* commands[SIGNAL_SLOTS];
    uint8_t marks[SIGNAL_SLOTS];
    uint8_t originals[SIGNAL_SLOTS];
    Disposition dispositions[SIGNAL_SLOTS];
};
static constinit HeldTraps held_traps = {};

void signal_catcher(int sig)
{
    if (sig == SIGALRM)
        return;
    uint8_t bit = trap_commands[sig] ? TRAP_PENDING : FATAL_PENDING;
    trap_note = static_cast<uint8_t>(trap_note | bit);
    signal_marks[sig] = static_cast<uint8_t>(signal_marks[sig] | bit);
    if (bit == TRAP_PENDING)
        marks_pending = 1;
    if (sig == SIGINT) {
        interrupt_count = static_cast<uint8_t>(interrupt_count + 1);
        if (read_in_progress) {
            read_in_progress = 0;
            siglongjmp(read_jump, 1);
        }
    }
}

void init_signals()
{
    // A signal that ends the shell at its default disposition still lets it
    // remove its here-document files.
    platform_set_fatal_cleanup(remove_temps_on_signal);
    platform_clean_defaults();
    ignore_signal(SIGQUIT);
    catch_for_trap(SIGINT);
    catch_for_trap(SIGALRM);
    // Writing a here-document past the file-size limit must fail the
    // command, not kill the shell; programs get the default back.
    ignore_signal(SIGXFSZ);
}

bool ignore_signal(int sig)
{
    if (sig == SIGSEGV) {
        reset_trap(SIGSEGV);
        fail("bad trap", "cannot trap 11");
    }
    if (platform_ignore_signal(sig) == SIGNAL_WAS_DEFAULT) {
        signal_marks[sig] = static_cast<uint8_t>(signal_marks[sig] | DISPOSITION_CHANGED);
        return false;
    }
    return true;
}

void catch_for_trap(int sig)
{
    if (sig == SIGSEGV)
        ignore_signal(sig); // refused with its own message
    if (signal_marks[sig] & DISPOSITION_CHANGED) {
        platform_catch_signal(sig, signal_catcher);
        return;
    }
    // A signal a reset handed back to the catcher stays caught.
    if (platform_disposition(sig) == DISPOSITION_CAUGHT)
        return;
    if (!ignore_signal(sig))
        platform_catch_signal(sig, signal_catcher);
}

// Gives sig the disposition d.
static void set_disposition(int sig, Disposition d)
{
    switch (d) {
    case DISPOSITION_DEFAULT:
        platform_default_signal(sig);
        break;
    case DISPOSITION_IGNORED:
        platform_ignore_signal(sig);
        break;
    case DISPOSITION_CAUGHT:
        platform_catch_signal(sig, signal_catcher);
        break;
    case DISPOSITION_NONE:
        break;
    }
}

void set_trap(int sig, const char* command)
{
    // The first trap on a signal records what the shell had made of it, so
    // that a reset gives exactly that back.
    if (!original_dispositions[sig])
        original_dispositions[sig] = platform_disposition(sig);
    replace_string(&trap_commands[sig], command);
    if (*command)
        catch_for_trap(sig);
    else
        ignore_signal(sig);
}

void reset_trap(int sig)
{
    char* old = trap_commands[sig];
    trap_commands[sig] = nullptr;
    heap_free(old);
    if (original_dispositions[sig]) {
        set_disposition(sig, static_cast<Disposition>(original_dispositions[sig]));
        original_dispositions[sig] = 0;
    }
}

void reset_traps_for_child()
{
    for (int sig = SIGNAL_SLOTS - 1; sig >= 0; sig--) {
        char* text = trap_commands[sig];
        if (!text || *text) {
            trap_commands[sig] = nullptr;
            heap_free(text);
            if (signal_marks[sig] & DISPOSITION_CHANGED) {
                if (signal_marks[sig] & CATCH_ON_RESET)
                    platform_catch_signal(sig, signal_catcher);
                else
                    platform_default_signal(sig);
            }
        }
        signal_marks[sig] = 0;
        original_dispositions[sig] = 0;
    }
    trap_note = 0;
}

void hold_traps_for_exec()
{
    held_traps.held = true;
    for (int sig = 0; sig < SIGNAL_SLOTS; sig++) {
        held_traps.commands[sig] = trap_commands[sig];
        held_traps.marks[sig] = signal_marks[sig];
        held_traps.originals[sig] = original_dispositions[sig];
        held_traps.dispositions[sig] = platform_disposition(sig);
        // Keep the texts for a failed exec: empty the slots without releasing.
        if (trap_commands[sig] && *trap_commands[sig])
            trap_commands[sig] = nullptr;
    }
    reset_traps_for_child();
}

void restore_held_trap_state()
{
    if (!held_traps.held)
        return;
    held_traps.held = false;
    for (int sig = 0; sig < SIGNAL_SLOTS; sig++) {
        if (trap_commands[sig] != held_traps.commands[sig])
            heap_free(trap_commands[sig]);
        trap_commands[sig] = held_traps.commands[sig];
        signal_marks[sig] = held_traps.marks[sig];
        original_dispositions[sig] = held_traps.originals[sig];
        if (platform_disposition(sig) != held_traps.dispositions[sig])
            set_disposition(sig, held_traps.dispositions[sig]);
    }
}

void forget_held_traps()
{
    held_traps.held = false;
}

void run_pending_traps()
{
    trap_note = static_cast<uint8_t>(trap_note & ~TRAP_PENDING);
    if (!marks_pending)
        return;
    marks_pending = 0;
    for (int sig = SIGNAL_SLOTS - 1; sig >= 1; sig--) {
        if (!(signal_marks[sig] & TRAP_PENDING))
            continue;
        signal_marks[sig] = static_cast<uint8_t>(signal_marks[sig] & ~TRAP_PENDING);
        if (trap_commands[sig]) {
            // Should the trap fail, the marks still set are looked at next time.
            marks_pending = 1;
            int32_t status = exit_status;
            execute_source_text(trap_commands[sig], nullptr);
            exit_status = status;
            update_status_string();
        }
    }
}
