#!/usr/bin/env python3
"""scripts/tsan-reports.py, the ThreadSanitizer gate: on reports written here from the stacks of its known
list, and on the reports of two small programs built with the sanitizer (their paths in the environment,
TSAN_PLANTED_RACE and TSAN_QT_POOL; a tree built with other sanitizers has none): a race of ours that runs
wholly through Qt fails the gate, Qt's own thread pool passes it."""
import glob
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(SOURCE, "scripts", "tsan-reports.py")
KNOWN = os.path.join(SOURCE, "scripts", "tsan-qt-races.txt")


def frame_line(number, frame):
    """A stack line as the sanitizer writes it, from a frame as the known list writes it."""
    if frame == "...":
        return f"    #{number} ours::caller() /work/ours.cpp:12 (test_program+0x1234)"
    match = re.match(r"^(.*)@(\S+)$", frame)
    if match:
        return f"    #{number} {match.group(1)}(int) <null> ({match.group(2)}+0x4321)"
    match = re.match(r"^(\S+)\+(0x[0-9a-f]+)$", frame)
    if match:
        return f"    #{number} <null> <null> ({match.group(1)}+{match.group(2)})"
    return f"    #{number} {frame} ../../../../src/libsanitizer/tsan/tsan_interceptors_posix.cpp:680 (libtsan.so.2+0x4302f)"


def report(kind, first, second):
    """A report of `kind` between two accesses, each a list of frames as the known list writes them."""
    lines = ["==================", f"WARNING: ThreadSanitizer: {kind} (pid=4242)"]
    for what, stack in (("Write of size 8 at 0x7b0c00008c80 by thread T4:", first),
                        ("Previous write of size 8 at 0x7b0c00008c80 by main thread:", second)):
        lines.append("  " + what)
        lines += [frame_line(n, frame) for n, frame in enumerate(stack)]
        lines.append("")
    lines += [f"SUMMARY: ThreadSanitizer: {kind} in somewhere", "=================="]
    return "\n".join(lines) + "\n"


def known_entries():
    """(name, first "one" stack, first "other" stack) of each race of the known list."""
    entries, current = [], None
    with open(KNOWN, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.strip().partition(":")
            if key == "race":
                current = {"name": value.strip(), "one": [], "other": []}
                entries.append(current)
            elif key in ("one", "other"):
                current[key].append([frame.strip() for frame in value.split(" < ")])
    return [(e["name"], e["one"][0], e["other"][0]) for e in entries]


def judge(files, *options):
    run = subprocess.run([sys.executable, SCRIPT, *options, *files], capture_output=True, text=True, check=False)
    return run.returncode, run.stdout + run.stderr


class Reports:
    """Report files in a folder of their own."""

    def __init__(self, case):
        self.dir = tempfile.TemporaryDirectory(prefix="tsan-gate-")
        case.addCleanup(self.dir.cleanup)

    def write(self, name, text):
        path = os.path.join(self.dir.name, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path


class KnownListTests(unittest.TestCase):
    def test_every_race_of_the_list_passes_over_a_report_of_its_own_stacks_and_counts_it(self):
        entries = known_entries()
        self.assertGreater(len(entries), 0)
        reports = Reports(self)
        for index, (name, one, other) in enumerate(entries):
            with self.subTest(race=name):
                path = reports.write(f"prog.{index}", report("data race", other, one))
                status, out = judge([path])
                self.assertEqual(status, 0, out)
                self.assertIn(f"passed over 1 report(s) of Qt's own race: {name}", out)

    def test_a_known_stack_with_code_of_ours_under_it_fails(self):
        # The pool's own list work happens on a pool thread where no code of ours runs; the same frames
        # with a frame below them were reached from a thread of ours (here std::thread's start).
        name, one, other = next(e for e in known_entries() if "grow and move" in e[0])
        reports = Reports(self)
        ours = one + ["libstdc++.so.6+0xd44a2"]
        status, out = judge([reports.write("prog.1", report("data race", ours, other))])
        self.assertEqual(status, 1, out)
        self.assertIn("WARNING: ThreadSanitizer: data race", out)
        self.assertNotIn("passed over", out)

    def test_a_known_frame_at_another_offset_or_another_kind_of_report_fails(self):
        name, one, other = known_entries()[0]
        moved = [re.sub(r"\+0x[0-9a-f]+$", "+0x10", frame) for frame in one]
        self.assertNotEqual(moved, one)
        reports = Reports(self)
        status, out = judge([reports.write("prog.1", report("data race", moved, other))])
        self.assertEqual(status, 1, out)
        status, out = judge([reports.write("prog.2", report("heap-use-after-free", one, other))])
        self.assertEqual(status, 1, out)

    def test_two_threads_appending_to_one_array_through_qt_fail_though_every_frame_is_qt_s(self):
        reports = Reports(self)
        insert = ["memcpy", "QByteArray::insert@libQt6Core.so.6", "libstdc++.so.6+0xd44a2"]
        allocate = ["malloc", "QArrayData::allocate@libQt6Core.so.6", "libstdc++.so.6+0xd44a2"]
        status, out = judge([reports.write("prog.1", report("data race", insert, allocate))])
        self.assertEqual(status, 1, out)
        self.assertIn("memcpy < QByteArray::insert@libQt6Core.so.6 < libstdc++.so.6+0xd44a2", out)

    def test_anything_else_the_sanitizer_wrote_fails(self):
        reports = Reports(self)
        status, out = judge([reports.write("prog.1", "ThreadSanitizer:DEADLYSIGNAL\n")])
        self.assertEqual(status, 1, out)
        self.assertIn("DEADLYSIGNAL", out)

    def test_a_race_of_the_list_without_its_reason_is_refused(self):
        reports = Reports(self)
        known = reports.write("known.txt", "race: a race\nkind: data race\none: free < f@libQt6Core.so.6\n"
                                           "other: malloc < g@libQt6Core.so.6\n")
        status, out = judge([reports.write("prog.1", "")], "--known", known)
        self.assertNotEqual(status, 0)
        self.assertIn("needs a why", out)


def run_sanitized(program, folder):
    """Runs a program built with ThreadSanitizer; the report files it wrote."""
    env = dict(os.environ, TSAN_OPTIONS=f"halt_on_error=0:exitcode=0:log_path={folder}/{os.path.basename(program)}")
    subprocess.run([program], env=env, check=True, timeout=600, capture_output=True)
    return glob.glob(os.path.join(folder, os.path.basename(program) + ".*"))


@unittest.skipUnless(os.environ.get("TSAN_PLANTED_RACE") and os.environ.get("TSAN_QT_POOL"),
                     "no programs built with ThreadSanitizer in this tree")
class ProgramTests(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="tsan-gate-")
        self.addCleanup(self.dir.cleanup)

    def test_a_race_of_ours_through_qt_fails_the_gate(self):
        files = run_sanitized(os.environ["TSAN_PLANTED_RACE"], self.dir.name)
        self.assertTrue(files, "the planted race wrote no report")
        status, out = judge(files)
        self.assertEqual(status, 1, out)
        # Among the failures, reports in which both accesses were made by Qt: what the gate once passed.
        accesses = [line.strip() for line in out.splitlines() if line.startswith("   ")]
        through_qt = [a for a in accesses if re.match(r"^\S+ < [^<]*libQt6Core\.so\.6", a)]
        self.assertTrue(through_qt, out)

    def test_qt_s_own_thread_pool_passes_the_gate(self):
        files = run_sanitized(os.environ["TSAN_QT_POOL"], self.dir.name)
        status, out = judge(files)
        self.assertEqual(status, 0, out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
