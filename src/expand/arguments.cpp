// Argument vectors: expansion, field splitting at IFS, file names, and the sort of each field's names.
#include "expand/expand.h"

#include "parser/parser.h"
#include "signals/signals.h"
#include "storage/storage.h"
#include "vars/vars.h"

constinit uintptr_t arg_list = 0;

void push_argument(ArgItem* item)
{
    item->link = arg_list;
    arg_list = reinterpret_cast<uintptr_t>(item);
}

// An unmarked character that is one of the bytes of IFS; an unset IFS
// splits nothing.
static inline bool is_ifs(int c, const char* ifs)
{
    return !(c & QUOTE_BIT) && ifs && char_in_set(c, ifs);
}

int32_t build_arguments(SimpleNode* node)
{
    if (!node)
        return 0;
    int32_t total = 0;
    for (WordNode* w = node->args; w; w = w->next) {
        const char* s = expand_word(w->text);
        const char* ifs = ifs_entry.value;
        for (;;) {
            interrupt_check();
            char* start = stack_begin();
            arena_room(start + sizeof(ArgItem));
            stack_top = start + offsetof(ArgItem, text);
            int c = static_cast<unsigned char>(*s);
            bool copied = false;
            while (c && !is_ifs(c, ifs)) {
                stack_push(c);
                copied = true;
                c = static_cast<unsigned char>(*++s);
            }
            if (c)
                s++;
            if (!copied) {
                stack_top = item_start;
                if (c)
                    continue;
                break;
            }
            ArgItem* item = reinterpret_cast<ArgItem*>(stack_end(stack_top));
            int32_t n = expand_file_names(item->text, false);
            if (n == 0) {
                push_argument(item);
                n = 1;
            }
            arg_list |= GROUP_END;
            total += n;
            if (!c)
                break;
        }
    }
    return total;
}

// Sorts v[0] to v[k-1] with the Shell sort whose gaps are one less than a
// power of two.
static void sort_group(char** v, int32_t k)
{
    int32_t p = 1;
    while (p <= k)
        p *= 2;
    for (int32_t g = p - 1; g > 0; g /= 2) {
        for (int32_t j = 0; j <= k - g - 1; j++) {
            for (int32_t i = j; i >= 0; i -= g) {
                if (compare_strings(v[i + g], v[i]) > 0)
                    break;
                char* t = v[i];
                v[i] = v[i + g];
                v[i + g] = t;
            }
        }
    }
}

char** make_argv(int32_t n)
{
    char** v = static_cast<char**>(stack_alloc((n + 1) * static_cast<int32_t>(sizeof(char*))));
    v[n] = nullptr;
    int32_t slot = n - 1;
    int32_t group_top = n;
    ArgItem* item = reinterpret_cast<ArgItem*>(arg_list & ~GROUP_END);
    while (item && slot >= 0) {
        v[slot] = item->text;
        uintptr_t link = item->link;
        bool complete = true;
        if (link) {
            strip_marks(item->text);
            complete = (link & GROUP_END) != 0;
        }
        if (complete) {
            if (group_top - slot >= 2)
                sort_group(v + slot, group_top - slot);
            group_top = slot;
        }
        slot--;
        item = reinterpret_cast<ArgItem*>(link & ~GROUP_END);
    }
    return v + slot + 1;
}
