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
                                              none from a shared or a lower room);
                                            - a room of app/ including one above it: the composition
                                              root above the flows, above the shared rooms, above the
                                              lower rooms (so no lower room includes a shared room);
                                            - a folder of app/ that is none of these rooms;
                                            - an include the check cannot read (`#include MACRO`, or
                                              a path from the file system's root).
  check-includes.py --graph [--root DIR]    prints the folder graph (folder -> folders it includes,
                                            the rooms of app/ marked), then checks as above.

An include counts when it reaches a file of the tree as the compiler looks: `#include "..."` beside the
including file first, then from the root (the one include folder in the tree); `#include <...>` from the
root only. Generated headers (ui_*.h, *.moc, *.pb.h) and the system's reach none. A form's custom widgets
(the <header> entries of resources/ui/X.ui, local or global, which uic writes into ui_X.h) count as
includes of the file that includes its ui_X.h, and reach from the root. An include of anything but a
path in quotes or angle brackets (a macro), or of a path from the file system's root, is refused: the
check cannot tell what it reaches.

Rooms of app/ (a room's subfolders are the room's):
  flows          app/documents/{questionnaire,certificate,letter}, app/photos/{receive,select,editor}
  shared rooms   app/documents/{pages,artwork}, app/photos/{albums,editing,hud}
  lower rooms    app/assets, app/shell, app/store
Rooms of one kind other than flows may include each other, short of a mutual pair or a cycle.
"""
import argparse
import os
import re
import sys

FLOORS = {"platform": 0, "sdk": 1, "app": 2}
ROOT_FOLDER = "app"  # the composition root: the files directly in app/
FLOWS = ("app/documents/questionnaire", "app/documents/certificate", "app/documents/letter",
         "app/photos/receive", "app/photos/select", "app/photos/editor")
SHARED_ROOMS = ("app/documents/pages", "app/documents/artwork", "app/photos/albums", "app/photos/editing",
                "app/photos/hud")
LOWER_ROOMS = ("app/assets", "app/shell", "app/store")
# The rooms of app/ from the top: a room includes rooms of its own level or lower.
LEVELS = (("the composition root", (ROOT_FOLDER,)), ("flow", FLOWS), ("shared room", SHARED_ROOMS),
          ("lower room", LOWER_ROOMS))
SOURCES = (".h", ".hh", ".hpp", ".c", ".cc", ".cpp", ".cxx", ".inl", ".ipp")
FORMS = "resources/ui"

DIRECTIVE = re.compile(r"^\s*#\s*(?:include|include_next|import)\b\s*(.*)$")
WRITTEN = re.compile(r'^(?:"([^"]+)"|<([^>]+)>)')
FORM = re.compile(r"^ui_(\w+)\.h$")
FORM_HEADER = re.compile(r"<header(\s[^>]*)?>([^<]+)</header>")


class Include:
    """One include of a file: where it is written and the tree's file it reaches."""

    def __init__(self, source, line, text, target, via=None):
        # text and via as written, with their quotes or angle brackets
        self.source, self.line, self.text, self.target, self.via = source, line, text, target, via

    def __str__(self):
        if self.via:
            return f"{self.source}:{self.line}: includes {self.via}, whose form includes {self.text}"
        return f"{self.source}:{self.line}: includes {self.text}"


def folder(path):
    return os.path.dirname(path) or "."


def room_of(folder_path, rooms):
    for room in rooms:
        if folder_path == room or folder_path.startswith(room + "/"):
            return room
    return None


def flow_of(folder_path):
    return room_of(folder_path, FLOWS)


def level_of(folder_path):
    """(0 for the composition root and more for each level down, what the level is called) of a folder of
    app/; None for a folder outside app/ or in none of its rooms."""
    if folder_path == ROOT_FOLDER:
        return 0, LEVELS[0][0]
    for number, (name, rooms) in enumerate(LEVELS[1:], 1):
        if room_of(folder_path, rooms):
            return number, name
    return None


def resolve(root, source, path, quoted):
    """The tree's file an include of the path reaches (relative to the root), or None. Quoted, the path
    is looked for beside the source first (a source of None is outside the tree)."""
    for base in ((folder(source),) if quoted and source else ()) + ("",):
        found = os.path.normpath(os.path.join(base, path))
        if not found.startswith("..") and not os.path.isabs(found) and os.path.isfile(os.path.join(root, found)):
            return found
    return None


def form_headers(root, form):
    """The custom widgets' headers of a form as uic writes them into its ui_ header: (path, quoted)."""
    try:
        with open(os.path.join(root, FORMS, form + ".ui"), encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return []
    return [(h.strip(), "global" not in (attrs or "")) for attrs, h in FORM_HEADER.findall(text)]


def written(path, quoted):
    return f'"{path}"' if quoted else f"<{path}>"


def includes(root):
    """The floors' folders that hold sources, every include of those that reaches a file of the tree, and
    the includes the check cannot read (each an Include without a target, and why)."""
    folders, found, unread = set(), [], []
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
                        directive = DIRECTIVE.match(line)
                        if not directive:
                            continue
                        m = WRITTEN.match(directive.group(1))
                        if not m:
                            unread.append((Include(source, number, directive.group(1).strip(), None),
                                           "a macro, or anything but a path in quotes or angle brackets"))
                            continue
                        path, quoted = (m.group(1), True) if m.group(1) is not None else (m.group(2), False)
                        text = written(path, quoted)
                        if os.path.isabs(path):
                            unread.append((Include(source, number, text, None), "a path from the file "
                                           "system's root, which may or may not be in the tree"))
                            continue
                        target = resolve(root, source, path, quoted)
                        if target:
                            found.append(Include(source, number, text, target))
                            continue
                        form = FORM.match(os.path.basename(path))
                        for header, local in form_headers(root, form.group(1)) if form else []:
                            # ui_X.h is generated outside the tree: its includes reach from the root.
                            target = resolve(root, None, header, local)
                            if target:
                                found.append(Include(source, number, written(header, local), target, via=text))
    return folders, found, unread


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
    level_a, level_b = level_of(a), level_of(b)
    if level_a and level_b and level_b[0] < level_a[0]:
        return f"a {level_a[1]} includes a {level_b[1]}, which is above it ({a} -> {b})"
    return None


def unplaced(folders):
    """The folders of app/ that are in none of its rooms."""
    return sorted(f for f in folders if f.split("/")[0] == ROOT_FOLDER and not level_of(f))


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


def violations(graph, unread):
    out = [f"{inc.source}:{inc.line}: includes {inc.text}: an include the check cannot read ({why}); write "
           "the path from the tree's root in quotes" for inc, why in unread]
    out += [f"{f}: a folder of app/ in none of its rooms; place it in this check's rooms (and in "
            "ARCHITECTURE.md)" for f in unplaced(graph)]
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
        level = level_of(a)
        mark = f" [{level[1]}]" if level and level[0] > 0 else ""
        print(f"{a}{mark} -> {', '.join(sorted(graph[a])) or '(nothing)'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="the tree to check (default: this script's tree)")
    parser.add_argument("--graph", action="store_true", help="print the folder graph first")
    args = parser.parse_args()
    folders, found_includes, unread = includes(args.root)
    graph = edges(folders, found_includes)
    if args.graph:
        print_graph(graph)
    found = violations(graph, unread)
    if found:
        print("\n".join(found), file=sys.stderr)
        faults = sum(1 for line in found if not line.startswith(" "))
        print(f"includes: {faults} fault{'s' if faults != 1 else ''}", file=sys.stderr)
        return 1
    print("includes: clean")
    return 0


if __name__ == "__main__":
    sys.exit(main())
