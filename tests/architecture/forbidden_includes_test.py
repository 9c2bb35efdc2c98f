#!/usr/bin/env python3
"""The layer check fails, naming file and line, on each kind of include the layers forbid.

Usage: forbidden_includes_test.py <check_layers.py> <source folder>
Each case copies the real table and the real tree's headers it needs into a scratch tree, adds one file with
one include, and runs the check on it.
"""
import os
import shutil
import subprocess
import sys
import tempfile

# (file added, its text, expected to pass)
CASES = [
    # the stand-in including a class folder or the desktop classes
    ("api32/win32/bad.cpp", '#include "api32/zip/uo_nv_ziplib.hpp"\n', False),
    ("api32/win32/bad.cpp", '#include "api32/desktop/uo_nv_trayicon.hpp"\n', False),
    # the runtime including the stand-in (the cycle that was broken)
    ("api32/runtime/bad.cpp", '#include "api32/win32/paths.hpp"\n', False),
    # a class including the desktop, the entry points or the command
    ("api32/zip/bad.cpp", '#include "api32/desktop/w_download_addon.hpp"\n', False),
    ("api32/process/bad.cpp", '#include "api32/abi/binding.hpp"\n', False),
    ("api32/zip/bad.cpp", '#include "tools/api32/commands.hpp"\n', False),
    # the desktop classes including the entry points
    ("api32/desktop/bad.cpp", '#include "api32/abi/binding.hpp"\n', False),
    # the library including its programs, in angle brackets too
    ("api32/abi/bad.cpp", '#include <tools/rar/commands.hpp>\n', False),
    # a folder no layer holds, and an include of ours that is not there
    ("api32/newfolder/bad.cpp", '#include "api32/runtime/text.hpp"\n', False),
    ("api32/zip/bad.cpp", '#include "api32/zip/missing.hpp"\n', False),
    # what is allowed: below, through a lower layer, beside, and system headers
    ("api32/compression/good.cpp", '#include "api32/zip/uo_nv_ziplib.hpp"\n', True),
    ("api32/compression/good.cpp", '#include "api32/runtime/text.hpp"\n', True),
    ("tools/api32/good.cpp", '#include "commands.hpp"\n#include <vector>\n', True),
]


def main():
    checker, source = sys.argv[1], sys.argv[2]
    failures = 0
    for added, text, should_pass in CASES:
        with tempfile.TemporaryDirectory(prefix="api32-layers-") as scratch:
            shutil.copy(os.path.join(source, "layers.txt"), scratch)
            for folder in ("api32", "tools"):
                shutil.copytree(os.path.join(source, folder), os.path.join(scratch, folder),
                                ignore=shutil.ignore_patterns("*.cpp", "*.c", "*.txt", "*.md"))
            os.makedirs(os.path.join(scratch, os.path.dirname(added)), exist_ok=True)
            with open(os.path.join(scratch, added), "w", encoding="utf-8") as out:
                out.write(text)
            run = subprocess.run([sys.executable, checker, scratch], capture_output=True, text=True)
            passed = run.returncode == 0
            named = any(line.startswith(added + ":") for line in run.stdout.splitlines())
            if passed != should_pass or (not should_pass and not named):
                failures += 1
                print(f"FAIL {added} with {text.strip()!r}: exit {run.returncode}\n{run.stdout}")
            else:
                print(f"ok   {added} with {text.strip()!r}" + ("" if should_pass else f": {run.stdout.splitlines()[0]}"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
