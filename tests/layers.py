#!/usr/bin/env python3
"""Usage: layers.py SOURCE_DIR

Fails when a source's #include "..." reaches a folder above its own or
another front end's folder, or when includes form a circle of files or units."""
import os
import sys

# Bottom to top: what each folder's files may include besides themselves.
BELOW = {
    "host": [],
    "pchost": ["host"],  # the host implements the toolkit, knows no plug-in
    "store": ["host"],
    "install": ["host", "store"],
    "manage": ["host", "store", "install"],
    "fetch": ["host", "store", "install", "manage"],
    "commands": ["host", "store", "install", "manage", "fetch"],  # nimbrel's and serve's, not the windows'
    # The front ends, each on the procedures alone.
    "plugin": ["host", "store", "install", "manage"],
    "web": ["host", "store", "install", "manage", "fetch", "commands"],
    "cli": ["host", "store", "install", "manage", "fetch", "commands"],
}
# serve is one of nimbrel's commands; and nimbrel finds the stand-in mount
# in pchost-bin beside itself, as nimbrel-host does.
CROSSINGS = {("cli", "web/serve.h"), ("cli", "pchost/front/executable.h")}
FREE = {"tests"}  # the tests drive every layer

root = sys.argv[1]
includes = {}
for top in sorted(os.listdir(root)):
    base = os.path.join(root, top)
    # A build tree, also one scripts/test is configuring (no CMakeCache.txt yet).
    if top.startswith(".") or top == "docs" or not os.path.isdir(base) \
            or os.path.exists(os.path.join(base, "CMakeCache.txt")) \
            or os.path.isdir(os.path.join(base, "CMakeFiles")):
        continue
    for folder, _, names in os.walk(base):
        for name in names:
            if name.endswith((".h", ".cpp", ".c")):
                path = os.path.relpath(os.path.join(folder, name), root)
                with open(os.path.join(root, path), errors="replace") as source:
                    includes[path] = [line.split('"')[1] for line in source
                                      if line.lstrip().startswith("#") and "include" in line
                                      and line.count('"') >= 2]

faults = []
for path, targets in sorted(includes.items()):
    layer = path.split("/")[0]
    if layer in FREE:
        continue
    if layer not in BELOW:
        faults.append(f"{path}: folder {layer}/ has no layer")
        continue
    for target in targets:
        to = target.split("/")[0]
        if "/" in target and to != layer and to not in BELOW[layer] and (layer, target) not in CROSSINGS:
            faults.append(f"{path} includes {target}: {to}/ is no layer below {layer}/")


# A circle: a node reached again while its own edges are being followed.
def circles(graph, kind, trail, done):
    for target in sorted(graph[trail[-1]]):
        if target in trail:
            faults.append(kind + " -> ".join(trail[trail.index(target):] + [target]))
        elif target in graph and target not in done:
            circles(graph, kind, trail + [target], done)
    done.add(trail[-1])


units = {}  # a.h and a.cpp: the unit uses b when either includes b.h
for path, targets in includes.items():
    unit = os.path.splitext(path)[0]
    units.setdefault(unit, set()).update(t[:-2] for t in targets if t.endswith(".h") and t[:-2] != unit)
for graph, kind in (includes, "include circle: "), (units, "include circle between units: "):
    done = set()
    for node in sorted(graph):
        if node not in done:
            circles(graph, kind, [node], done)

for fault in faults:
    print(fault)
print(f"{len(includes)} sources, {len(faults)} faults")
sys.exit(1 if faults else 0)
