#!/usr/bin/env python3
"""Checks every #include of the library and its programs against the layer table (layers.txt).

Usage: check_layers.py <source folder> [<layer table>]
Prints one line per forbidden include, "path:line: ...", and exits 1 when there is any; a file that no layer
holds, an include that cannot be found and a table that names an unknown layer fail the same way.
"""
import os
import re
import sys

CHECKED_ROOTS = ("api32", "tools")
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".h", ".hpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def read_table(path):
    """Returns ({layer: [folders]}, {layer: [layers it may include]}) and the table's own errors."""
    folders, allowed, errors = {}, {}, []
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            cells = [cell.strip() for cell in line.split("|")]
            if len(cells) != 3 or not cells[0] or not cells[1]:
                errors.append(f"{path}:{number}: a row is 'layer | folders | may include'")
                continue
            folders[cells[0]] = cells[1].split()
            allowed[cells[0]] = cells[2].split()
    for layer, below in allowed.items():
        for name in below:
            if name not in folders:
                errors.append(f"{path}: layer {layer} may include an unknown layer {name}")
    return folders, allowed, errors


def reachable(allowed):
    """Each layer with every layer it may include directly or through the layers below it."""
    closure = {}
    for layer in allowed:
        seen, todo = {layer}, list(allowed[layer])
        while todo:
            name = todo.pop()
            if name not in seen:
                seen.add(name)
                todo.extend(allowed.get(name, []))
        closure[layer] = seen
    return closure


def layer_of(path, folders):
    """The layer whose folder or file is the longest prefix of path (relative, with /), or None."""
    best, best_length = None, -1
    for layer, prefixes in folders.items():
        for prefix in prefixes:
            if (path == prefix or path.startswith(prefix + "/")) and len(prefix) > best_length:
                best, best_length = layer, len(prefix)
    return best


def resolve(source, including, target, quoted):
    """The included file relative to the source folder, or None for a system header."""
    if quoted:
        beside = os.path.normpath(os.path.join(os.path.dirname(including), target))
        if os.path.isfile(os.path.join(source, beside)):
            return beside
    if target.split("/", 1)[0] in CHECKED_ROOTS and os.path.isfile(os.path.join(source, target)):
        return os.path.normpath(target)
    if quoted or target.split("/", 1)[0] in CHECKED_ROOTS:
        return ""  # meant to be ours, yet not found
    return None


def check(source, table):
    folders, allowed, problems = read_table(table)
    closure = reachable(allowed)
    checked = 0
    for root in CHECKED_ROOTS:
        for folder, _, names in os.walk(os.path.join(source, root)):
            for name in sorted(names):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(folder, name), source).replace(os.sep, "/")
                layer = layer_of(path, folders)
                if layer is None:
                    problems.append(f"{path}:1: no layer of {table} holds this file")
                    continue
                checked += 1
                with open(os.path.join(source, path), encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = resolve(source, path, match.group(2), match.group(1) == '"')
                        if target is None:
                            continue
                        if target == "":
                            problems.append(f"{path}:{number}: includes {match.group(2)}, which is not in the tree")
                            continue
                        target_layer = layer_of(target, folders)
                        if target_layer is None:
                            problems.append(f"{path}:{number}: includes {target}, which no layer holds")
                        elif target_layer not in closure[layer]:
                            problems.append(f"{path}:{number}: layer {layer} includes {target} of layer "
                                            f"{target_layer}, which it may not include")
    return checked, problems


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    source = sys.argv[1]
    table = sys.argv[2] if len(sys.argv) == 3 else os.path.join(source, "layers.txt")
    checked, problems = check(source, table)
    for problem in problems:
        print(problem)
    if checked == 0:
        print(f"{source}: no file of {', '.join(CHECKED_ROOTS)} was checked")
        return 1
    print(f"{checked} files checked, {len(problems)} forbidden includes" if problems else f"{checked} files checked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
