// Program invocation along the search path, and running a non-executable file as a script in place.
#include "exec/exec.h"

#include "expand/expand.h"
#include "input/input.h"
#include "output/output.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <cerrno>
#include <unistd.h>

static bool has_slash(const char* name)
{
    for (; *name; name++)
        if ((*name & 0x7f) == '/')
            return true;
    return false;
}

const char* choose_search_path(const char* name)
{
    if (has_slash(name)) {
        if (shell_flags & FLAG_RESTRICTED)
            fail(name, "restricted");
        return "";
    }
    return path_entry.value ? stack_copy(path_entry.value) : DEFAULT_SEARCH_PATH;
}

// Builds the candidate for the element [element, end) and name at the top
// of the working stack, quoting marks removed; the caller discards it.
static char* make_candidate(const char* element, const char* end, const char* name)
{
    char* start = stack_begin();
    for (const char* p = element; p < end; p++)
        stack_push(*p & 0x7f);
    if (end != element)
        stack_push('/');
    for (const char* p = name; *p; p++)
        if (*p & 0x7f)
            stack_push(*p & 0x7f);
    stack_push(0);
    stack_top = start;
    return start;
}

// The end of the element starting at p, and whether another one follows.
static const char* element_end(const char* p, bool* more)
{
    while (*p && *p != ':')
        p++;
    *more = *p == ':' && p[1] != 0;
    return p;
}

int open_along_path(const char* list, const char* name)
{
    int fd = -1;
    const char* p = list;
    for (;;) {
        bool more;
        const char* end = element_end(p, &more);
        char* candidate = make_candidate(p, end, name);
        fd = open_script(candidate);
        if (fd >= 0 || !more)
            return fd;
        p = end + 1;
    }
}

// The process becomes a fresh shell reading the file as a script.
[[noreturn]] static void run_as_script(const char* candidate, char** argv)
{
    char* path = stack_copy(candidate);
    walk_names(prepare_export);
    shell_flags = 0;
    command_string = nullptr;
    stdin_redirected = 0;
    forget_held_traps();
    recover_state();
    release_held_args();
    if (outermost_input.fd > 0)
        close(outermost_input.fd);
    outermost_input.fd = -1;
    if (output_fd != 2) {
        close(output_fd);
        output_fd = 2;
    }
    int fd = open_for_input(path);
    if (fd == 0)
        fd = move_out_of_the_way(fd, INPUT_FD); // standard input was closed
    start_file_input(fd);
    set_args(argv);
    rebuild_dash_text();
    siglongjmp(script_restart, 1);
}

void invoke_program(char** argv)
{
    if (shell_flags & FLAG_NOEXEC)
        return;
    const char* message = "not found";
    char* word = argv[0];
    const char* list = choose_search_path(word);
    char** environment = build_environment();
    // The program gets its name without quoting marks; the builtin lookup
    // and the messages have seen the marked word.
    argv[0] = stack_copy(word);
    strip_marks(argv[0]);
    // Whatever here-documents this process holds are open by now.
    remove_temps(nullptr);

    const char* p = list;
    for (;;) {
        bool more;
        const char* end = element_end(p, &more);
        char* candidate = make_candidate(p, end, word);
        interrupt_check();
        execve(candidate, argv, environment);
        switch (errno) {
        case ENOENT:
            break;
        case ENOEXEC:
            run_as_script(candidate, argv);
        case E2BIG:
            fail(candidate, "arg list too long");
        case ENOMEM:
            fail(candidate, "too big");
        case ETXTBSY:
            fail(candidate, "text busy");
        default:
            message = "cannot execute";
            break;
        }
        if (!more)
            fail(word, message);
        p = end + 1;
    }
}
