// The test and [ evaluator: or, and, primaries over the command's words.
#include "cond/cond.h"

#include "signals/signals.h"
#include "storage/storage.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

constinit int32_t test_argc = 0;
constinit char** test_argv = nullptr;
constinit int32_t test_pos = 0;
static constinit int32_t test_depth = 0; // parentheses open, bounded

// Deepest nesting of parentheses; deeper fails with "no space".
static constexpr int32_t TEST_DEPTH_LIMIT = 1000;

static int test_or();

static bool equal(const char* a, const char* b)
{
    return compare_strings(a, b) == 0;
}

static bool word_left()
{
    return test_pos < test_argc;
}

static char* test_next_word()
{
    if (test_pos >= test_argc)
        fail("test", "argument expected");
    return test_argv[test_pos++];
}

static bool file_status(const char* path, struct stat* st)
{
    return stat(path, st) == 0;
}

// The file and string operators that take one operand; -1 when a is not one.
static int unary_operator(const char* a)
{
    if (a[0] != '-' || !a[1] || a[2])
        return -1;
    switch (a[1]) {
    case 'r': case 'w': case 'x': case 'd': case 'c': case 'b': case 'f':
    case 'u': case 'g': case 'k': case 's': case 't': case 'n': case 'z':
        return a[1];
    default:
        return -1;
    }
}

static int evaluate_unary(int op)
{
    if (op == 't') {
        int fd = 1;
        if (word_left()) {
            char* w = test_next_word();
            if (equal(w, "-a") || equal(w, "-o"))
                test_pos--;
            else
                fd = atoi(w);
        }
        return isatty(fd);
    }
    char* operand = test_next_word();
    struct stat st;
    switch (op) {
    case 'r': return access(operand, R_OK) == 0;
    case 'w': return access(operand, W_OK) == 0;
    case 'x': return access(operand, X_OK) == 0;
    // The file types compare the whole type field.
    case 'd': return file_status(operand, &st) && S_ISDIR(st.st_mode);
    case 'c': return file_status(operand, &st) && S_ISCHR(st.st_mode);
    case 'b': return file_status(operand, &st) && S_ISBLK(st.st_mode);
    case 'f': return file_status(operand, &st) && S_ISREG(st.st_mode);
    case 'u': return file_status(operand, &st) && (st.st_mode & S_ISUID);
    case 'g': return file_status(operand, &st) && (st.st_mode & S_ISGID);
    case 'k': return file_status(operand, &st) && (st.st_mode & S_ISVTX);
    case 's': return file_status(operand, &st) && st.st_size > 0;
    case 'n': return operand[0] != 0;
    default: return operand[0] == 0; // -z
    }
}

static int compare_as_strings(const char* a)
{
    char* op = test_argv[test_pos++];
    char* b = test_next_word();
    bool same = equal(a, b);
    return op[1] == '=' ? !same : same; // "!=" or "="
}

static int test_primary()
{
    char* a = test_next_word();
    if (equal(a, "(")) {
        if (++test_depth > TEST_DEPTH_LIMIT)
            fail("no space", nullptr);
        int value = test_or();
        test_depth--;
        char* close = test_next_word();
        if (!equal(close, ")"))
            fail("test", ") expected");
        return value;
    }
    if (word_left() && (equal(test_argv[test_pos], "=") || equal(test_argv[test_pos], "!=")))
        return compare_as_strings(a);
    int op = unary_operator(a);
    if (op >= 0)
        return evaluate_unary(op);
    if (!word_left())
        return a[0] != 0;
    char* o = test_next_word();
    if (equal(o, "-a") || equal(o, "-o")) {
        test_pos--;
        return a[0] != 0;
    }
    int64_t left;
    if (equal(a, "-l")) {
        left = static_cast<int64_t>(string_size(o) - 1);
        o = test_next_word();
    } else {
        left = atol(a);
    }
    int64_t right = atol(test_next_word());
    if (equal(o, "-eq")) return left == right;
    if (equal(o, "-ne")) return left != right;
    if (equal(o, "-gt")) return left > right;
    if (equal(o, "-lt")) return left < right;
    if (equal(o, "-ge")) return left >= right;
    if (equal(o, "-le")) return left <= right;
    fail_with_word("test", "unknown operator", o);
}

// An and-chain: every operand is evaluated; one ! before a primary.
static int test_and()
{
    int value = 1;
    for (;;) {
        char* w = test_next_word();
        int v;
        if (equal(w, "!")) {
            v = !test_primary();
        } else {
            test_pos--;
            v = test_primary();
        }
        value = value && v;
        if (!word_left())
            return value;
        if (!equal(test_argv[test_pos], "-a"))
            return value;
        test_pos++;
    }
}

static int test_or()
{
    int value = test_and();
    while (word_left() && equal(test_argv[test_pos], "-o")) {
        test_pos++;
        int v = test_and();
        value = value || v;
    }
    return value;
}

int32_t test_command(int argc, char** argv)
{
    test_argc = argc;
    test_argv = argv;
    test_pos = 1;
    test_depth = 0;
    if (equal(argv[0], "[")) {
        test_argc--;
        if (test_argc < 1 || !argv[test_argc] || !equal(argv[test_argc], "]"))
            fail("test", "] missing");
    }
    test_argv[test_argc] = nullptr;
    if (test_argc < 2)
        return 1;
    return test_or() ? 0 : 1;
}
