// Signal dispositions and the child-status messages, keyed by signal name.
#include "platform/platform.h"

#include <signal.h>

struct SignalMessage {
    int number;
    const char* message; // null: reported by a bare newline
};

// The messages by signal name; Linux's own signals get plain messages.
static constexpr SignalMessage SIGNAL_MESSAGES_BY_NAME[] = {
    {SIGHUP, "Hangup"},
    {SIGINT, nullptr},
    {SIGQUIT, "Quit"},
    {SIGILL, "Illegal instruction"},
    {SIGTRAP, "Trace/BPT trap"},
    {SIGABRT, "Abort trap"},
    {SIGFPE, "Floating point exception"},
    {SIGKILL, "Killed"},
    {SIGBUS, "Bus error"},
    {SIGSEGV, "Memory fault"},
    {SIGSYS, "Bad system call"},
    {SIGPIPE, nullptr},
    {SIGALRM, "Alarm call"},
    {SIGTERM, "Terminated"},
    {SIGURG, "Urgent I/O condition"},
    {SIGSTOP, "Stopped"},
    {SIGTSTP, "Stopped from terminal"},
    {SIGCONT, "Continued"},
    {SIGCHLD, "Child exited"},
    {SIGTTIN, "Stopped on terminal input"},
    {SIGTTOU, "Stopped on terminal output"},
    {SIGIO, "Asynchronous I/O"},
    {SIGXCPU, "Cputime limit exceeded"},
    {SIGXFSZ, "Filesize limit exceeded"},
    {SIGVTALRM, "Virtual timer expired"},
    {SIGPROF, "Profiling timer expired"},
    {SIGWINCH, "Window size changed"},
    {SIGUSR1, "User defined signal 1"},
    {SIGUSR2, "User defined signal 2"},
    {SIGSTKFLT, "Stack fault"},
    {SIGPWR, "Power failure"},
    {32, "Real-time signal 32"},
};

struct SignalMessageTable {
    const char* by_number[SIGNAL_MESSAGE_COUNT];
};

static constexpr SignalMessageTable make_message_table()
{
    SignalMessageTable t{};
    for (const SignalMessage& m : SIGNAL_MESSAGES_BY_NAME)
        t.by_number[m.number] = m.message;
    return t;
}

static constexpr SignalMessageTable signal_message_table = make_message_table();
static_assert(sizeof(SIGNAL_MESSAGES_BY_NAME) / sizeof(SIGNAL_MESSAGES_BY_NAME[0]) == SIGNAL_MESSAGE_COUNT - 1);

const char* platform_signal_message(int n)
{
    if (n <= 0 || n >= SIGNAL_MESSAGE_COUNT)
        return nullptr;
    return signal_message_table.by_number[n];
}

using Cleanup = void (*)();
static constinit Cleanup fatal_cleanup = nullptr; // run before a default death

// The signals whose default action ends the process without a core image.
static bool ends_the_process(int sig)
{
    switch (sig) {
    case SIGHUP: case SIGTERM: case SIGUSR1: case SIGUSR2: case SIGPIPE: case SIGALRM:
    case SIGVTALRM: case SIGPROF: case SIGIO: case SIGPWR: case SIGSTKFLT:
        return true;
    default:
        return false;
    }
}

// The default disposition, with the cleanup first.
static void cleaning_default(int sig)
{
    if (fatal_cleanup)
        fatal_cleanup();
    struct sigaction act = {};
    act.sa_handler = SIG_DFL;
    sigemptyset(&act.sa_mask);
    sigaction(sig, &act, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

static bool is_default(void (*handler)(int))
{
    return handler == SIG_DFL || handler == cleaning_default;
}

void platform_set_fatal_cleanup(void (*cleanup)())
{
    fatal_cleanup = cleanup;
}

void platform_clean_defaults()
{
    for (int sig = 1; sig < SIGNAL_SLOTS; sig++) {
        struct sigaction old = {};
        if (ends_the_process(sig) && sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
            platform_default_signal(sig);
    }
}

SignalWas platform_ignore_signal(int sig)
{
    struct sigaction act = {}, old = {};
    act.sa_handler = SIG_IGN;
    sigemptyset(&act.sa_mask);
    if (sig <= 0 || sig == SIGKILL || sig == SIGSTOP || sigaction(sig, &act, &old) != 0)
        return SIGNAL_REFUSED;
    return is_default(old.sa_handler) ? SIGNAL_WAS_DEFAULT : SIGNAL_WAS_OTHER;
}

void platform_catch_signal(int sig, void (*handler)(int))
{
    struct sigaction act = {};
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    act.sa_flags = SA_RESTART;
    if (sig > 0)
        sigaction(sig, &act, nullptr);
}

void platform_default_signal(int sig)
{
    struct sigaction act = {};
    act.sa_handler = fatal_cleanup && ends_the_process(sig) ? cleaning_default : SIG_DFL;
    sigemptyset(&act.sa_mask);
    if (sig > 0)
        sigaction(sig, &act, nullptr);
}

Disposition platform_disposition(int sig)
{
    struct sigaction old = {};
    if (sig <= 0 || sigaction(sig, nullptr, &old) != 0)
        return DISPOSITION_NONE;
    if (is_default(old.sa_handler))
        return DISPOSITION_DEFAULT;
    if (old.sa_handler == SIG_IGN)
        return DISPOSITION_IGNORED;
    return DISPOSITION_CAUGHT;
}
