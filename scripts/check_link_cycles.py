#!/usr/bin/env python3
"""Fails when the libraries of a configured build link each other in a cycle.

    python3 scripts/check_link_cycles.py [build folder]     (default: build)

Reads the graph CMake writes with --graphviz and keeps its libraries: an edge between two
libraries is a target_link_libraries one (private ones too), while the edges of executables also
carry build-order dependencies. Prints each group of libraries that reach each other, with one
cycle through it.
"""
import os
import re
import subprocess
import sys
import tempfile

NODE = re.compile(r'^\s*"(node\d+)" \[ label = "([^"]*)", shape = (\w+)')
LIBRARY_SHAPES = {"octagon", "doubleoctagon", "tripleoctagon", "pentagon", "hexagon", "septagon"}
EDGE = re.compile(r'^\s*"(node\d+)" -> "(node\d+)"')


def read_graph(build):
    with tempfile.TemporaryDirectory() as folder:
        dot = os.path.join(folder, "links.dot")
        subprocess.run(["cmake", "--graphviz=" + dot, build], check=True, stdout=subprocess.DEVNULL)
        names, edges = {}, {}
        with open(dot, encoding="utf-8") as f:
            for line in f:
                m = NODE.match(line)
                if m:
                    if m.group(3) in LIBRARY_SHAPES:
                        names[m.group(1)] = m.group(2)
                    continue
                m = EDGE.match(line)
                if m and m.group(1) in names and m.group(2) in names:
                    edges.setdefault(m.group(1), set()).add(m.group(2))
    return {names[a]: {names[b] for b in bs} for a, bs in edges.items()}, set(names.values())


def strongly_connected(graph, nodes):
    """Tarjan's groups, without recursion (the graph has a few hundred targets)."""
    index, low, on_stack, stack, groups = {}, {}, set(), [], []
    counter = 0
    for root in sorted(nodes):
        if root in index:
            continue
        work = [(root, iter(sorted(graph.get(root, ()))))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is None:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    group = []
                    while True:
                        member = stack.pop()
                        on_stack.discard(member)
                        group.append(member)
                        if member == node:
                            break
                    groups.append(sorted(group))
            elif child not in index:
                index[child] = low[child] = counter
                counter += 1
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(graph.get(child, ())))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])
    return groups


def cycle_through(graph, group):
    """One cycle from the group's first target back to itself, inside the group."""
    start, members = group[0], set(group)
    paths, seen = [[start]], {start}
    while paths:
        path = paths.pop(0)
        for child in sorted(graph.get(path[-1], ())):
            if child == start:
                return path + [start]
            if child in members and child not in seen:
                seen.add(child)
                paths.append(path + [child])
    return [start, start]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    graph, nodes = read_graph(build)
    cycles = [g for g in strongly_connected(graph, nodes)
              if len(g) > 1 or g[0] in graph.get(g[0], ())]
    for group in cycles:
        print("link cycle among " + ", ".join(group) + ":\n    " + " -> ".join(cycle_through(graph, group)))
    if cycles:
        return 1
    print(f"no link cycle among {len(nodes)} libraries")
    return 0


if __name__ == "__main__":
    sys.exit(main())
