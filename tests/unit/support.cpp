// Support for the unit tests: arena set-up, the armed failure path, captured
// diagnostics and the tree printer.
#include "support.h"

#include "input/input.h"
#include "output/output.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <sys/mman.h>
#include <unistd.h>

InitialArena initial_arena;

// The arena is made once, before any test, and its first state kept.
static const bool arena_ready = [] {
    storage_init();
    initial_arena = {heap_first, link_of(heap_first), heap_top, heap_rover,
                     stack_base, item_start, stack_top, frozen_stacks};
    return true;
}();

bool run_armed(void (*fn)(void*), void* arg)
{
    const bool had_recover = (shell_flags & FLAG_RECOVER) != 0;
    shell_flags = (shell_flags | FLAG_RECOVER) & ~(FLAG_ERREXIT | FLAG_CHILD);
    if (sigsetjmp(error_return, 1)) {
        if (!had_recover)
            shell_flags &= ~FLAG_RECOVER;
        pushback_char = 0;
        pending_heredocs = nullptr;
        return true;
    }
    fn(arg);
    if (!had_recover)
        shell_flags &= ~FLAG_RECOVER;
    return false;
}

Outcome guarded_call(void (*fn)(void*), void* arg)
{
    int capture = memfd_create("olm-unit-output", 0);
    int saved_fd = output_fd;
    output_fd = capture;
    Outcome result;
    result.failed = run_armed(fn, arg);
    result.status = exit_status;
    output_fd = saved_fd;
    lseek(capture, 0, SEEK_SET);
    char buffer[512];
    ssize_t n;
    while ((n = read(capture, buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<size_t>(n));
    close(capture);
    return result;
}

void ShellTest::SetUp()
{
    stack_tidy(nullptr);
    shell_flags = 0;
    pushback_char = 0;
    pending_heredocs = nullptr;
    parse_depth = 0;
}

void ShellTest::TearDown()
{
    stack_tidy(nullptr);
    shell_flags = 0;
    pushback_char = 0;
    pending_heredocs = nullptr;
}

// ---- parsing ----

namespace {
struct ParseJob {
    char* text;
    bool outermost;
    CommandNode* tree;
    InputSource source;
};
} // namespace

static void parse_job(void* p)
{
    ParseJob* job = static_cast<ParseJob*>(p);
    if (!job->outermost)
        push_input(&job->source);
    start_text_input(job->text);
    job->tree = parse_list('\n', LIST_EMPTY_OK);
    if (!job->outermost)
        pop_input();
}

std::string parse_line(const std::string& text, bool outermost)
{
    std::string buffer = text;
    ParseJob job{};
    job.text = buffer.data();
    job.outermost = outermost;
    Outcome o = guarded_call(parse_job, &job);
    if (outermost)
        start_text_input(nullptr); // the text is about to go away
    std::string printed;
    if (o.failed) {
        printed = "error: " + o.output;
        if (!printed.empty() && printed.back() == '\n')
            printed.pop_back();
    } else {
        printed = print_tree(job.tree);
    }
    pushback_char = 0;
    pending_heredocs = nullptr;
    stack_tidy(nullptr);
    return printed;
}

// ---- printing ----

static std::string word_text(const char* w)
{
    std::string out;
    for (const char* p = w; *p; p++) {
        unsigned char b = static_cast<unsigned char>(*p);
        if (b & QUOTE_BIT) {
            out += '\\';
            out += static_cast<char>(b & 0x7f);
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

static std::string words_text(const WordNode* w, const char* separator)
{
    std::string out;
    for (; w; w = w->next) {
        if (!out.empty())
            out += separator;
        out += word_text(w->text);
    }
    return out;
}

static std::string io_text(const IoNode* io)
{
    std::string out;
    for (; io; io = io->next) {
        if (!out.empty())
            out += ' ';
        uint32_t f = io->flags;
        out += std::to_string(f & REDIR_FD_MASK);
        uint32_t kind = f & (REDIR_HEREDOC | REDIR_OUTPUT | REDIR_APPEND | REDIR_DUP);
        if (kind == REDIR_HEREDOC)
            out += (f & REDIR_STRIP_TABS) ? "<<-" : "<<";
        else if (kind == (REDIR_OUTPUT | REDIR_APPEND))
            out += ">>";
        else if (kind == (REDIR_OUTPUT | REDIR_DUP))
            out += ">&";
        else if (kind == REDIR_OUTPUT)
            out += ">";
        else if (kind == REDIR_DUP)
            out += "<&";
        else if (kind == 0)
            out += "<";
        else
            out += "?" + std::to_string(f) + "?";
        out += word_text(io->file);
    }
    return out;
}

static std::string simple_text(const SimpleNode* s, bool with_io)
{
    std::string out;
    auto add = [&out](const std::string& part) {
        if (part.empty())
            return;
        if (!out.empty())
            out += ' ';
        out += part;
    };
    if (s->assigns)
        add("{" + words_text(s->assigns, " ") + "}");
    add(words_text(s->args, " "));
    if (with_io)
        add(io_text(s->io));
    else if (s->io)
        add("?io");
    return out.empty() ? "S()" : out;
}

static std::string hex(uint32_t v)
{
    char text[16];
    snprintf(text, sizeof text, "%x", v);
    return text;
}

std::string print_tree(const CommandNode* node)
{
    if (!node)
        return "-";
    CommandNode* n = const_cast<CommandNode*>(node);
    NodeKind kind = kind_of(n);
    std::string odd;
    if (kind != NODE_FORK && (n->type & ~NODE_KIND_MASK))
        odd = "?type=" + hex(n->type);
    auto two = [&](const char* name) {
        BinaryNode* b = node_as<BinaryNode>(n);
        return std::string(name) + odd + "(" + print_tree(b->left) + "," + print_tree(b->right) + ")";
    };
    switch (kind) {
    case NODE_SIMPLE:
        return simple_text(node_as<SimpleNode>(n), true) + odd;
    case NODE_PAREN:
        return "PAREN" + odd + "(" + print_tree(node_as<ParenNode>(n)->body) + ")";
    case NODE_PIPE:
        return two("PIPE");
    case NODE_LIST:
        return two("LIST");
    case NODE_AND:
        return two("AND");
    case NODE_OR:
        return two("OR");
    case NODE_IF: {
        IfNode* i = node_as<IfNode>(n);
        return "IF" + odd + "(" + print_tree(i->cond) + "," + print_tree(i->then_part) + ","
            + print_tree(i->else_part) + ")";
    }
    case NODE_WHILE:
    case NODE_UNTIL: {
        LoopNode* l = node_as<LoopNode>(n);
        return std::string(kind == NODE_WHILE ? "WHILE" : "UNTIL") + odd + "(" + print_tree(l->cond) + ","
            + print_tree(l->body) + ")";
    }
    case NODE_CASE: {
        CaseNode* c = node_as<CaseNode>(n);
        std::string out = "CASE" + odd + "(" + word_text(c->word);
        for (CaseArm* a = c->arms; a; a = a->next)
            out += ";" + words_text(a->patterns, "|") + ":" + print_tree(a->body);
        return out + ")";
    }
    case NODE_FORK: {
        ForkNode* f = node_as<ForkNode>(n);
        std::string out = "FORK" + hex(f->type & ~NODE_KIND_MASK);
        if (f->io)
            out += "[" + io_text(f->io) + "]";
        return out + "(" + print_tree(f->child) + ")";
    }
    case NODE_FOR: {
        ForNode* f = node_as<ForNode>(n);
        std::string words = f->words ? simple_text(f->words, false) : "-";
        return "FOR" + odd + "(" + word_text(f->name) + ";" + words + ";" + print_tree(f->body) + ")";
    }
    default:
        return "KIND" + std::to_string(kind) + "?";
    }
}
