// The conditional evaluator behind test and [.
//
// The words of the command are the expression; the evaluator walks them
// with one position and three levels (or, and, primary).  Every operand of
// -a and -o is evaluated.  A malformed expression is a failure of the shell
// with the subject "test", not a false result.
#pragma once

#include <cstdint>

// ---- test_command.cpp ----

// Globals
extern int32_t test_argc; // words, less the closing ] of the [ form
extern char** test_argv;  // the words; element test_argc set to null
extern int32_t test_pos;  // the next word to take

// 0 when the expression is true, 1 when it is false.
int32_t test_command(int argc, char** argv);
