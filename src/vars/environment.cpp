// The environment: import at start-up, the vector handed to programs, and the variable listings.
#include "vars/vars.h"

#include "output/output.h"
#include "signals/signals.h"
#include "storage/storage.h"

extern char** environ;

// The walk keeps its path in one block-heap array, reused by every walk, so
// that a tree made deep by names created in order costs no machine stack.
static constinit NameEntry** walk_path = nullptr;
static constinit int32_t walk_capacity = 0;

static void walk_push(int32_t depth, NameEntry* e)
{
    if (depth == walk_capacity) {
        int32_t capacity = walk_capacity ? walk_capacity * 2 : 64;
        NameEntry** grown = static_cast<NameEntry**>(heap_alloc(capacity * static_cast<int32_t>(sizeof(NameEntry*))));
        for (int32_t i = 0; i < depth; i++)
            grown[i] = walk_path[i];
        NameEntry** old = walk_path;
        walk_path = grown;
        walk_capacity = capacity;
        heap_free(old);
    }
    walk_path[depth] = e;
}

void walk_names(NameOperation op)
{
    int32_t depth = 0;
    NameEntry* e = &mail_entry;
    for (;;) {
        for (; e; e = e->lesser)
            walk_push(depth++, e);
        if (depth == 0)
            return;
        e = walk_path[--depth];
        NameEntry* greater = e->greater;
        op(e);
        e = greater;
    }
}

bool import_environment()
{
    bool result = true;
    for (char** p = environ; p && *p; p++)
        if (!assign_word(*p, NAME_IMPORTED))
            result = false;
    return result;
}

void prepare_export(NameEntry* entry)
{
    if (entry->flags & NAME_EXPORT)
        replace_string(&entry->env_value, entry->value);
    else
        replace_string(&entry->value, entry->env_value);
}

// What a program receives for the entry: the current value when exported,
// the imported one otherwise.
static const char* exported_value(const NameEntry* entry)
{
    return (entry->flags & NAME_EXPORT) ? entry->value : entry->env_value;
}

static constinit int32_t environment_count = 0;
static constinit char** environment_slot = nullptr;

static void count_entry(NameEntry*)
{
    environment_count++;
}

// Appends text to the item being built, quoting marks removed.
static void push_plain(const char* text)
{
    for (; *text; text++)
        if (*text & 0x7f)
            stack_push(*text & 0x7f);
}

static void add_environment_string(NameEntry* entry)
{
    const char* value = exported_value(entry);
    if (!value)
        return;
    stack_begin();
    stack_push_text(entry->name);
    stack_push('=');
    push_plain(value);
    *environment_slot++ = stack_end(stack_top);
}

char** build_environment()
{
    environment_count = 0;
    walk_names(count_entry);
    char** vector = static_cast<char**>(stack_alloc((environment_count + 1) * static_cast<int32_t>(sizeof(char*))));
    environment_slot = vector;
    walk_names(add_environment_string);
    *environment_slot = nullptr;
    return vector;
}

void print_variable(NameEntry* entry)
{
    interrupt_check();
    if (!entry->value)
        return;
    put_string(entry->name);
    put_char('=');
    put_plain(entry->value);
    put_newline();
}

void print_attributes(NameEntry* entry)
{
    if (entry->flags & NAME_EXPORT)
        put_string("export ");
    if (entry->flags & NAME_READONLY)
        put_string("readonly ");
    if (entry->flags & (NAME_EXPORT | NAME_READONLY)) {
        put_string(entry->name);
        put_newline();
    }
}
