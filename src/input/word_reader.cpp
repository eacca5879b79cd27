// The word reader: characters to tokens, with quoting, descriptor digits, assignments and comments.
#include "input/input.h"

#include "expand/expand.h"
#include "parser/parser.h"
#include "startup/startup.h"
#include "storage/storage.h"

constinit Token token = 0;
constinit uint8_t reserved_ok = 0;
constinit WordNode* last_word = nullptr;
constinit int32_t word_is_assignment = 0;
constinit int32_t redirect_fd = 0;
constinit IoNode* pending_heredocs = nullptr;
constinit int32_t strip_tabs_count = 0;
constinit uint8_t heredoc_strips = 0;
constinit int64_t token_line = 0;

void save_reader(ReaderState* state)
{
    *state = {token, reserved_ok, last_word, word_is_assignment, redirect_fd, pending_heredocs,
              heredoc_strips, token_line, pushback_char};
    pending_heredocs = nullptr;
    pushback_char = 0;
}

void restore_reader(const ReaderState* state)
{
    token = state->token;
    reserved_ok = state->reserved_ok;
    last_word = state->last_word;
    word_is_assignment = state->word_is_assignment;
    redirect_fd = state->redirect_fd;
    pending_heredocs = state->pending_heredocs;
    heredoc_strips = state->heredoc_strips;
    token_line = state->token_line;
    pushback_char = state->pushback_char;
}

int32_t find_in_table(const char* text, const NameCode* table)
{
    for (; table->name; table++)
        if (table->name[0] == text[0] && compare_strings(table->name, text) == 0)
            return table->code;
    return 0;
}

const char* reserved_word_name(Token code)
{
    for (const NameCode* r = reserved_words; r->name; r++)
        if (r->code == code)
            return r->name;
    return "";
}

// A character inside a word or after an operator: a backslash-newline pair
// vanishes, a backslash quotes the character after it.
static int next_word_char()
{
    return read_char_escaped(0);
}

// Copies a double-quoted or back-quoted section after its opening quote q,
// up to the same quote or the end of input.
static void copy_quoted_section(int q)
{
    for (;;) {
        int d = read_char();
        if (d == 0)
            return;
        if (d == q) {
            stack_push(d);
            return;
        }
        if (d == '\\') {
            int e = read_char();
            if (e == '\n') {
                continuation_prompt(e);
                continue;
            }
            if (e == '$' || e == '\\' || e == '`' || (q == '"' && e == '"')) {
                continuation_prompt(e);
                stack_push(e | QUOTE_BIT);
                continue;
            }
            stack_push('\\');
            unread_char(e);
            continue;
        }
        continuation_prompt(d);
        stack_push(d);
    }
}

// True when # at this point starts a comment: everywhere but at an
// interactive prompt.
static bool comment_starts()
{
    if (!(shell_flags & FLAG_PROMPT))
        return true;
    return (shell_flags & FLAG_RECOVER) && current_input->outer;
}

Token read_token()
{
    char* start = stack_begin();
    arena_room(start + sizeof(WordNode));
    stack_top = start + offsetof(WordNode, text);
    redirect_fd = 0;
    word_is_assignment = 0;

    int c;
    do
        c = next_word_char();
    while (lex_class(c) & CC_BLANK);
    token_line = current_input->line;
    if (c == '#' && comment_starts()) {
        do
            c = read_char();
        while (c != '\n' && c != 0);
        token_line = current_input->line;
    }

    Token result;
    if ((c & QUOTE_BIT) || !(lex_class(c) & CC_BREAK)) {
        bool candidate = true;
        for (;;) {
            if (c == '\'') {
                stack_push('"');
                for (;;) {
                    int d = read_char();
                    if (d == '\'' || d == 0)
                        break;
                    continuation_prompt(d);
                    stack_push(d | QUOTE_BIT);
                }
                stack_push('"');
            } else {
                stack_push(c);
                if (c == '=' && candidate)
                    word_is_assignment = 1;
                if ((c & QUOTE_BIT) || !(param_class(c) & PC_IDENT))
                    candidate = false;
                if (!(c & QUOTE_BIT) && (lex_class(c) & CC_QUOTE))
                    copy_quoted_section(c);
            }
            c = next_word_char();
            if (!(c & QUOTE_BIT) && (lex_class(c) & CC_BREAK))
                break;
        }
        WordNode* word = reinterpret_cast<WordNode*>(stack_end(stack_top));
        word->next = nullptr;
        int first = static_cast<unsigned char>(word->text[0]);
        if (!(param_class(first) & PC_LETTER))
            word_is_assignment = 0;
        unread_char(c);
        int32_t code;
        if (is_digit(first) && word->text[1] == 0 && (c == '<' || c == '>')) {
            result = read_token();
            redirect_fd = first - '0';
        } else if (reserved_ok && (code = find_in_table(word->text, reserved_words)) != 0) {
            result = code;
        } else {
            last_word = word;
            result = TOKEN_WORD;
        }
    } else if (lex_class(c) & CC_DOUBLE_OP) {
        stack_top = item_start; // an operator leaves no item behind
        int d = next_word_char();
        if (d == c) {
            result = c + TOKEN_DOUBLED;
            if (c == '<') {
                int e = next_word_char();
                heredoc_strips = e == '-';
                if (heredoc_strips)
                    strip_tabs_count++;
                else
                    unread_char(e);
            }
        } else {
            unread_char(d);
            result = c;
        }
    } else {
        stack_top = item_start;
        result = c ? c : TOKEN_EOF;
        if ((c == '\n' || c == 0) && pending_heredocs) {
            IoNode* pending = pending_heredocs;
            pending_heredocs = nullptr;
            capture_here_documents(pending);
        }
    }
    reserved_ok = 0;
    token = result;
    return result;
}
