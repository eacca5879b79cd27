"""The mail notice: "you have mail" before a prompt, once per change of a non-empty MAIL file."""

import os

NOTICE = "you have mail\n"


def touch(path, when, text=None):
    """Gives the file `text` (when given) and the modification time `when`."""
    if text is not None:
        with open(path, "w") as f:
            f.write(text)
    os.utime(path, (when, when))


def test_notice_once_per_change_of_a_non_empty_file(shell, place):
    mail = os.path.join(place.home, "mbox")
    base = 1_000_000_000
    touch(mail, base, "letter 1\n")
    s = shell(env={"MAIL": mail})
    s.expect(s.prompt)  # never at the first prompt
    s.run(":")
    touch(mail, base + 10, "letter 1\nletter 2\n")
    s.run(":", NOTICE)
    s.run(":")  # once per change
    s.run("")
    touch(mail, base + 20)  # only the time changes
    s.run(":", NOTICE)
    touch(mail, base + 30, "")  # emptied: no notice
    s.run(":")
    touch(mail, base + 40, "letter 3\n")
    s.run(":", NOTICE)
    os.unlink(mail)
    s.run(":")
    touch(mail, base + 50, "letter 4\n")  # back again after being missing
    s.run(":", NOTICE)


def test_file_missing_at_first_then_arriving(shell, place):
    mail = os.path.join(place.home, "mbox")
    s = shell(env={"MAIL": mail})
    s.expect(s.prompt)
    s.run(":")
    touch(mail, 1_000_000_000, "letter\n")
    s.run(":", NOTICE)
    s.run(":")


def test_non_empty_at_start_and_unchanged_gives_no_notice(shell, place):
    mail = os.path.join(place.home, "mbox")
    touch(mail, 1_000_000_000, "old letter\n")
    s = shell(env={"MAIL": mail})
    s.expect(s.prompt)
    s.run(":")
    s.run(":")


def test_mail_assigned_in_the_session(shell, place):
    mail = os.path.join(place.home, "mbox")
    touch(mail, 1_000_000_000, "letter\n")
    s = shell()
    s.expect(s.prompt)
    s.run("MAIL=%s" % mail)  # first look at the file: no notice
    s.run(":")
    touch(mail, 1_000_000_010)
    s.run(":", NOTICE)


def test_recovery_from_an_error_starts_the_mail_state_afresh(shell, place):
    # The state is reset at the recovery point: the next prompt only takes
    # note of the file, so a change made before the error shows no notice.
    mail = os.path.join(place.home, "mbox")
    touch(mail, 1_000_000_000, "letter 1\n")
    s = shell(env={"MAIL": mail})
    s.expect(s.prompt)
    touch(mail, 1_000_000_010, "letter 2\n")
    s.run("cd nosuch", "nosuch: bad directory\n")
    s.run(":")
    touch(mail, 1_000_000_020, "letter 3\n")
    s.run(":", NOTICE)
