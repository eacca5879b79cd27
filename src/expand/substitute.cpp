// Parameter and command substitution: stored words to marked text.
#include "expand/expand.h"

#include "exec/exec.h"
#include "input/input.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <unistd.h>

constinit int dquote_mark = 0;
constinit int32_t quote_seen = 0;
constinit uint8_t last_word_quoted = 0;
constinit int32_t expand_depth = 0;

// Deepest nesting of substitutions inside substitutions.
static constexpr int32_t EXPAND_DEPTH_LIMIT = 1000;

static void enter_expansion()
{
    if (++expand_depth > EXPAND_DEPTH_LIMIT)
        fail("no space", nullptr);
}

void strip_marks(char* text)
{
    bool marked = false;
    if (text) {
        char* to = text;
        for (char* p = text; *p; p++) {
            if (*p & QUOTE_BIT) {
                marked = true;
                if (*p == EMPTY_QUOTED_WORD)
                    continue;
            }
            *to++ = static_cast<char>(*p & 0x7f);
        }
        *to = 0;
    }
    last_word_quoted = marked;
}

// Appends a value to the growing item, literal inside double quotes.
static void append_value(const char* value)
{
    for (; *value; value++)
        stack_push(static_cast<unsigned char>(*value) | dquote_mark);
}

// Appends the positional parameters for $* or $@.  Between parameters, $*
// puts a blank marked like the text around it, $@ always an unmarked one,
// so that "$@" splits into one field per parameter; an empty parameter in
// "$@" is an empty quoted word, so that it is not lost.
static void append_all_args(int which)
{
    for (int32_t i = 1; i <= arg_count; i++) {
        if (i > 1)
            stack_push(which == '*' ? (' ' | dquote_mark) : ' ');
        if (which == '@' && dquote_mark && !*arg_vector[i])
            stack_push(EMPTY_QUOTED_WORD);
        append_value(arg_vector[i]);
    }
}

// Appends a parameter's value: the joined parameters for * and @.
static void append_parameter(int all_args, const char* value)
{
    if (all_args)
        append_all_args(all_args);
    else
        append_value(value);
}

void skip_substitution(int end)
{
    enter_expansion();
    for (;;) {
        int c = read_char();
        if (c == 0)
            fail("bad substitution", nullptr);
        if (c == end)
            break;
        if (c == '"' || c == '`') {
            skip_substitution(c);
        } else if (c == '$') {
            if (read_char() == '{')
                skip_substitution('}');
        }
    }
    expand_depth--;
}

// The text of the word of a ${...} form, plain, in the heap; the item is
// left as it was.
static char* plain_copy_of_word(int32_t word_offset)
{
    int32_t length = stack_offset() - word_offset;
    char* copy = static_cast<char*>(heap_alloc(length + 1));
    const char* from = item_start + word_offset; // after the allocation: the item may have moved
    for (int32_t i = 0; i < length; i++)
        copy[i] = from[i];
    copy[length] = 0;
    strip_marks(copy);
    return copy;
}

// After an unquoted $: performs the substitution and returns true, or
// returns false when the $ is an ordinary character.
static bool substitute_parameter()
{
    int d = read_char();
    if (!(param_class(d) & PC_PARAM_START)) {
        unread_char(d);
        return false;
    }
    bool braced = d == '{';
    int p = braced ? read_char() : d;

    char single_name[2] = {0, 0}; // a nested substitution must not change it
    const char* name = single_name;
    const char* value = nullptr;
    NameEntry* variable = nullptr;
    int all_args = 0;
    if (param_class(p) & PC_LETTER) {
        int32_t name_offset = stack_offset();
        int c = p;
        while (param_class(c) & PC_IDENT) {
            stack_push(c);
            c = read_char();
        }
        unread_char(c);
        stack_push(0);
        variable = lookup_name(item_start + name_offset);
        stack_top = item_start + name_offset;
        name = variable->name;
        value = variable->value;
    } else {
        single_name[0] = static_cast<char>(p);
        single_name[1] = 0;
        if (param_class(p) & PC_DIGIT) {
            int n = p - '0';
            value = n == 0 ? dollar_zero : (n <= arg_count ? arg_vector[n] : nullptr);
        } else if (param_class(p) & PC_ALL_ARGS) {
            // Stands for the joined parameters: set when there are any,
            // empty only for one empty parameter.
            all_args = p;
            value = arg_count == 0 ? nullptr : arg_count == 1 ? arg_vector[1] : " ";
        } else if (param_class(p) & PC_SPECIAL) {
            switch (p) {
            case '#': value = param_count_text; break;
            case '?': value = status_string; break;
            case '$': value = shell_pid_text; break;
            case '!': value = async_pid_string; break;
            default: value = dash_text; break;
            }
        } else {
            fail("bad substitution", nullptr);
        }
    }

    int o = read_char();
    bool colon = false;
    if (braced && o == ':') {
        colon = true;
        o = read_char();
    }
    if (!braced) {
        unread_char(o);
        if (value) {
            append_parameter(all_args, value);
        } else if (shell_flags & FLAG_NOUNSET) {
            fail(name, "parameter not set");
        }
        return true;
    }
    if (!(param_class(o) & PC_OPERATOR))
        fail("bad substitution", nullptr);
    bool missing = !value || (colon && !*value);
    if (o == '}') {
        if (!missing) {
            append_parameter(all_args, value);
        } else if (shell_flags & FLAG_NOUNSET) {
            fail(name, "parameter not set");
        }
        return true;
    }

    bool needed = o == '+' ? !missing : missing;
    int32_t word_offset = stack_offset();
    if (needed) {
        enter_expansion();
        for (;;) {
            int c = next_expanded_char('}');
            if (c == '}')
                break;
            if (c == 0)
                fail("bad substitution", nullptr);
            stack_push(c | dquote_mark);
        }
        expand_depth--;
    } else {
        skip_substitution('}');
    }
    if (o == '+')
        return true;
    if (!missing) {
        append_parameter(all_args, value);
        return true;
    }
    if (o == '=') {
        if (!variable)
            fail("bad substitution", nullptr);
        char* text = plain_copy_of_word(word_offset);
        set_value(variable, text);
        heap_free(text);
    } else if (o == '?') {
        stack_push(0);
        char* message = item_start + word_offset;
        strip_marks(message);
        fail(name, *message ? message : "parameter null or not set");
    }
    return true;
}

// After an unquoted back quote: runs the command and appends its output,
// trailing newlines removed.
static void substitute_command()
{
    int32_t length;
    char* saved = stack_hold_item(&length);

    stack_begin();
    for (;;) {
        int c = read_char();
        if (c == 0 || c == '`')
            break;
        stack_push(c);
    }
    char* text = stack_end(stack_top);
    strip_marks(text);

    ReaderState reader;
    save_reader(&reader);
    InputSource source;
    push_input(&source);
    start_text_input(text);
    CommandNode* tree = parse_list(TOKEN_EOF, LIST_NEWLINE_SEP | LIST_EMPTY_OK);

    CommandNode* fork = new_fork_node(FORK_PIPE_OUT, tree);
    int pipe_fds[2];
    make_pipe(pipe_fds);
    release_descriptor(pipe_fds[0]); // the input source closes it
    start_file_input(pipe_fds[0]);
    execute_tree(fork, 0, nullptr, pipe_fds);
    close_descriptor(pipe_fds[1]);

    // The here-documents of the command stay until it has been waited for.
    DeferredTemp* before = defer_temps(saved);
    stack_resume_item(saved, length);

    for (;;) {
        int c = read_char();
        if (c == 0)
            break;
        stack_push(c | dquote_mark);
    }
    int32_t output_end = stack_offset();
    await_children(0, 0);
    remove_deferred_temps(before);
    // await may have allocated and moved the item; offsets still hold.
    stack_top = item_start + output_end;
    while (stack_top > item_start && (stack_top[-1] & 0x7f) == '\n')
        stack_top--;
    pop_input();
    restore_reader(&reader);
}

int next_expanded_char(int end)
{
    for (;;) {
        int c = read_char();
        if (c & QUOTE_BIT)
            return c;
        if (c != '$' && c != '"' && c != '`')
            return c;
        if (c == '$') {
            if (substitute_parameter())
                continue;
            return '$';
        }
        if (c == end)
            return c;
        if (c == '"') {
            quote_seen++;
            dquote_mark ^= QUOTE_BIT;
            continue;
        }
        substitute_command();
    }
}

// True when the word holds an unquoted $, double quote or back quote: only
// then has it anything to substitute.
static bool needs_substitution(const char* word)
{
    for (const char* p = word; *p; p++)
        if (lex_class(static_cast<unsigned char>(*p)) & CC_EXPAND)
            return true;
    return false;
}

char* expand_word(const char* word)
{
    if (!needs_substitution(word))
        return stack_copy(word);
    int32_t saved_quote_seen = quote_seen;
    int saved_dquote_mark = dquote_mark;
    InputSource source;
    push_input(&source);
    start_text_input(const_cast<char*>(word));
    stack_begin();
    dquote_mark = 0;
    quote_seen = 0;
    for (;;) {
        int c = next_expanded_char(0);
        if (!c)
            break;
        stack_push(c | dquote_mark);
    }
    pop_input();
    if (stack_top == item_start && quote_seen)
        stack_push(EMPTY_QUOTED_WORD);
    quote_seen = saved_quote_seen;
    dquote_mark = saved_dquote_mark;
    return stack_end(stack_top);
}

char* expand_word_plain(const char* word)
{
    char* text = expand_word(word);
    strip_marks(text);
    return text;
}
