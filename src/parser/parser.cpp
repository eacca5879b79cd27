// The recursive-descent parser and its syntax error report.
//
// Recursion follows only true nesting (a compound command inside another);
// sequences (commands of a list, of a pipeline, redirections, case arms)
// are read in loops, so a long line costs no machine stack.
#include "parser/parser.h"

#include "output/output.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

constinit int32_t parse_depth = 0;

static CommandNode* parse_command(bool redirections_allowed);

template <typename T> static T* new_record(uint32_t type)
{
    T* n = static_cast<T*>(stack_alloc(sizeof(T)));
    *n = T{};
    n->type = type;
    return n;
}

static CommandNode* new_binary(NodeKind kind, CommandNode* left, CommandNode* right)
{
    BinaryNode* n = new_record<BinaryNode>(kind);
    n->left = left;
    n->right = right;
    return as_node(n);
}

bool token_matches(Token t, Token terminator)
{
    if (t == terminator)
        return true;
    return (t & TOKEN_RESERVED) && (terminator & TOKEN_RESERVED) && (t & terminator) == t;
}

// Reads a token that must be a word.
static WordNode* expect_word()
{
    if (read_token() != TOKEN_WORD)
        syntax_error();
    return last_word;
}

// Reads tokens with reserved words allowed, skipping newlines.
static void skip_newlines()
{
    for (;;) {
        reserved_ok = 1;
        if (read_token() != '\n')
            return;
        continuation_prompt('\n');
    }
}

// Redirections from the current token on, put in front of list.
static IoNode* parse_redirections(IoNode* list)
{
    IoNode* first = nullptr;
    IoNode** slot = &first;
    for (;;) {
        uint32_t d = static_cast<uint32_t>(redirect_fd);
        uint32_t bits = 0;
        switch (token) {
        case '>':
            if (d == 0)
                d = 1;
            bits = REDIR_OUTPUT;
            [[fallthrough]];
        case '<': {
            int c = read_char_escaped(0);
            if (c == '&')
                bits |= REDIR_DUP;
            else if (c != '>')
                unread_char(c);
            break;
        }
        case TOKEN_HEREDOC:
            bits = REDIR_HEREDOC | (heredoc_strips ? REDIR_STRIP_TABS : 0);
            break;
        case TOKEN_APPEND:
            if (d == 0)
                d = 1;
            bits = REDIR_OUTPUT | REDIR_APPEND;
            break;
        default:
            *slot = list;
            return first;
        }
        WordNode* word = expect_word();
        IoNode* node = static_cast<IoNode*>(stack_alloc(sizeof(IoNode)));
        node->flags = d | bits;
        node->file = word->text;
        node->next = nullptr;
        node->link = nullptr;
        if (bits & REDIR_HEREDOC) {
            node->link = pending_heredocs;
            pending_heredocs = node;
        }
        *slot = node;
        slot = &node->next;
        read_token();
    }
}

// A pipeline: commands joined by | or ^, nesting to the right.
static CommandNode* parse_pipeline(int flags)
{
    reserved_ok = 1;
    read_token();
    if (flags & LIST_NEWLINE_SEP) {
        while (token == '\n') {
            continuation_prompt('\n');
            reserved_ok = 1;
            read_token();
        }
    }
    CommandNode* command = parse_command(true);
    if (!command)
        return nullptr;
    CommandNode* result = nullptr;
    CommandNode** slot = &result;
    while (token == '|' || token == '^') {
        CommandNode* right = new_fork_node(FORK_FLAGS_PIPE_RIGHT, nullptr);
        *slot = new_binary(NODE_PIPE, new_fork_node(FORK_PIPE_OUT, command), right);
        slot = &node_as<ForkNode>(right)->child;
        skip_newlines();
        command = parse_command(true);
        if (!command)
            return result;
    }
    *slot = command;
    return result;
}

// Pipelines joined by && and ||, grouping to the left.
static CommandNode* parse_and_or(int flags)
{
    CommandNode* chain = parse_pipeline(flags);
    if (!chain)
        return nullptr;
    while (token == TOKEN_AND_AND || token == TOKEN_OR_OR) {
        NodeKind kind = token == TOKEN_AND_AND ? NODE_AND : NODE_OR;
        CommandNode* right = parse_pipeline(LIST_NEWLINE_SEP);
        if (!right)
            syntax_error();
        chain = new_binary(kind, chain, right);
    }
    return chain;
}

CommandNode* parse_list(Token terminator, int flags)
{
    if (++parse_depth > PARSE_DEPTH_LIMIT)
        fail("no space", nullptr);
    CommandNode* result = nullptr;
    CommandNode** slot = &result;
    CommandNode* pending = nullptr; // the last chain, followed by a separator
    bool empty_before_semicolon = false; // reported once the rest is read
    for (;;) {
        CommandNode* chain = parse_and_or(flags);
        Token t = token;
        if (t == '\n' && (flags & LIST_NEWLINE_SEP)) {
            continuation_prompt('\n');
            t = ';';
        } else if (t != '\n' && !chain && !(flags & LIST_EMPTY_OK)) {
            syntax_error();
        }
        if (pending && chain) {
            CommandNode* list = new_binary(NODE_LIST, pending, nullptr);
            *slot = list;
            slot = &node_as<BinaryNode>(list)->right;
            pending = nullptr;
        }
        if (t == '&' && !chain)
            syntax_error();
        if (t == ';' || t == '&') {
            // A ; with nothing before it is an error found after the rest
            // of the list, at the token that ends it.
            if (!chain)
                empty_before_semicolon = true;
            else
                pending = t == '&' ? new_fork_node(FORK_FLAGS_ASYNC, chain) : chain;
            flags |= LIST_EMPTY_OK;
            continue;
        }
        if (t == TOKEN_EOF) {
            if (terminator != 0 && terminator != '\n' && !token_matches(t, terminator))
                syntax_error();
        } else if (terminator != 0 && !token_matches(t, terminator)) {
            syntax_error();
        }
        if (empty_before_semicolon)
            syntax_error();
        *slot = pending ? pending : chain;
        parse_depth--;
        return result;
    }
}

// A list inside a compound command, which must end at terminator.
static CommandNode* compound_list(Token terminator)
{
    return parse_list(terminator, LIST_NEWLINE_SEP);
}

// The arms of a case, up to terminator.
static CaseArm* parse_case_arms(Token terminator)
{
    CaseArm* first = nullptr;
    CaseArm** slot = &first;
    for (;;) {
        skip_newlines();
        if (token == terminator)
            return first;
        CaseArm* arm = static_cast<CaseArm*>(stack_alloc(sizeof(CaseArm)));
        *arm = CaseArm{};
        *slot = arm;
        slot = &arm->next;
        for (;;) {
            if (token != TOKEN_WORD)
                syntax_error();
            WordNode* pattern = last_word;
            pattern->next = arm->patterns;
            arm->patterns = pattern;
            read_token();
            if (token == ')')
                break;
            if (token != '|')
                syntax_error();
            read_token();
        }
        arm->body = parse_list(0, LIST_NEWLINE_SEP | LIST_EMPTY_OK);
        if (token != TOKEN_SEMI_SEMI) {
            if (!token_matches(token, terminator))
                syntax_error();
            return first;
        }
    }
}

// The words after for ... in, as a simple command.
static SimpleNode* parse_for_words()
{
    CommandNode* words = parse_command(false);
    return node_as<SimpleNode>(words);
}

static CommandNode* parse_simple(IoNode* io, bool redirections_allowed)
{
    SimpleNode* n = new_record<SimpleNode>(NODE_SIMPLE);
    n->io = io;
    WordNode** args_tail = &n->args;
    bool collecting = true;
    while (token == TOKEN_WORD) {
        WordNode* w = last_word;
        if (word_is_assignment && collecting) {
            w->next = n->assigns;
            n->assigns = w;
        } else {
            *args_tail = w;
            args_tail = &w->next;
            collecting = (shell_flags & FLAG_KEYWORD) != 0;
        }
        read_token();
        if (redirections_allowed)
            n->io = parse_redirections(n->io);
    }
    return as_node(n);
}

static CommandNode* parse_command(bool redirections_allowed)
{
    IoNode* io = redirections_allowed ? parse_redirections(nullptr) : nullptr;
    CommandNode* compound;
    switch (token) {
    case '(': {
        ParenNode* p = new_record<ParenNode>(NODE_PAREN);
        p->body = compound_list(')');
        compound = new_fork_node(0, as_node(p));
        break;
    }
    case TOKEN_LBRACE:
        compound = compound_list(TOKEN_RBRACE);
        break;
    case TOKEN_WHILE:
    case TOKEN_UNTIL: {
        LoopNode* l = new_record<LoopNode>(token == TOKEN_WHILE ? NODE_WHILE : NODE_UNTIL);
        l->cond = compound_list(TOKEN_DO);
        l->body = compound_list(TOKEN_DONE);
        compound = as_node(l);
        break;
    }
    case TOKEN_FOR: {
        ForNode* f = new_record<ForNode>(NODE_FOR);
        f->name = expect_word()->text;
        skip_newlines();
        if (token == TOKEN_IN) {
            expect_word();
            f->words = parse_for_words();
            if (token != '\n' && token != ';')
                syntax_error();
            continuation_prompt(token);
            skip_newlines();
        } else if (token == ';') {
            skip_newlines(); // for i; do ... done loops over the parameters
        }
        if (!token_matches(token, TOKENS_DO_LBRACE))
            syntax_error();
        f->body = compound_list(token == TOKEN_DO ? TOKEN_DONE : TOKEN_RBRACE);
        compound = as_node(f);
        break;
    }
    case TOKEN_IF: {
        IfNode* i = new_record<IfNode>(NODE_IF);
        i->cond = compound_list(TOKEN_THEN);
        i->then_part = compound_list(TOKENS_ELSE_ELIF_FI);
        if (token == TOKEN_ELIF) {
            token = TOKEN_IF;
            i->else_part = parse_command(false);
            return as_node(i);
        }
        if (token == TOKEN_ELSE)
            i->else_part = compound_list(TOKEN_FI);
        compound = as_node(i);
        break;
    }
    case TOKEN_CASE: {
        CaseNode* c = new_record<CaseNode>(NODE_CASE);
        c->word = expect_word()->text;
        skip_newlines();
        if (!token_matches(token, TOKENS_IN_LBRACE))
            syntax_error();
        c->arms = parse_case_arms(token == TOKEN_IN ? TOKEN_ESAC : TOKEN_RBRACE);
        compound = as_node(c);
        break;
    }
    case TOKEN_WORD:
        return parse_simple(io, redirections_allowed);
    default:
        if (io)
            return parse_simple(io, redirections_allowed);
        return nullptr;
    }
    // The tail: redirections after the closing word wrap the compound in a
    // process of its own.
    reserved_ok = 1;
    read_token();
    io = parse_redirections(io);
    if (!io)
        return compound;
    ForkNode* f = node_as<ForkNode>(new_fork_node(0, compound));
    f->io = io;
    return as_node(f);
}

// The text of the current token for a message, quoting marks removed.
static void put_token_text()
{
    if (token == TOKEN_WORD) {
        for (const char* p = last_word->text; *p; p++)
            if (*p & 0x7f)
                put_char(*p & 0x7f);
    } else if (token & TOKEN_RESERVED && token < TOKEN_EOF) {
        put_string(reserved_word_name(token));
    } else if (token == TOKEN_EOF) {
        put_string("end of file");
    } else if (token & TOKEN_DOUBLED) {
        put_char(token & 0x7f);
        put_char(token & 0x7f);
    } else if (token == '\n') {
        put_string("newline or ;");
    } else {
        put_char(token);
    }
}

void syntax_error()
{
    put_prefix();
    put_string("syntax error");
    if (!(shell_flags & FLAG_RECOVER)) {
        put_string(" at line ");
        long_to_text(static_cast<uint64_t>(token_line));
        put_string(number_text);
    }
    put_string(": `");
    put_token_text();
    put_string("' unexpected");
    put_newline();
    exit_shell(2);
}
