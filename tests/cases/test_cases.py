"""Runs every case of the *.cases tables in this directory through the shell."""

import os
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import casefile  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = casefile.collect(HERE)
SELECT = os.environ.get("OLM_CASE")  # a substring of case ids to run alone


def _selected():
    return [c for c in CASES if not SELECT or SELECT in c.id]


@pytest.fixture(scope="session", autouse=True)
def no_temporary_file_left():
    before = casefile.temp_names()
    yield
    left = _settled_leftovers(before)
    assert not left, "temporary files left in /tmp: %s" % sorted(left)


def _settled_leftovers(before):
    # Background processes of a case may still be on their way out.
    for _ in range(20):
        left = casefile.temp_names() - before
        if not left:
            return left
        time.sleep(0.1)
    return left


@pytest.mark.parametrize("case", _selected(), ids=lambda c: c.id)
def test_case(case):
    if case.text("unsanitized") is not None and casefile.SANITIZED:
        pytest.skip("cannot run under the sanitizers")
    unmet = casefile.unmet_requirement(case)
    if unmet:
        pytest.skip("this machine does not allow it: %s" % unmet)
    before = casefile.temp_names()
    problems = casefile.run(case)
    left = _settled_leftovers(before)
    if left:
        problems.append("temporary files left in /tmp: %s" % sorted(left))
    if problems:
        pytest.fail("%s (%s line %d)\n%s" % (case.name, os.path.basename(case.path), case.line,
                                             "\n".join(problems)), pytrace=False)
