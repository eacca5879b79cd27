// The executor: one command tree node by node, forking where work leaves the shell.
#include "exec/exec.h"

#include "cond/cond.h"
#include "expand/expand.h"
#include "output/output.h"
#include "parser/parser.h"
#include "signals/signals.h"
#include "startup/startup.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

constinit int32_t loop_depth = 0;
constinit int32_t break_count = 0;
constinit uint8_t break_pending = 0;
constinit int32_t last_fork_pid = 0;
constinit int32_t stdin_redirected = 0;
constinit int32_t exec_depth = 0;
constinit int32_t condition_depth = 0;
constinit uint32_t errexit_outside_conditions = 0;

// Deepest nesting of execute_tree calls (nested constructs, and command
// substitutions inside them); deeper fails with "no space".
static constexpr int32_t EXEC_DEPTH_LIMIT = 4 * PARSE_DEPTH_LIMIT;

// -e is suspended while a condition runs; a set -e inside it stays.
static uint32_t enter_condition()
{
    uint32_t saved = shell_flags & FLAG_ERREXIT;
    if (condition_depth++ == 0)
        errexit_outside_conditions = saved;
    shell_flags &= ~FLAG_ERREXIT;
    return saved;
}

static void leave_condition(uint32_t saved)
{
    shell_flags |= saved;
    condition_depth--;
}

static int32_t run_condition(CommandNode* cond)
{
    uint32_t saved = enter_condition();
    int32_t status = execute_tree(cond, 0, nullptr, nullptr);
    leave_condition(saved);
    return status;
}

// The argument vector of a simple command's words.
static char** build_vector(SimpleNode* node, int32_t* argc)
{
    uintptr_t saved = arg_list;
    arg_list = 0;
    int32_t n = build_arguments(node);
    char** argv = make_argv(n);
    arg_list = saved;
    *argc = n;
    return argv;
}

static void trace_command(char** argv)
{
    put_string("+ ");
    for (char** p = argv; *p; p++) {
        put_plain(*p);
        put_blank();
    }
    put_newline();
}

// What a forked process (or the shell running a child's steps in place) does
// for a NODE_FORK or a simple command that leaves the shell.
struct ForkWork {
    uint32_t flags;
    IoNode* io;
    CommandNode* child; // a NODE_FORK's tree
    SimpleNode* simple; // or a simple command with its vector
    char** argv;
    int32_t argc;
    HandedTemp* handed; // here-documents handed to a background process
};

// Run in place, the steps happen in a process that is already a child and
// has made these resets; its own here-documents stay its own.
[[noreturn]] static void child_steps(const ForkWork* work, bool forked, int* pipe_in, int* pipe_out)
{
    shell_flags |= FLAG_CHILD;
    if (forked) {
        forget_temps();
        take_handed_here_documents(work->handed);
        clear_posted_children();
        reset_temp_names();
        reset_traps_for_child();
    }
    if (work->flags & FORK_BACKGROUND) {
        platform_ignore_signal(SIGINT);
        platform_ignore_signal(SIGQUIT);
    }
    if (work->flags & FORK_PIPE_IN) {
        move_descriptor(pipe_in[0], 0);
        close(pipe_in[1]);
    }
    if (work->flags & FORK_PIPE_OUT) {
        move_descriptor(pipe_out[1], 1);
        close(pipe_out[0]);
    }
    if ((work->flags & FORK_BACKGROUND) && !stdin_redirected) {
        int fd = open_for_input("/dev/null");
        move_descriptor(fd, 0);
    }
    apply_redirections(work->io);
    release_applied_here_documents(work->io);
    if (!work->simple) {
        execute_tree(work->child, 1, nullptr, nullptr);
    } else if (work->argc) {
        apply_assignments(work->simple->assigns, NAME_EXPORT);
        invoke_program(work->argv);
    }
    finish();
}

static pid_t fork_with_retries()
{
    unsigned delay = 1;
    for (;;) {
        pid_t pid = fork();
        if (pid >= 0)
            return pid;
        int error = errno;
        delay *= 2;
        if (delay > 32)
            fail(error == ENOMEM ? "cannot fork: no swap space" : "cannot fork: too many processes", nullptr);
        interrupt_check();
        platform_pause_seconds(delay);
    }
}

static void fork_path(ForkWork* work, CommandNode* node, int exec_in_place, int* pipe_in, int* pipe_out)
{
    uint32_t flags = work->flags;
    if (exec_in_place && !(flags & (FORK_ASYNC | FORK_PIPE_OUT))) {
        last_fork_pid = 0;
        child_steps(work, false, pipe_in, pipe_out);
    }
    DeferredTemp* before = deferred_temps;
    if (flags & FORK_ASYNC)
        work->handed = hand_on_here_documents(node);
    pid_t pid = fork_with_retries();
    last_fork_pid = pid;
    if (pid == 0)
        child_steps(work, true, pipe_in, pipe_out);
    if (flags & FORK_ASYNC)
        forget_deferred_temps(before); // the second names are the child's now
    if ((flags & FORK_SHOW_PID) && (shell_flags & FLAG_RECOVER)) {
        put_number(pid);
        put_newline();
    }
    if (flags & FORK_PIPE_CLOSE) {
        close_descriptor(pipe_in[0]);
        close_descriptor(pipe_in[1]);
    }
    if (!(flags & (FORK_ASYNC | FORK_PIPE_OUT)))
        await_children(pid, 0);
    else if (flags & FORK_ASYNC)
        set_number_string(&async_pid_string, pid);
    else
        post_child(pid);
    run_pending_traps();
}

static void execute_simple(SimpleNode* node, int exec_in_place, int* pipe_in, int* pipe_out)
{
    int32_t argc;
    char** argv = build_vector(node, &argc);
    if (argc == 0) {
        apply_assignments(node->assigns, 0);
    } else {
        BuiltinCode code = find_in_table(argv[0], builtin_table);
        if (code)
            apply_assignments(node->assigns, 0);
        if (!(shell_flags & FLAG_NOEXEC)) {
            if (shell_flags & FLAG_XTRACE)
                trace_command(argv);
            if (code) {
                exit_status = run_builtin(code, argc, argv, node);
                return;
            }
            if (find_in_table(argv[0], test_table)) {
                exit_status = test_command(argc, argv);
                run_pending_traps();
                return;
            }
            ForkWork work = {0, node->io, nullptr, node, argv, argc, nullptr};
            fork_path(&work, as_node(node), exec_in_place, pipe_in, pipe_out);
            return;
        }
    }
    if (!node->io) {
        run_pending_traps();
        return;
    }
    // Only the redirections are carried out, in a process of their own.
    ForkWork work = {0, node->io, nullptr, node, argv, 0, nullptr};
    fork_path(&work, as_node(node), exec_in_place, pipe_in, pipe_out);
}

// Applies the break and continue counts after a loop body; true when the
// loop is to be left.
static bool leave_loop_after_body()
{
    if (break_count < 0) {
        break_count++;
        break_pending = break_count != 0;
        return break_pending;
    }
    return break_pending;
}

static void finish_loop()
{
    if (break_count > 0) {
        break_count--;
        break_pending = break_count != 0;
    }
    loop_depth--;
}

static void execute_loop(LoopNode* node, bool until)
{
    loop_depth++;
    int32_t status = 0;
    for (;;) {
        int32_t cond = run_condition(node->cond);
        if (until ? cond == 0 : cond != 0) {
            status = cond;
            break;
        }
        if (shell_flags & FLAG_NOEXEC)
            break; // under -n the script is only read and checked
        status = execute_tree(node->body, 0, nullptr, nullptr);
        if (leave_loop_after_body())
            break;
    }
    finish_loop();
    exit_status = status;
}

static void execute_for(ForNode* node)
{
    NameEntry* variable = lookup_name(node->name);
    char** words;
    ArgBlock* held = nullptr;
    if (node->words) {
        int32_t argc;
        words = build_vector(node->words, &argc);
        strip_marks(words[0]);
    } else {
        held = hold_args();
        words = arg_vector + 1;
    }
    int32_t status = exit_status;
    loop_depth++;
    if (!break_pending && !(shell_flags & FLAG_NOEXEC)) {
        for (char** w = words; *w; w++) {
            set_value(variable, *w);
            status = execute_tree(node->body, 0, nullptr, nullptr);
            if (leave_loop_after_body())
                break;
        }
    }
    finish_loop();
    if (!node->words)
        release_args(held);
    exit_status = status;
}

static void execute_case(CaseNode* node)
{
    char* subject = expand_word_plain(node->word);
    for (CaseArm* arm = node->arms; arm; arm = arm->next) {
        for (WordNode* p = arm->patterns; p; p = p->next) {
            char* pattern = expand_word(p->text);
            bool matched = match_pattern(subject, pattern);
            if (!matched) {
                strip_marks(pattern);
                matched = compare_strings(pattern, subject) == 0;
            }
            if (matched) {
                // Only the first arm that matches runs.
                execute_tree(arm->body, 0, nullptr, nullptr);
                return;
            }
        }
    }
}

// && and || nest to the left: the chain's spine is walked without recursion.
static void execute_and_or(CommandNode* top, int exec_in_place)
{
    int32_t length = 0;
    CommandNode* n = top;
    while (kind_of(n) == NODE_AND || kind_of(n) == NODE_OR) {
        length++;
        n = node_as<BinaryNode>(n)->left;
    }
    CommandNode** spine = static_cast<CommandNode**>(stack_alloc(length * static_cast<int32_t>(sizeof(CommandNode*))));
    n = top;
    for (int32_t i = 0; i < length; i++) {
        spine[i] = n;
        n = node_as<BinaryNode>(n)->left;
    }
    int32_t status = execute_tree(n, 0, nullptr, nullptr);
    for (int32_t i = length - 1; i >= 0; i--) {
        bool run = kind_of(spine[i]) == NODE_AND ? status == 0 : status != 0;
        if (run)
            status = execute_tree(node_as<BinaryNode>(spine[i])->right, i == 0 ? exec_in_place : 0, nullptr, nullptr);
    }
    exit_status = status;
}

int32_t execute_tree(CommandNode* node, int exec_in_place, int* pipe_in, int* pipe_out)
{
    char* mark = stack_mark();
    interrupt_check();
    if (node && !break_pending) {
        if (++exec_depth > EXEC_DEPTH_LIMIT)
            fail("no space", nullptr);
        exit_status = 0;
        switch (kind_of(node)) {
        case NODE_SIMPLE:
            execute_simple(node_as<SimpleNode>(node), exec_in_place, pipe_in, pipe_out);
            break;
        case NODE_PAREN: {
            int copy = dup(2);
            if (copy >= 0 && copy != output_fd) {
                dup2(copy, output_fd);
                close(copy);
            }
            execute_tree(node_as<ParenNode>(node)->body, exec_in_place, nullptr, nullptr);
            finish();
        }
        case NODE_PIPE: {
            BinaryNode* p = node_as<BinaryNode>(node);
            int fds[2];
            make_pipe(fds);
            if (execute_tree(p->left, 0, pipe_in, fds) != 0) {
                close_descriptor(fds[0]);
                close_descriptor(fds[1]);
                break;
            }
            execute_tree(p->right, exec_in_place, fds, pipe_out);
            break;
        }
        case NODE_LIST: {
            // Lists nest to the right: walked without recursion.
            CommandNode* n = node;
            while (kind_of(n) == NODE_LIST) {
                execute_tree(node_as<BinaryNode>(n)->left, 0, nullptr, nullptr);
                n = node_as<BinaryNode>(n)->right;
            }
            execute_tree(n, exec_in_place, nullptr, nullptr);
            break;
        }
        case NODE_IF: {
            IfNode* i = node_as<IfNode>(node);
            if (run_condition(i->cond) == 0)
                execute_tree(i->then_part, exec_in_place, nullptr, nullptr);
            else if (i->else_part)
                execute_tree(i->else_part, exec_in_place, nullptr, nullptr);
            else
                exit_status = 0;
            break;
        }
        case NODE_WHILE:
        case NODE_UNTIL:
            execute_loop(node_as<LoopNode>(node), kind_of(node) == NODE_UNTIL);
            break;
        case NODE_CASE:
            execute_case(node_as<CaseNode>(node));
            break;
        case NODE_AND:
        case NODE_OR:
            execute_and_or(node, exec_in_place);
            break;
        case NODE_FORK: {
            ForkNode* f = node_as<ForkNode>(node);
            ForkWork work = {f->type & ~NODE_KIND_MASK, f->io, f->child, nullptr, nullptr, 0, nullptr};
            fork_path(&work, f->child, exec_in_place, pipe_in, pipe_out);
            break;
        }
        case NODE_FOR:
            execute_for(node_as<ForNode>(node));
            break;
        default:
            break;
        }
        update_status_string();
        exec_depth--;
    }
    interrupt_check();
    stack_tidy(mark);
    return exit_status;
}
