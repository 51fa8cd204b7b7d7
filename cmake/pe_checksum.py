"""Writes a Windows program's PE checksum into its header, as GNU ld does and
LLVM's lld does not. Signing tools set it too, so a signed program, its
signature removed, is alike byte for byte only to a built one that carries it.
Usage: pe_checksum.py PROGRAM"""
import struct
import sys

path = sys.argv[1]
data = bytearray(open(path, "rb").read())
header = struct.unpack_from("<I", data, 0x3C)[0]
# The optional header follows the 4-byte signature and the 20-byte file
# header; its CheckSum field is at offset 64 in both PE32 and PE32+.
field = header + 24 + 64
struct.pack_into("<I", data, field, 0)
total = 0
for (word,) in struct.iter_unpack("<H", data + b"\0" * (len(data) % 2)):
    total += word
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", data, field, ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF)
open(path, "wb").write(data)
