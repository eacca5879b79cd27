"""Failures at the prompt: messages, recovery, -e, `#`, exec, exit and the end of input."""

import signal
import termios

import pytest

from ptyshell import default_prompt, run_piped, terminal_modes

# (lines typed, what the shell writes in answer, $? afterwards).  Messages
# carry no "$0: " prefix and syntax errors no line number; every line typed
# but the last is followed by PS2.
ERRORS = [
    ("bad directory", ["cd x"], "x: bad directory\n", 1),
    ("syntax error", ["fi"], "syntax error: `fi' unexpected\n", 2),
    ("syntax error on a later line", ["if true", "fi"], "syntax error: `fi' unexpected\n", 2),
    ("syntax error, rest of the line unused", ["echo a; fi; echo b"],
     "syntax error: `fi' unexpected\n", 2),
    ("syntax error in eval", ["eval 'echo a; fi'; echo b"], "syntax error: `fi' unexpected\n", 2),
    ("syntax error in back quotes", ["echo `fi` b"], "syntax error: `fi' unexpected\n", 2),
    ("program not found", ["nosuchprogram"], "nosuchprogram: not found\n", 1),
    ("parameter not set", ["echo ${x?}; echo b"], "x: parameter null or not set\n", 1),
    ("in a loop", ["for i in a b; do cd nosuch; echo $i; done"], "nosuch: bad directory\n", 1),
    ("in eval", ["eval 'cd nosuch; echo a'; echo b"], "nosuch: bad directory\n", 1),
    ("in a dot file", [". ./f; echo b"], "nosuch: bad directory\n", 1),
    # A back-quoted command runs in a child process: the error ends only that.
    ("in back quotes", ["echo `cd nosuch; echo a` b"], "nosuch: bad directory\nb\n", 0),
]


@pytest.mark.parametrize("lines,message,status", [c[1:] for c in ERRORS],
                         ids=[c[0] for c in ERRORS])
def test_error_returns_to_the_prompt(shell, place, lines, message, status):
    place.write("f", "cd nosuch\necho a\n")
    s = shell()
    s.expect(s.prompt)
    for text in lines[:-1]:
        s.line(text)
        s.expect("> ")
    s.run(lines[-1], message)
    s.run("echo $?", "%d\n" % status)
    # Nothing of the abandoned command lingers: no loop is left to break.
    s.run("break; continue; echo `echo still` here", "still here\n")


def test_typed_ahead_input_is_discarded_after_an_error(shell):
    # With the terminal in non-canonical mode a read returns whatever has been
    # typed: the two lines arrive while `sleep` runs and are read together.
    s = shell()
    s.expect(s.prompt)
    terminal_modes(s, off=termios.ICANON)
    s.line("sleep 1")
    s.line("cd nosuch\necho typed ahead")
    s.expect(s.prompt + "nosuch: bad directory\n" + s.prompt)
    s.run("echo next", "next\n")


def test_typed_ahead_input_is_discarded_on_a_pipe_too(place):
    out, err, status = run_piped(place, ["-i"], "echo one\ncd nosuch\necho two\n")
    p = default_prompt()
    assert (out, err, status) == ("one\n", p + p + "nosuch: bad directory\n" + p, 1)


@pytest.mark.parametrize("line,message,status", [
    ("false", "", 1),
    ("cd nosuch", "nosuch: bad directory\n", 1),
    ("fi", "syntax error: `fi' unexpected\n", 2),
    ("(exit 5)", "", 5),
])
@pytest.mark.parametrize("how", ["set -e", "olm -e"])
def test_errexit_ends_the_interactive_shell(shell, how, line, message, status):
    s = shell(args=["-e"] if how == "olm -e" else [])
    s.expect(s.prompt)
    if how == "set -e":
        s.run("set -e")
    s.run("if false; then :; fi; while false; do :; done; echo on", "on\n")  # conditions do not count
    s.line(line)
    s.end(status, message)


COMMENTS = [
    ("at the prompt", "echo a#b #c", "a#b #c\n"),
    ("alone", "echo #", "#\n"),
    ("as a command", "#c", "#c: not found\n"),
    ("in eval", "eval 'echo a #c'", "a\n"),
    ("in eval, words joined", "eval echo a '#c'", "a\n"),
    ("in back quotes", "echo `echo a #c` b", "a b\n"),
    ("in a dot file", ". ./f", "a\n"),
]


@pytest.mark.parametrize("line,output", [c[1:] for c in COMMENTS], ids=[c[0] for c in COMMENTS])
def test_hash_is_ordinary_at_the_prompt_but_a_comment_when_nested(shell, place, line, output):
    place.write("f", "echo a #c\n")
    s = shell()
    s.expect(s.prompt)
    s.run(line, output)


def test_failed_exec_keeps_variables_and_traps(shell):
    s = shell()
    s.expect(s.prompt)
    s.run("x=kept HOME=/elsewhere")  # HOME came from the environment, x did not
    s.run("trap 'echo bye' 0")
    s.run("trap 'echo int' 2")
    s.run("exec nosuchprogram arg", "nosuchprogram: not found\n")
    s.run("echo $? $x $HOME", "1 kept /elsewhere\n")
    s.run("trap", "0: echo bye\n2: echo int\n")
    # The terminate signal is still ignored by the interactive shell.
    s.deliver(signal.SIGTERM)
    s.run("echo alive", "alive\n")
    s.line("exit 4")
    s.end(4, "bye\n")


def test_exec_with_only_redirections_stays_in_the_shell(shell, place):
    s = shell()
    s.expect(s.prompt)
    s.run("exec 3>out")
    s.run("echo to3 >&3; cat out", "to3\n")


# (lines typed before, with what each prints; the exit command; the status)
@pytest.mark.parametrize("lines,command,status", [
    ([], "exit 7", 7),
    ([], "exit 300", 44),
    ([], "exit", 0),
    ([("false", "")], "exit", 1),  # `exit` alone keeps the last status
    ([], "false; exit", 1),
    ([("cd nosuch", "nosuch: bad directory\n")], "exit", 1),
    ([("cd nosuch", "nosuch: bad directory\n")], "exit 7", 7),
])
def test_exit_ends_the_session_with_its_status(shell, lines, command, status):
    s = shell()
    s.expect(s.prompt)
    for text, printed in lines:
        s.run(text, printed)
    s.line(command)
    s.end(status)


@pytest.mark.parametrize("line,output,status", [
    ("exec echo replaced", "replaced\n", 0),
    ("exec false", "", 1),
    ("exec /bin/echo a >&2", "a\n", 0),
])
def test_exec_replaces_the_shell(shell, line, output, status):
    s = shell()
    s.expect(s.prompt)
    s.run("trap 'echo exit trap' 0")  # a program that replaces the shell runs no trap
    s.line(line)
    s.end(status, output)


def test_failed_exec_keeps_its_redirections(shell):
    s = shell()
    s.expect(s.prompt)
    s.run("exec nosuchprogram >out", "nosuchprogram: not found\n")
    s.run("echo x; cat out >&2", "x\n")


# (lines typed with what each prints, what the end of input prints, status)
@pytest.mark.parametrize("lines,output,status", [
    ([], "", 0),
    ([("false", "")], "", 1),
    ([("cd nosuch", "nosuch: bad directory\n")], "", 1),
    ([("fi", "syntax error: `fi' unexpected\n")], "", 2),
    ([("trap 'echo bye' 0", ""), ("false", "")], "bye\n", 1),
])
def test_end_of_input_ends_with_the_last_status(shell, lines, output, status):
    s = shell()
    s.expect(s.prompt)
    for text, printed in lines:
        s.run(text, printed)
    s.child.sendeof()
    s.end(status, output)


def test_end_of_input_inside_a_quote_ends_the_word(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("echo 'a")
    s.expect("> ")
    s.child.sendeof()
    s.end(0, "a\n\n")


def test_end_of_input_inside_a_command(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("if true")
    s.expect("> ")
    s.child.sendeof()
    s.end(2, "syntax error: `end of file' unexpected\n")
