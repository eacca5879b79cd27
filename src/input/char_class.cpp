// The character classes: the lexical half for the word reader, the parameter half for substitution.
#include "input/input.h"

static constexpr CharClassTable make_char_class()
{
    CharClassTable t{};
    uint8_t* lex = t.bits;
    uint8_t* par = t.bits + 128;
    lex['$'] = CC_DOLLAR | CC_ESCAPABLE;
    lex['('] = lex[')'] = lex['^'] = CC_SINGLE_OP;
    lex[' '] = lex['\t'] = CC_BLANK;
    lex['&'] = lex[';'] = lex['<'] = lex['>'] = lex['|'] = CC_DOUBLE_OP;
    lex[0] = CC_END;
    lex['\n'] = CC_NEWLINE;
    lex['"'] = CC_QUOTE;
    lex['`'] = CC_QUOTE | CC_ESCAPABLE;
    lex['\\'] = CC_ESCAPABLE;

    par['{'] = PC_BRACE;
    par['+'] = PC_OPERATOR | PC_IF_SET;
    par['-'] = PC_OPERATOR | PC_SPECIAL;
    par['='] = PC_OPERATOR;
    par['?'] = PC_OPERATOR | PC_SPECIAL;
    par['}'] = PC_OPERATOR;
    par['*'] = par['@'] = PC_ALL_ARGS;
    for (int c = '0'; c <= '9'; c++)
        par[c] = PC_DIGIT;
    par['!'] = par['#'] = par['$'] = PC_SPECIAL;
    for (int c = 'A'; c <= 'Z'; c++)
        par[c] = PC_LETTER;
    for (int c = 'a'; c <= 'z'; c++)
        par[c] = PC_LETTER;
    par['_'] = PC_LETTER;
    return t;
}

constinit const CharClassTable char_class_table = make_char_class();
