// The builtin commands and the contract around them.
#include "exec/exec.h"

#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/times.h>
#include <unistd.h>

static void builtin_set(int argc, char** argv, bool has_assigns)
{
    if (argc < 2) {
        if (!has_assigns)
            walk_names(print_variable);
        return;
    }
    int left = process_options(argc, argv);
    if (left >= 2)
        set_args(argv + (argc - left));
}

static void builtin_cd(int argc, char** argv)
{
    if (shell_flags & FLAG_RESTRICTED)
        fail(argv[0], "restricted");
    if (argc >= 3)
        fail(argv[0], "argument count");
    const char* dir = argc > 1 ? argv[1] : home_entry.value;
    if (!dir)
        fail("", "bad directory");
    if (chdir(dir) != 0)
        fail(dir, "bad directory");
}

static void builtin_trap(int argc, char** argv)
{
    if (argc < 2) {
        for (int sig = 0; sig < SIGNAL_SLOTS; sig++) {
            if (!trap_commands[sig])
                continue;
            put_number(sig);
            put_string(": ");
            put_plain(trap_commands[sig]);
            put_newline();
        }
        return;
    }
    bool reset = is_digit(static_cast<unsigned char>(argv[1][0]));
    const char* command = argv[1];
    for (int i = reset ? 1 : 2; i < argc; i++) {
        int32_t sig = text_to_number(argv[i]);
        if (sig >= SIGNAL_SLOTS)
            fail(argv[i], "bad trap");
        if (reset)
            reset_trap(sig);
        else
            set_trap(sig, command);
    }
}

// The number $? shows: the status of the last command.
static int32_t status_of_last_command()
{
    int32_t n = 0;
    for (const char* p = status_string; p && is_digit(static_cast<unsigned char>(*p)); p++)
        n = n * 10 + (*p - '0');
    return n;
}

[[noreturn]] static void builtin_exit(int argc, char** argv)
{
    shell_flags |= FLAG_CHILD;
    exit_shell(argc > 1 ? text_to_number(argv[1]) : status_of_last_command());
}

static void builtin_shift()
{
    if (arg_count <= 0)
        fail("cannot shift", nullptr);
    arg_vector++;
    arg_count--;
    set_number_string(&param_count_text, arg_count);
}

static void builtin_break(int argc, char** argv, bool is_break)
{
    if (loop_depth == 0)
        return;
    int32_t n = argc > 1 ? text_to_number(argv[1]) : 1;
    if (n == 0)
        return; // a count of 0 leaves nothing
    if (n > loop_depth)
        n = loop_depth;
    break_pending = 1;
    break_count = is_break ? n : -n;
}

static void builtin_dot(int argc, char** argv)
{
    if (argc < 2)
        return;
    const char* list = choose_search_path(argv[1]);
    int fd = open_along_path(list, argv[1]);
    if (fd < 0)
        fail(argv[1], "not found");
    execute_source_fd(fd);
}

static void builtin_attributes(int argc, char** argv, uint32_t bit)
{
    if (argc > 1) {
        for (int i = 1; i < argc; i++)
            lookup_name(argv[i])->flags |= bit;
    } else {
        walk_names(print_attributes);
    }
    exit_status = 0;
}

static void builtin_times()
{
    struct tms t;
    times(&t);
    put_times(t.tms_cutime);
    put_blank();
    put_times(t.tms_cstime);
    put_newline();
}

static void builtin_umask(int argc, char** argv)
{
    if (argc > 1) {
        unsigned mask = 0;
        for (const char* p = argv[1]; *p >= '0' && *p <= '7'; p++)
            mask = ((mask << 3) | static_cast<unsigned>(*p - '0')) & 0xffff;
        umask(static_cast<mode_t>(mask));
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    char text[6] = {'0', static_cast<char>('0' + ((mask >> 6) & 7)), static_cast<char>('0' + ((mask >> 3) & 7)),
                    static_cast<char>('0' + (mask & 7)), '\n', 0};
    put_string(text);
}

static void builtin_ulimit(int argc, char** argv)
{
    int i = 1;
    if (argc > 1 && argv[1][0] == '-') {
        if (argv[1][1] != 'f')
            fail("bad option(s)", nullptr);
        i = 2;
    }
    if (i < argc) {
        int64_t value = 0;
        for (const char* p = argv[i]; *p; p++) {
            if (*p < '0' || *p > '9' || value > (INT64_MAX - (*p - '0')) / 10)
                fail("bad ulimit", nullptr);
            value = value * 10 + (*p - '0');
        }
        if (platform_ulimit(2, value) < 0)
            fail("bad ulimit", nullptr);
        return;
    }
    // With no word, as with -f alone: the limit is shown.
    int64_t limit = platform_ulimit(1, 0);
    if (limit < 0)
        fail("bad ulimit", nullptr);
    put_long(static_cast<uint64_t>(limit));
    put_newline();
}

// exec, login and newgrp: the shell becomes the program.  A failed exec or
// login in a shell that goes on gets its traps back (the failure path puts
// them back); newgrp ends the shell on failure.
static void replace_shell(char** argv, bool keep_traps)
{
    if (keep_traps)
        hold_traps_for_exec();
    else
        reset_traps_for_child();
    invoke_program(argv);
    finish();
}

int32_t run_builtin(BuiltinCode code, int argc, char** argv, SimpleNode* node)
{
    IoNode* io = node->io;
    switch (code) {
    case BUILTIN_SET:
        builtin_set(argc, argv, node->assigns != nullptr);
        break;
    case BUILTIN_CD:
        builtin_cd(argc, argv);
        break;
    case BUILTIN_EXEC:
        apply_redirections(io);
        stdin_redirected = 0;
        if (argc > 1)
            replace_shell(argv + 1, true);
        io = nullptr; // the redirections stay for the rest of the shell's life
        break;
    case BUILTIN_LOGIN:
        replace_shell(argv, true);
        return exit_status;
    case BUILTIN_NEWGRP:
        if (shell_flags & FLAG_RESTRICTED)
            fail(argv[0], "restricted");
        shell_flags |= FLAG_CHILD;
        replace_shell(argv, false);
        return exit_status;
    case BUILTIN_TRAP:
        builtin_trap(argc, argv);
        break;
    case BUILTIN_EXIT:
        builtin_exit(argc, argv);
    case BUILTIN_SHIFT:
        builtin_shift();
        break;
    case BUILTIN_WAIT:
        await_children(argc > 1 ? text_to_number(argv[1]) : -1, 1);
        break;
    case BUILTIN_CONTINUE:
    case BUILTIN_BREAK:
        builtin_break(argc, argv, code == BUILTIN_BREAK);
        break;
    case BUILTIN_EVAL:
        if (argc > 1)
            execute_source_text(argv[1], argv + 2);
        break;
    case BUILTIN_DOT:
        builtin_dot(argc, argv);
        break;
    case BUILTIN_READONLY:
        builtin_attributes(argc, argv, NAME_READONLY);
        break;
    case BUILTIN_EXPORT:
        builtin_attributes(argc, argv, NAME_EXPORT);
        break;
    case BUILTIN_TIMES:
        builtin_times();
        break;
    case BUILTIN_NULL:
        io = nullptr; // : >f neither creates f nor fails
        break;
    case BUILTIN_READ:
        in_read_builtin = 1;
        exit_status = read_into_variables(argv + 1);
        in_read_builtin = 0;
        break;
    case BUILTIN_UMASK:
        builtin_umask(argc, argv);
        break;
    case BUILTIN_ULIMIT:
        builtin_ulimit(argc, argv);
        break;
    default:
        break;
    }
    if (io)
        fail("illegal io", nullptr);
    run_pending_traps();
    return exit_status;
}
