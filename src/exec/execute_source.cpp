// Running a text or a file as one command list: eval, . and trap commands.
#include "exec/exec.h"

#include "input/input.h"
#include "parser/parser.h"
#include "signals/signals.h"

#include <fcntl.h>
#include <unistd.h>

constinit int32_t source_depth = 0;

// The lowest descriptor a sourced file is kept on, out of the way of the
// descriptors commands redirect.
static constexpr int SOURCE_FD_LOW = 20;

// Parses the whole of the current (just pushed) source, then runs it.
static void run_pushed_source()
{
    if (++source_depth > SOURCE_DEPTH_LIMIT)
        fail("no space", nullptr);
    ReaderState reader;
    save_reader(&reader);
    CommandNode* tree = parse_list('\n', LIST_NEWLINE_SEP | LIST_EMPTY_OK);
    restore_reader(&reader);
    execute_tree(tree, 0, nullptr, nullptr);
    pop_input();
    source_depth--;
}

void execute_source_text(char* text, char** words)
{
    InputSource source;
    push_input(&source);
    start_text_input(text);
    if (words && *words)
        source.strings = words;
    run_pushed_source();
}

void execute_source_fd(int fd)
{
    int high = fcntl(fd, F_DUPFD_CLOEXEC, SOURCE_FD_LOW);
    if (high >= 0) {
        close(fd);
        fd = high;
    }
    InputSource source;
    push_input(&source);
    start_file_input(fd);
    run_pushed_source();
}
