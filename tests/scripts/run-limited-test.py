#!/usr/bin/env python3
"""scripts/run-limited.sh, the time limit the sanitizer script gives each test program it runs: a program
within its limit keeps its exit status; one past it is ended, with whatever it started, and named, and a
Catch test program names the test it hung in. The Catch program's path is in NEVER_ENDING_TEST."""
import os
import select
import subprocess
import tempfile
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(SOURCE, "scripts", "run-limited.sh")
# Far more than a limit of one second and a grace of one need, even on a machine under load.
ENDED_WITHIN = 60


def ends_within(pid, seconds):
    """Whether the process ends (or has ended) within the seconds given. A kill is delivered
    asynchronously, so a process just sent SIGKILL may still be on its way out on a busy machine: wait
    for its end on a descriptor of it, which turns readable when it ends (a zombie counts as ended)."""
    try:
        fd = os.pidfd_open(pid)
    except ProcessLookupError:
        return True
    try:
        poller = select.poll()
        poller.register(fd, select.POLLIN)
        return bool(poller.poll(seconds * 1000))
    finally:
        os.close(fd)


class RunLimitedTests(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="run-limited-")
        self.addCleanup(self.dir.cleanup)

    def run_limited(self, limit, *command):
        env = dict(os.environ, GRACE="1", TMPDIR=self.dir.name)
        start = time.monotonic()
        run = subprocess.run([SCRIPT, str(limit), *command], capture_output=True, text=True, env=env,
                             timeout=10 * ENDED_WITHIN, check=False)
        return run.returncode, run.stdout + run.stderr, time.monotonic() - start

    def test_a_program_within_its_limit_keeps_its_exit_status_and_is_not_named(self):
        status, out, _ = self.run_limited(60, "sh", "-c", "echo done; exit 3")
        self.assertEqual(status, 3)
        self.assertIn("done", out)
        self.assertNotIn("timed out", out)

    def test_a_program_past_its_limit_fails_named_with_whatever_it_started(self):
        # The program dies of SIGTERM; the child it started ignores SIGTERM and is killed after the grace.
        pidfile = os.path.join(self.dir.name, "child")
        script = f'(trap "" TERM; exec sleep 600) & echo $! > {pidfile}; exec sleep 600'
        status, out, seconds = self.run_limited(1, "sh", "-c", script)
        self.assertEqual(status, 124, out)
        self.assertIn("== sh timed out: still running after 1 s", out)
        self.assertLess(seconds, ENDED_WITHIN)
        with open(pidfile, encoding="utf-8") as f:
            child = int(f.read())
        self.assertTrue(ends_within(child, ENDED_WITHIN), f"the child {child} outlived the time-out")

    def test_a_program_that_ignores_sigterm_is_killed_after_the_grace(self):
        status, out, seconds = self.run_limited(1, "sh", "-c", 'trap "" TERM; sleep 600; sleep 600')
        self.assertEqual(status, 124, out)
        self.assertIn("timed out", out)
        self.assertLess(seconds, ENDED_WITHIN)

    @unittest.skipUnless(os.environ.get("NEVER_ENDING_TEST"), "no never-ending test program given")
    def test_a_test_program_that_hangs_names_the_test_it_hung_in(self):
        program = os.environ["NEVER_ENDING_TEST"]
        status, out, seconds = self.run_limited(1, program, "a test that never ends")
        self.assertEqual(status, 124, out)
        self.assertIn("a test that never ends", out.split("SIGTERM")[0])
        self.assertIn("it waits for what never comes", out)
        self.assertIn("SIGTERM - Termination request signal", out)
        self.assertIn(f"== {os.path.basename(program)} timed out", out)
        self.assertLess(seconds, ENDED_WITHIN)


if __name__ == "__main__":
    unittest.main(verbosity=2)
