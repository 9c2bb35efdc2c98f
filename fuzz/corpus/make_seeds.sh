#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/, replacing earlier seeds. (Inputs
# that once broke a target live in tests/fixtures/regress/.) Seeds come from independent tools: Info-ZIP zip, Python's zipfile and zlib, the zip
# tests' fixture script, GNU tar, ImageMagick, iconv, and the real RAR archives in tests/fixtures/rar.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fresh() {  # fresh TARGET: an empty seed folder
  rm -rf "${here:?}/$1"
  mkdir -p "$here/$1"
}

# ---- zip_reader: Info-ZIP archives, Python's, and the zip tests' malformed and hostile fixtures
fresh zip_reader
(
  cd "$work" && mkdir -p src/Docs src/empty && printf 'hello\r\n' >src/readme.txt &&
    seq 1 400 >src/Docs/numbers.txt && printf '\x00\x01\x02\xff' >src/Docs/bin.dat && ln -s readme.txt src/link.txt
  cd src
  zip -q -X -r "$here/zip_reader/infozip-deflated.zip" readme.txt Docs empty
  zip -q -X -0 "$here/zip_reader/infozip-stored.zip" readme.txt Docs/bin.dat
  zip -q -X -P secret "$here/zip_reader/infozip-encrypted.zip" readme.txt Docs/numbers.txt
  zip -q -X --symlinks "$here/zip_reader/infozip-symlink.zip" link.txt readme.txt
  printf 'streamed\n' | zip -q -X - - >"$here/zip_reader/infozip-streamed.zip"  # data descriptor, Zip64 sizes
  zip -q -X -z "$here/zip_reader/infozip-comment.zip" readme.txt <<<"archive comment"
)
"$py" - "$here/zip_reader" <<'PY'
import sys, warnings, zipfile
warnings.simplefilter("ignore")  # the duplicate names are meant
out = sys.argv[1]
with zipfile.ZipFile(out + "/python-zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("big/name.bin", "w", force_zip64=True) as f:
        f.write(b"zip64 sizes " * 20)
    z.writestr("plain.txt", b"text")
with zipfile.ZipFile(out + "/python-utf8.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Données/été.txt", "é" * 30)
    z.comment = b"comment"
with zipfile.ZipFile(out + "/python-slip.zip", "w") as z:
    for name in ["../up.txt", "a/../../up2.txt", "/abs.txt", "C:\\drive.txt", "a\\..\\..\\b.txt", ".. /x.txt"]:
        z.writestr(zipfile.ZipInfo(name), b"escape")
with zipfile.ZipFile(out + "/python-duplicates.zip", "w") as z:
    for data in [b"first", b"second"]:
        z.writestr("Same.txt", data)
    z.writestr("same.TXT", b"third")
    z.writestr("dir/", b"")
    z.writestr("dir/file", b"in dir")
    z.writestr("dir", b"file where a folder is")
PY
"$py" "$root/tests/zip/make_fixtures.py" "$work/fixtures"
for f in "$work"/fixtures/*.zip; do
  # the methods' 300 KB archives would slow the fuzzer down; small entries of every method are made below
  if [ "$(stat -c %s "$f")" -le 65536 ]; then cp "$f" "$here/zip_reader/tests-$(basename "$f")"; fi
done
for f in "$root"/tests/fixtures/zip/go/* "$root"/tests/fixtures/zip/python/*; do  # other projects' archives
  cp "$f" "$here/zip_reader/$(basename "$(dirname "$f")")-$(basename "$f")"
done
"$py" - "$here/zip_reader" "$root/tests/zip" <<'PY'
import bz2, io, lzma, subprocess, sys, zipfile
from pathlib import Path
sys.path.insert(0, sys.argv[2])
from make_fixtures import deflate, raw_zip
out = Path(sys.argv[1])
data = b"a small entry in every method the reader decodes\n" * 20
with zipfile.ZipFile(out / "python-methods.zip", "w") as z:
    for name, method in (("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA), ("deflate", zipfile.ZIP_DEFLATED)):
        z.writestr(zipfile.ZipInfo(name + ".txt", (2020, 1, 1, 0, 0, 0)), data, compress_type=method)
zstd = subprocess.run(["zstd", "-q", "-c"], input=data, capture_output=True, check=True).stdout
raw_zip(out / "raw-methods.zip", [{"name": b"stored.txt", "data": data, "method": 0},
                                  {"name": b"deflate.txt", "data": data, "method": 8, "payload": deflate(data)},
                                  {"name": b"bzip2.txt", "data": data, "method": 12, "payload": bz2.compress(data)},
                                  {"name": b"zstd.txt", "data": data, "method": 93, "payload": zstd},
                                  {"name": b"xz.txt", "data": data, "method": 95,
                                   "payload": lzma.compress(data, format=lzma.FORMAT_XZ)}])
PY

# ---- uncompress: one byte of options (1 = text overload), the length (LE 32), a zlib stream
fresh uncompress
"$py" - "$here/uncompress" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
def seed(name, text, length, stream):
    open(f"{out}/{name}", "wb").write(bytes([1 if text else 0]) + struct.pack("<I", length) + stream)
data = b"The quick brown fox jumps over the lazy dog. " * 40
z = zlib.compress(data, 9)
seed("exact", False, len(data), z)
seed("padded", False, len(data) + 100, z)
seed("short-length", False, len(data) - 1, z)
seed("zero-length", False, 0, zlib.compress(b""))
seed("beyond-limit", False, 0xFFFFFFFF, z)
seed("truncated", False, len(data), z[:-7])
seed("raw-deflate", False, len(data), zlib.compress(data)[2:-4])
seed("needs-dictionary", False, 64, (lambda c: c.compress(b"abcabc") + c.flush())(zlib.compressobj(zdict=b"abc")))
seed("text-cp1252", True, 300, zlib.compress(bytes(range(256))))
seed("zeros-bomb", False, 1 << 20, zlib.compress(b"\0" * (1 << 20), 9))
seed("trailing-garbage", False, len(data), z + b"garbage")
PY

# ---- zip_names: options byte (1 = UTF-8 flag), buffer size, the name's bytes
fresh zip_names
printf '\x00\x40caf\x82/na\xefve.txt' >"$here/zip_names/cp437"
printf '\x01\x40Donn\xc3\xa9es/\xe6\xbc\xa2\xe5\xad\x97.txt' >"$here/zip_names/utf8-flag"
printf '\x00\x05\xe6\xbc\xa2\xe5\xad\x97' >"$here/zip_names/utf8-cut"
printf '\x01\x10bad\xc3(\xed\xa0\x80\xf4\x90\x80\x80' >"$here/zip_names/utf8-invalid"
printf '\x00\x20name\x00hidden' >"$here/zip_names/nul"

# ---- win_cmdline: option byte 0 = a command line, 1 = arguments one a line
fresh win_cmdline
i=0
while IFS= read -r line; do
  printf '\x00%s' "$line" >"$here/win_cmdline/line-$i"
  i=$((i + 1))
done <<'LINES'
"C:\Program Files\x.exe" -a "b c"
prog a\\\"b "c\\" d\e
prog "a""b" "" x
C:\Program Files\App\setup.exe /S /D=C:\Games
 leading blank
prog	tab	"quoted	tab"
prog "unterminated \
LINES
printf '\x01prog\nwith blank\nquote"inside\ntrail\\\n\n\\\\"' >"$here/win_cmdline/args-0"

# ---- paths: option byte 0 = a Windows path, 1 = wildcard pattern and name
fresh paths
i=0
while IFS= read -r line; do
  printf '\x00%s' "$line" >"$here/paths/path-$i"
  i=$((i + 1))
done <<'LINES'
D:\games\readme.txt
..\..\..\..\etc\passwd
\\?\D:\Games\Add-Ons\..\x
\\server\share\file
C:\Windows\system32
D:relative\..\..\x
\rooted\.\path\
/etc/passwd
D:\Games\Add-Ons\New Folder\
LINES
printf '\x01*.txt\nReadMe.TXT' >"$here/paths/wild-0"
printf '\x01a*b?c*.*\naXbYcZ' >"$here/paths/wild-1"
printf '\x01?\xc3\xa9*\n\xc3\xa9\xc3\xa9t\xc3\xa9' >"$here/paths/wild-2"

# ---- reg: hand-written .reg files, and one in UTF-16LE
fresh reg
cat >"$here/reg/regedit4.reg" <<'REG'
REGEDIT4

[HKEY_CLASSES_ROOT\.txt]
@="txtfile"

[HKEY_CLASSES_ROOT\txtfile]
@="Text Document"
"Other"=dword:0000001f

[HKCR\txtfile\shell\open\command]
@="notepad.exe \"%1\""
REG
cat >"$here/reg/version5.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\.zip]
@=hex(2):43,00,6f,00,6d,00,70,00,\
  72,00,65,00,73,00,73,00,00,00
"Binary"=hex:01,02,03

[-HKEY_CLASSES_ROOT\.old]

[HKEY_LOCAL_MACHINE\Software\\Double\\Slash\]
@=-
; comment
REG
iconv -f UTF-8 -t UTF-16LE "$here/reg/version5.reg" | { printf '\xff\xfe'; cat; } >"$here/reg/utf16.reg"
printf 'not a registry file\n[broken\n@="x"\n' >"$here/reg/broken.reg"

# ---- tga: ImageMagick images in every TGA type the converter reads
fresh tga
convert -size 7x5 gradient:red-blue "$work/rgb.png"
convert "$work/rgb.png" -alpha set -channel A -evaluate set 50% "$work/rgba.png"
convert "$work/rgb.png" -compress None "$here/tga/truecolour24.tga"
convert "$work/rgba.png" -compress RLE "$here/tga/truecolour32-rle.tga"
convert "$work/rgb.png" -colorspace Gray -compress None "$here/tga/grey8.tga"
convert "$work/rgb.png" -colorspace Gray -compress RLE "$here/tga/grey8-rle.tga"
convert "$work/rgb.png" -type Palette -compress None "$here/tga/colourmapped.tga"
convert "$work/rgb.png" -type Palette -compress RLE "$here/tga/colourmapped-rle.tga"
convert -size 3x4 xc:white -flip -compress RLE "$here/tga/flat-rle.tga"

# ---- rar_reader and rar_extract: real RAR archives, and formats libarchive also reads (tar, zip)
fresh rar_reader
fresh rar_extract
cp "$root"/tests/fixtures/rar/*.rar "$here/rar_reader/"
cp "$root"/tests/fixtures/rar/*.rar "$here/rar_extract/"
(
  cd "$work/src" && ln -f readme.txt hard.txt
  tar --format=gnu -cf "$here/rar_extract/gnu-links.tar" readme.txt link.txt hard.txt Docs/bin.dat
  truncate -s 64K "$work/sparse" && printf 'x' | dd of="$work/sparse" bs=1 seek=4096 conv=notrunc status=none
  tar --format=pax -S -cf "$here/rar_extract/pax-sparse.tar" -C "$work" sparse
)
cp "$here/zip_reader/infozip-deflated.zip" "$here/rar_extract/"

# ---- rar_cmdline: the raw command line, then entry names one a line
fresh rar_cmdline
printf '"C:\\Games\\lib\\rar.exe" x -o+ -ri5:10 "C:\\Mods\\pack.rar" "E:\\"\nData/readme.txt\n../x' \
  >"$here/rar_cmdline/extract"
printf 'rar.exe a -r -apMods\\..\\New "pack" *.txt Docs\\*\nMods/a.txt\nC:/x' >"$here/rar_cmdline/add"
printf 'rar x "quoted ""inner"" name.rar" -- -notaswitch\n./a/./b\n\\\\server\\x' >"$here/rar_cmdline/quotes"
printf 'rar X -Y -RI15 archive *.* ""\n' >"$here/rar_cmdline/upper"
echo "seeds written to $here"
