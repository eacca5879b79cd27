// The shapes of parsed command trees, and the syntax errors of the parser.
#include "support.h"

#include "signals/signals.h"
#include "startup/startup.h"

namespace {

class Tree : public ShellTest {};

struct Shape {
    const char* text;
    const char* tree;
};

void check_shapes(const Shape* shapes, size_t n)
{
    for (size_t i = 0; i < n; i++)
        EXPECT_EQ(parse_line(shapes[i].text), shapes[i].tree) << "command line: " << shapes[i].text;
}

} // namespace

TEST_F(Tree, PipelinesAndLists)
{
    const Shape shapes[] = {
        {"a | b | c", "PIPE(FORK200(a),FORK500(PIPE(FORK200(b),FORK500(c))))"},
        {"a ^ b", "PIPE(FORK200(a),FORK500(b))"},
        {"a & b", "LIST(FORK70(a),b)"},
        {"a &", "FORK70(a)"},
        {"a;", "a"},
        {"a; b; c", "LIST(a,LIST(b,c))"},
        {"a | b &", "FORK70(PIPE(FORK200(a),FORK500(b)))"},
        {"a & b & c &", "LIST(FORK70(a),LIST(FORK70(b),FORK70(c)))"},
        {"a && b || c &", "FORK70(OR(AND(a,b),c))"},
        {"a || b && c", "AND(OR(a,b),c)"},
        {"a | b && c | d", "AND(PIPE(FORK200(a),FORK500(b)),PIPE(FORK200(c),FORK500(d)))"},
        {"a &&\n\nb", "AND(a,b)"},
        {"a |\nb", "PIPE(FORK200(a),FORK500(b))"},
        // No command after the pipe symbol: the reading side is empty.
        {"echo x | ;", "PIPE(FORK200(echo x),FORK500(-))"},
        {"echo x |\n; echo y", "LIST(PIPE(FORK200(echo x),FORK500(-)),echo y)"},
        {"", "-"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, CompoundCommandsAndTheirRedirections)
{
    const Shape shapes[] = {
        {"(a)", "FORK0(PAREN(a))"},
        {"(a; b)", "FORK0(PAREN(LIST(a,b)))"},
        {"(a) > f", "FORK0[1>f](FORK0(PAREN(a)))"},
        {"<f (a)", "FORK0[0<f](FORK0(PAREN(a)))"},
        {"<f (a) >g", "FORK0[1>g 0<f](FORK0(PAREN(a)))"},
        {"while false; do :; done > f", "FORK0[1>f](WHILE(false,:))"},
        {"while a; do b; done", "WHILE(a,b)"},
        {"until a; do b; c; done", "UNTIL(a,LIST(b,c))"},
        {"{ a; }", "a"},
        {"{ a; b; } > f", "FORK0[1>f](LIST(a,b))"},
        {"{ a; } | b", "PIPE(FORK200(a),FORK500(b))"},
        {"if a; then b; fi", "IF(a,b,-)"},
        {"if a; then b; else c; fi > f", "FORK0[1>f](IF(a,b,c))"},
        {"if a; then b; elif c; then d; else e; fi", "IF(a,b,IF(c,d,e))"},
        // Only the elif part carries the redirection.
        {"if a; then b; elif c; then d; fi > f", "IF(a,b,FORK0[1>f](IF(c,d,-)))"},
        {"if a\nthen b\nfi", "IF(a,b,-)"},
        {"if a; then b; elif c; then d; elif e; then f; fi > g", "IF(a,b,IF(c,d,FORK0[1>g](IF(e,f,-))))"},
        {"while a; do b; done & c", "LIST(FORK70(WHILE(a,b)),c)"},
        {"case x in a) b;; esac | c", "PIPE(FORK200(CASE(x;a:b)),FORK500(c))"},
        {"((a))", "FORK0(PAREN(FORK0(PAREN(a))))"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, ForAndCase)
{
    const Shape shapes[] = {
        {"for i in a b; do echo $i; done", "FOR(i;a b;echo $i)"},
        {"for i in a b; { echo $i; }", "FOR(i;a b;echo $i)"},
        {"for i in a b\ndo c\ndone", "FOR(i;a b;c)"},
        // The assignment-shaped word is set aside, not a loop value.
        {"for i in a=1 b; do echo $i; done", "FOR(i;{a=1} b;echo $i)"},
        {"for i do echo $i; done", "FOR(i;-;echo $i)"},
        {"for i; do echo $i; done", "FOR(i;-;echo $i)"},
        {"for i\ndo c; done", "FOR(i;-;c)"},
        // A { on the line of the words, with no ; before it, is one more word.
        {"for i in a {; do b; done", "FOR(i;a {;b)"},
        {"for i in a; do b; done >f", "FORK0[1>f](FOR(i;a;b))"},
        {"case x in a | b) echo y;; esac", "CASE(x;b|a:echo y)"},
        {"case x in a) A;; b|c|d) B;; esac", "CASE(x;a:A;d|c|b:B)"},
        {"case x in a) ;; esac", "CASE(x;a:-)"},
        {"case x in a) A; B; esac", "CASE(x;a:LIST(A,B))"},
        {"case x in esac", "CASE(x)"},
        {"case x in a|in) ;; esac", "CASE(x;in|a:-)"},
        {"case x { x) echo y;; }", "CASE(x;x:echo y)"},
        {"case x in\na)\nA\n;;\nesac", "CASE(x;a:A)"},
        {"case x in a) b;; esac > f", "FORK0[1>f](CASE(x;a:b))"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, RedirectionsAndAssignmentsInOrder)
{
    const Shape shapes[] = {
        // Each group written together goes in front of the earlier groups.
        {"cmd >a x >b <c", "cmd x 1>b 0<c 1>a"},
        {">a <b cmd", "cmd 1>a 0<b"},
        {">a cmd <b x >c", "cmd x 1>c 0<b 1>a"},
        {"cmd >a x >b", "cmd x 1>b 1>a"},
        {"a >f >g", "a 1>f 1>g"},
        {"<a b <c", "b 0<c 0<a"},
        {"a=1 b=2 cmd", "{b=2 a=1} cmd"},
        {"a=1 a=2 cmd", "{a=2 a=1} cmd"},
        {"a=1 cmd b=2", "{a=1} cmd b=2"},
        {"a=1", "{a=1}"},
        {"a=1 >f b=2", "{b=2 a=1} 1>f"},
        {"a >>f b <&- c >&2 d 3<>g", "a b c d 3<g 1>&2 0<&- 1>>f"},
        {"a 2>&1 9<&0", "a 2>&1 9<&0"},
        // A redirection alone is a simple command without words.
        {">f", "1>f"},
        // After a redirection no reserved word is recognised.
        {"<f if", "if 0<f"},
        {"<f while x", "while x 0<f"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, DescriptorDigits)
{
    const Shape shapes[] = {
        {"2>f", "2>f"},
        {"2 >f", "2 1>f"},
        {"12>f", "12 1>f"},
        {"a 2>>f", "a 2>>f"},
        {"a 2<f", "a 2<f"},
        {"\"2\">f", "\"2\" 1>f"},
        {"\\2>f", "\\2 1>f"},
        // A descriptor 0 before > or >> counts as none.
        {"0>f", "1>f"},
        {"0>>f", "1>>f"},
        {"0<f", "0<f"},
        {"a 0>&2", "a 1>&2"},
        {"a2>f", "a2 1>f"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, WordsCommentsAndQuoting)
{
    const Shape shapes[] = {
        {"a #b c", "a"},
        {"a#b", "a#b"},
        {"# only a comment", "-"},
        {"echo 'a b' \"c $d\" e\\ f", "echo \"\\a\\ \\b\" \"c $d\" e\\ f"},
        {"echo `a b`", "echo `a b`"},
        {"if=1 then", "{if=1} then"},
        {"echo if then fi", "echo if then fi"},
    };
    check_shapes(shapes, std::size(shapes));
}

TEST_F(Tree, HashIsOrdinaryOnlyAtAnInteractivePrompt)
{
    shell_flags = FLAG_PROMPT | FLAG_RECOVER;
    EXPECT_EQ(parse_line("a #b", true), "a #b");
    EXPECT_EQ(parse_line("a #b"), "a"); // a nested source (eval, .) still has comments
    shell_flags = 0;
    EXPECT_EQ(parse_line("a #b", true), "a");
}

TEST_F(Tree, KeywordOptionCollectsLaterAssignments)
{
    shell_flags = FLAG_KEYWORD;
    EXPECT_EQ(parse_line("a=1 cmd b=2 c"), "{b=2 a=1} cmd c");
}

TEST_F(Tree, KindBitsAboveTheKindAreClearOutsideForks)
{
    // The printer marks any node whose type has bits above its kind; none
    // of these may carry any.
    EXPECT_EQ(parse_line("while a && b; do (c | d); done; for i in x; do case y in z) e;; esac; done"),
              "LIST(WHILE(AND(a,b),FORK0(PAREN(PIPE(FORK200(c),FORK500(d))))),"
              "FOR(i;x;CASE(y;z:e)))");
}

TEST_F(Tree, SyntaxErrors)
{
    const Shape errors[] = {
        // A ; with nothing before it is found once the rest of the list is
        // read, at the token that ends it; a & at once.
        {";", "error: syntax error: `end of file' unexpected"},
        {"; a", "error: syntax error: `end of file' unexpected"},
        {"&", "error: syntax error: `&' unexpected"},
        {"& a", "error: syntax error: `&' unexpected"},
        {"a ;; b", "error: syntax error: `;;' unexpected"},
        {"()", "error: syntax error: `)' unexpected"},
        {"if a; then fi", "error: syntax error: `fi' unexpected"},
        {"while a; do done", "error: syntax error: `done' unexpected"},
        {"fi", "error: syntax error: `fi' unexpected"},
        {"echo )", "error: syntax error: `)' unexpected"},
        {"for i in\ndo a; done", "error: syntax error: `newline or ;' unexpected"},
        {"case x in in) ;; esac", "error: syntax error: `in' unexpected"},
        {"a &&", "error: syntax error: `end of file' unexpected"},
        {"a || ;", "error: syntax error: `;' unexpected"},
        // After a redirection { is an ordinary word, so } comes unexpected.
        {"<f { b; }", "error: syntax error: `}' unexpected"},
        {"a & & b", "error: syntax error: `&' unexpected"},
        {"a | | b", "error: syntax error: `|' unexpected"},
        {"a > ;", "error: syntax error: `;' unexpected"},
        {"a >>", "error: syntax error: `end of file' unexpected"},
        {"(a", "error: syntax error: `end of file' unexpected"},
        {"{ a; ) }", "error: syntax error: `)' unexpected"},
        // A word in the message is shown without its quoting marks.
        {"case x in a \\b) ;; esac", "error: syntax error: `b' unexpected"},
        {"case x in a 'b c') ;; esac", "error: syntax error: `\"b c\"' unexpected"},
    };
    check_shapes(errors, std::size(errors));
}

TEST_F(Tree, SyntaxErrorSetsStatusTwo)
{
    exit_status = 0;
    EXPECT_EQ(parse_line("a; fi"), "error: syntax error: `fi' unexpected");
    EXPECT_EQ(exit_status, 2);
}

TEST_F(Tree, DeepNestingIsNoSpaceAndTheParserRecovers)
{
    std::string deep(3000, '(');
    deep += "a";
    deep += std::string(3000, ')');
    EXPECT_EQ(parse_line(deep), "error: no space");
    EXPECT_EQ(exit_status, 1);
    EXPECT_EQ(parse_line("a | b"), "PIPE(FORK200(a),FORK500(b))");
    std::string fine(100, '(');
    fine += "a";
    fine += std::string(100, ')');
    std::string expected;
    for (int i = 0; i < 100; i++)
        expected += "FORK0(PAREN(";
    expected += "a";
    for (int i = 0; i < 100; i++)
        expected += "))";
    EXPECT_EQ(parse_line(fine), expected);
}
