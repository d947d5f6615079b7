#!/usr/bin/env python3
"""The include graph between the modules of the C++ sources, checked.

A module is a header and its source file taken as one (fftbench/check/isolation.h
and .cpp are the module check/isolation). The graph covers tools/, host/,
plugin/ and the kernel folders (radix2/, radix4/, splitradix/), and fails on

  - a cycle: modules that include each other, directly or through others;
  - an upward include between fftbench's layers: a file of one layer (a
    folder of tools/fftbench/) that includes a file of a layer above it, or
    of another layer of the same rank.

    scripts/include-graph.py [ROOT]            # checks; status 1 and what is wrong
    scripts/include-graph.py --cycles [ROOT]   # lists the cycles only, status 0
    scripts/include-graph.py --layers [ROOT]   # prints the layers, their files' lines and includes
    scripts/include-graph.py --self-test       # finds the faults of a small tree made for it

Only quoted includes count ("…"); they are resolved as the compiler resolves
them here: beside the including file, then from the repository's root, from
tools/fftbench/ (fftbench's include folder) and from include/.
"""
import os
import re
import sys

FOLDERS = ["tools", "host", "plugin", "radix2", "radix4", "splitradix"]
FFTBENCH = "tools/fftbench"
SEARCH = ["", FFTBENCH, "include"]
# fftbench's layers, the highest first: a file may include its own layer and
# the layers of lower rank. Layers of equal rank stand side by side and do
# not include each other. main.cpp sits above them all.
LAYERS = {
    "": 9,          # main.cpp
    "commands": 8,  # one file per command: options -> job -> output
    "cli": 7,       # the command line's vocabulary: options, exit statuses, output files, progress
    "render": 6,    # text tables, CSV/JSON, gnuplot, SVG, the report and its assets
    "measure": 5,   # contenders, the bench run, summaries, peers
    "check": 5,     # verify and its child processes
    "model": 4,     # operation counts, the limit, cache traffic, LRU stack, access traces, flow graphs
    "subject": 3,   # what a plug-in is: names, identity, path taken, the instrumented build
    "machine": 2,   # the processor, its caches, its rates, the timing
    "assets": 1,    # the text files built in: style sheets, the report's page, the words for the entries
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCES = (".h", ".hpp", ".cpp", ".c", ".cc")


def sources(root):
    found = []
    for folder in FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith(SOURCES):
                    found.append(os.path.relpath(os.path.join(directory, name), root))
    return sorted(found)


def module(path):
    return os.path.splitext(path)[0]


def resolve(root, including, target, known):
    for base in [os.path.dirname(including)] + SEARCH:
        candidate = os.path.normpath(os.path.join(base, target))
        if candidate in known:
            return candidate
    return None


def graph(root):
    files = sources(root)
    known = set(files)
    edges = {}  # module -> {module: [(file, included file)]}
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for target in INCLUDE.findall(text):
            resolved = resolve(root, path, target, known)
            if resolved is None:
                continue
            a, b = module(path), module(resolved)
            if a != b:
                edges.setdefault(a, {}).setdefault(b, []).append((path, resolved))
    return files, edges


def cycles(edges):
    """The strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]
    nodes = sorted(set(edges) | {b for targets in edges.values() for b in targets})

    def visit(v):
        work = [(v, iter(sorted(edges.get(v, {}))))]
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, {})))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    component.append(w)
                    if w == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))

    for v in nodes:
        if v not in index:
            visit(v)
    return sorted(found)


def layer_of(path):
    """fftbench's layer of a file, or None outside fftbench."""
    if not path.startswith(FFTBENCH + "/"):
        return None
    rest = path[len(FFTBENCH) + 1:]
    return rest.split("/")[0] if "/" in rest else ""


def upward_includes(edges):
    wrong = []
    for a, targets in sorted(edges.items()):
        for b, lines in sorted(targets.items()):
            for path, included in lines:
                la, lb = layer_of(path), layer_of(included)
                if la is None or lb is None or la == lb:
                    continue
                ra, rb = LAYERS.get(la), LAYERS.get(lb)
                if ra is None:
                    wrong.append(f"{path}: in {la}/, which is not one of fftbench's layers")
                elif rb is None:
                    wrong.append(f"{path} includes {included}, in {lb}/, which is not one of fftbench's layers")
                elif rb >= ra:
                    how = "a layer above it" if rb > ra else "a layer beside it"
                    wrong.append(f"{path} ({la or 'root'}) includes {included} ({lb}): {how}")
    return sorted(set(wrong))


def cycle_text(component, edges):
    members = set(component)
    links = []
    for a in component:
        for b, lines in sorted(edges.get(a, {}).items()):
            if b in members:
                links.append(f"{lines[0][0]} -> {lines[0][1]}")
    return "  " + " <-> ".join(component) + "\n" + "".join(f"    {link}\n" for link in links)


def layers_text(root, files, edges):
    text = []
    for name, rank in sorted(LAYERS.items(), key=lambda item: -item[1]):
        own = [f for f in files if layer_of(f) == name]
        lines = 0
        for f in own:
            with open(os.path.join(root, f), encoding="utf-8", errors="replace") as handle:
                lines += sum(1 for _ in handle)
        below = sorted({layer_of(i) or "root" for f in own for targets in [edges.get(module(f), {})]
                        for b, pairs in targets.items() for p, i in pairs
                        if p == f and layer_of(i) is not None and layer_of(i) != name})
        text.append(f"{rank} {name or 'root'}/: {len(own)} files, {lines} lines; includes {', '.join(below) or 'nothing of fftbench'}")
    return "\n".join(text)


def self_test():
    """A tree with one of each fault, and one without: the check must tell them apart."""
    import shutil
    import tempfile

    made = []

    def tree(files):
        root = tempfile.mkdtemp(prefix="include-graph-")
        made.append(root)
        for path, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        return root

    sound = {
        "plugin/a.h": '#include "b.h"\n', "plugin/b.h": "", "plugin/b.cpp": '#include "b.h"\n',
        FFTBENCH + "/render/table.cpp": '#include "machine/timing.h"\n#include "render/table.h"\n',
        FFTBENCH + "/render/table.h": "", FFTBENCH + "/machine/timing.h": "",
    }
    cycle = dict(sound, **{"plugin/b.cpp": '#include "b.h"\n#include "a.h"\n'})  # a.h -> b.h, b.cpp -> a.h
    upward = dict(sound, **{FFTBENCH + "/machine/timing.h": '#include "render/table.h"\n'})
    beside = dict(sound, **{FFTBENCH + "/check/x.h": '#include "measure/y.h"\n', FFTBENCH + "/measure/y.h": ""})
    failures = []
    _, edges = graph(tree(sound))
    if cycles(edges) or upward_includes(edges):
        failures.append("the sound tree was faulted")
    _, edges = graph(tree(cycle))
    if cycles(edges) != [["plugin/a", "plugin/b"]]:
        failures.append(f"the cycle plugin/a <-> plugin/b was not found: {cycles(edges)}")
    for name, files in (("upward", upward), ("beside", beside)):
        _, edges = graph(tree(files))
        if len(upward_includes(edges)) != 1:
            failures.append(f"the {name} include was not found once: {upward_includes(edges)}")
    for root in made:
        shutil.rmtree(root, ignore_errors=True)
    for failure in failures:
        print("self-test: " + failure)
    print("self-test: " + ("failed" if failures else "a cycle, an upward include and one beside found; a sound tree passes"))
    return 1 if failures else 0


def main(argv):
    if "--self-test" in argv:
        return self_test()
    args = [a for a in argv if not a.startswith("--")]
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    files, edges = graph(root)
    found = cycles(edges)
    if "--layers" in argv:
        print(layers_text(root, files, edges))
        return 0
    if found:
        print(f"include cycles between modules ({len(found)}):")
        for component in found:
            print(cycle_text(component, edges), end="")
    else:
        print(f"no include cycles between the modules of {', '.join(FOLDERS)} ({len(files)} files)")
    if "--cycles" in argv:
        return 0
    wrong = upward_includes(edges)
    if wrong:
        print(f"includes against fftbench's layers ({len(wrong)}):")
        for line in wrong:
            print("  " + line)
    else:
        print("fftbench's layers include only downward")
    return 1 if found or wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
