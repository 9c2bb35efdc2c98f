"""Lists a zip archive the way Python's zipfile reads it, one tab-separated line per entry:
name, flag bits, internal attr, external attr, date, size, method, CRC (hex), creating system, extra length;
then "comment", the archive comment in hex. Every entry is read through, so a CRC mismatch fails the script."""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        with archive.open(info) as data:
            while data.read(1 << 20):
                pass
        print("\t".join([
            info.filename,
            str(info.flag_bits),
            str(info.internal_attr),
            str(info.external_attr),
            "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time,
            str(info.file_size),
            str(info.compress_type),
            "%08x" % info.CRC,
            str(info.create_system),
            str(len(info.extra)),
        ]))
    print("comment\t" + archive.comment.hex())
