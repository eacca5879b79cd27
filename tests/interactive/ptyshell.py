"""Pseudo-terminal sessions with the shell, for the interactive tests.

Every session runs the shell under test (the OLM environment variable, or
build/olm in the repository) on a fresh pseudo-terminal, with a small fixed
environment (PATH, LC_ALL=C, TERM=dumb and HOME naming a fresh directory) in a
fresh working directory.  Terminal echo is turned off, so what the session
reads back is only what the shell and its programs write; the terminal's
"\r\n" is turned back into "\n" before texts are compared.

Expectations are exact: `expect` checks that the next text the terminal shows
is the given one, nothing before it.  Each expectation waits at most TIMEOUT
seconds (the suite also runs under the sanitizers, which are slower).
"""

import os
import platform
import pwd
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

import pexpect
import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OLM = os.path.abspath(os.environ.get("OLM", os.path.join(REPO, "build", "olm")))
TIMEOUT = 5
FIXED_ENV = {"PATH": "/usr/local/bin:/usr/bin:/bin", "LC_ALL": "C", "TERM": "dumb"}
IS_ROOT = os.geteuid() == 0

# Started through this, the shell gets exactly the argv[0] a test asks for,
# and optionally a file in place of the terminal on one descriptor.
_EXEC = (
    "import os, sys\n"
    "for spec in sys.argv[1].split(','):\n"
    "    if spec:\n"
    "        fd, path = spec.split('=', 1)\n"
    "        f = os.open(path, os.O_RDONLY if fd == '0' else os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o666)\n"
    "        os.dup2(f, int(fd))\n"
    "        os.close(f)\n"
    "os.execv(sys.argv[2], sys.argv[3:])\n"
)

# System call numbers, for watching what the shell is blocked in.
_SYSCALLS = {"x86_64": {"read": {0}, "wait": {61, 247}},  # wait4, waitid
             "aarch64": {"read": {63}, "wait": {260, 95}}}.get(platform.machine())


def default_prompt(user=None):
    return "# " if IS_ROOT and not user else "$ "


def _preparation(user, ignore):
    """What the new process does before the shell starts: ignore signals, drop privileges."""
    entry = pwd.getpwnam(user) if user else None

    def prepare():
        resource.setrlimit(resource.RLIMIT_CORE, (0, resource.getrlimit(resource.RLIMIT_CORE)[1]))
        for sig in ignore:
            signal.signal(sig, signal.SIG_IGN)
        if entry:
            os.setgroups([])
            os.setgid(entry.pw_gid)
            os.setuid(entry.pw_uid)

    return prepare


class Place:
    """A fresh directory for one test: home/ is HOME, work/ the working directory."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="olm-pty-")
        self.home = os.path.join(self.root, "home")
        self.work = os.path.join(self.root, "work")
        os.mkdir(self.home)
        os.mkdir(self.work)
        for d in (self.root, self.home, self.work):
            os.chmod(d, 0o777)  # usable by an unprivileged shell too

    def write(self, name, text, where=None):
        path = os.path.join(where or self.work, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o666)
        return path

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Session:
    """The shell running on a pseudo-terminal.

    args are the words after argv0, env adds to the fixed environment and unset
    removes from it, user runs the shell as that unprivileged user (when the
    tests run as root), redirect maps descriptors 0, 1 or 2 to files in place of
    the terminal, ignore lists signals the shell finds ignored when it starts.
    No core files are written.
    """

    def __init__(self, place, args=(), argv0="olm", env=None, unset=(), user=None,
                 redirect=None, ignore=()):
        self.user = user if IS_ROOT else None
        environment = dict(FIXED_ENV, HOME=place.home)
        environment.update(env or {})
        for name in unset:
            environment.pop(name, None)
        redirections = ",".join("%d=%s" % item for item in sorted((redirect or {}).items()))
        self.child = pexpect.spawn(
            sys.executable, ["-c", _EXEC, redirections, OLM, argv0] + list(args),
            env=environment, cwd=place.work, echo=False, timeout=TIMEOUT,
            encoding="utf-8", codec_errors="replace",
            preexec_fn=_preparation(self.user, ignore))
        self.child.delaybeforesend = None
        self.prompt = default_prompt(self.user)
        self.shown = ""  # everything read so far, for failure reports

    @property
    def pid(self):
        return self.child.pid

    def _fail(self, what, pending):
        pytest.fail("%s\nshown so far:\n%s\nthen:\n%s" % (what, _show(self.shown), _show(pending)),
                    pytrace=False)

    def _wait(self, pattern, exact):
        """Waits for the pattern, which must come next; returns the match (for a regular expression)."""
        problem = None
        try:
            if exact:
                self.child.expect_exact(pattern)
            else:
                self.child.expect(pattern)
        except pexpect.TIMEOUT:
            problem = "expected %r" % pattern
        except pexpect.EOF:
            problem = "expected %r, but the shell ended" % pattern
        if problem:
            self._fail(problem, self.child.before)
        before, after = self.child.before, self.child.after
        if before:
            self._fail("expected %r at once, but something came first" % pattern, before + after)
        self.shown += after.replace("\r\n", "\n")
        return self.child.match

    def expect(self, text):
        """The terminal next shows exactly `text`."""
        self._wait(text.replace("\n", "\r\n"), True)

    def expect_re(self, pattern):
        """The terminal next shows text matching `pattern` ("\n" for a line end); returns the match."""
        return self._wait(pattern.replace("\n", "\r\n").replace(r"\n", r"\r\n"), False)

    def line(self, text):
        self.child.send(text + "\n")

    def run(self, text, output=""):
        """Types a line and expects `output` followed by the next prompt."""
        self.line(text)
        self.expect(output + self.prompt)

    def interrupt(self):
        """Types the interrupt character once the shell is blocked reading the terminal."""
        wait_reading(self.pid)
        self.child.sendintr()

    def deliver(self, sig):
        """Sends `sig` to the shell waiting for input; returns once it has been
        taken and the shell reads again.  (Input typed while the signal is still
        pending could be read and then lost when the catcher leaves the read.)"""
        wait_reading(self.pid)
        os.kill(self.pid, sig)
        bit = 1 << (sig - 1)
        _until("signal %d to be taken" % sig,
               lambda: not (signal_mask(self.pid, "SigPnd") | signal_mask(self.pid, "ShdPnd")) & bit)
        wait_reading(self.pid)

    def end(self, status, output=""):
        """Expects `output`, then the end of the session with `status`."""
        timed_out = False
        try:
            self.child.expect(pexpect.EOF)
        except pexpect.TIMEOUT:
            timed_out = True
        if timed_out:
            self._fail("expected the shell to end", self.child.before)
        rest = self.child.before.replace("\r\n", "\n")
        if rest != output:
            self._fail("expected %r before the end" % output, rest)
        self.shown += rest
        self.child.close()
        if self.child.signalstatus is not None:
            pytest.fail("the shell was killed by signal %d" % self.child.signalstatus, pytrace=False)
        assert self.child.exitstatus == status, "exit status %s, expected %s" % (
            self.child.exitstatus, status)

    def close(self):
        if self.child.isalive():
            self.child.kill(signal.SIGKILL)
        self.child.close(force=True)


def _show(text):
    return "".join("  |" + line + "\n" for line in text.replace("\r\n", "\n").split("\n"))


def _stat(pid):
    """(state, parent pid, command name) of a process, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            text = f.read()
    except OSError:
        return None
    name = text[text.index("(") + 1:text.rindex(")")]
    fields = text[text.rindex(")") + 2:].split()
    return fields[0], int(fields[1]), name


def signal_mask(pid, field):
    """A signal mask of /proc/PID/status (SigPnd, ShdPnd, SigIgn, ...); bit n-1 is signal n."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1], 16)
    return 0


def _until(what, test):
    deadline = time.monotonic() + TIMEOUT
    while True:
        result = test()
        if result:
            return result
        if time.monotonic() > deadline:
            pytest.fail("timed out waiting for %s" % what, pytrace=False)
        time.sleep(0.01)


def _blocked_in(pid, call, accept, what):
    """Waits until the process is in the system call `call` with arguments that
    `accept` (given the list of argument words) approves."""
    def test():
        try:
            with open("/proc/%d/syscall" % pid) as f:
                fields = f.read().split()
            if _SYSCALLS is None or not fields:
                return "unknown"
            if int(fields[0]) not in _SYSCALLS[call]:
                return False
            return accept([int(x, 16) for x in fields[1:7]])
        except PermissionError:
            return "unknown"
        except (OSError, ValueError, IndexError):
            return False

    if _until(what, test) == "unknown":
        time.sleep(0.3)  # no way to look: give it a moment


def wait_reading(pid, builtin=False):
    """Waits until the process is blocked reading its standard input.

    With `builtin`, the read must be that of the `read` builtin, which reads a
    duplicate of descriptor 0 (the command loop reads descriptor 0 itself).
    """
    def terminal(args):
        fd = args[0]
        if builtin and fd == 0:
            return False
        return os.readlink("/proc/%d/fd/%d" % (pid, fd)) == os.readlink("/proc/%d/fd/0" % pid)

    _blocked_in(pid, "read", terminal, "the shell to read its input")


def wait_waiting(pid):
    """Waits until the process is blocked waiting for a child."""
    _blocked_in(pid, "wait", lambda args: True, "the shell to wait for a child")


def wait_child(pid, name):
    """Waits until the shell `pid` has a child running the program `name`; returns its id."""
    def child():
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                info = _stat(int(entry))
                if info and info[1] == pid and info[2] == name and info[0] != "Z":
                    return int(entry)
        return None

    return _until("a child running %s" % name, child)


def wait_zombie(pid):
    _until("process %d to end" % pid, lambda: (_stat(pid) or ("Z",))[0] == "Z")


def alive(pid):
    info = _stat(pid)
    return info is not None and info[0] != "Z"


def terminal_modes(session, on=0, off=0):
    """Sets and clears local mode bits (termios c_lflag) of the session's terminal.

    Clearing ICANON makes a read return whatever has been typed (one byte at
    least); setting NOFLSH keeps what is typed after an interrupt character
    from being thrown away with the input queue.
    """
    fd = session.child.child_fd
    attrs = termios.tcgetattr(fd)
    attrs[3] = (attrs[3] | on) & ~off
    attrs[6][termios.VMIN] = 1
    attrs[6][termios.VTIME] = 0
    termios.tcsetattr(fd, termios.TCSANOW, attrs)


def run_piped(place, args, stdin, env=None):
    """Runs the shell without a terminal; returns (stdout, stderr, status)."""
    environment = dict(FIXED_ENV, HOME=place.home)
    environment.update(env or {})
    r = subprocess.run([OLM] + list(args), input=stdin.encode(), capture_output=True,
                       cwd=place.work, env=environment, timeout=2 * TIMEOUT)
    return r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace"), r.returncode


@pytest.fixture
def place():
    p = Place()
    yield p
    p.remove()


@pytest.fixture
def shell(place):
    """A factory of sessions in the test's directory; every session is ended afterwards."""
    sessions = []

    def start(*args, **kw):
        s = Session(place, *args, **kw)
        sessions.append(s)
        return s

    yield start
    for s in sessions:
        s.close()


@pytest.fixture
def reap():
    """Process ids of programs a test started through the shell, killed afterwards."""
    pids = []
    yield pids
    for pid in pids:
        if alive(pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


@pytest.fixture(scope="session", autouse=True)
def no_temporary_file_left():
    before = {n for n in os.listdir("/tmp") if n.startswith("sh-")}
    yield
    left = set()
    for _ in range(20):
        left = {n for n in os.listdir("/tmp") if n.startswith("sh-")} - before
        if not left:
            break
        time.sleep(0.1)
    assert not left, "temporary files left in /tmp: %s" % sorted(left)

