#!/usr/bin/python3
"""Writes what Python's zipfile reads of an archive into a folder: the bytes of every entry that is no
folder, in the order of the central directory, as 0, 1, 2, ..., and their number as "count". Exits with 1,
writing nothing, when zipfile cannot read the archive or one of its entries.

    read_with_python.py ARCHIVE FOLDER
"""
import sys
import zipfile
from pathlib import Path


def main():
    archive, out = sys.argv[1], Path(sys.argv[2])
    try:
        with zipfile.ZipFile(archive) as z:
            files = [z.read(info) for info in z.infolist() if not info.is_dir()]
    except (zipfile.BadZipFile, NotImplementedError, EOFError, ValueError, OSError) as e:
        print(f"zipfile cannot read {archive}: {e}", file=sys.stderr)
        return 1
    out.mkdir(parents=True, exist_ok=True)
    for n, data in enumerate(files):
        (out / str(n)).write_bytes(data)
    (out / "count").write_text(str(len(files)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
