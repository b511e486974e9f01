#!/usr/bin/env python3
"""ThreadSanitizer's report files (its log_path), judged: tsan-reports.py [--known FILE] FILE...

Qt and the libraries under it are not instrumented, so ThreadSanitizer cannot see the locks they keep
their own memory under, and reports races between accesses Qt itself makes (its thread pool's tasks,
the helpers of its image work). Those reports carry nothing that tells them from a race of ours that
runs through Qt (two threads of ours appending to one QByteArray are reported between two Qt frames
too), so none is passed over for the modules its frames lie in. A report is passed over, and counted,
only when it is one of the races named in the known list (scripts/tsan-qt-races.txt by default): its
kind, and the two accesses' stacks frame by frame, as the list gives them. Every other report fails
(exit status 1) and is printed whole, and so does anything else the sanitizer wrote.

The list holds entries of this form, each saying why the race is Qt's own:

    race: <name>
    why: <why both accesses are Qt's, under a lock of Qt's that the sanitizer cannot see>
    kind: data race
    one: operator delete < libQt6Core.so.6+0x2596c5
    other: operator new < QRunnable::create@libQt6Core.so.6 < ...

A report is the race when one of its two accesses is a "one" of the entry and the other an "other".
An access is its stack from the sanitizer's own frame (the interceptor: memmove, operator new) down: a
frame is function@module, or module+offset where the module has no name for it. "..." ends a stack that
may go on with any frames (the code of ours that called into Qt); without it the stack ends there,
which it does only on a thread where no code of ours was running.
"""
import collections
import os
import re
import sys

WARNING = re.compile(r"^WARNING: ThreadSanitizer: (.*?)(?: \(pid=\d+\))?$")
ACCESS = re.compile(r"^  (?:Previous )?(?:[Aa]tomic )?(?:[Rr]ead|[Ww]rite) of size \d+ at \S+ by ")
FRAME = re.compile(r"^\s+#\d+ (.*) \((\S+?)\+(0x[0-9a-f]+)\)$")
RUNTIME = re.compile(r"^libtsan\.so")
ANY_BELOW = "..."
DEFAULT_KNOWN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tsan-qt-races.txt")


def frame_name(text, module, offset):
    """A frame as the list writes it: function@module, module+offset when unnamed, the function alone
    for the sanitizer's own frames."""
    function = text.rpartition(" ")[0]
    function = function.split("(")[0].strip() if function else ""
    if RUNTIME.match(module):
        return function or "<runtime>"
    if not function or function == "<null>":
        return f"{module}+{offset}"
    return f"{function}@{module}"


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


def access_stacks(report):
    """Each access's stack as frame names, the sanitizer's own frames (an interceptor's two, say) as one."""
    stacks, current = [], None
    for line in report:
        if ACCESS.match(line):
            current = []
            stacks.append(current)
        elif current is not None and not line.strip():
            current = None
        elif current is not None:
            frame = FRAME.match(line)
            if not frame:
                # A frame not read (a stack the sanitizer could not restore, say) matches no known stack.
                current.append("?" + line.strip())
                continue
            name = frame_name(*frame.groups())
            runtime = RUNTIME.match(frame.group(2))
            if runtime and current and current[-1] == name:
                continue
            current.append(name)
    return stacks


class Known:
    """One race of the known list: the stacks one of its accesses may have, and those of the other."""

    def __init__(self, name, why, kind, one, other):
        self.name, self.why, self.kind, self.one, self.other = name, why, kind, one, other

    @staticmethod
    def stack_matches(pattern, stack):
        if pattern and pattern[-1] == ANY_BELOW:
            return stack[:len(pattern) - 1] == pattern[:-1]
        return stack == pattern

    def side_matches(self, patterns, stack):
        return any(self.stack_matches(p, stack) for p in patterns)

    def matches(self, kind, stacks):
        if kind != self.kind or len(stacks) != 2:
            return False
        a, b = stacks
        return (self.side_matches(self.one, a) and self.side_matches(self.other, b)) or \
            (self.side_matches(self.one, b) and self.side_matches(self.other, a))


def read_known(path):
    """The entries of the known list; an entry without its name, reason, kind and both sides is an error."""
    entries, entry = [], None

    def close():
        if entry is None:
            return
        if not entry["why"] or not entry["kind"] or not entry["one"] or not entry["other"]:
            raise ValueError(f"{path}:{entry['line']}: the race \"{entry['name']}\" needs a why, a kind, "
                             "and stacks for one access and the other")
        entries.append(Known(entry["name"], " ".join(entry["why"]), entry["kind"], entry["one"], entry["other"]))

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            key, _, value = line.partition(":")
            value = value.strip()
            if key == "race":
                close()
                entry = {"name": value, "why": [], "kind": None, "one": [], "other": [], "line": number}
            elif entry is None:
                raise ValueError(f"{path}:{number}: \"{line}\" before the first race")
            elif key == "why":
                entry["why"].append(value)
            elif key == "kind":
                entry["kind"] = value
            elif key in ("one", "other"):
                entry[key].append([frame.strip() for frame in value.split(" < ")])
            else:
                raise ValueError(f"{path}:{number}: \"{line}\" is not race, why, kind, one or other")
    close()
    return entries


def main(argv):
    known_path = DEFAULT_KNOWN
    if argv[:1] == ["--known"]:
        known_path, argv = argv[1], argv[2:]
    known = read_known(known_path)
    failed = False
    passed_over = collections.Counter()
    for path in argv:
        with open(path, errors="replace") as f:
            reports, outside = blocks(f.read())
        for report in reports:
            kind = WARNING.match(report[0]).group(1)
            stacks = access_stacks(report)
            entry = next((k for k in known if k.matches(kind, stacks)), None)
            if entry:
                passed_over[entry.name] += 1
                continue
            failed = True
            print(f"-- {path}")
            print("\n".join(report))
            print("-- its accesses, as the known list would write them:")
            for stack in stacks:
                print("   " + " < ".join(stack))
        if outside:
            failed = True
            print(f"-- {path}")
            print("\n".join(outside))
    for name, count in sorted(passed_over.items()):
        print(f"passed over {count} report(s) of Qt's own race: {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
