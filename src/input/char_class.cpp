// The character classes: the lexical half for the word reader, the parameter half for substitution.
#include "input/input.h"

// Adds bits to the lexical (half 0) or parameter (half 1) class of each
// character of chars.
static constexpr void add(CharClassTable& t, int half, const char* chars, uint8_t bits)
{
    for (; *chars; chars++)
        t.bits[half * 128 + static_cast<unsigned char>(*chars)] |= bits;
}

static constexpr CharClassTable make_char_class()
{
    CharClassTable t{};
    add(t, 0, "$", CC_DOLLAR | CC_ESCAPABLE);
    add(t, 0, "()^", CC_SINGLE_OP);
    add(t, 0, " \t", CC_BLANK);
    add(t, 0, "&;<>|", CC_DOUBLE_OP);
    t.bits[0] = CC_END;
    add(t, 0, "\n", CC_NEWLINE);
    add(t, 0, "\"", CC_QUOTE);
    add(t, 0, "`", CC_QUOTE | CC_ESCAPABLE);
    add(t, 0, "\\", CC_ESCAPABLE);

    add(t, 1, "{", PC_BRACE);
    add(t, 1, "+", PC_OPERATOR | PC_IF_SET);
    add(t, 1, "-?", PC_OPERATOR | PC_SPECIAL);
    add(t, 1, "=}", PC_OPERATOR);
    add(t, 1, "*@", PC_ALL_ARGS);
    add(t, 1, "0123456789", PC_DIGIT);
    add(t, 1, "!#$", PC_SPECIAL);
    add(t, 1, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_", PC_LETTER);
    return t;
}

constinit const CharClassTable char_class_table = make_char_class();
