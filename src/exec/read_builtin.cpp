// The read builtin: one line of standard input split into variables, the unread rest given back.
#include "exec/exec.h"

#include "input/input.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <fcntl.h>
#include <unistd.h>

// Out of the way of the descriptors commands redirect.
static constexpr int READ_FD_LOW = 20;

static inline bool is_separator(int c, const char* ifs)
{
    return !(c & QUOTE_BIT) && c && ifs && char_in_set(c, ifs);
}

static inline bool line_ended(int c)
{
    return c == '\n' || c == 0;
}

// Collects characters up to the end of the line or, unless last, up to a
// separator, and gives them to variable (none: they are dropped).
static int collect_value(NameEntry* variable, int c, bool last, const char* ifs)
{
    char* mark = stack_mark();
    stack_begin();
    while (!line_ended(c) && (last || !is_separator(c, ifs))) {
        stack_push(c);
        c = read_char_escaped(0);
    }
    char* value = stack_end(stack_top);
    if (variable)
        set_value(variable, value);
    stack_tidy(mark);
    return c;
}

int32_t read_into_variables(char** names)
{
    NameEntry* variable = *names ? lookup_name(*names) : nullptr;
    int fd = fcntl(0, F_DUPFD_CLOEXEC, READ_FD_LOW);
    if (fd < 0)
        fd = fcntl(0, F_DUPFD_CLOEXEC, 3); // a low descriptor limit
    InputSource source;
    push_input(&source);
    start_file_input(fd);
    // Bytes taken from a pipe or a terminal cannot be given back.
    if (lseek(0, 0, SEEK_CUR) < 0)
        source.read_size = 1;
    const char* ifs = ifs_entry.value;

    int c = read_char_escaped(0);
    while (is_separator(c, ifs) && c != '\n')
        c = read_char_escaped(0);
    for (;;) {
        bool last = !*names || !names[1];
        c = collect_value(variable, c, last, ifs);
        if (!*names || !*++names)
            break;
        variable = lookup_name(*names);
        if (line_ended(c)) {
            for (;;) {
                set_value(variable, "");
                if (!*++names)
                    break;
                variable = lookup_name(*names);
            }
            break;
        }
        while (is_separator(c, ifs) && c != '\n')
            c = read_char_escaped(0);
    }

    int32_t result = source.eof_count ? 1 : 0;
    long unused = static_cast<long>(source.end - source.cur);
    if (pushback_char) {
        unused++;
        pushback_char = 0;
    }
    if (unused > 0 && source.fd >= 0)
        lseek(0, -unused, SEEK_CUR);
    pop_input();
    return result;
}
