#!/usr/bin/env python3
"""The include graph of app/, platform/ and sdk/ between folders, checked against the house's floors.

  check-includes.py [--root DIR]            fails, naming each offending file and include, on:
                                            - a mutual pair of folders, or a cycle between folders;
                                            - a lower floor including a higher one (platform below sdk
                                              below app; the composition root, the files directly in
                                              app/, above every room of app/), or an include into
                                              tools/, tests/, bench/ or anything else outside the floors;
                                            - an include into a flow from anywhere but the flow itself
                                              and the composition root (so none between flows, and
                                              none from a shared room).
  check-includes.py --graph [--root DIR]    prints the folder graph (folder -> folders it includes,
                                            flows marked), then checks as above.

Only `#include "..."` that resolves to a file of the tree counts (beside the including file first, then
from the root, as the compiler looks); generated headers (ui_*.h, *.moc, *.pb.h) resolve to none. A
form's custom widgets (the <header> entries of resources/ui/X.ui) count as includes of the file that
includes its ui_X.h.
"""
import argparse
import os
import re
import sys

FLOORS = {"platform": 0, "sdk": 1, "app": 2}
ROOT_FOLDER = "app"  # the composition root: the files directly in app/
FLOWS = ("app/documents/questionnaire", "app/documents/certificate", "app/documents/letter",
         "app/photos/receive", "app/photos/select", "app/photos/editor")
SOURCES = (".h", ".hh", ".hpp", ".c", ".cc", ".cpp", ".cxx", ".inl", ".ipp")
FORMS = "resources/ui"

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
FORM = re.compile(r"^ui_(\w+)\.h$")
FORM_HEADER = re.compile(r"<header(\s[^>]*)?>([^<]+)</header>")


class Include:
    """One include of a file: where it is written and the tree's file it reaches."""

    def __init__(self, source, line, text, target, via=None):
        self.source, self.line, self.text, self.target, self.via = source, line, text, target, via

    def __str__(self):
        if self.via:
            return f'{self.source}:{self.line}: includes "{self.via}", whose form includes "{self.text}"'
        return f'{self.source}:{self.line}: includes "{self.text}"'


def folder(path):
    return os.path.dirname(path) or "."


def flow_of(folder_path):
    for flow in FLOWS:
        if folder_path == flow or folder_path.startswith(flow + "/"):
            return flow
    return None


def resolve(root, source, text):
    """The tree's file the include reaches (relative to the root), or None."""
    for base in (folder(source), ""):
        path = os.path.normpath(os.path.join(base, text))
        if not path.startswith("..") and not os.path.isabs(path) and os.path.isfile(os.path.join(root, path)):
            return path
    return None


def form_headers(root, form):
    try:
        with open(os.path.join(root, FORMS, form + ".ui"), encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return []
    return [h.strip() for attrs, h in FORM_HEADER.findall(text) if "global" not in (attrs or "")]


def includes(root):
    """The floors' folders that hold sources, and every include of those that reaches a file of the tree."""
    folders, found = set(), []
    for top in FLOORS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCES):
                    continue
                source = os.path.relpath(os.path.join(dirpath, name), root)
                folders.add(folder(source))
                with open(os.path.join(root, source), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = resolve(root, source, m.group(1))
                        if target:
                            found.append(Include(source, number, m.group(1), target))
                            continue
                        form = FORM.match(os.path.basename(m.group(1)))
                        for header in form_headers(root, form.group(1)) if form else []:
                            target = resolve(root, source, header)
                            if target:
                                found.append(Include(source, number, header, target, via=m.group(1)))
    return folders, found


def edges(folders, found):
    """folder -> {included folder -> [the includes that make the arrow]}"""
    graph = {f: {} for f in folders}
    for inc in found:
        a, b = folder(inc.source), folder(inc.target)
        if a != b:
            graph[a].setdefault(b, []).append(inc)
    return graph


def rule_broken(a, b):
    """Why an arrow from folder a to folder b breaks a rule; None when it breaks none."""
    top_a, top_b = a.split("/")[0], b.split("/")[0]
    if top_b not in FLOORS:
        return f"an include into {top_b}/, which no floor may include ({a} -> {b})"
    if FLOORS[top_b] > FLOORS[top_a]:
        return f"a lower floor includes a higher one ({top_a} below {top_b}: {a} -> {b})"
    if b == ROOT_FOLDER and a != ROOT_FOLDER:
        return f"a room includes the composition root above it ({a} -> {b})"
    flow_a, flow_b = flow_of(a), flow_of(b)
    if flow_b and flow_a != flow_b and a != ROOT_FOLDER:
        if flow_a:
            return f"an include between flows ({a} -> {b})"
        return f"only the composition root includes a flow ({a} -> {b})"
    return None


def strongly_connected(graph):
    """The graph's strongly connected components (Tarjan), each a sorted list of folders."""
    index, low, stack, on_stack, parts = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph.get(v, {})):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                part.append(w)
                if w == v:
                    break
            parts.append(sorted(part))

    sys.setrecursionlimit(max(1000, 4 * len(graph) + 100))
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return parts


def shortest_cycle(graph, part):
    """A shortest cycle through the component's first folder, as a list of folders (first repeated)."""
    start, members = part[0], set(part)
    came_from, frontier = {start: None}, [start]
    while frontier:
        following = []
        for v in frontier:
            for w in sorted(graph.get(v, {})):
                if w == start:
                    path = [v]
                    while came_from[path[-1]] is not None:
                        path.append(came_from[path[-1]])
                    return [start] + list(reversed(path))[1:] + [start]
                if w in members and w not in came_from:
                    came_from[w] = v
                    following.append(w)
        frontier = following
    return [start, start]


def evidence(graph, a, b):
    return [f"    {inc}" for inc in graph[a][b]]


def violations(graph):
    out = []
    for a in sorted(graph):
        for b in sorted(graph[a]):
            why = rule_broken(a, b)
            if why:
                out += [f"{inc}: {why}" for inc in graph[a][b]]
    for part in strongly_connected(graph):
        if len(part) < 2:
            continue
        pairs = [(a, b) for a in part for b in part if a < b and b in graph.get(a, {}) and a in graph.get(b, {})]
        for a, b in pairs:
            out.append(f"mutual pair of folders: {a} <-> {b}")
            out += evidence(graph, a, b) + evidence(graph, b, a)
        if len(part) > 2 or not pairs:
            cycle = shortest_cycle(graph, part)
            out.append("cycle between folders: " + " -> ".join(cycle))
            for a, b in zip(cycle, cycle[1:]):
                out += evidence(graph, a, b)
    return out


def print_graph(graph):
    for a in sorted(graph):
        mark = " [flow]" if flow_of(a) else ""
        print(f"{a}{mark} -> {', '.join(sorted(graph[a])) or '(nothing)'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="the tree to check (default: this script's tree)")
    parser.add_argument("--graph", action="store_true", help="print the folder graph first")
    args = parser.parse_args()
    graph = edges(*includes(args.root))
    if args.graph:
        print_graph(graph)
    found = violations(graph)
    if found:
        print("\n".join(found), file=sys.stderr)
        faults = sum(1 for line in found if not line.startswith(" "))
        print(f"includes: {faults} fault{'s' if faults != 1 else ''}", file=sys.stderr)
        return 1
    print("includes: clean")
    return 0


if __name__ == "__main__":
    sys.exit(main())
