"""Behaviour case tables: the file format and the runner.

A case file holds cases, each introduced by a line "=== name".  A case is a
set of sections, each introduced by "--- key [words]" and holding the lines
up to the next section or case.  Lines before the first case, and lines
starting with "#" directly after "===" lines, are comments.

Sections (all optional):
  script            the command text
  mode WORD         file (default: the text is a script file named "script"),
                    c (the text is given with -c) or stdin (fed to the shell)
  args              words (shell quoting) after the script or -c text
  argv0             the name the shell is invoked by (default olm)
  argv              the whole command line after argv0, overriding mode/args
  wrapper           words put in front of the shell (e.g. prlimit --as=...)
  stdin             standard input (not with mode stdin)
  env               NAME=VALUE lines added to the fixed environment;
                    a line "-NAME" removes NAME
  file NAME [MODE]  a file to create first (octal MODE, e.g. 755)
  setup             /bin/sh commands run first in the case's directory
  check             /bin/sh commands run afterwards; must exit 0
  stdout [re|any]   expected standard output (exact, a regular expression
                    matched in full, or anything)
  stderr [re|any]   expected standard error, likewise
  status            expected exit status (default 0)
  user              run as this unprivileged user (when run as root)
  unsanitized       the case cannot run under the sanitizers (limits)
  requires          /bin/sh commands; the case is skipped when they fail
                    (for what a machine may not allow, such as namespaces)
  timeout           seconds (default 10)

A section's text is its lines, each ending with a newline; a "-n" word in
the header drops the final newline.  Blank lines at the end of a section
are not part of it; a line "@BLANK@" stands for an empty line.  In every text, @TMP@ stands for the
case's directory, @OLM@ for the binary under test and @HARNESS@ for the
folder of this file (its helper scripts).  Defaults: no output
on either stream and status 0, so a case states everything that happens.
"""

import os
import pwd
import re
import shlex
import shutil
import subprocess
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OLM = os.path.abspath(os.environ.get("OLM", os.path.join(REPO, "build", "olm")))
SANITIZED = os.environ.get("OLM_SANITIZED") == "1"

FIXED_ENV = {"PATH": "/usr/local/bin:/usr/bin:/bin", "LC_ALL": "C"}


class Case:
    def __init__(self, path, line, name):
        self.path = path
        self.line = line
        self.name = name
        self.sections = {}  # key -> (words, text)
        self.files = []  # (name, mode, text)

    def text(self, key, default=None):
        if key not in self.sections:
            return default
        return self.sections[key][1]

    def value(self, key, default=None):
        """A one-word setting, written in the header or on the line below."""
        if key not in self.sections:
            return default
        words, text = self.sections[key]
        return " ".join(words) if words else text.strip()

    def words(self, key):
        return self.sections[key][0] if key in self.sections else []

    @property
    def id(self):
        return "%s:%s" % (os.path.basename(self.path), self.name)


def _finish_section(case, key, words, lines):
    while lines and lines[-1] == "":
        lines = lines[:-1]  # blank lines separate cases
    text = "".join(("" if line == "@BLANK@" else line) + "\n" for line in lines)
    if "-n" in words:
        words = [w for w in words if w != "-n"]
        if text.endswith("\n"):
            text = text[:-1]
    if key == "file":
        name = words[0]
        mode = int(words[1], 8) if len(words) > 1 else 0o644
        case.files.append((name, mode, text))
    else:
        if key in case.sections:
            raise ValueError("%s:%d: section %s given twice" % (case.path, case.line, key))
        case.sections[key] = (words, text)


def parse_file(path):
    cases = []
    case = None
    key = None
    words = []
    lines = []
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if line.startswith("=== "):
                if case and key:
                    _finish_section(case, key, words, lines)
                case = Case(path, number, line[4:].strip())
                cases.append(case)
                key, words, lines = None, [], []
            elif line.startswith("--- ") and case is not None:
                if key:
                    _finish_section(case, key, words, lines)
                parts = line[4:].split()
                key, words, lines = parts[0], parts[1:], []
            elif key is not None:
                lines.append(line)
    if case and key:
        _finish_section(case, key, words, lines)
    return cases


def collect(directory):
    cases = []
    for name in sorted(os.listdir(directory)):
        if name.endswith(".cases"):
            cases.extend(parse_file(os.path.join(directory, name)))
    return cases


HARNESS = os.path.dirname(os.path.abspath(__file__))


def _substitute(text, tmp):
    return text.replace("@TMP@", tmp).replace("@OLM@", OLM).replace("@HARNESS@", HARNESS)


def unmet_requirement(case):
    """The output of a case's failed requirement, or None when it is met."""
    requires = case.text("requires")
    if not requires:
        return None
    tmp = tempfile.mkdtemp(prefix="olm-case-")
    try:
        r = subprocess.run(["/bin/sh", "-c", _substitute(requires, tmp)], cwd=tmp, capture_output=True)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if r.returncode == 0:
        return None
    return (r.stdout + r.stderr).decode(errors="replace").strip() or "requirement not met"


def _compare(label, kind, expected, actual):
    if kind == "any":
        return None
    if kind == "re":
        if re.fullmatch(expected, actual, re.S):
            return None
    elif expected == actual:
        return None
    return "%s differs\n--- expected%s\n%s--- actual\n%s" % (
        label, " (regular expression)" if kind == "re" else "", _show(expected), _show(actual))


def _show(text):
    if not text:
        return "(nothing)\n"
    shown = "".join("  |" + line + "\n" for line in text.split("\n"))
    if text.endswith("\n"):
        shown = shown[: -len("  |\n")]
    else:
        shown += "  (no newline at the end)\n"
    return shown


def _unprivileged(user):
    entry = pwd.getpwnam(user)

    def drop():
        os.setgroups([])
        os.setgid(entry.pw_gid)
        os.setuid(entry.pw_uid)

    return drop


def temp_names():
    return {n for n in os.listdir("/tmp") if n.startswith("sh-")}


def run(case):
    """Runs one case; returns a list of problems (empty when it passed)."""
    tmp = tempfile.mkdtemp(prefix="olm-case-")
    try:
        return _run_in(case, tmp)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def _run_in(case, tmp):
    problems = []
    sub = lambda t: _substitute(t, tmp)
    user = case.value("user")
    if user and os.geteuid() != 0:
        user = None  # already unprivileged
    for name, mode, text in case.files:
        path = os.path.join(tmp, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(sub(text))
        os.chmod(path, mode)

    env = dict(FIXED_ENV)
    env["HOME"] = tmp
    for line in (case.text("env") or "").splitlines():
        if not line:
            continue
        if line.startswith("-"):
            env.pop(line[1:], None)
        else:
            name, _, value = line.partition("=")
            env[name] = sub(value)

    setup = case.text("setup")
    if setup:
        r = subprocess.run(["/bin/sh", "-c", sub(setup)], cwd=tmp, env=env, capture_output=True)
        if r.returncode != 0:
            return ["setup failed: %s" % r.stderr.decode(errors="replace")]
    if user:
        os.chmod(tmp, 0o777)
        for root, dirs, files in os.walk(tmp):
            for n in dirs + files:
                os.chmod(os.path.join(root, n), os.stat(os.path.join(root, n)).st_mode | 0o066)

    script = case.text("script")
    mode = case.value("mode", "file")
    argv0 = case.value("argv0", "olm")
    stdin_text = case.text("stdin")
    args = shlex.split(sub(case.text("args") or ""))
    if "argv" in case.sections:
        argv = shlex.split(sub(case.text("argv")))
        if script is not None:
            with open(os.path.join(tmp, "script"), "w") as f:
                f.write(sub(script))
    elif mode == "c":
        argv = ["-c", sub(script or "")] + args
    elif mode == "stdin":
        argv = args
        stdin_text = sub(script or "")
    else:
        with open(os.path.join(tmp, "script"), "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(sub(script or ""))
        if user:
            os.chmod(os.path.join(tmp, "script"), 0o666)
        argv = ["script"] + args
    wrapper = shlex.split(sub(case.text("wrapper") or ""))
    if wrapper:
        command = wrapper + [OLM] + argv
        executable = None
    else:
        command = [argv0] + argv
        executable = OLM

    timeout = float(case.value("timeout", "10"))
    try:
        r = subprocess.run(
            command, executable=executable, cwd=tmp, env=env,
            input=(sub(stdin_text).encode("utf-8", "surrogateescape") if stdin_text is not None else b""),
            capture_output=True, timeout=timeout, preexec_fn=_unprivileged(user) if user else None)
    except subprocess.TimeoutExpired:
        return ["timed out after %gs" % timeout]
    out = r.stdout.decode("utf-8", "surrogateescape")
    err = r.stderr.decode("utf-8", "surrogateescape")

    for label, actual in (("stdout", out), ("stderr", err)):
        words = case.words(label)
        kind = words[0] if words and words[0] in ("re", "any") else "exact"
        problem = _compare(label, kind, sub(case.text(label, "")), actual)
        if problem:
            problems.append(problem)
    status = int(case.value("status", "0"))
    if r.returncode != status:
        problems.append("status differs: expected %d, got %d" % (status, r.returncode))

    check = case.text("check")
    if check:
        c = subprocess.run(["/bin/sh", "-c", sub(check)], cwd=tmp, env=env, capture_output=True)
        if c.returncode != 0:
            problems.append("check failed:\n%s%s" % (c.stdout.decode(errors="replace"), c.stderr.decode(errors="replace")))
    return problems
