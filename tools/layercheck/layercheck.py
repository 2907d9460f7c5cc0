#!/usr/bin/env python3
"""The panel's folders in layers: a file includes only from its own folder, from a folder in a
lower layer, or from a folder of its own layer that does not include it back (directly or
around a loop). Prints each include that breaks this, with its file and line, and fails.

usage: layercheck.py SOURCE_DIR
"""
import pathlib
import re
import sys

# Lowest first. A folder's files may include from any folder of a lower layer.
LAYERS = [
    ("base", ["files", "threads", "link", "entry", "status"]),
    ("rules", ["records", "audit", "timedrun", "program", "alarms", "history", "telemetry",
               "session", "care", "remote", "cmdline"]),
    ("platform", ["platform", "sila"]),
    ("app", ["app"]),
]
# Not part of the panel's layers: they may include any of them.
OUTSIDE = {"tests", "bench", "tools", "build", "docs", "debian", "packaging", "scripts"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"./][^"/]*)/[^"]+"')


def layer_of():
    return {folder: rank for rank, (_, folders) in enumerate(LAYERS) for folder in folders}


def includes(root):
    """(folder, included folder, file, line number, line) for each include across folders."""
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        parts = path.relative_to(root).parts
        if len(parts) < 2 or parts[0] in OUTSIDE or parts[0].startswith("."):
            continue
        # A build tree of another name (its generated files include back by relative paths).
        if (root / parts[0] / "CMakeCache.txt").exists():
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) != parts[0]:
                yield parts[0], match.group(1), path.relative_to(root), number, line.strip()


def loops(edges):
    """The folders of each loop in the folder graph (strongly connected, more than one)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in edges.get(node, ()):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(set(component))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return found


def cycle_in(edges, component):
    """One loop through the first of the component's folders, as the folders along it."""
    start = min(component)
    path, seen = [start], {start}

    def walk(node):
        for target in sorted(edges.get(node, set()) & component):
            if target == start:
                return True
            if target not in seen:
                seen.add(target)
                path.append(target)
                if walk(target):
                    return True
                path.pop()
        return False

    walk(start)
    return path


def check(root):
    layers = layer_of()
    problems = []
    edges, where = {}, {}
    for folder, target, path, number, line in includes(root):
        for name in (folder, target):
            if name not in layers:
                problems.append(f"{path}:{number}: {line}: folder {name}/ has no layer "
                                "(give it one in tools/layercheck/layercheck.py)")
        if folder not in layers or target not in layers:
            continue
        if layers[target] > layers[folder]:
            problems.append(f"{path}:{number}: {line}: {folder}/ ({LAYERS[layers[folder]][0]}) "
                            f"includes upward from {target}/ ({LAYERS[layers[target]][0]})")
            continue
        edges.setdefault(folder, set()).add(target)
        where.setdefault((folder, target), f"{path}:{number}: {line}")
    for component in loops(edges):
        cycle = cycle_in(edges, component)
        problems.append("folders include each other: " + " -> ".join(cycle + [cycle[0]]))
        for folder, target in zip(cycle, cycle[1:] + cycle[:1]):
            problems.append(f"  {where[(folder, target)]}")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    problems = check(pathlib.Path(sys.argv[1]))
    for problem in problems:
        print(problem)
    if problems:
        print("the folders' layers are broken: see above")
        return 1
    print("every include keeps to the folders' layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
