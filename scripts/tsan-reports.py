#!/usr/bin/env python3
"""ThreadSanitizer's report files (its log_path), judged: tsan-reports.py FILE...

Qt and the libraries under it are not instrumented, so ThreadSanitizer cannot see the locks and atomic
counts they keep their own memory under, and reports races between accesses that Qt itself makes
(its containers' buffers, its thread pool's tasks). A data race, or a use after free, whose two
accesses are both made by such a library is passed over and only counted. Every other report fails
(exit status 1) and is printed whole: one in which any access is made by our code (the test
program, into which all of ours is linked), a report of any other kind, and anything else the
sanitizer wrote.
"""
import collections
import re
import sys

WARNING = re.compile(r"^WARNING: ThreadSanitizer: (.*?)(?: \(pid=\d+\))?$")
ACCESS = re.compile(r"^  (?:Previous )?(?:[Aa]tomic )?(?:[Rr]ead|[Ww]rite) of size \d+ at \S+ by ")
FRAME = re.compile(r"^\s+#\d+ .*\((\S+?)\+0x[0-9a-f]+\)$")
LIBRARY = re.compile(r"(^|/)(lib[^/]*\.so(\.\d+)*|ld-linux[^/]*)$")
RUNTIME = re.compile(r"(^|/)libtsan\.so")
PASSED_OVER_KINDS = ("data race", "heap-use-after-free")


def blocks(text):
    """Each report (the lines from its WARNING to its SUMMARY), and the lines outside any report."""
    reports, outside, current = [], [], None
    for line in text.splitlines():
        if WARNING.match(line):
            current = [line]
            reports.append(current)
        elif current is not None:
            current.append(line)
            if line.startswith("SUMMARY: ThreadSanitizer"):
                current = None
        elif line.strip() and not line.startswith("==================") and \
                not re.match(r"^ThreadSanitizer: reported \d+ warnings$", line):
            outside.append(line)
    return reports, outside


def access_modules(report):
    """For each access of the report, the module whose code made it: the first frame outside the runtime."""
    modules, inside = [], False
    for line in report:
        if ACCESS.match(line):
            inside = True
            modules.append(None)
        elif inside and not line.strip():
            inside = False
        elif inside and modules[-1] is None:
            frame = FRAME.match(line)
            if frame and not RUNTIME.search(frame.group(1)):
                modules[-1] = frame.group(1)
    return modules


def libraries_only(report):
    kind = WARNING.match(report[0]).group(1)
    modules = access_modules(report)
    return kind in PASSED_OVER_KINDS and len(modules) == 2 and \
        all(m is not None and LIBRARY.search(m) for m in modules)


def main(paths):
    failed = False
    passed_over = collections.Counter()
    for path in paths:
        with open(path, errors="replace") as f:
            reports, outside = blocks(f.read())
        for report in reports:
            if libraries_only(report):
                passed_over[" / ".join(sorted(access_modules(report)))] += 1
                continue
            failed = True
            print(f"-- {path}")
            print("\n".join(report))
        if outside:
            failed = True
            print(f"-- {path}")
            print("\n".join(outside))
    for modules, count in sorted(passed_over.items()):
        print(f"passed over {count} report(s) between accesses of {modules} alone")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
