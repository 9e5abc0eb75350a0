#!/usr/bin/env python3
"""Fails when a source includes a header of a layer it may not use.

The layers and what each may use are read from the tq_layer() lines of src/CMakeLists.txt, so the
rule written there is the rule checked here. A layer may include its own headers and those of the
layers it links, directly or through them; the mains (app, cli, hhc) and tests/<layer> may include
what their layer or the layers they link may. Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else '.')
src = root / 'src'
cmake = (src / 'CMakeLists.txt').read_text()

deps = {}
for name, rest in re.findall(r'^tq_layer\((\w+)\s+DEPS([^)]*)\)', cmake, re.M):
    deps[name] = [d[3:] for d in rest.split() if d.startswith('tq_')]
layers = set(deps)


def reach(layer, seen=None):
    seen = set() if seen is None else seen
    if layer not in seen:
        seen.add(layer)
        for d in deps.get(layer, []):
            reach(d, seen)
    return seen


def links_of(target):
    """The tq_ layers an executable target links, read from target_link_libraries."""
    m = re.search(r'target_link_libraries\(%s\s+PRIVATE([^)]*)\)' % re.escape(target), cmake)
    return [d[3:] for d in m.group(1).split() if d.startswith('tq_')] if m else []


allowed = {layer: reach(layer) for layer in layers}
for folder, target in (('app', 'tarnquill'), ('cli', 'tarnquill-cli'), ('hhc', 'tarnquill-hhc')):
    allowed[folder] = {folder}.union(*[reach(d) for d in links_of(target)])

include = re.compile(r'^\s*#\s*include\s*"(\w+)/[^"]+"', re.M)
faults = []
for base, kind in ((src, 'src'), (root / 'tests', 'tests')):
    for path in sorted(base.rglob('*')):
        if path.suffix not in ('.h', '.cpp') or path.parent == base:
            continue
        owner = path.relative_to(base).parts[0]
        if owner not in allowed:
            continue  # tests/support, tests/fuzz: shared helpers, checked by what they link
        may = allowed[owner] | ({'support'} if kind == 'tests' else set())
        for number, line in enumerate(path.read_text(errors='replace').splitlines(), 1):
            m = include.match(line)
            if m and m.group(1) in layers | {'app', 'cli', 'hhc'} and m.group(1) not in may:
                faults.append(f'{path.relative_to(root)}:{number}: {owner} may not include '
                              f'{m.group(1)}/ ({line.strip()})')

for fault in faults:
    print(fault)
print(f'{len(faults)} wrong-way include(s)' if faults else 'includes follow the layer order')
sys.exit(1 if faults else 0)
