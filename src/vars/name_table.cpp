// The name table: variables in one binary tree, assignment rules and the numeric parameter texts.
#include "vars/vars.h"

#include "expand/expand.h"
#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <unistd.h>

static constinit char mail_name[] = "MAIL";
static constinit char home_name[] = "HOME";
static constinit char ifs_name[] = "IFS";
static constinit char ps1_name[] = "PS1";
static constinit char ps2_name[] = "PS2";
static constinit char path_name[] = "PATH";
static constinit char filematch_name[] = "FILEMATCH";

constinit NameEntry filematch_entry = {nullptr, nullptr, filematch_name, nullptr, nullptr, 0};
constinit NameEntry ifs_entry = {nullptr, nullptr, ifs_name, nullptr, nullptr, 0};
constinit NameEntry path_entry = {nullptr, nullptr, path_name, nullptr, nullptr, 0};
constinit NameEntry ps2_entry = {nullptr, nullptr, ps2_name, nullptr, nullptr, 0};
constinit NameEntry home_entry = {&filematch_entry, &ifs_entry, home_name, nullptr, nullptr, 0};
constinit NameEntry ps1_entry = {&path_entry, &ps2_entry, ps1_name, nullptr, nullptr, 0};
constinit NameEntry mail_entry = {&home_entry, &ps1_entry, mail_name, nullptr, nullptr, 0};

constinit char* status_string = nullptr;
constinit char* param_count_text = nullptr;
constinit char* shell_pid_text = nullptr;
constinit char* async_pid_string = nullptr;

bool is_identifier(const char* name)
{
    int first = static_cast<unsigned char>(*name);
    if (!(param_class(first) & PC_LETTER))
        return false;
    for (const char* p = name + 1; *p; p++)
        if (!(param_class(static_cast<unsigned char>(*p)) & PC_IDENT))
            return false;
    return true;
}

NameEntry* lookup_name(const char* name)
{
    if (!is_identifier(name))
        fail(name, "is not an identifier");
    NameEntry* e = &mail_entry;
    for (;;) {
        int order = compare_strings(name, e->name);
        if (order == 0)
            return e;
        NameEntry** link = order < 0 ? &e->lesser : &e->greater;
        if (!*link) {
            NameEntry* n = static_cast<NameEntry*>(heap_alloc(sizeof(NameEntry)));
            n->lesser = n->greater = nullptr;
            n->name = copy_string(name);
            n->value = n->env_value = nullptr;
            n->flags = 0;
            *link = n;
            return n;
        }
        e = *link;
    }
}

char* copy_string(const char* text)
{
    if (!text)
        return nullptr;
    int32_t n = string_size(text);
    char* copy = static_cast<char*>(heap_alloc(n));
    copy_into(text, copy);
    return copy;
}

void replace_string(char** slot, const char* text)
{
    char* copy = copy_string(text);
    char* old = *slot;
    *slot = copy;
    heap_free(old);
}

void set_number_string(char** slot, int32_t n)
{
    number_to_text(n);
    replace_string(slot, number_text);
}

void update_status_string()
{
    // Renewed after every command: the text is remade only when it changes.
    static constinit int32_t shown = 0;
    if (status_string && shown == exit_status)
        return;
    set_number_string(&status_string, exit_status);
    shown = exit_status;
}

static bool is_name(const NameEntry* e, const char* name)
{
    return compare_strings(e->name, name) == 0;
}

void check_restricted_name(const NameEntry* entry)
{
    if ((shell_flags & FLAG_RESTRICTED) && (entry == &path_entry || is_name(entry, "SHELL")))
        fail(entry->name, "restricted");
}

bool assign_word(char* word, uint32_t bits)
{
    char* p = word;
    if (!(param_class(static_cast<unsigned char>(*p)) & PC_LETTER))
        fail(word, "is not an identifier");
    while (param_class(static_cast<unsigned char>(*p)) & PC_IDENT)
        p++;
    if (*p != '=')
        fail(word, "is not an identifier");
    *p = 0;
    char* value = p + 1;
    bool result = true;
    if (compare_strings(word, "SHELL") == 0 && !(shell_flags & FLAG_RESTRICTED)
        && char_in_set('r', basename_of(value)))
        result = false;
    if ((shell_flags & FLAG_RESTRICTED) && (compare_strings(word, "PATH") == 0 || compare_strings(word, "SHELL") == 0))
        fail(word, "restricted");
    NameEntry* e = lookup_name(word);
    *p = '=';
    e->flags |= bits;
    if (bits & NAME_IMPORTED) {
        if (word[0] == 'I' && word[1] == 'F' && word[2] == 'S' && word[3] == '=') {
            uid_t real = getuid();
            if (real != geteuid() || real == 0)
                return result;
        }
        e->value = value;
        e->env_value = value;
        return result;
    }
    if (e->flags & NAME_READONLY)
        fail(e->name, "is read only");
    char* copy = copy_string(value);
    char* old = e->value;
    e->value = copy;
    heap_free(old);
    return result;
}

void set_value(NameEntry* entry, const char* text)
{
    if (entry->flags & NAME_READONLY)
        fail(entry->name, "is read only");
    check_restricted_name(entry);
    char* copy = copy_string(text);
    char* old = entry->value;
    entry->value = copy;
    heap_free(old);
}

void set_default(NameEntry* entry, const char* text)
{
    if (entry->value)
        return;
    if (entry->flags & NAME_READONLY)
        fail(entry->name, "is read only");
    entry->value = copy_string(text);
}

void apply_assignments(WordNode* list, uint32_t bits)
{
    for (WordNode* w = list; w; w = w->next) {
        char* text = expand_word(w->text);
        // A quoted character in the name part (a'b'=c) makes no identifier.
        bool quoted_name = false;
        for (char* p = text; *p && *p != '='; p++)
            if (*p & QUOTE_BIT)
                quoted_name = true;
        strip_marks(text);
        if (quoted_name)
            fail(text, "is not an identifier");
        assign_word(text, bits);
        if (shell_flags & FLAG_XTRACE) {
            put_string(text);
            if (w->next)
                put_blank();
            else
                put_newline();
        }
    }
}
