// match_pattern: *, ?, bracket expressions and marked (quoted) characters.
#include "support.h"

#include "expand/expand.h"

namespace {

struct MatchCase {
    const char* pattern;
    const char* text;
    bool matches;
};

void check_table(const MatchCase* cases, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        const MatchCase& c = cases[i];
        EXPECT_EQ(match_pattern(c.text, c.pattern), c.matches)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
    }
}

} // namespace

TEST(Pattern, StarAndQuestionMark)
{
    const MatchCase cases[] = {
        {"a*", "a", true},
        {"a*", "abc", true},
        {"a*", "ba", false},
        {"*", "", true},
        {"**", "", false},   // the second * is never tried at the empty end
        {"a**", "a", false},
        {"a**", "ab", true},
        {"*a", "a", true},
        {"*a", "bba", true},
        {"*a", "ab", false},
        {"*b*", "abc", true},
        {"*b*", "ab", true},   // a final * matches the empty end
        {"*?", "", false},
        {"*?", "x", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "abcbc", true},
        {"a*b*c", "abcb", false},
        {"*x", "", false},
        {"a*", "", false},
        {"?", "", false},
        {"?", "x", true},
        {"?", "xy", false},
        {"??", "xy", true},
        {"", "", true},
        {"", "a", false},
        {"abc", "abc", true},
        {"abc", "abcd", false},
    };
    check_table(cases, std::size(cases));
}

TEST(Pattern, BracketExpressions)
{
    const MatchCase cases[] = {
        {"[a-c]", "b", true},
        {"[a-c]", "a", true},
        {"[a-c]", "c", true},
        {"[a-c]", "d", false},
        {"[!a-c]", "b", false},
        {"[!a-c]", "d", true},
        {"[^a-c]", "b", false},
        {"[^a-c]", "d", true},
        // A range whose start is above the character is passed over; its
        // end is then an ordinary item.
        {"[c-a]", "a", true},
        {"[c-a]", "c", true},
        {"[c-a]", "b", false},
        {"[!c-a]", "b", true},
        {"[!c-a]", "a", false},
        // A leading - does not stand for itself.
        {"[-a]", "-", false},
        {"[-a]", "a", true},
        // Never a match at the end of the text, negated or not.
        {"[!a]", "", false},
        {"x[!a]", "x", false},
        {"x[a]", "x", false},
        {"[!a]", "b", true},
        {"[!a]", "a", false},
        // [] and [!] as written never match; ] right after [ closes it.
        {"[]", "", false},
        {"[]", "]", false},
        {"[]", "[]", false},
        {"[!]", "a", false},
        {"[!]", "]", false},
        {"[]a]", "]a]", false},
        {"[]a]", "a]", false},
        // An unclosed expression never matches.
        {"[a", "a", false},
        {"[a", "[a", false},
        {"[abc]", "c", true},
        {"[a-cx-z]", "y", true},
        {"[a-cx-z]", "m", false},
        {"x[0-9]y", "x5y", true},
        {"x[0-9]y", "xay", false},
        {"*[0-9]", "abc7", true},
        {"[?*]", "*", true},  // inside brackets * and ? are items
        {"[?*]", "a", false},
    };
    check_table(cases, std::size(cases));
}

TEST(Pattern, MarkedCharactersAreLiteral)
{
    const MatchCase cases[] = {
        {"\xaa", "*", true},   // a marked * matches only an asterisk
        {"\xaa", "a", false},
        {"a" "\xaa", "a*", true},
        {"a" "\xaa", "abc", false},
        {"\xbf", "?", true},   // a marked ?
        {"\xbf", "x", false},
        {"\xdb" "a]", "[a]", true},  // a marked [ opens no expression
        {"\xdb" "a]", "a", false},
        {"\xe1", "a", true},   // marked letters compare by their low seven bits
        {"a", "\xe1", true},  // and so do the text's characters
        {"?", "\x80", true},  // the empty-quoted byte matches ? and *
        {"*", "\x80", true},
        {"\x80", "\x80", false}, // but equals no pattern character
        {"[\x80]", "\x80", false},
        // Inside brackets a marked ], - or ! is an ordinary character.
        {"[" "\xdd" "]", "]", true},
        {"[a" "\xad" "c]", "-", true},
        {"[a" "\xad" "c]", "b", false},
        {"[" "\xa1" "a]", "!", true},
        {"[" "\xa1" "a]", "b", false},
        // A marked range end is below every character.
        {"[a-" "\xfa" "]", "b", false},
        {"[a-" "\xfa" "]", "a", true},
    };
    check_table(cases, std::size(cases));
}

// After a range that cannot hold the character, the - is passed over and
// the byte after it is read as an ordinary item, even when it is a ].
TEST(Pattern, ByteAfterASkippedRangeIsAnOrdinaryItem)
{
    const MatchCase cases[] = {
        {"[b-]", "a", false},
        {"[b-]x]", "]", true},
        {"[!b-]x]", "a", true},
        {"[!b-]", "a", false}, // the expression is left unclosed
    };
    check_table(cases, std::size(cases));
}
