// The table of children still to be waited for, the waits, and the reports of signals.
#include "exec/exec.h"

#include "output/output.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "vars/vars.h"

#include <cerrno>
#include <sys/wait.h>

constinit int32_t posted_children[POSTED_SLOTS] = {};
constinit int32_t posted_count = 0;

static constexpr int32_t POSTED_USABLE = POSTED_SLOTS - 1;

void post_child(int32_t pid)
{
    if (pid == 0)
        return;
    int i = 0;
    while (posted_children[i])
        i++;
    if (posted_count < POSTED_USABLE) {
        posted_children[i] = pid;
        posted_count++;
    } else {
        posted_children[i - 1] = pid;
    }
}

void clear_posted_children()
{
    for (int i = 0; i < POSTED_SLOTS; i++)
        posted_children[i] = 0;
    posted_count = 0;
}

// Removes pid from every slot that holds it; true when one did.
static bool remove_posted(int32_t pid)
{
    bool found = false;
    for (int i = 0; i < POSTED_USABLE; i++) {
        if (posted_children[i] && posted_children[i] == pid) {
            posted_children[i] = 0;
            posted_count--;
            found = true;
        }
    }
    return found;
}

// Removes pid from the first slot that holds it.
static void remove_posted_once(int32_t pid)
{
    for (int i = 0; i < POSTED_USABLE; i++) {
        if (posted_children[i] && posted_children[i] == pid) {
            posted_children[i] = 0;
            posted_count--;
            return;
        }
    }
}

// Reports a child that a signal ended.
static void report_signal(int32_t child, int status_word, int32_t awaited)
{
    int sig = status_word & 0x7f;
    if (sig == 0x7f) {
        put_string("ptrace: ");
        sig = (status_word >> 8) & 0xff;
    }
    if (sig == 0)
        return;
    const char* message = platform_signal_message(sig);
    if (message) {
        if (!(child == awaited && (shell_flags & FLAG_PROMPT))) {
            put_prefix();
            put_number(child);
            put_blank();
        }
        put_string(message);
        if (status_word & 0x80)
            put_string(" - core dumped");
    }
    put_newline();
}

// The shell status of a wait status word.
static int32_t shell_status(int status_word)
{
    int sig = status_word & 0x7f;
    if (sig == 0x7f)
        sig = (status_word >> 8) & 0xff;
    if (sig)
        return 128 + sig;
    return (status_word >> 8) & 0xff;
}

// Blocks until some child has ended, without collecting it, the
// interrupt's escape armed around the wait.  False when the interrupt
// abandoned it; else *error holds the reason of a failure (ECHILD: none left).
static bool wait_for_any_child(int* error)
{
    siginfo_t info;
    if (sigsetjmp(read_jump, 1) == 0) {
        read_in_progress = 1;
        int r = waitid(P_ALL, 0, &info, WEXITED | WNOWAIT);
        read_in_progress = 0;
        *error = r == 0 ? 0 : errno;
        return true;
    }
    return false;
}

// Collects an ended child, the awaited one first when it has ended: of
// children that ended together, the command waited for is reported first.
// Returns the child, or -1: with *normal false when the interrupt abandoned
// the wait, else with the reason in *error.
static int32_t collect_child(int32_t awaited, int* status_word, bool* normal, int* error)
{
    *normal = wait_for_any_child(error);
    if (!*normal || *error)
        return -1;
    if (awaited > 0) {
        pid_t child = waitpid(awaited, status_word, WNOHANG);
        if (child > 0)
            return child;
    }
    pid_t child = waitpid(-1, status_word, WNOHANG);
    if (child <= 0) {
        *error = child < 0 ? errno : 0;
        return -1;
    }
    return child;
}

void await_children(int32_t pid, int for_wait_builtin)
{
    post_child(pid);
    int32_t result = 0;
    int accumulated = 0;
    // Only interrupts that arrive during this wait end a wait builtin.
    interrupt_count = 0;
    while (posted_count > 0) {
        int status_word = 0;
        bool normal = false;
        int error = 0;
        int32_t child = collect_child(pid, &status_word, &normal, &error);
        if (normal && interrupt_count) {
            interrupt_count = 0;
            if (for_wait_builtin) {
                remove_posted(child);
                remove_posted_once(pid);
                break;
            }
        }
        bool found = remove_posted(child);
        if (child == -1) {
            if (for_wait_builtin)
                remove_posted_once(pid);
            // No child is left while some are still posted: the table is wrong.
            if (normal && error == ECHILD)
                clear_posted_children();
            continue;
        }
        report_signal(child, status_word, pid);
        if (found) {
            if (result == 0)
                result = shell_status(status_word);
            // Only the command waited for counts for -e, never a background one.
            accumulated |= status_word;
        }
        if (child == pid) {
            // The rest of a pipeline is collected later, outside the table.
            clear_posted_children();
            break;
        }
    }
    if (accumulated && (shell_flags & FLAG_ERREXIT))
        exit_shell(result);
    exit_status = result;
    update_status_string();
}
