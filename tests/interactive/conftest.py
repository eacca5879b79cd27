"""Fixtures of the interactive tests; the session helpers live in ptyshell.py."""

from ptyshell import no_temporary_file_left, place, reap, shell  # noqa: F401
