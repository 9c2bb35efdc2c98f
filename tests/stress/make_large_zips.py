#!/usr/bin/python3
"""Writes archives of the limits tests into the folder given as the first argument, with Python's zipfile -
those named after it, or all of them:

- beyond-4gib.zip: big.bin, 4.5 GiB of zeros stored (Zip64 sizes), then tail.txt, whose local header lies
  beyond 4 GiB (a Zip64 offset). The zeros are skipped rather than written, so the file is sparse: 4.5 GiB
  long, a few KiB on disk.
- many-entries.zip: 70,000 small entries in 70 folders, more than the 65,535 a classic end record counts, so
  zipfile writes the Zip64 end records.
- large-entry.zip: zeros.bin, 128 MiB of zeros deflated to about 128 KiB.
"""
import sys
import zipfile
from pathlib import Path

BIG = (4 << 30) + (512 << 20)
CHUNK = bytes(64 << 20)


class SparseZeros:
    """A file that seeks over the zero chunk instead of writing it; everything else is written."""

    def __init__(self, path):
        self.f = open(path, "wb")

    def write(self, data):
        if data is CHUNK:
            self.f.seek(len(data), 1)
            return len(data)
        return self.f.write(data)

    def __getattr__(self, name):
        return getattr(self.f, name)

    def close(self):
        self.f.truncate()  # a file that ends in a hole still gets its length
        self.f.close()


def beyond_4gib(path):
    sparse = SparseZeros(path)
    with zipfile.ZipFile(sparse, "w", zipfile.ZIP_STORED) as z:
        with z.open("big.bin", "w", force_zip64=True) as f:
            for _ in range(BIG // len(CHUNK)):
                f.write(CHUNK)
        z.writestr("tail.txt", b"after four gigabytes\n")
    sparse.close()


def many_entries(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(70000):
            z.writestr(f"d{i // 1000:02d}/f{i:05d}.txt", f"entry {i}\n")


def large_entry(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("zeros.bin", "w") as f:
            for _ in range(2):
                f.write(CHUNK)


MAKERS = {"beyond-4gib.zip": beyond_4gib, "many-entries.zip": many_entries, "large-entry.zip": large_entry}
out = Path(sys.argv[1])
for name in sys.argv[2:] or MAKERS:
    MAKERS[name](out / name)
