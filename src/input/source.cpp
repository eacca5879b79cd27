// Input sources: the stack of sources, the buffered and interruptible character reader.
#include "input/input.h"

#include "output/output.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <unistd.h>

constinit InputSource outermost_input = {0, 1, 0, INPUT_BUFFER_SIZE, nullptr, nullptr, nullptr, nullptr, {}};
constinit InputSource* current_input = &outermost_input;
constinit int32_t pushback_char = 0;
constinit uint8_t in_read_builtin = 0;

void start_file_input(int fd)
{
    InputSource* s = current_input;
    s->fd = fd;
    s->read_size = (shell_flags & FLAG_ONECMD) ? 1 : INPUT_BUFFER_SIZE;
    s->cur = s->buffer;
    s->end = s->buffer;
    s->strings = nullptr;
    s->line = 1;
    s->eof_count = 0;
}

bool start_text_input(char* text)
{
    InputSource* s = current_input;
    s->fd = -1;
    s->line = 1;
    if (!text) {
        s->cur = s->end = nullptr;
        s->eof_count = 1;
        return true;
    }
    s->cur = text;
    s->end = text + string_size(text);
    s->eof_count = 0;
    return false;
}

void push_input(InputSource* source)
{
    source->outer = current_input;
    source->eof_count = 0;
    source->strings = nullptr;
    current_input = source;
}

bool pop_input()
{
    InputSource* s = current_input;
    if (!s->outer)
        return false;
    if (s->fd >= 0)
        close(s->fd);
    s->fd = -1;
    current_input = s->outer;
    return true;
}

// Reads the current source's descriptor into its buffer.  A signal without a
// trap abandons the command; a trapped one that arrives while read waits has
// its trap run at once.  The read itself is interruptible by the interrupt.
static int fill_buffer()
{
    InputSource* volatile source = current_input;
    for (;;) {
        if (sigsetjmp(read_jump, 1)) {
            // The interrupt abandoned the read; its note is looked at below.
        }
        if (trap_note & FATAL_PENDING) {
            put_newline();
            interrupt_check();
        } else if ((trap_note & TRAP_PENDING) && in_read_builtin > 0) {
            // read is building its value: the traps use the stack above it.
            put_newline();
            int32_t length;
            char* held = stack_hold_item(&length);
            run_pending_traps();
            stack_resume_item(held, length);
        }
        read_in_progress = 1;
        ssize_t n = read(source->fd, source->buffer, source->read_size);
        read_in_progress = 0;
        if (n >= 0 || !trap_note)
            return static_cast<int>(n);
    }
}

static inline void note_end(InputSource* s)
{
    if (s->eof_count < 255)
        s->eof_count++;
}

int read_char()
{
    for (;;) {
        if (pushback_char) {
            int c = pushback_char & 0xff;
            pushback_char = 0;
            return c;
        }
        InputSource* s = current_input;
        if (s->cur == s->end) {
            if (s->eof_count || s->fd < 0) {
                note_end(s);
                return 0;
            }
            int n = fill_buffer();
            if (n <= 0) {
                close(s->fd);
                s->fd = -1;
                note_end(s);
                return 0;
            }
            s->cur = s->buffer;
            s->end = s->buffer + n;
            continue;
        }
        int c = static_cast<unsigned char>(*s->cur++);
        if (c == 0) {
            if (!s->strings)
                continue; // a NUL from a file is dropped; a text's NUL leads to the end
            char* next = *s->strings++;
            char** rest = s->strings;
            start_text_input(next);
            s->strings = next ? rest : nullptr;
            if (!next)
                return 0;
            c = ' ';
        }
        if ((shell_flags & FLAG_VERBOSE) && !s->outer)
            put_char(c);
        if (c == '\n')
            s->line++;
        return c;
    }
}

int read_char_escaped(int delimiter)
{
    for (;;) {
        int c = read_char();
        if (c != '\\')
            return c;
        int d = read_char();
        if (d == '\n') {
            continuation_prompt(d);
            continue;
        }
        if (d == 0) {
            // A backslash at the end of input stands for itself.
            unread_char(0);
            return '\\';
        }
        if (delimiter == 0 || d == delimiter)
            return d | QUOTE_BIT;
        if (!(d & QUOTE_BIT) && (lex_class(d) & CC_ESCAPABLE))
            return d | QUOTE_BIT;
        unread_char(d);
        return '\\';
    }
}

void unread_char(int c)
{
    pushback_char = PUSHBACK_FULL | (c & 0xff);
}
