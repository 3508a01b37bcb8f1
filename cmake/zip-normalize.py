#!/usr/bin/env python3
# Rewrites a zip made by cpack with fixed entry times, no extra fields and its entries in the
# order of their names: its writer stores the staged files' access and change times, and takes
# the files in the order that the file system lists them, so two builds of one commit would differ.
# Usage: zip-normalize.py ZIP SOURCE_DATE_EPOCH
import sys
import time
import zipfile

path, epoch = sys.argv[1], int(sys.argv[2])
# Zip times are plain date and time fields that start in 1980.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(path) as old:
    entries = [(info, old.read(info)) for info in old.infolist()]
with zipfile.ZipFile(path, "w") as new:
    for info, data in sorted(entries, key=lambda entry: entry[0].filename):
        fresh = zipfile.ZipInfo(info.filename, stamp)
        fresh.create_system = 3  # Unix, so that the permission bits below count
        fresh.external_attr = info.external_attr
        fresh.compress_type = zipfile.ZIP_DEFLATED
        new.writestr(fresh, data, compresslevel=9)
