"""Prompts: when the shell is interactive, PS1 and PS2, and where no prompt is shown."""

import os

import pytest

from ptyshell import IS_ROOT, default_prompt, run_piped


@pytest.mark.skipif(not IS_ROOT, reason="needs the superuser")
def test_superuser_gets_hash_prompt(shell):
    s = shell()
    s.expect("# ")
    s.run('echo "$PS1|$PS2|$-"', "# |> |s\n")


def test_unprivileged_user_gets_dollar_prompt(shell):
    s = shell(user="nobody")
    s.expect("$ ")
    s.run('echo "$PS1|$PS2"', "$ |> \n")


def test_prompts_from_the_environment_win(shell):
    s = shell(env={"PS1": "my> ", "PS2": "more> "})
    s.prompt = "my> "
    s.expect("my> ")
    s.line("if true")
    s.expect("more> ")
    s.line("then echo yes; fi")
    s.expect("yes\nmy> ")


def test_new_ps1_shows_at_the_next_prompt(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("x=1 PS1='$x `pwd`> ' PS2=': '")
    s.expect("$x `pwd`> ")  # shown as it is, not expanded
    s.line("echo 'a")
    s.expect(": ")
    s.line("b'")
    s.expect("a\nb\n$x `pwd`> ")
    s.line("PS1=")
    s.line("echo no prompt")
    s.expect("no prompt\n")


# Each line typed but the last is followed by exactly one PS2.
CONTINUED = [
    ("open if", ["if true", "then echo yes", "fi"], "yes\n"),
    ("open single quote", ["echo 'a", "b'"], "a\nb\n"),
    ("open double quote", ['echo "a', 'b"'], "a\nb\n"),
    ("backslash newline", ["echo a\\", "b"], "ab\n"),
    ("open back quote", ["echo `echo a", "echo b`"], "a b\n"),
    ("here-document body", ["cat <<E", "body", "E"], "body\n"),
    ("after a pipe", ["echo a |", "cat"], "a\n"),
    ("after &&", ["true &&", "echo and"], "and\n"),
    ("for loop", ["for i in a b", "do echo $i", "done"], "a\nb\n"),
    ("case", ["case x in", "x) echo x;;", "esac"], "x\n"),
    ("nested quote in if", ["if true; then echo 'a", "b'", "fi"], "a\nb\n"),
]


@pytest.mark.parametrize("lines,output", [c[1:] for c in CONTINUED], ids=[c[0] for c in CONTINUED])
def test_continued_lines_get_ps2(shell, lines, output):
    s = shell()
    s.expect(s.prompt)
    for text in lines[:-1]:
        s.line(text)
        s.expect("> ")
    s.run(lines[-1], output)


# Text read from eval, `.` or a back-quoted command comes from a nested
# source: its newlines print no PS2 (only the line typed at the prompt can).
NESTED = [
    ("dot", ". ./f", "yes\n"),
    ("eval", 'eval "`cat f`"', "yes\n"),
    ("eval here-document", 'eval "`cat h`"', "body\n"),
    ("back quotes", "echo `. ./f`", "yes\n"),
    ("back quotes spanning lines", "echo `echo a\necho b`", "> a b\n"),
]


@pytest.mark.parametrize("line,output", [c[1:] for c in NESTED], ids=[c[0] for c in NESTED])
def test_no_ps2_inside_eval_dot_or_back_quotes(shell, place, line, output):
    place.write("f", "if true\nthen\n  echo yes\nfi\n")
    place.write("h", "cat <<E\nbody\nE\n")
    s = shell()
    s.expect(s.prompt)
    s.run(line, output)


def test_dash_i_without_a_terminal_prompts_on_standard_error(place):
    # `s` is added at the end of $- when no word is left after the options.
    out, err, status = run_piped(place, ["-i"], "echo $-\necho a#b #c\n")
    p = default_prompt()
    assert (out, err, status) == ("is\na#b #c\n", p * 3, 0)


def test_no_prompt_when_standard_error_is_not_a_terminal(shell, place):
    errors = os.path.join(place.root, "errors")
    s = shell(redirect={2: errors})
    s.line("echo a#b #c")
    s.expect("a#b\n")
    s.line("cd nosuch")
    s.line("echo not reached")
    s.end(1)
    with open(errors) as f:
        assert f.read() == "olm: nosuch: bad directory\n"


def test_no_prompt_when_standard_input_is_not_a_terminal(shell, place):
    script = place.write("commands", "echo a#b #c\ncd nosuch\necho not reached\n")
    s = shell(redirect={0: script})
    s.end(1, "a#b\nolm: nosuch: bad directory\n")


def test_verbose_echoes_what_is_typed(shell):
    s = shell()
    s.expect(s.prompt)
    s.run("set -v")
    s.run("echo a", "echo a\na\n")
    s.run("eval 'echo b'", "eval 'echo b'\nb\n")  # not the text of the eval
    s.line("if true")
    s.expect("if true\n> ")
    s.run("then echo c; fi", "then echo c; fi\nc\n")
    s.run("set +v", "set +v\n")
    s.run("echo d", "d\n")


def test_set_t_ends_the_session_after_the_line(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("set -t; echo x")
    s.line("echo not read")
    s.end(0, "x\n")


def test_dash_t_reads_one_line_without_prompting(shell):
    s = shell(args=["-t"])
    s.line("echo one; echo two #c")
    s.line("echo three")
    s.end(0, "one\ntwo\n")
