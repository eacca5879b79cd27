// Word expansion: parameter and command substitution, patterns and file
// names, here-documents and argument vectors.
//
// Marked text.  Expansion reads a stored word as an input source and builds
// one growing item on the working stack in which every character that must
// stay literal carries QUOTE_BIT; the double quotes of the stored word are
// gone.  The single byte EMPTY_QUOTED_WORD stands for an empty quoted word
// ("" or "$x" with x empty): a word that must not vanish; strip_marks turns
// it into nothing, wherever it stands.  Field splitting and file name
// generation look only at unmarked characters; other users strip the marks.
#pragma once

#include <cstdint>

struct SimpleNode;
struct IoNode;
struct CommandNode;

constexpr char EMPTY_QUOTED_WORD = static_cast<char>(0x80);

// ---- substitute.cpp ----

// Globals
extern int dquote_mark;         // QUOTE_BIT inside double quotes, else 0
extern int32_t quote_seen;      // double quotes met in the current word
extern uint8_t last_word_quoted; // strip_marks found a marked byte
extern int32_t expand_depth;    // nesting of substitutions in progress, bounded

// The marked text of word, finished on the working stack.
char* expand_word(const char* word);

// expand_word, then strip_marks.
char* expand_word_plain(const char* word);

// Clears QUOTE_BIT in text, in place, dropping empty-quoted-word bytes;
// notes in last_word_quoted whether any byte was marked.
void strip_marks(char* text);

// The next character the caller appends itself, substituting on the way;
// 0 at the end of input.
int next_expanded_char(int end);

// Skips input up to the matching end; "bad substitution" at the end of input.
void skip_substitution(int end);

// ---- pattern.cpp ----

bool match_pattern(const char* text, const char* pattern);

// Pushes an argument item for each path name matching field; returns their
// number (0: no pattern, nothing matched or unreadable directory).
int32_t expand_file_names(char* field, bool recursion);

// ---- heredoc.cpp ----

// Makes the next temporary name in temp_name and creates that file
// exclusively, mode 0600, moving on while names are taken; "cannot create".
int create_temp_file();

// Reads the bodies of the pending here-documents, oldest first.
void capture_here_documents(IoNode* pending);

// Copies a body from in through substitution into out (the file name);
// closes in.
void expand_here_document(int in, int out, const char* name);

// A captured here-document handed to a background process under a second
// name of its own, so that the shell may remove its name when it pleases.
struct HandedTemp {
    HandedTemp* next;
    IoNode* node;
    char* name; // null when no second name could be made
};

// Gives every captured here-document inside tree a second name, listed for
// removal (deferred) until the process that needs them exists.
HandedTemp* hand_on_here_documents(CommandNode* tree);

// In that process: its here-documents are the second names, its own to remove.
void take_handed_here_documents(HandedTemp* list);

// Removes this process's own files of the here-documents among io, which it
// has just applied and will not apply again.
void release_applied_here_documents(IoNode* io);

// ---- arguments.cpp ----

constexpr uintptr_t GROUP_END = 1;

// An argument item: a link word, then the text inline.
struct ArgItem {
    uintptr_t link; // next item (older), with GROUP_END in the low bit
    char text[8];   // runs on
};

// Globals
extern uintptr_t arg_list; // newest item first; GROUP_END in the low bit

void push_argument(ArgItem* item);

// Pushes the argument items of node's words; returns their number.
int32_t build_arguments(SimpleNode* node);

// The vector of the n items on arg_list, in written order, every text but
// the first unmarked; each field's generated names sorted.
char** make_argv(int32_t n);
