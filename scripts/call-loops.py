#!/usr/bin/env python3
"""Call loops between the program's source files, read from a build's objects.

Usage: scripts/call-loops.py BUILD_DIR [--only=FOLDER,...] [--verbose]

Every object file under BUILD_DIR that CMake compiled from one of the
program's own sources (engine, storage, desktop, ui, cli, app) is read with
`nm -P`: the symbols it defines and the ones it leaves undefined. File A calls
file B when A leaves a symbol undefined that B defines. A file pair name.h /
name.cpp is one node (the header's inline code lives in its users' objects
anyway); a source compiled into several targets is one node too.

Prints every loop between files: each strongly connected component of more
than one file, with one symbol per call edge inside it. With --only, only the
loops with a file in one of the given top folders count. Exit status: 0
without loops, 1 with at least one, 2 on a usage or tool error.
"""

import os
import re
import subprocess
import sys

PROGRAM_FOLDERS = ("engine", "storage", "desktop", "ui", "cli", "app")
# nm -P symbol types: strong global definitions, and the weak ones (inline
# functions, template instances, vtables) that count only when one file alone
# defines them.
STRONG_TYPES = set("TDBRGSCu")
WEAK_TYPES = set("WV")


def source_root(build_dir):
    cache = os.path.join(build_dir, "CMakeCache.txt")
    try:
        with open(cache, encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.startswith("CMAKE_HOME_DIRECTORY:"):
                    return line.split("=", 1)[1].strip()
    except OSError:
        pass
    return None


def object_files(build_dir):
    for folder, dirs, files in os.walk(build_dir):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(".o") or name.endswith(".obj"):
                yield os.path.join(folder, name)


def node_of(obj, build_dir, root):
    """The source file an object was compiled from, as a node name without its
    extension relative to the source root; None outside the program's folders."""
    rel = os.path.relpath(obj, build_dir)
    parts = rel.split(os.sep)
    if "CMakeFiles" not in parts:
        return None
    at = parts.index("CMakeFiles")
    if at + 2 >= len(parts) or not parts[at + 1].endswith(".dir"):
        return None
    # CMake spells ".." in an object path as "__".
    inside = [".." if p == "__" else p for p in parts[at + 2 :]]
    source = os.path.normpath(os.path.join(root, *parts[:at], *inside))
    source = re.sub(r"\.(o|obj)$", "", source)
    source = os.path.relpath(source, root)
    if source.startswith(".."):
        return None
    top = source.split(os.sep)[0]
    if top not in PROGRAM_FOLDERS:
        return None
    return os.path.splitext(source)[0].replace(os.sep, "/")


def read_symbols(obj):
    """(defined strong, defined weak, undefined) symbol names of one object."""
    out = subprocess.run(["nm", "-P", obj], capture_output=True, text=True, check=True).stdout
    strong, weak, undefined = set(), set(), set()
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 2:
            continue
        name, kind = fields[0], fields[1]
        # Type identity (typeinfo and its name, which the sanitizers' checks of
        # dynamic types refer to) is no call.
        if name.startswith(("_ZTI", "_ZTS")):
            continue
        if kind == "U":
            undefined.add(name)
        elif kind in STRONG_TYPES:
            strong.add(name)
        elif kind in WEAK_TYPES:
            weak.add(name)
    return strong, weak, undefined


def strongly_connected(graph):
    """Tarjan's components, iteratively; only those of more than one node."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, successors = work[-1]
            advanced = False
            for succ in successors:
                if succ not in index:
                    index[succ] = low[succ] = counter
                    counter += 1
                    stack.append(succ)
                    on_stack.add(succ)
                    work.append((succ, iter(sorted(graph[succ]))))
                    advanced = True
                    break
                if succ in on_stack:
                    low[node] = min(low[node], index[succ])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return sorted(found)


def demangle(names):
    if not names:
        return {}
    try:
        out = subprocess.run(
            ["c++filt"], input="\n".join(names), capture_output=True, text=True, check=True
        ).stdout.splitlines()
    except (OSError, subprocess.CalledProcessError):
        return {n: n for n in names}
    return dict(zip(names, out)) if len(out) == len(names) else {n: n for n in names}


def main(argv):
    args, options = [], set()
    only = None
    for arg in argv[1:]:
        if arg.startswith("--only="):
            only = set(f for f in arg[len("--only=") :].split(",") if f)
        elif arg.startswith("--"):
            options.add(arg)
        else:
            args.append(arg)
    verbose = "--verbose" in options
    usable = options <= {"--verbose"} and (only is None or only <= set(PROGRAM_FOLDERS))
    if len(args) != 1 or not os.path.isdir(args[0]) or not usable:
        print(
            "usage: call-loops.py BUILD_DIR [--only=FOLDER,...] [--verbose]\n"
            f"folders: {', '.join(PROGRAM_FOLDERS)}",
            file=sys.stderr,
        )
        return 2
    build_dir = os.path.abspath(args[0])
    root = source_root(build_dir)
    if not root:
        print(f"call-loops: no CMakeCache.txt in {build_dir}", file=sys.stderr)
        return 2

    strong_by, weak_by, undefined_of = {}, {}, {}
    try:
        for obj in object_files(build_dir):
            node = node_of(obj, build_dir, root)
            if node is None:
                continue
            strong, weak, undefined = read_symbols(obj)
            for name in strong:
                strong_by.setdefault(name, set()).add(node)
            for name in weak:
                weak_by.setdefault(name, set()).add(node)
            undefined_of.setdefault(node, set()).update(undefined)
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"call-loops: nm failed: {error}", file=sys.stderr)
        return 2
    if not undefined_of:
        print(f"call-loops: no objects of the program's sources under {build_dir}", file=sys.stderr)
        return 2

    graph = {node: set() for node in undefined_of}
    why = {}  # (caller, callee) -> one symbol
    for caller, names in undefined_of.items():
        for name in sorted(names):
            callees = strong_by.get(name)
            if not callees:
                weak = weak_by.get(name, set())
                callees = weak if len(weak) == 1 else set()
            for callee in callees:
                if callee == caller:
                    continue
                graph[caller].add(callee)
                why.setdefault((caller, callee), name)

    loops = strongly_connected(graph)
    if only is not None:
        loops = [c for c in loops if any(node.split("/")[0] in only for node in c)]
    if verbose:
        edges = sum(len(v) for v in graph.values())
        print(f"{len(graph)} files, {edges} call edges")
    if not loops:
        print("No call loops.")
        return 0
    names = demangle(sorted({why[e] for e in why}))
    for number, component in enumerate(loops, 1):
        members = set(component)
        print(f"Loop {number}: {' '.join(component)}")
        for caller in component:
            for callee in sorted(graph[caller] & members):
                print(f"  {caller} -> {callee}: {names.get(why[(caller, callee)], why[(caller, callee)])}")
    print(f"{len(loops)} call loop(s).")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
