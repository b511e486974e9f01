#!/usr/bin/env python3
"""The failed tests of a ctest run, from its log (Testing/Temporary/LastTest.log).

  ctest-failures.py LOG             each failed test: its number and name, then an excerpt of its output
  ctest-failures.py LOG --tracer    the numbers of the failed tests whose only fault is that
                                    LeakSanitizer's own tracer failed at exit (all else passed)
"""
import re
import sys

HEAD = re.compile(r"^(\d+)/\d+ Testing: (.*)$")
# Lines worth showing from a failure, with a few after each.
MARKS = re.compile(r"FAILED|ERROR:|runtime error|Sanitizer|Timeout|Segmentation|Abort|terminate called|"
                   r"exception|Killed")
TRACER = "LeakSanitizer has encountered a fatal error"
# Anything besides the tracer's failure that makes a run fail.
OTHER_FAULTS = re.compile(r"FAILED|ERROR: (Address|Leak|Thread|Memory|UndefinedBehavior)Sanitizer|runtime error|"
                          r"test cases?:.*failed|Timeout|Segmentation|terminate called")


class Test:
    def __init__(self, number, name):
        self.number, self.name = number, name
        self.output, self.status, self.time = [], None, ""


def tests(text):
    """Every test of the log, with its output, its result line and how long it took."""
    current, inside = None, False
    for line in text.splitlines():
        head = HEAD.match(line)
        if head:
            if current:
                yield current
            current, inside = Test(int(head.group(1)), head.group(2)), False
            continue
        if current is None:
            continue
        if line.startswith("Output:"):
            inside = True
        elif line == "<end of output>":
            inside = False
        elif inside:
            if current.output or not line.startswith("-----"):
                current.output.append(line)
        elif line.startswith("Test time"):
            current.time = line.split("=", 1)[1].strip()
        elif line in ("Test Passed.", "Test Failed.") or line.startswith("Test Not Run"):
            current.status = line
    if current:
        yield current


def excerpt(lines, limit=25):
    keep = []
    for i, line in enumerate(lines):
        if MARKS.search(line):
            keep.extend(range(max(0, i - 2), min(len(lines), i + 6)))
    chosen = sorted(set(keep)) if keep else range(max(0, len(lines) - 15), len(lines))
    out = [lines[i] for i in chosen if lines[i].strip() and not lines[i].startswith("QStandardPaths:")]
    return out[:limit]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    with open(sys.argv[1], errors="replace") as f:
        text = f.read()
    failed = [t for t in tests(text) if t.status != "Test Passed."]
    if "--tracer" in sys.argv[2:]:
        for t in failed:
            output = "\n".join(t.output)
            if TRACER in output and not OTHER_FAULTS.search(output):
                print(t.number)
        return
    for t in failed:
        print(f"#{t.number} {t.name} ({t.status or 'no result'}, {t.time or 'no time'})")
        for line in excerpt(t.output):
            print(f"    {line}")


if __name__ == "__main__":
    main()
