// Input: the stack of input sources, the character reader, the character
// classes and the word reader.
//
// All command text reaches the shell one character at a time through
// read_char.  Sources form a stack: the command loop reads the outermost one
// (a terminal, a script or profile, or the -c text); eval, ., command
// substitution, here-document expansion and read push their own, read it
// through the same functions and pop it.  A byte with bit 7 set is a quoted
// character (QUOTE_BIT); the command language itself is 7-bit.
//
// A read that blocks is interruptible: fill_buffer arms read_jump with
// read_in_progress around the read, and the interrupt's catcher jumps back
// there, since the system restarts the read itself.
#pragma once

#include <cstdint>

struct WordNode;
struct IoNode;

constexpr int QUOTE_BIT = 0x80;

// ---- char_class.cpp ----

constexpr uint8_t CC_DOLLAR = 0x01;
constexpr uint8_t CC_SINGLE_OP = 0x02;
constexpr uint8_t CC_BLANK = 0x04;
constexpr uint8_t CC_DOUBLE_OP = 0x08;
constexpr uint8_t CC_END = 0x10;
constexpr uint8_t CC_NEWLINE = 0x20;
constexpr uint8_t CC_QUOTE = 0x40;
constexpr uint8_t CC_ESCAPABLE = 0x80;
constexpr uint8_t CC_BREAK = 0x3e;  // ends a word
constexpr uint8_t CC_EOL = 0x30;    // newline or end of input
constexpr uint8_t CC_EXPAND = 0x41; // needs substitution

constexpr uint8_t PC_BRACE = 0x01;
constexpr uint8_t PC_OPERATOR = 0x02;
constexpr uint8_t PC_ALL_ARGS = 0x04;
constexpr uint8_t PC_DIGIT = 0x08;
constexpr uint8_t PC_SPECIAL = 0x20;
constexpr uint8_t PC_LETTER = 0x40;
constexpr uint8_t PC_IF_SET = 0x80;
constexpr uint8_t PC_IDENT = 0x48;       // a name's characters after its first
constexpr uint8_t PC_PARAM_START = 0x6d; // may follow $

struct CharClassTable {
    uint8_t bits[256]; // lexical half, then parameter half
};

// Globals
extern const CharClassTable char_class_table; // the classes of every 7-bit character

// The lexical bits of a character; a quoted character has none.
inline uint8_t lex_class(int c)
{
    return (c & QUOTE_BIT) ? 0 : char_class_table.bits[c & 0x7f];
}

// The parameter bits of a character; a quoted character has none.
inline uint8_t param_class(int c)
{
    return (c & QUOTE_BIT) ? 0 : char_class_table.bits[128 + (c & 0x7f)];
}

inline bool is_digit(int c)
{
    return (param_class(c) & PC_DIGIT) != 0;
}

// ---- source.cpp ----

constexpr int INPUT_BUFFER_SIZE = 64;
constexpr int PUSHBACK_FULL = 0x8000;

struct InputSource {
    int32_t fd;          // descriptor read; -1 for a text or once it ended
    int64_t line;        // number of the line being read
    uint8_t eof_count;   // non-zero once the source reported its end
    uint8_t read_size;   // bytes asked for by each read
    char* cur;           // next character to deliver
    char* end;           // end of the characters available
    char** strings;      // further texts, each delivered after a blank
    InputSource* outer;  // the source current before this one
    char buffer[INPUT_BUFFER_SIZE];
};

// Globals
extern InputSource* current_input;  // the source being read
extern InputSource outermost_input; // the command loop's source
extern int32_t pushback_char;       // the push-back slot; PUSHBACK_FULL marks it full
extern uint8_t in_read_builtin;     // set by read while it reads

void start_file_input(int fd);
bool start_text_input(char* text);
void push_input(InputSource* source);
bool pop_input();

// The next byte of input, or 0 at the end of the source.
int read_char();

// A character with backslash quoting: a backslash-newline pair vanishes; a
// backslash before the delimiter (any character when it is 0), or before an
// escapable one, gives that character quoted; other backslashes stay.
int read_char_escaped(int delimiter);

void unread_char(int c);

// ---- word_reader.cpp ----

using Token = int32_t;

constexpr Token TOKEN_WORD = 0;
constexpr Token TOKEN_DOUBLED = 0x800;
constexpr Token TOKEN_AND_AND = 0x826;
constexpr Token TOKEN_SEMI_SEMI = 0x83b;
constexpr Token TOKEN_HEREDOC = 0x83c;
constexpr Token TOKEN_APPEND = 0x83e;
constexpr Token TOKEN_OR_OR = 0x87c;
constexpr Token TOKEN_EOF = 0x400;
constexpr Token TOKEN_RESERVED = 0x100;

constexpr Token TOKEN_IN = 0x10a;
constexpr Token TOKEN_ESAC = 0x122;
constexpr Token TOKEN_CASE = 0x10f;
constexpr Token TOKEN_FOR = 0x11d;
constexpr Token TOKEN_DONE = 0x121;
constexpr Token TOKEN_IF = 0x11e;
constexpr Token TOKEN_WHILE = 0x11b;
constexpr Token TOKEN_DO = 0x105;
constexpr Token TOKEN_THEN = 0x124;
constexpr Token TOKEN_ELSE = 0x111;
constexpr Token TOKEN_ELIF = 0x112;
constexpr Token TOKEN_FI = 0x110;
constexpr Token TOKEN_UNTIL = 0x117;
constexpr Token TOKEN_LBRACE = 0x106;
constexpr Token TOKEN_RBRACE = 0x128;

constexpr Token TOKENS_ELSE_ELIF_FI = 0x113;
constexpr Token TOKENS_DO_LBRACE = 0x107;
constexpr Token TOKENS_IN_LBRACE = 0x10e;

struct NameCode {
    const char* name;
    int32_t code;
};

// The reserved words in search order, ending with a null name.
constexpr NameCode reserved_words[] = {
    {"in", TOKEN_IN},     {"esac", TOKEN_ESAC}, {"case", TOKEN_CASE},   {"for", TOKEN_FOR},
    {"done", TOKEN_DONE}, {"if", TOKEN_IF},     {"while", TOKEN_WHILE}, {"do", TOKEN_DO},
    {"then", TOKEN_THEN}, {"else", TOKEN_ELSE}, {"elif", TOKEN_ELIF},   {"fi", TOKEN_FI},
    {"until", TOKEN_UNTIL}, {"{", TOKEN_LBRACE}, {"}", TOKEN_RBRACE},   {nullptr, 0},
};
static_assert(sizeof(reserved_words) / sizeof(reserved_words[0]) == 16);

// Globals
extern Token token;               // the last token returned
extern uint8_t reserved_ok;       // the next token may be a reserved word
extern WordNode* last_word;       // the node of the last word token
extern int32_t word_is_assignment; // the last word has the form name=value
extern int32_t redirect_fd;       // the digit before the last redirection, 0 if none
extern IoNode* pending_heredocs;  // here-documents still to be read, newest first
extern int32_t strip_tabs_count;  // <<- operators not yet captured
extern uint8_t heredoc_strips;    // the last << operator read was <<-
extern int64_t token_line;        // the line the last token stands on

// The word reader's state, kept across a parse made in the middle of
// another (a command substitution in a here-document's delimiter, a trap).
struct ReaderState {
    Token token;
    uint8_t reserved_ok;
    WordNode* last_word;
    int32_t word_is_assignment;
    int32_t redirect_fd;
    IoNode* pending_heredocs;
    uint8_t heredoc_strips;
    int64_t token_line;
    int32_t pushback_char;
};

// Saves the state and starts a fresh one (nothing pending).
void save_reader(ReaderState* state);
void restore_reader(const ReaderState* state);

// The next token, also stored in token.
Token read_token();

// The code of the first entry whose name equals text, or 0.
int32_t find_in_table(const char* text, const NameCode* table);

// The name of reserved word code, for messages.
const char* reserved_word_name(Token code);
