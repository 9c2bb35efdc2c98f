#!/usr/bin/python3
"""Writes the zip test archives into the folder given as the only argument.

Ordinary archives come from Python's zipfile; the malformed and hostile ones are put together byte by byte
by the small writer below, so each breaks exactly one rule of the format. The test program runs this script
at start-up; nothing it writes is kept in the repository.
"""
import random
import struct
import sys
import zipfile
import zlib
from pathlib import Path

UTF8_FLAG = 0x800


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def dos_datetime(y, mo, d, h, mi, s):
    return ((y - 1980) << 9) | (mo << 5) | d, (h << 11) | (mi << 5) | (s // 2)


def raw_zip(path, entries, comment=b"", zip64_end=False, eocd_count=None):
    """Writes entries given as dicts: name (bytes), data (bytes), method (0/8), flag, and overrides:
    crc, usize, csize, local_offset, ext_attr, system, date, time, and zip64: the fields ("usize", "csize",
    "offset") given as 0xFFFFFFFF placeholders with their values in a Zip64 extra field."""
    out = bytearray()
    central = bytearray()
    for e in entries:
        data = e.get("data", b"")
        method = e.get("method", 8)
        payload = e.get("payload", deflate(data) if method == 8 else data)
        crc = e.get("crc", zlib.crc32(data))
        usize = e.get("usize", len(data))
        csize = e.get("csize", len(payload))
        date, time = e.get("date", 0x3CB5), e.get("time", 0x6000)
        flag = e.get("flag", 0)
        name = e["name"]
        offset = len(out)
        local_offset = e.get("local_offset", offset)
        fields = e.get("zip64", ())
        values = [v for f, v in (("usize", usize), ("csize", csize), ("offset", local_offset)) if f in fields]
        extra = struct.pack("<HH", 1, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values) if fields else b""
        sizes = [v for f, v in (("usize", usize), ("csize", csize)) if f in fields]
        local_extra = struct.pack("<HH", 1, 8 * len(sizes)) + b"".join(struct.pack("<Q", v) for v in sizes) if sizes else b""
        u32 = 0xFFFFFFFF if "usize" in fields else usize
        c32 = 0xFFFFFFFF if "csize" in fields else csize
        o32 = 0xFFFFFFFF if "offset" in fields else local_offset
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45 if fields else 20, flag, method, time, date, crc, c32, u32,
                           len(name), len(local_extra)) + name + local_extra + payload
        system = e.get("system", 0)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, (system << 8) | 20, 45 if fields else 20, flag,
                               method, time, date, crc, c32, u32, len(name), len(extra), 0, 0, 0,
                               e.get("ext_attr", 0x20), o32) + name + extra
    cd_offset = len(out)
    out += central
    count = len(entries) if eocd_count is None else eocd_count
    if zip64_end:
        z64_offset = len(out)
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, len(central), cd_offset)
        out += struct.pack("<IIQI", 0x07064B50, 0, z64_offset, 1)
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, len(comment))
    else:
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), cd_offset, len(comment))
    out += comment
    Path(path).write_bytes(bytes(out))


def quarter_data():
    """1000 bytes that deflate to exactly 250, so the listing's ratio is 0.25."""
    for seed in range(1000):
        rng = random.Random(seed)
        for k in range(150, 300):
            data = bytes(rng.getrandbits(8) for _ in range(k)) + b"\0" * (1000 - k)
            if len(deflate(data)) == 250:
                return data
    raise SystemExit("no 1000-byte text deflates to 250 bytes")


def pattern(n):
    return bytes((i * 7 + i // 251) % 256 for i in range(n))


def ordinary(out):
    with zipfile.ZipFile(out / "basic.zip", "w", zipfile.ZIP_DEFLATED) as z:
        z.comment = b"archive comment"
        z.writestr("docs/", b"")
        z.writestr("docs/a.txt", b"alpha\n")
        z.writestr("data/readme.txt", b"read me\n")
        z.writestr("readme", b"no extension\n")
        z.writestr("x.zzq", b"unknown type\n")
        z.writestr("empty.txt", b"")
        z.writestr("big.bin", pattern(20000))
    with zipfile.ZipFile(out / "details.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for name, attr in (("ra.txt", 0x21), ("hs.txt", 0x06)):
            info = zipfile.ZipInfo(name, date_time=(2010, 5, 21, 13, 45, 30))
            info.create_system = 0
            info.external_attr = attr
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, b"attributes\n")
        z.writestr("quarter.bin", quarter_data())
        z.writestr("zero.bin", b"")
    with zipfile.ZipFile(out / "three.zip", "w") as z:
        for n in ("one.txt", "two.txt", "three.txt"):
            z.writestr(n, n.encode())
    with zipfile.ZipFile(out / "folders-only.zip", "w") as z:
        z.writestr("a/", b"")
        z.writestr("a/b/", b"")
    with zipfile.ZipFile(out / "empty.zip", "w") as z:
        z.comment = b"nothing inside"
    with zipfile.ZipFile(out / "utf8-flag.zip", "w") as z:  # zipfile sets the UTF-8 flag for such names
        z.writestr("Grüße/naïve €.txt", b"flagged\n")
    with zipfile.ZipFile(out / "method-bzip2.zip", "w", zipfile.ZIP_BZIP2) as z:
        z.writestr("b.txt", b"bzip2 data " * 100)
    with zipfile.ZipFile(out / "method-lzma.zip", "w", zipfile.ZIP_LZMA) as z:
        z.writestr("l.txt", b"lzma data " * 100)


def names(out):
    raw_zip(out / "utf8-noflag.zip", [{"name": "Grüße/naïve.txt".encode(), "data": b"unflagged\n"}])
    # 0x82 is e-acute and 0x81 u-umlaut in code page 437; the bytes are not valid UTF-8
    raw_zip(out / "cp437.zip", [{"name": b"caf\x82/m\x81sli.txt", "data": b"legacy\n"}])
    raw_zip(out / "utf8-flag-invalid.zip", [{"name": b"bad\xffname.txt", "data": b"x", "flag": UTF8_FLAG}])
    raw_zip(out / "nul-in-name.zip", [{"name": b"cut.txt\0../../escape.txt", "data": b"nul\n"}])
    raw_zip(out / "long-name.zip", [{"name": b"d/" + b"n" * 300 + b".txt", "data": b"long\n"}])


def zip64(out):
    """Entries whose sizes and local header offsets are in Zip64 extra fields, as in archives beyond 4 GiB."""
    text = b"zip64 fields\n" * 300
    raw_zip(out / "zip64-fields.zip", [
        {"name": b"sizes.txt", "data": text, "zip64": ("usize", "csize")},
        {"name": b"stored.bin", "data": pattern(3000), "method": 0, "zip64": ("usize", "csize")},
        {"name": b"moved.txt", "data": text, "zip64": ("offset",)},
        {"name": b"all.bin", "data": pattern(70000), "zip64": ("usize", "csize", "offset")},
        {"name": b"empty64.txt", "data": b"", "zip64": ("usize", "csize", "offset")},
    ], zip64_end=True)


def hostile(out):
    body = b"payload\n" * 125  # 1000 bytes
    raw_zip(out / "slip-dotdot.zip", [{"name": b"../evil-dotdot.txt", "data": body},
                                      {"name": b"safe/../../evil-nested.txt", "data": body},
                                      {"name": b"dots/.. /evil-dotspace.txt", "data": body},
                                      {"name": b"ok.txt", "data": body}])
    raw_zip(out / "slip-backslash.zip", [{"name": b"..\\evil-backslash.txt", "data": body},
                                         {"name": b"ok.txt", "data": body}])
    raw_zip(out / "slip-absolute.zip", [{"name": b"/rooted.txt", "data": body},
                                        {"name": b"//evil-double.txt", "data": body},
                                        {"name": b"\\\\evil-unc.txt", "data": body}])
    raw_zip(out / "slip-drive-letter.zip", [{"name": b"C:/evil-drive.txt", "data": body},
                                            {"name": b"c:evil-relative.txt", "data": body},
                                            {"name": b"ok.txt", "data": body}])
    raw_zip(out / "size-lie-4g.zip", [{"name": b"huge.bin", "data": body, "usize": 0xFFFFFFFF}])
    raw_zip(out / "size-lie-zip64.zip", [{"name": b"huge64.bin", "data": body, "usize": 8 << 30,
                                          "zip64": ("usize",)}], zip64_end=True)
    raw_zip(out / "zip64-bad-crc.zip", [{"name": b"crc64.bin", "data": body, "crc": zlib.crc32(body) ^ 1,
                                         "zip64": ("usize", "csize")}], zip64_end=True)
    # the extra field's offset points into the entry's data, where no local header is
    raw_zip(out / "zip64-bad-offset.zip", [{"name": b"nowhere.bin", "data": body, "local_offset": 40,
                                            "zip64": ("offset",)}], zip64_end=True)
    raw_zip(out / "size-lie-short.zip", [{"name": b"short.bin", "data": body, "usize": 2000}])
    raw_zip(out / "size-lie-long.zip", [{"name": b"long.bin", "data": body, "usize": 500}])
    raw_zip(out / "size-lie-stored.zip", [{"name": b"stored.bin", "data": body, "method": 0, "usize": 5000,
                                           "csize": 5000}])
    raw_zip(out / "bad-crc.zip", [{"name": b"crc.bin", "data": body, "crc": zlib.crc32(body) ^ 1}])
    raw_zip(out / "encrypted-flag.zip", [{"name": b"secret.txt", "data": body, "flag": 1}])
    raw_zip(out / "corrupt-deflate.zip", [{"name": b"noise.bin", "data": body,
                                           "payload": bytes([0xFF]) * 40 + random.Random(7).randbytes(200)}])
    raw_zip(out / "bad-local-offset.zip", [{"name": b"far.bin", "data": body, "local_offset": 1 << 30}])
    raw_zip(out / "method-unknown.zip", [{"name": b"m.bin", "data": body, "method": 99}])
    raw_zip(out / "huge-count.zip", [{"name": b"one.txt", "data": body}], eocd_count=65534)
    whole = (out / "basic.zip").read_bytes()
    (out / "truncated.zip").write_bytes(whole[: len(whole) // 2])
    (out / "not-a-zip.zip").write_bytes(b"This is plain text, not an archive.\n" * 4)
    (out / "empty-file.zip").write_bytes(b"")
    # the data ends inside the entry: the central directory is intact but claims more stored bytes
    raw_zip(out / "truncated-data.zip", [{"name": b"cut.bin", "data": body, "method": 0, "csize": 100000,
                                          "usize": 100000}])


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    ordinary(out)
    names(out)
    zip64(out)
    hostile(out)


if __name__ == "__main__":
    main()
