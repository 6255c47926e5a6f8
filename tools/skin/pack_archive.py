#!/usr/bin/env python3
"""Packs the skin archive res.zip from the skin files and their rendered pictures.

  pack_archive.py OUT.zip NAME=PATH...

Each NAME is the entry's path inside the archive (forward slashes), PATH the file to store. The
archive is reproducible: entries sorted by name, deflated, every time stamp 1980-01-01 00:00 and
fixed attributes, so that the same inputs always give the same bytes.
"""
import os
import sys
import zipfile

FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def fail(message):
    sys.stderr.write("pack_archive: %s\n" % message)
    sys.exit(1)


def main(argv):
    if len(argv) < 3:
        fail(__doc__)
    out, pairs = argv[1], argv[2:]
    entries = {}
    for pair in pairs:
        name, sep, path = pair.partition("=")
        if not sep or not name or not path:
            fail("entries are NAME=PATH, not %r" % pair)
        if name.startswith("/") or "\\" in name or ".." in name.split("/"):
            fail("entry names are relative paths with forward slashes: %r" % name)
        if name in entries:
            fail("%s is given twice" % name)
        entries[name] = path
    temporary = out + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            try:
                with open(entries[name], "rb") as source:
                    data = source.read()
            except OSError as error:
                fail("cannot read %s: %s" % (entries[name], error))
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(temporary, out)


if __name__ == "__main__":
    main(sys.argv)
