// Fuzz target: arbitrary bytes through the word reader and the parser, one
// command line at a time as the command loop reads them.  Nothing is run:
// -n keeps the executor (reached only by command substitutions in
// here-document delimiters) from running anything.
#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

static int open_descriptors()
{
    int n = 0;
    for (int fd = 0; fd < 256; fd++)
        if (fcntl(fd, F_GETFD) != -1)
            n++;
    return n;
}

static void parse_all(std::vector<char>& text)
{
    InputSource source;
    push_input(&source);
    start_text_input(text.data());
    if (sigsetjmp(error_return, 1)) {
        // A syntax error or "no space": recovery has popped the source.
        return;
    }
    for (;;) {
        stack_tidy(nullptr);
        int c = read_char();
        if (c)
            unread_char(c);
        if (current_input->eof_count)
            break;
        parse_list('\n', LIST_EMPTY_OK);
    }
    pop_input();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = false;
    if (!ready) {
        storage_init();
        reset_temp_names();
        static char name[] = "fuzz";
        dollar_zero = name;
        output_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        ready = true;
    }
    int descriptors = open_descriptors();
    std::vector<char> text(data, data + size);
    text.push_back(0);
    // The first byte chooses between a script's and an interactive shell's
    // reading of comments.
    shell_flags = FLAG_RECOVER | FLAG_NOEXEC | (size && (data[0] & 1) ? FLAG_PROMPT : 0);
    parse_all(text);
    pushback_char = 0;
    pending_heredocs = nullptr;
    stack_tidy(nullptr);
    if (open_descriptors() != descriptors) {
        fprintf(stderr, "descriptors leaked: %d open, %d expected\n", open_descriptors(), descriptors);
        abort();
    }
    return 0;
}
