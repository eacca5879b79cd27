// Redirections, and the descriptor operations the rest of the shell uses.
#include "exec/exec.h"

#include "expand/expand.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void move_descriptor(int from, int to)
{
    if (from == to)
        return;
    dup2(from, to);
    close(from);
    if (to == 0)
        stdin_redirected = 1;
}

int open_for_input(const char* path)
{
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        fail(path, "cannot open");
    return fd;
}

int create_for_output(const char* path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        fail(path, "cannot create");
    return fd;
}

// With a standard descriptor closed, a pipe end may land on it, where the
// move of the other end onto 0 or 1 would close it: such an end moves up.
static int above_standard(int fd)
{
    if (fd > 2)
        return fd;
    int moved = fcntl(fd, F_DUPFD, 3);
    if (moved < 0)
        return fd;
    close(fd);
    return moved;
}

void make_pipe(int* pair)
{
    if (pipe(pair) != 0 || pair[0] < 0 || pair[1] < 0)
        fail("cannot make pipe", nullptr);
    pair[0] = above_standard(pair[0]);
    pair[1] = above_standard(pair[1]);
    hold_descriptor(pair[0]);
    hold_descriptor(pair[1]);
}

int open_script(const char* path)
{
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens a substituted copy of the captured body at path.
static int open_here_document(const char* path)
{
    int in = open_for_input(path);
    hold_descriptor(in);
    int out = create_temp_file();
    hold_descriptor(out);
    char* name = stack_copy(temp_name);
    // Until it is reopened, the copy is removed by the failure path too.
    DeferredTemp* before = deferred_temps;
    defer_temp(name);
    release_descriptor(in); // the expansion's input source closes it
    expand_here_document(in, out, name);
    close_descriptor(out);
    int fd = open_for_input(name);
    unlink(name);
    forget_deferred_temps(before);
    return fd;
}

void apply_redirections(IoNode* list)
{
    for (IoNode* io = list; io; io = io->next) {
        char* word = expand_word(io->file);
        strip_marks(word);
        if (!*word || (shell_flags & FLAG_NOEXEC))
            continue;
        int target = static_cast<int>(io->flags & REDIR_FD_MASK);
        if (io->flags & REDIR_HEREDOC) {
            move_descriptor(open_here_document(word), target);
        } else if (io->flags & REDIR_DUP) {
            if (word[0] == '-' && word[1] == 0) {
                close(target);
                continue;
            }
            int32_t n = text_to_number(word);
            if (n >= 10)
                fail(word, "bad file number");
            int copy = dup(n);
            if (copy >= 0)
                move_descriptor(copy, target);
        } else if (io->flags & REDIR_OUTPUT) {
            if (shell_flags & FLAG_RESTRICTED)
                fail(word, "restricted");
            if (io->flags & REDIR_APPEND) {
                int fd = open(word, O_WRONLY | O_APPEND);
                if (fd >= 0) {
                    move_descriptor(fd, target);
                    continue;
                }
            }
            move_descriptor(create_for_output(word), target);
        } else {
            move_descriptor(open_for_input(word), target);
        }
    }
}
