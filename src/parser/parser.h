// The command tree and the parser.
//
// Four records, all carved from the working stack while a command is read
// and released wholesale with it: CommandNode (one node, its layout chosen
// by its kind), CaseArm, IoNode (one redirection) and WordNode (one word,
// its text inline after the link).  The executor dispatches on the kind
// bits of a node's type; for NODE_FORK the bits above the kind are the fork
// flags.
//
// Shapes the executor relies on: pipelines nest to the right, && and || to
// the left, lists to the right; elif nests as an if in the else part; a
// compound command followed by redirections is wrapped in a NODE_FORK that
// carries them; each group of redirections written together goes in front
// of the groups written before it; assignments are held newest first and
// case patterns last-written first.
//
// Word texts are encoded: a byte with QUOTE_BIT is a quoted character; a
// double-quoted or back-quoted section keeps its delimiters, and the
// characters a backslash quotes inside it are stored as quoted characters; a
// single-quoted section becomes a double-quoted one whose characters are all
// quoted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "input/input.h"

// ---- tree.cpp ----

using NodeKind = uint32_t;
constexpr NodeKind NODE_SIMPLE = 0;
constexpr NodeKind NODE_PAREN = 1;
constexpr NodeKind NODE_PIPE = 2;
constexpr NodeKind NODE_LIST = 3;
constexpr NodeKind NODE_IF = 4;
constexpr NodeKind NODE_WHILE = 5;
constexpr NodeKind NODE_UNTIL = 6;
constexpr NodeKind NODE_CASE = 7;
constexpr NodeKind NODE_AND = 8;
constexpr NodeKind NODE_OR = 9;
constexpr NodeKind NODE_FORK = 10;
constexpr NodeKind NODE_FOR = 11;
constexpr uint32_t NODE_KIND_MASK = 0x0f;

constexpr uint32_t FORK_SHOW_PID = 0x10;
constexpr uint32_t FORK_BACKGROUND = 0x20;
constexpr uint32_t FORK_ASYNC = 0x40;
constexpr uint32_t FORK_PIPE_IN = 0x100;
constexpr uint32_t FORK_PIPE_OUT = 0x200;
constexpr uint32_t FORK_PIPE_CLOSE = 0x400;
constexpr uint32_t FORK_FLAGS_ASYNC = FORK_SHOW_PID | FORK_BACKGROUND | FORK_ASYNC; // a &
constexpr uint32_t FORK_FLAGS_PIPE_RIGHT = FORK_PIPE_IN | FORK_PIPE_CLOSE;

constexpr uint32_t REDIR_FD_MASK = 0x0f;
constexpr uint32_t REDIR_HEREDOC = 0x10;
constexpr uint32_t REDIR_OUTPUT = 0x20;
constexpr uint32_t REDIR_APPEND = 0x40;
constexpr uint32_t REDIR_DUP = 0x80;
constexpr uint32_t REDIR_STRIP_TABS = 0x100; // written <<-: leading tabs are stripped
constexpr uint32_t REDIR_CAPTURED = 0x200;   // a here-document whose body has been captured

struct WordNode {
    WordNode* next; // next word of its list, or null
    char text[8];   // the word's characters, NUL-terminated (stored inline, may run on)
};

struct IoNode {
    uint32_t flags; // descriptor and REDIR_ bits
    char* file;     // the word; for a captured here-document the body's file
    IoNode* next;   // the next redirection of the same command
    IoNode* link;   // pending here-documents, then temp_files
};

struct CommandNode;

struct CaseArm {
    WordNode* patterns; // the alternatives, the last written first
    CommandNode* body;  // the arm's list, null when empty
    CaseArm* next;      // the next arm, in written order
};

// Layouts by kind; every one starts with type.
struct SimpleNode {
    uint32_t type;
    IoNode* io;
    WordNode* args;    // the command words in written order
    WordNode* assigns; // the assignment words, newest first
};
struct ParenNode {
    uint32_t type;
    CommandNode* body;
};
struct BinaryNode { // NODE_PIPE, NODE_LIST, NODE_AND, NODE_OR
    uint32_t type;
    CommandNode* left;
    CommandNode* right;
};
struct IfNode {
    uint32_t type;
    CommandNode* cond;
    CommandNode* then_part;
    CommandNode* else_part;
};
struct LoopNode { // NODE_WHILE, NODE_UNTIL
    uint32_t type;
    CommandNode* cond;
    CommandNode* body;
};
struct CaseNode {
    uint32_t type;
    char* word;
    CaseArm* arms;
};
struct ForkNode {
    uint32_t type;
    IoNode* io;
    CommandNode* child; // may be null (an empty side of a pipe)
};
struct ForNode {
    uint32_t type;
    CommandNode* body;
    char* name;
    SimpleNode* words; // the words after in, or null
};

// A node of any kind: only its type is common to all layouts.
struct CommandNode {
    uint32_t type;
};

inline NodeKind kind_of(const CommandNode* n)
{
    return n->type & NODE_KIND_MASK;
}

// The layout of a node; the caller has looked at its kind.
template <typename T> inline T* node_as(CommandNode* n)
{
    return reinterpret_cast<T*>(n);
}

template <typename T> inline CommandNode* as_node(T* n)
{
    return reinterpret_cast<CommandNode*>(n);
}

#define OLM_PLAIN_RECORD(T)                                                                        \
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>           \
                  && std::is_standard_layout_v<T>);                                                \
    static_assert(offsetof(T, type) == 0)
OLM_PLAIN_RECORD(SimpleNode);
OLM_PLAIN_RECORD(ParenNode);
OLM_PLAIN_RECORD(BinaryNode);
OLM_PLAIN_RECORD(IfNode);
OLM_PLAIN_RECORD(LoopNode);
OLM_PLAIN_RECORD(CaseNode);
OLM_PLAIN_RECORD(ForkNode);
OLM_PLAIN_RECORD(ForNode);
#undef OLM_PLAIN_RECORD
static_assert(std::is_trivially_copyable_v<IoNode> && std::is_standard_layout_v<IoNode>);
static_assert(std::is_trivially_copyable_v<WordNode> && offsetof(WordNode, text) == 8);

// A NODE_FORK with the given flags around tree, no redirections.
CommandNode* new_fork_node(uint32_t flags, CommandNode* tree);

// ---- parser.cpp ----

constexpr int LIST_NEWLINE_SEP = 1;
constexpr int LIST_EMPTY_OK = 2;

// Deepest nesting of constructs the parser accepts; deeper input fails with
// "no space", leaving machine stack for the executor's recursion over the
// same tree.
constexpr int PARSE_DEPTH_LIMIT = 1000;

// Globals
extern int32_t parse_depth; // nesting of parse_list calls in progress

CommandNode* parse_list(Token terminator, int flags);

// True when token t ends a list whose terminator is terminator.
bool token_matches(Token t, Token terminator);

[[noreturn]] void syntax_error();
