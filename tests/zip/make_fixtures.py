#!/usr/bin/python3
"""Writes the zip test archives into the folder given as the only argument.

Ordinary archives come from Python's zipfile; the malformed and hostile ones are put together byte by byte
by the small writer below, so each breaks exactly one rule of the format. The test program runs this script
at start-up; nothing it writes is kept in the repository.
"""
import bz2
import lzma
import random
import struct
import subprocess
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


def raw_zip(path, entries, comment=b"", zip64_end=False, eocd_count=None, prefix=b"", patch=None):
    """Writes entries given as dicts: name (bytes), data (bytes), method (0/8, or any with a payload), flag,
    and overrides: payload, crc, usize, csize, local_offset, ext_attr, system, date, time, and zip64: the fields
    ("usize", "csize", "offset") given as 0xFFFFFFFF placeholders with their values in a Zip64 extra field.
    `prefix` goes in front of the archive, its offsets left as they are; `patch(bytes, end_offset)` may change
    the archive's bytes (end_offset: where its end record starts) before they are written."""
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
    end_offset = len(out) - 22
    out += comment
    if patch:
        patch(out, end_offset)
    Path(path).write_bytes(prefix + bytes(out))


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


def method_data():
    """About 300 KB that cross many input and output blocks: text, then bytes that hardly compress."""
    text = b"".join(b"line %d of the method test, some words repeat, some do not: %x\n" % (i, i * 7919)
                    for i in range(3000))
    return text + random.Random(3).randbytes(100000)


def zstd(data, *options):
    return subprocess.run(["zstd", "-q", "-c", *options], input=data, capture_output=True, check=True).stdout


def methods(out):
    """One entry per method the reader decodes, all of method_data(); damaged and truncated ones; data that
    ask a decoder for more memory than it may take."""
    data = method_data()
    (out / "method-data.bin").write_bytes(data)
    for name, method in (("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
        with zipfile.ZipFile(out / f"method-{name}.zip", "w", method) as z:
            z.writestr(f"{name}.bin", data)
    payloads = {
        0: data,
        8: deflate(data),
        12: bz2.compress(data),
        14: None,  # from Python's zipfile below: it writes the entry's own LZMA header
        93: zstd(data),
        95: lzma.compress(data, format=lzma.FORMAT_XZ),
    }
    with zipfile.ZipFile(out / "method-lzma.zip") as z:
        info = z.infolist()[0]
        raw = (out / "method-lzma.zip").read_bytes()
        start = info.header_offset + 30 + len(info.filename.encode()) + len(info.extra)
        payloads[14] = raw[start:start + info.compress_size]
    names = {0: "stored", 8: "deflate", 12: "bzip2", 14: "lzma", 93: "zstd", 95: "xz"}
    lzma_flag = 2  # the LZMA data end with an end marker
    raw_zip(out / "method-all.zip", [{"name": f"{names[m]}.bin".encode(), "data": data, "method": m, "payload": p,
                                      "flag": lzma_flag if m == 14 else 0} for m, p in payloads.items()])

    def flipped(payload):
        middle = len(payload) // 2
        return payload[:middle] + bytes(b ^ 0x55 for b in payload[middle:middle + 16]) + payload[middle + 16:]

    raw_zip(out / "method-damaged.zip", [{"name": f"{names[m]}.bin".encode(), "data": data, "method": m,
                                          "payload": flipped(p)} for m, p in payloads.items()])
    raw_zip(out / "method-truncated.zip", [{"name": f"{names[m]}.bin".encode(), "data": data, "method": m,
                                            "payload": p[:len(p) // 2]} for m, p in payloads.items()])

    # an xz stream whose dictionary is 1.5 GiB (the LZMA2 property byte 38; the block header's CRC made anew),
    # and a zstd frame whose window is 2 GiB (window descriptor: exponent 21)
    small = b"small entry, big claims\n" * 40
    xz = bytearray(lzma.compress(small, format=lzma.FORMAT_XZ, check=lzma.CHECK_CRC32))
    header = 12  # the stream header; the block header follows: size byte, flags, filter id 0x21, 1, property
    assert xz[header + 2] == 0x21 and xz[header + 3] == 1
    xz[header + 4] = 38
    size = (xz[header] + 1) * 4
    xz[header + size - 4:header + size] = struct.pack("<I", zlib.crc32(xz[header:header + size - 4]))
    frame = bytearray(zstd(small, "--no-content-size"))
    assert frame[4] & 0x20 == 0  # not a single segment: a window descriptor follows
    frame[5] = 21 << 3
    raw_zip(out / "method-greedy.zip", [{"name": b"greedy.xz.bin", "data": small, "method": 95, "payload": bytes(xz)},
                                        {"name": b"greedy.zstd.bin", "data": small, "method": 93,
                                         "payload": bytes(frame)},
                                        {"name": b"modest.bin", "data": small, "method": 8}])


def directories(out):
    """Where the end records and the central directory may be, and where they may not."""
    text = b"where is the directory\n" * 20
    entries = [{"name": b"one.txt", "data": text}, {"name": b"two/two.txt", "data": text[::-1]}]
    stub = b"#!/bin/sh\necho a program with an archive behind it\nexit 0\n" + b"\0" * 900
    raw_zip(out / "prefix-zip64.zip", entries, zip64_end=True, prefix=stub)
    raw_zip(out / "prefix-plain.zip", entries, prefix=stub)
    # the same behind a prefix, its offsets adjusted by Info-ZIP (zip -A)
    (out / "prefix-adjusted.zip").write_bytes(stub + (out / "prefix-plain.zip").read_bytes()[len(stub):])
    subprocess.run(["zip", "-q", "-A", str(out / "prefix-adjusted.zip")], check=True)
    raw_zip(out / "directory-reference.zip", entries)  # what the archives below hold, for Python to read
    # the longest comment; one holding the end record's signature (other readers take that for the record);
    # one that ends in an empty archive's end record (every reader, ours too, then sees an empty archive)
    raw_zip(out / "comment-longest.zip", entries, comment=(b"a comment of 65,535 bytes; " * 3000)[:65535])
    raw_zip(out / "comment-signatures.zip", entries, comment=(b"PK\x05\x06 is not the end; " * 3000)[:65535])
    raw_zip(out / "comment-fake-end.zip", entries, comment=b"a comment that ends like an empty archive"
            + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0, 0, 0, 0, 0))

    def directory_size(delta):
        def patch(b, end):
            b[end + 12:end + 16] = struct.pack("<I", struct.unpack_from("<I", b, end + 12)[0] + delta)
        return patch

    def directory_offset(value):
        def patch(b, end):
            b[end + 16:end + 20] = struct.pack("<I", value)
        return patch

    # a wrong directory size: the directory is still at its offset (read as Info-ZIP unzip reads it)
    raw_zip(out / "directory-size-wrong.zip", entries, patch=directory_size(-16))
    # a wrong size and a wrong offset: the directory is nowhere the end record says
    raw_zip(out / "directory-lost.zip", entries,
            patch=lambda b, end: (directory_size(100)(b, end), directory_offset(7)(b, end)))
    # the second of three central records damaged: the directory is found but cannot be read whole
    def damage_second_record(b, end):
        second = struct.unpack_from("<I", b, end + 16)[0] + 46 + len(entries[0]["name"])
        b[second:second + 4] = b"XXXX"
    raw_zip(out / "directory-record-damaged.zip", entries + [{"name": b"three.txt", "data": text}],
            patch=damage_second_record)
    # a Zip64 locator whose end record is missing, the end record holding placeholders
    def drop_zip64_record(b, end):
        b[end - 20 - 56:end - 20 - 52] = b"XXXX"
    raw_zip(out / "zip64-record-missing.zip", entries, zip64_end=True, patch=drop_zip64_record)


def overlaps(out):
    """Central records that share local data: the overlapping zip bomb in small."""
    data = b"shared data, read many times over\n" * 30
    alone = {"name": b"alone.txt", "data": b"this entry shares nothing\n"}
    # two records pointing at the same local header
    raw_zip(out / "overlap-shared.zip", [{"name": b"first.txt", "data": data},
                                         {"name": b"other.txt", "data": data, "local_offset": 0}, alone])
    # a stored entry whose data hold another entry's local header and data
    inner = b"quoted inside the outer entry\n" * 10
    quoted = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0x6000, 0x3CB5, zlib.crc32(inner), len(inner),
                         len(inner), 9, 0) + b"inner.txt" + inner
    raw_zip(out / "overlap-quoted.zip", [{"name": b"outer.txt", "data": quoted, "method": 0},
                                         {"name": b"inner.txt", "data": inner, "method": 0,
                                          "local_offset": 30 + len(b"outer.txt")}, alone])


def confinement(out):
    """Names that meet links planted in the target, a large entry to swap a folder under, an overlap bomb."""
    with zipfile.ZipFile(out / "planted-link.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("Addon/x.txt", "addon/y.txt", "ADDON/sub/z.txt", "ok.txt", "soft.txt", "hard.txt"):
            z.writestr(name, "from the archive: " + name + "\n")
    with zipfile.ZipFile(out / "swap-race.zip", "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("Addon/big.bin", bytes(range(256)) * 4096)
        z.writestr("Addon/later.txt", "after the big one\n")
        z.writestr("top.txt", "top\n")
    # twenty central records sharing one local entry of 1 MiB: 20 MiB written from a few KiB if obeyed
    shared = {"name": b"bomb/00.bin", "data": bytes(1 << 20)}
    raw_zip(out / "overlap-bomb.zip", [shared] + [
        {"name": b"bomb/%02d.bin" % i, "data": bytes(1 << 20), "local_offset": 0} for i in range(1, 20)] +
        [{"name": b"alone.txt", "data": b"this entry shares nothing\n"}])


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    ordinary(out)
    names(out)
    zip64(out)
    hostile(out)
    methods(out)
    directories(out)
    overlaps(out)
    confinement(out)


if __name__ == "__main__":
    main()
