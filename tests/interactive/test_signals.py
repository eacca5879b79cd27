"""Interrupts and other signals at the prompt, in foreground and background commands."""

import os
import re
import signal
import termios

import pytest

from ptyshell import (alive, signal_mask, terminal_modes, wait_child, wait_reading, wait_waiting,
                      wait_zombie)


def test_interrupt_at_the_prompt_gives_a_fresh_prompt(shell):
    s = shell()
    s.expect(s.prompt)
    s.interrupt()
    s.expect("\n" + s.prompt)
    s.run("echo $?", "3\n")
    s.interrupt()
    s.expect("\n" + s.prompt)
    s.run("echo again", "again\n")


def test_interrupt_at_the_continuation_prompt_abandons_the_command(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("if true")
    s.expect("> ")
    s.line("then echo no")
    s.expect("> ")
    s.interrupt()
    s.expect("\n" + s.prompt)
    s.run("echo after", "after\n")  # a new command, not the rest of the `if`


@pytest.mark.parametrize("line", [
    "sleep 10; echo not reached",
    "while true; do sleep 10; done",
    "for i in 1 2; do sleep 10; done; echo not reached",
    "if true; then sleep 10; echo not reached; fi",
    "read x; echo not reached",
])
def test_interrupt_ends_the_foreground_command(shell, line):
    # The program dies of the interrupt (an empty line is its report), or the
    # read is abandoned (with a newline), and the shell abandons the rest of
    # the command with status 3.
    s = shell()
    s.expect(s.prompt)
    s.line(line)
    if line.startswith("read"):
        wait_reading(s.pid, builtin=True)
    else:
        wait_child(s.pid, "sleep")
    s.child.sendintr()
    s.expect("\n" + s.prompt)
    s.run("echo $?", "3\n")


def test_interrupt_during_command_substitution(shell):
    # The read of the command's output is abandoned (with a newline); the
    # program's own report, an empty line, comes at the next wait for a
    # command (here for `cat`, which runs until the end of input is typed).
    s = shell()
    s.expect(s.prompt)
    s.line("echo `sleep 10` not reached")
    wait_child(s.pid, "sleep")
    s.child.sendintr()
    s.expect("\n" + s.prompt)
    s.run("x=$?")
    s.line("cat")
    s.expect("\n")
    s.child.sendeof()
    s.expect(s.prompt)
    s.run("echo $x", "3\n")


def test_interrupt_while_typing_a_here_document(shell):
    s = shell()
    s.expect(s.prompt)
    s.line("cat <<E")
    s.expect("> ")
    s.line("body")
    s.expect("> ")

    def files():
        return [n for n in os.listdir("/tmp") if n.startswith("sh-%d" % s.pid)]

    assert files()  # the body's file, being written
    s.interrupt()
    s.expect("\n" + s.prompt)
    assert not files()
    s.run("echo $?", "3\n")


def test_trap_on_interrupt_runs_after_the_interrupted_command(shell):
    s = shell()
    s.expect(s.prompt)
    s.run("trap 'echo caught' 2")
    s.line("sleep 10; echo $?")
    wait_child(s.pid, "sleep")
    s.child.sendintr()
    s.expect("\ncaught\n130\n" + s.prompt)
    # At the prompt the interrupt is only noted; the trap runs after the next command.
    s.deliver(signal.SIGINT)
    s.run("echo x", "x\ncaught\n")
    s.run("echo $?", "0\n")


def test_trap_during_read_runs_at_once_and_read_goes_on(shell):
    s = shell()
    s.expect(s.prompt)
    s.run("trap 'echo caught' 2")
    s.line('read x; echo "got $x $?"')
    wait_reading(s.pid, builtin=True)
    s.child.sendintr()
    s.expect("\ncaught\n")
    s.line("typed")
    s.expect("got typed 0\n" + s.prompt)


def test_quit_signal(shell):
    # The shell ignores it; a program it starts does not.
    s = shell()
    s.expect(s.prompt)
    terminal_modes(s, on=termios.NOFLSH)
    wait_reading(s.pid)
    s.child.sendcontrol("\\")
    s.run("echo alive", "alive\n")
    s.line("sleep 10; echo $?")
    wait_child(s.pid, "sleep")
    s.child.sendcontrol("\\")
    s.expect("Quit\n131\n" + s.prompt)


@pytest.mark.parametrize("sig,report,status", [
    (signal.SIGTERM, "Terminated\n", 143),
    (signal.SIGKILL, "Killed\n", 137),
    (signal.SIGINT, "\n", 130),  # sent to the program alone: the shell goes on
])
def test_foreground_program_killed_from_elsewhere(shell, sig, report, status):
    s = shell()
    s.expect(s.prompt)
    s.line("sleep 10; echo $?")
    os.kill(wait_child(s.pid, "sleep"), sig)
    s.expect(report + "%d\n" % status + s.prompt)


def test_interactive_shell_ignores_the_terminate_signal(shell):
    s = shell()
    s.expect(s.prompt)
    s.deliver(signal.SIGTERM)
    s.run("echo alive", "alive\n")
    s.run("echo $?", "0\n")


def test_background_command(shell, reap):
    s = shell()
    s.expect(s.prompt)
    s.line("sleep 30 &")
    pid = int(s.expect_re(r"(\d+)\n" + re.escape(s.prompt)).group(1))
    reap.append(pid)
    s.run("echo $!", "%d\n" % pid)
    assert wait_child(s.pid, "sleep") == pid
    # It reads /dev/null and ignores the interrupt and quit signals.
    assert os.readlink("/proc/%d/fd/0" % pid) == "/dev/null"
    ignored = signal_mask(pid, "SigIgn")
    assert ignored & (1 << (signal.SIGINT - 1)) and ignored & (1 << (signal.SIGQUIT - 1))
    s.interrupt()
    s.expect("\n" + s.prompt)
    assert alive(pid)
    # Killed from elsewhere, it is reported with its process id at the next wait.
    os.kill(pid, signal.SIGTERM)
    wait_zombie(pid)
    s.run(":")  # a builtin waits for nothing
    s.run("/bin/true", "%d Terminated\n" % pid)
    s.run("echo $?", "0\n")


def test_background_command_does_not_keep_the_shell_waiting(shell, reap):
    s = shell()
    s.expect(s.prompt)
    s.line("sleep 30 & echo at once")
    pid = int(s.expect_re(r"(\d+)\nat once\n" + re.escape(s.prompt)).group(1))
    reap.append(pid)
    assert alive(pid)


def test_interrupt_ends_the_wait_builtin(shell, reap):
    # No child is reported, so nothing is written; the background command,
    # which ignores the interrupt, goes on.
    s = shell()
    s.expect(s.prompt)
    s.line("sleep 30 &")
    pid = int(s.expect_re(r"(\d+)\n" + re.escape(s.prompt)).group(1))
    reap.append(pid)
    s.line("wait; echo not reached")
    wait_waiting(s.pid)
    s.child.sendintr()
    s.expect(s.prompt)
    s.run("echo $?", "3\n")
    assert alive(pid)


@pytest.mark.parametrize("args,waits_for", [
    (["-c", "read x; echo not reached"], "read"),
    (["script"], "read"),
    (["-t"], "commands"),
    (["-c", "sleep 10; echo not reached"], "sleep"),
])
def test_interrupt_ends_a_non_interactive_shell_on_a_terminal(shell, place, args, waits_for):
    place.write("script", "read x\necho not reached\n")
    s = shell(args=args)
    if waits_for == "read":
        wait_reading(s.pid, builtin=True)
    elif waits_for == "commands":
        wait_reading(s.pid)
    else:
        wait_child(s.pid, "sleep")
    s.child.sendintr()
    s.end(3, "\n")


def test_interrupt_ignored_at_start_stays_ignored(shell, reap):
    s = shell(ignore=[signal.SIGINT])
    s.expect(s.prompt)
    s.run("trap 'echo caught' 2")
    s.run("trap", "2: echo caught\n")  # the text is kept
    terminal_modes(s, on=termios.NOFLSH)
    s.interrupt()
    s.run("echo alive", "alive\n")  # no new prompt, no trap
    s.line("sleep 30; echo $?")
    pid = wait_child(s.pid, "sleep")
    reap.append(pid)
    s.child.sendintr()
    assert alive(pid)
    os.kill(pid, signal.SIGTERM)
    s.expect("Terminated\n143\n" + s.prompt)
