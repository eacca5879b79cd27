// Here-documents: bodies captured into temporary files at the end of the line, expanded when applied.
#include "expand/expand.h"

#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Names tried before giving up when every one is taken.
static constexpr int TEMP_NAME_ATTEMPTS = 1000;

int create_temp_file()
{
    // Exclusive creation never writes into a file another process made and
    // never follows a link planted at the name; a taken name moves on.
    for (int attempt = 0;; attempt++) {
        number_to_text(static_cast<int32_t>(temp_count & 0x7fffffff));
        copy_into(number_text, temp_name_end);
        temp_count++;
        int fd = open(temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST || attempt == TEMP_NAME_ATTEMPTS)
            fail(temp_name, "cannot create");
    }
}

// Writes n bytes to a here-document file; "cannot create" for the file
// when they do not all go (a full disk, the file-size limit).
static void write_body(int fd, const char* text, int32_t n, const char* name)
{
    while (n > 0) {
        ssize_t written = write(fd, text, static_cast<size_t>(n));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(name, "cannot create");
        text += written;
        n -= static_cast<int32_t>(written);
    }
}

// Writes the item's text to fd and empties the item.
static void flush_item(int fd, const char* start, const char* name)
{
    write_body(fd, start, static_cast<int32_t>(stack_top - start), name);
    stack_top = item_start;
}

static constexpr int32_t CAPTURE_FLUSH = 4096;

// Reads one body into fd, up to the delimiter line or the end of input.
static void capture_body(int fd, const char* delimiter, bool quoted, bool strip_tabs, const char* name)
{
    // An empty delimiter still lets \$, \\ and \` quote.
    int escape_also = delimiter[0] ? static_cast<unsigned char>(delimiter[0]) : '$';
    stack_begin();
    for (;;) {
        continuation_prompt('\n');
        int32_t line_offset = stack_offset();
        bool line_start = true;
        for (;;) {
            int c = quoted ? read_char() : read_char_escaped(escape_also);
            if (line_start && strip_tabs && c == '\t')
                continue;
            line_start = false;
            if (c == '\n' || c == 0)
                break;
            stack_push(c);
        }
        stack_push(0);
        const char* line = item_start + line_offset;
        if (current_input->eof_count || compare_strings(line, delimiter) == 0) {
            stack_top = item_start + line_offset;
            break;
        }
        stack_top[-1] = '\n';
        if (stack_offset() >= CAPTURE_FLUSH)
            flush_item(fd, item_start, name);
    }
    flush_item(fd, item_start, name);
}

void capture_here_documents(IoNode* pending)
{
    // The list is newest first; bodies are read oldest first.
    IoNode* oldest = nullptr;
    while (pending) {
        IoNode* next = pending->link;
        pending->link = oldest;
        oldest = pending;
        pending = next;
    }
    while (oldest) {
        IoNode* node = oldest;
        oldest = node->link;
        char* delimiter = expand_word_plain(node->file);
        bool quoted = last_word_quoted;
        if (quoted)
            node->flags &= ~REDIR_HEREDOC;
        bool strip_tabs = (node->flags & REDIR_STRIP_TABS) != 0;
        if (strip_tabs) {
            while (*delimiter == '\t')
                delimiter++;
            if (strip_tabs_count > 0)
                strip_tabs_count--;
        }
        int fd = create_temp_file();
        hold_descriptor(fd);
        node->file = stack_copy(temp_name);
        node->flags |= REDIR_CAPTURED;
        node->link = temp_files;
        temp_files = node;
        capture_body(fd, delimiter, quoted, strip_tabs, node->file);
        close_descriptor(fd);
    }
}

static constexpr int32_t EXPAND_FLUSH = 4096;

// Writes the expanded text of the item to out (and to the diagnostic output
// under -x), its quoting marks removed, and empties the item.
static void flush_expanded(int out, const char* name)
{
    stack_push(0);
    strip_marks(item_start);
    int32_t n = string_size(item_start) - 1;
    write_body(out, item_start, n, name);
    if (shell_flags & FLAG_XTRACE)
        put_bytes(output_fd, item_start, n);
    stack_top = item_start;
}

void expand_here_document(int in, int out, const char* name)
{
    int saved_dquote_mark = dquote_mark;
    int32_t saved_quote_seen = quote_seen;
    dquote_mark = 0;
    InputSource source;
    push_input(&source);
    start_file_input(in);
    stack_begin();
    for (;;) {
        int c = next_expanded_char('"') & 0x7f;
        if (!c)
            break;
        stack_push(c);
        if (stack_offset() >= EXPAND_FLUSH)
            flush_expanded(out, name);
    }
    flush_expanded(out, name);
    pop_input();
    dquote_mark = saved_dquote_mark;
    quote_seen = saved_quote_seen;
}

// Records the captured here-documents inside tree, for hand_on_here_documents.
static void collect_here_documents(CommandNode* tree, HandedTemp** list)
{
    for (; tree;) {
        IoNode* io = nullptr;
        switch (kind_of(tree)) {
        case NODE_SIMPLE:
            io = node_as<SimpleNode>(tree)->io;
            tree = nullptr;
            break;
        case NODE_FORK:
            io = node_as<ForkNode>(tree)->io;
            tree = node_as<ForkNode>(tree)->child;
            break;
        case NODE_PAREN:
            tree = node_as<ParenNode>(tree)->body;
            break;
        case NODE_PIPE:
        case NODE_LIST:
        case NODE_AND:
        case NODE_OR:
            collect_here_documents(node_as<BinaryNode>(tree)->left, list);
            tree = node_as<BinaryNode>(tree)->right;
            break;
        case NODE_IF:
            collect_here_documents(node_as<IfNode>(tree)->cond, list);
            collect_here_documents(node_as<IfNode>(tree)->then_part, list);
            tree = node_as<IfNode>(tree)->else_part;
            break;
        case NODE_WHILE:
        case NODE_UNTIL:
            collect_here_documents(node_as<LoopNode>(tree)->cond, list);
            tree = node_as<LoopNode>(tree)->body;
            break;
        case NODE_CASE:
            for (CaseArm* a = node_as<CaseNode>(tree)->arms; a; a = a->next)
                collect_here_documents(a->body, list);
            tree = nullptr;
            break;
        case NODE_FOR:
            tree = node_as<ForNode>(tree)->body;
            break;
        default:
            tree = nullptr;
            break;
        }
        for (; io; io = io->next) {
            if (!(io->flags & REDIR_CAPTURED))
                continue;
            HandedTemp* h = static_cast<HandedTemp*>(stack_alloc(sizeof(HandedTemp)));
            h->node = io;
            h->name = nullptr;
            h->next = *list;
            *list = h;
        }
    }
}

// Gives name a second name of this process's own: a link, or a copy where
// links cannot be made.  Null when neither can be had.
static char* second_name(const char* name)
{
    for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS; attempt++) {
        number_to_text(static_cast<int32_t>(temp_count & 0x7fffffff));
        copy_into(number_text, temp_name_end);
        temp_count++;
        if (link(name, temp_name) == 0)
            return stack_copy(temp_name);
        if (errno != EEXIST)
            break;
    }
    int in = open(name, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return nullptr;
    hold_descriptor(in);
    int out = create_temp_file();
    char buffer[4096];
    ssize_t n;
    while ((n = read(in, buffer, sizeof buffer)) > 0)
        write_body(out, buffer, static_cast<int32_t>(n), temp_name);
    close_descriptor(in);
    close(out);
    return stack_copy(temp_name);
}

HandedTemp* hand_on_here_documents(CommandNode* tree)
{
    if (!temp_files)
        return nullptr;
    HandedTemp* list = nullptr;
    collect_here_documents(tree, &list);
    for (HandedTemp* h = list; h; h = h->next) {
        h->name = second_name(h->node->file);
        if (h->name)
            defer_temp(h->name);
    }
    return list;
}

void release_applied_here_documents(IoNode* io)
{
    for (; io && temp_files; io = io->next) {
        if (!(io->flags & REDIR_CAPTURED))
            continue;
        for (IoNode** p = &temp_files; *p; p = &(*p)->link) {
            if (*p == io) {
                unlink(io->file);
                *p = io->link;
                break;
            }
        }
    }
}

void take_handed_here_documents(HandedTemp* list)
{
    for (HandedTemp* h = list; h; h = h->next) {
        if (!h->name)
            continue;
        h->node->file = h->name;
        h->node->link = temp_files;
        temp_files = h->node;
    }
}
