"""Login shells (the profile in $HOME) and restricted shells, by name and by SHELL."""

import os

import pytest

PROFILE = "echo profile ran # a comment\nX=from-profile\nPS1='login> '\n"


@pytest.mark.parametrize("argv0,login", [
    ("-olm", True),
    ("/usr/local/bin/-olm", True),  # the base name counts
    ("olm", False),
    ("/x/-y/olm", False),
])
def test_login_shell_reads_the_home_profile(shell, place, argv0, login):
    place.write(".olm_profile", PROFILE, where=place.home)
    s = shell(argv0=argv0)
    if login:
        s.prompt = "login> "
        s.expect("profile ran\n" + s.prompt)
        s.run("echo $X $0", "from-profile %s\n" % argv0)
    else:
        s.expect(s.prompt)
        s.run("echo $X $0", "%s\n" % argv0)


def test_profile_not_read_without_home(shell, place):
    # Without HOME the profile is skipped, also one in the working directory.
    place.write(".olm_profile", PROFILE)
    s = shell(argv0="-olm", unset=["HOME"])
    s.expect(s.prompt)
    s.run("echo $X", "\n")


# (profile text, what start-up prints, $? at the first prompt)
PROFILE_ERRORS = [
    ("bad directory", "echo one\ncd nosuch\necho two\n",
     "one\n-olm: nosuch: bad directory\n", 1),
    ("syntax error", "echo one\nfi\necho two\n",
     "one\n-olm: syntax error: `fi' unexpected\n", 2),
    ("in a loop", "for i in a b\ndo\n  cd nosuch\ndone\necho two\n",
     "-olm: nosuch: bad directory\n", 1),
]


@pytest.mark.parametrize("profile,output,status", [c[1:] for c in PROFILE_ERRORS],
                         ids=[c[0] for c in PROFILE_ERRORS])
def test_error_in_the_profile_ends_only_that_file(shell, place, profile, output, status):
    place.write(".olm_profile", profile, where=place.home)
    s = shell(argv0="-olm")
    s.expect(output + s.prompt)
    s.run("echo $?", "%d\n" % status)
    s.run("echo still here", "still here\n")


@pytest.mark.parametrize("argv0,args,message", [
    ("-rolm", [], "-rolm: nosuch: bad directory\n"),  # restricted by name
    ("-olm", ["-e"], "-olm: nosuch: bad directory\n"),
])
def test_error_in_the_profile_ends_the_shell(shell, place, argv0, args, message):
    place.write(".olm_profile", "cd nosuch\necho two\n", where=place.home)
    s = shell(argv0=argv0, args=args)
    s.end(1, message)


def test_profile_runs_before_restriction_by_name(shell, place):
    os.mkdir(os.path.join(place.work, "sub"))
    place.write(".olm_profile", "cd sub\nPATH=/usr/bin:/bin\necho set >f\n", where=place.home)
    s = shell(argv0="-rolm")
    s.expect(s.prompt)
    s.run("pwd; echo $PATH; cat f", "%s/sub\n/usr/bin:/bin\nset\n" % os.path.realpath(place.work))
    s.run("cd ..", "cd: restricted\n")


# The ways a shell becomes restricted.  Each is then checked the same way.
RESTRICTED = [
    ("by name", "rolm", {}, None),
    ("by a path name", "/usr/local/bin/rolm", {}, None),
    ("by SHELL", "olm", {"SHELL": "/bin/rsh"}, None),
    ("by SHELL after the profile", "-olm", {"SHELL": "/usr/bin/rksh"},
     "cd sub\nPATH=/usr/bin:/bin\nSHELL=/bin/olm\necho profile ran >f\n"),
]


@pytest.mark.parametrize("argv0,env,profile", [c[1:] for c in RESTRICTED],
                         ids=[c[0] for c in RESTRICTED])
def test_restricted_shell(shell, place, argv0, env, profile):
    os.mkdir(os.path.join(place.work, "sub"))
    if profile:
        place.write(".olm_profile", profile, where=place.home)
    s = shell(argv0=argv0, env=env)
    s.expect(s.prompt)
    if profile:  # the profile ran unrestricted
        s.run("pwd; cat f; echo $PATH $SHELL",
              "%s/sub\nprofile ran\n/usr/bin:/bin /bin/olm\n" % os.path.realpath(place.work))
    s.run("echo $-", "sr\n")
    s.run("cd /", "cd: restricted\n")
    s.run("chdir /", "chdir: restricted\n")
    s.run("PATH=/bin", "PATH: restricted\n")
    s.run("SHELL=/bin/olm", "SHELL: restricted\n")
    s.run("/bin/echo x", "/bin/echo: restricted\n")
    s.run("echo x >f", "f: restricted\n")
    s.run("echo x >>f", "f: restricted\n")
    s.run("set +r; echo $?", "0\n")
    s.run("cd /", "cd: restricted\n")  # set +r does not leave restricted mode
    s.run("echo x >&2; echo ok", "x\nok\n")
    s.run("echo $?", "0\n")


def test_unrestricted_when_only_the_directory_has_r(shell, place):
    s = shell(argv0="/usr/bin/olm", env={"SHELL": "/usr/bin/olm"})
    s.expect(s.prompt)
    s.run("echo $-", "s\n")
    s.run("cd /")
    s.run("PATH=/bin; /bin/echo x", "x\n")
