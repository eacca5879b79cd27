// The command loop: prompts, the mail notice, the recovery point, and one command line per cycle.
#include "startup/startup.h"

#include "exec/exec.h"
#include "input/input.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int move_out_of_the_way(int fd, int place)
{
    // Under a low descriptor limit the place may not exist: then any
    // descriptor above the standard three will do, or the one it is on.
    int moved = dup2(fd, place);
    if (moved < 0)
        moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        return fd;
    }
    close(fd);
    fcntl(moved, F_SETFD, FD_CLOEXEC);
    return moved;
}

// Shows "you have mail" when the mail file changed since the last prompt
// and is not empty; never at the first prompt of a run of the loop.
static void check_mail(int64_t* mail_time)
{
    if (!mail_entry.value)
        return;
    struct stat st;
    if (stat(mail_entry.value, &st) != 0) {
        if (*mail_time == 0)
            *mail_time = 1;
        return;
    }
    int64_t modified = static_cast<int64_t>(st.st_mtime);
    if (st.st_size != 0 && *mail_time != 0 && modified != *mail_time)
        put_string("you have mail\n");
    *mail_time = modified;
}

void continuation_prompt(int c)
{
    if (c == '\n' && (shell_flags & FLAG_PROMPT) && !current_input->outer)
        put_plain(ps2_entry.value);
}

void run_command_loop(ShellFlags mode)
{
    InputSource* in = current_input;
    if (in->fd > 0 && in->fd != INPUT_FD)
        in->fd = move_out_of_the_way(in->fd, INPUT_FD);
    if (output_fd == 2) {
        int copy = dup(2);
        if (copy >= 0)
            output_fd = move_out_of_the_way(copy, DIAGNOSTIC_FD);
    }
    bool interactive = (shell_flags & FLAG_INTERACTIVE)
        || (!(shell_flags & FLAG_ONECMD) && isatty(output_fd) && isatty(in->fd));
    if (interactive) {
        set_default(&ps1_entry, geteuid() ? "$ " : "# ");
        set_default(&ps2_entry, "> ");
        shell_flags |= FLAG_PROMPT | FLAG_RECOVER;
        ignore_signal(SIGTERM);
    } else {
        shell_flags |= mode;
        shell_flags &= ~FLAG_PROMPT;
    }

    if (sigsetjmp(error_return, 1)) {
        if (mode) {
            if (current_input->fd >= 0)
                close(current_input->fd);
            current_input->fd = -1;
            return;
        }
    }
    pushback_char = 0;
    break_count = 0;
    loop_depth = 0;
    pending_heredocs = nullptr;
    strip_tabs_count = 0;
    if (current_input->fd >= 0)
        start_file_input(current_input->fd);
    int64_t mail_time = 0;

    for (;;) {
        stack_tidy(nullptr);
        stack_trim();
        update_status_string();
        if ((shell_flags & FLAG_PROMPT) && !current_input->outer && current_input->eof_count == 0) {
            check_mail(&mail_time);
            put_plain(ps1_entry.value);
        }
        trap_note = 0;
        int c = read_char();
        if (c)
            unread_char(c);
        if (current_input->eof_count)
            return;
        CommandNode* tree = parse_list('\n', LIST_EMPTY_OK);
        execute_tree(tree, 0, nullptr, nullptr);
        if (shell_flags & FLAG_ONECMD)
            current_input->eof_count = 1;
    }
}
