#!/usr/bin/python3
"""Another host: drives libapi32.so by name through its entry points with ctypes, without our C++ headers.

Lists and extracts a zip archive made by Python's zipfile through uo_nv_compression (with a uo_nv_ziplib
handed to the host services), reads the table rows, and reads by-reference results back from uo_nv_ziplib.
Exit status 0 when every check holds; the first failed check is printed.
"""
import ctypes as C
import os
import shutil
import sys
import tempfile
import zipfile

from api32_ctypes import (API32_BOOLEAN, API32_INTEGER, API32_OBJECT, API32_ULONG, Value, call, check,
                          function_index, klass, load, number, string)

lib = load(sys.argv[1])

work = tempfile.mkdtemp(prefix="api32-pyhost-")
archive = os.path.join(work, "mod.zip")
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("docs/readme.txt", "hello from another host\n")
    z.writestr("data/über.bin", bytes(range(256)))
    z.writestr("top.ini", "[x]\n")

ziplib = klass("uo_nv_ziplib")
front = klass("uo_nv_compression")
zip_object = ziplib.create()
check(lib.api32_host_set(b"gziplib", C.byref(Value(type=API32_OBJECT, object=zip_object))) == 0, "host gziplib")
check(lib.api32_host_set(b"app_path", C.byref(string(work + "/"))) == 0, "host app_path")

# by-reference results of the zip library: the number of entries and the comment's size
r = call(ziplib, zip_object, "of_unzopen", string(archive))
handle = r.contents.value.i
lib.api32_release(r)
check(handle != 0, "of_unzopen handle")
r = call(ziplib, zip_object, "of_unzgetglobalinfo", number(API32_ULONG, handle), number(API32_ULONG, 0),
         number(API32_ULONG, 99))
check(r.contents.value.i == 0 and r.contents.out_count == 2, "of_unzgetglobalinfo result")
check(r.contents.out[0].i == 3 and r.contents.out[1].i == 0, "entries 3 and comment size 0 written back")
lib.api32_release(r)
lib.api32_release(call(ziplib, zip_object, "of_unzclose", number(API32_ULONG, handle)))

# list and extract through the front-end into a datastore of the d_zipfiles layout
front_object = front.create()
ds = lib.api32_datastore_create(b"d_zipfiles")
check(ds, "datastore")
lib.api32_release(call(front, front_object, "of_unzopen", string(archive)))
out = os.path.join(work, "out") + "/"
os.makedirs(out)
r = call(front, front_object, "of_cudwdirectory", string(archive),
         Value(type=API32_OBJECT, object=ds, type_name=b"datastore"), string(out), number(API32_BOOLEAN, 1))
listing = C.string_at(r.contents.value.text, r.contents.value.size).decode()
lib.api32_release(r)
rows = listing.split("\r\n")
check(len(rows) == 3, "three listing rows: %r" % listing)
check(rows[0].split("\t")[0] == "readme.txt", "first row's name")
check(lib.api32_datastore_rowcount(ds) == 3, "three table rows")
item = lib.api32_datastore_getitem(ds, 2, b"fullname")
check(item.contents.value.text.decode() == "data\\über.bin", "fullname column")
lib.api32_release(item)
with open(os.path.join(out, "docs", "readme.txt")) as f:
    check(f.read() == "hello from another host\n", "extracted text")
with open(os.path.join(out, "data", "über.bin"), "rb") as f:
    check(f.read() == bytes(range(256)), "extracted bytes")

# entries not extracted reach the host's callback: a link planted in the target, then the host's limit
SKIPPED = C.CFUNCTYPE(None, C.c_char_p, C.c_char_p, C.c_char_p, C.c_void_p)
skipped = []
on_skipped = SKIPPED(lambda archive, entry, reason, user: skipped.append((entry.decode(), reason.decode())))
lib.api32_set_extraction_report.argtypes = [SKIPPED, C.c_void_p]
lib.api32_set_extraction_limit.argtypes = [C.c_uint64]
lib.api32_set_extraction_report(on_skipped, None)
planted = os.path.join(work, "planted") + "/"
os.makedirs(os.path.join(work, "elsewhere"))
os.makedirs(planted)
os.symlink(os.path.join(work, "elsewhere"), os.path.join(planted, "DOCS"))
lib.api32_release(call(front, front_object, "of_cudwdirectory", string(archive),
                       Value(type=API32_OBJECT, object=ds, type_name=b"datastore"), string(planted),
                       number(API32_BOOLEAN, 1)))
check(skipped == [("docs/readme.txt", "a symbolic link is in the way (DOCS)")], "link reported: %r" % skipped)
check(os.listdir(os.path.join(work, "elsewhere")) == [], "nothing written through the link")
del skipped[:]
lib.api32_set_extraction_limit(100)
limited = os.path.join(work, "limited") + "/"
lib.api32_release(call(front, front_object, "of_cudwdirectory", string(archive),
                       Value(type=API32_OBJECT, object=ds, type_name=b"datastore"), string(limited),
                       number(API32_BOOLEAN, 1)))
check(len(skipped) == 3 and all("over the host's limit of 100 bytes" in r for _, r in skipped),
      "limit reported: %r" % skipped)
check(os.listdir(limited) == [], "nothing written over the limit")
lib.api32_set_extraction_limit(0)
lib.api32_set_extraction_report(SKIPPED(), None)

# a wrong argument is reported, not acted on
bad = (Value * 1)(number(API32_INTEGER, 1))
r = front.invoke(front_object, function_index(front, "of_unzopen", 1), bad, 1)
check(r.contents.status != 0 and r.contents.error, "type mismatch reported")
lib.api32_release(r)

lib.api32_datastore_destroy(ds)
front.destroy(front_object)
ziplib.destroy(zip_object)
shutil.rmtree(work, ignore_errors=True)
print("python host: ok")
