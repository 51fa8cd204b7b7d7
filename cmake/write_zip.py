"""Writes a zip archive that depends on nothing but the files' contents:
entries in the order given, one fixed time stamp, fixed permissions and no
extra fields (CMake's own archiver stores each file's access and change times).

Usage: write_zip.py ARCHIVE EPOCH FOLDER FILE...
"""
import sys
import time
import zipfile


def main(archive, epoch, folder, *files):
    date_time = time.gmtime(max(int(epoch), 315532800))[:6]  # zip dates start in 1980
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as output:
        for name in files:
            entry = zipfile.ZipInfo(name, date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the permissions below are read
            entry.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            with open(f"{folder}/{name}", "rb") as source:
                output.writestr(entry, source.read())


if __name__ == "__main__":
    main(*sys.argv[1:])
