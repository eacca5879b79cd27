// Pattern matching with * ? [...], and file name generation one path component at a time.
#include "expand/expand.h"

#include "input/input.h"
#include "signals/signals.h"
#include "storage/storage.h"

#include <unistd.h>

// A text character as the matcher sees it: its low seven bits, except the
// lone empty-quoted-word byte, which equals no pattern character.
static inline int text_char(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u == 0x80 ? 0x80 : (u & 0x7f);
}

// A bracket expression for the character c; *pp points after the [ and is
// left after the closing ] on a match.
static bool match_bracket(const char** pp, int c)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(*pp);
    bool negated = false;
    if (*p == '^' || *p == '!') {
        negated = true;
        p++;
    }
    int previous = 0x100; // above every character
    bool matched = false;
    bool items = false;
    for (;;) {
        int b = *p++;
        if (b == 0)
            return false; // an unclosed expression never matches
        if (b == ']') {
            *pp = reinterpret_cast<const char*>(p);
            return negated ? items : matched;
        }
        if (b == '-') {
            if (previous > c) {
                // A range that cannot hold c: the byte after the - is an
                // ordinary item, whatever it is.
                items = true;
                b = *p++;
                if (b == 0)
                    return false;
                goto item;
            }
            int upper = static_cast<signed char>(*p);
            if (*p)
                p++;
            if (c <= upper) {
                if (negated)
                    return false;
                matched = true;
            }
            items = true;
            continue;
        }
    item:
        int item = b & 0x7f;
        if (item == c) {
            if (negated)
                return false;
            matched = true;
        }
        items = true;
        previous = item;
    }
}

bool match_pattern(const char* text, const char* pattern)
{
    const char* s = text;
    const char* p = pattern;
    const char* star_p = nullptr; // the pattern after the last *
    const char* star_s = nullptr; // where the text after it was tried
    for (;;) {
        int pc = static_cast<unsigned char>(*p);
        if (pc == '*') {
            p++;
            if (*p == 0)
                return true;
            if (*s == 0)
                goto backtrack; // the rest is never tried against the empty end
            star_p = p;
            star_s = s;
            continue;
        }
        if (pc == 0) {
            if (*s == 0)
                return true;
            goto backtrack;
        }
        if (*s) {
            int c = text_char(*s);
            if (pc == '?') {
                p++;
                s++;
                continue;
            }
            if (pc == '[') {
                const char* after = p + 1;
                if (match_bracket(&after, c)) {
                    p = after;
                    s++;
                    continue;
                }
            } else if ((pc & 0x7f) == c) {
                p++;
                s++;
                continue;
            }
        }
    backtrack:
        if (!star_p)
            return false;
        star_s++;
        if (*star_s == 0)
            return false;
        s = star_s;
        p = star_p;
    }
}

static constinit char directory_buffer[DIRECTORY_BUFFER_SIZE];

// The directory part of a field, plain, as the name to open.
static char* plain_directory(const char* dir)
{
    char* copy = stack_copy(dir);
    strip_marks(copy);
    return copy;
}

// Builds the argument item for a matching entry: prefix, name, remainder.
static void push_match(const char* prefix, const char* name, const char* remainder)
{
    char* start = stack_begin();
    arena_room(start + sizeof(ArgItem));
    stack_top = start + offsetof(ArgItem, text);
    stack_push_text(prefix);
    stack_push_text(name);
    if (remainder) {
        stack_push('/');
        stack_push_text(remainder);
    }
    push_argument(reinterpret_cast<ArgItem*>(stack_end(stack_top)));
}

// Pushes an item for every entry of the open directory fd that matches
// component; returns their number.  The directory read is interruptible:
// after an interrupt the names found so far stay, and the reading goes on
// unless the signal has no trap.
static int32_t read_matches(int fd, const char* component, const char* prefix, const char* remainder)
{
    bool show_hidden = *component == '.';
    volatile int32_t count = 0;
    volatile long length = 0;
    long offset = 0;
    for (;;) {
        if (sigsetjmp(read_jump, 1)) {
            length = 0;
            offset = 0;
        }
        if (trap_note & FATAL_PENDING)
            break;
        const char* entry = platform_next_entry(directory_buffer, length, &offset);
        if (!entry) {
            read_in_progress = 1;
            length = platform_read_directory(fd, directory_buffer, sizeof directory_buffer);
            read_in_progress = 0;
            offset = 0;
            if (length <= 0)
                break;
            continue;
        }
        if (entry[0] == '.' && !show_hidden)
            continue;
        // A generated name is never taken as a pattern again.
        char marked[512];
        int n = 0;
        for (const char* e = entry; *e && n < static_cast<int>(sizeof marked) - 1; e++) {
            char c = *e;
            marked[n++] = (c == '*' || c == '?' || c == '[') ? static_cast<char>(c | QUOTE_BIT) : c;
        }
        marked[n] = 0;
        if (match_pattern(marked, component)) {
            push_match(prefix, marked, remainder);
            count = count + 1;
        }
    }
    return count;
}

int32_t expand_file_names(char* field, bool recursion)
{
    if (trap_note & FATAL_PENDING)
        return 0;
    // The first pattern position.
    char* position = nullptr;
    int brackets = 0;
    bool has_slash = false;
    for (char* q = field; *q; q++) {
        char c = *q;
        if (c == '*' || c == '?') {
            position = q;
            break;
        }
        if (c == '[')
            brackets++;
        else if (c == ']' && brackets) {
            position = q + 1;
            break;
        } else if (c == '/') {
            brackets = 0;
            has_slash = true;
        }
    }
    if (!position) {
        if (!recursion)
            return 0;
        for (char* q = field; *q; q++)
            if (*q == '/')
                has_slash = true;
        if (!has_slash)
            return 0;
        position = field;
        while (*position)
            position++;
    }

    // The directory part ends at the last / before the position.
    char* slash = nullptr;
    for (char* q = position; q > field;)
        if (*--q == '/') {
            slash = q;
            break;
        }
    const char* open_name;
    const char* prefix;
    char* component;
    if (!slash) {
        open_name = ".";
        prefix = "";
        component = field;
    } else if (slash == field) {
        open_name = "/";
        prefix = "/";
        component = field + 1;
    } else {
        *slash = 0;
        char* dir = plain_directory(field);
        open_name = dir;
        stack_begin();
        stack_push_text(dir);
        stack_push('/');
        prefix = stack_end(stack_top);
        component = slash + 1;
    }

    int fd = platform_open_directory(open_name);
    if (fd < 0) {
        if (slash && slash != field)
            *slash = '/';
        return 0;
    }

    // The component runs to the next /; what follows is the remainder.
    char* cut = component;
    while (*cut && *cut != '/')
        cut++;
    char* remainder = nullptr;
    uintptr_t caller_list = arg_list;
    if (*cut == '/') {
        *cut = 0;
        remainder = cut + 1;
        arg_list = 0;
    }
    int32_t count = read_matches(fd, component, prefix, remainder);
    close(fd);
    if (slash && slash != field)
        *slash = '/';

    if (!remainder)
        return count;
    *cut = '/';
    uintptr_t intermediate = arg_list;
    arg_list = caller_list;
    int32_t total = 0;
    if (count) {
        for (ArgItem* item = reinterpret_cast<ArgItem*>(intermediate & ~GROUP_END); item;
             item = reinterpret_cast<ArgItem*>(item->link & ~GROUP_END))
            total += expand_file_names(item->text, true);
    }
    return total;
}
