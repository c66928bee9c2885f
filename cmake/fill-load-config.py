#!/usr/bin/env python3
"""Points a linked Windows program's load configuration directory at its
_load_config_used, and makes its checksum right again.

    fill-load-config.py PROGRAM.exe PROGRAM.map

ld (2.40) links the structure but leaves the directory empty; its map, which
the link writes beside the program, tells where the structure lies. The
directory's size is the structure's own first field, as the loader reads it.
Exits with 1, changing nothing, when the map names no _load_config_used or the
program is no PE image.
"""
import re
import struct
import sys

LOAD_CONFIG_DIRECTORY = 10


def pe_checksum(data, checksum_field):
    """The image checksum: the file's 16-bit words summed with end-around
    carry, the checksum field itself taken as zero, plus the file's length."""
    padded = bytes(data) + b"\0" * (len(data) % 2)
    words = struct.unpack(f"<{len(padded) // 2}H", padded)
    total = sum(words) - sum(struct.unpack_from("<2H", data, checksum_field))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def structure_address(map_text):
    """The address of _load_config_used in the map (ld lists symbols without
    the target's leading underscore)."""
    found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_load_config_used\s*$", map_text, re.M)
    return int(found.group(1), 16) if found else None


def main():
    program, map_file = sys.argv[1:3]
    with open(map_file, encoding="utf-8", errors="replace") as f:
        address = structure_address(f.read())
    if address is None:
        sys.exit(f"{map_file}: no _load_config_used")
    with open(program, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{program}: not a PE image")
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    image_base = struct.unpack_from("<Q" if wide else "<I", data, optional + (24 if wide else 28))[0]
    directories = optional + (112 if wide else 96)
    rva = address - image_base
    table = optional + optional_size
    for i in range(sections):
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
            size = struct.unpack_from("<I", data, raw_offset + rva - virtual_address)[0]
            break
    else:
        sys.exit(f"{program}: _load_config_used at {address:#x} lies in no section")
    struct.pack_into("<II", data, directories + 8 * LOAD_CONFIG_DIRECTORY, rva, size)
    checksum_field = optional + 64
    struct.pack_into("<I", data, checksum_field, pe_checksum(data, checksum_field))
    with open(program, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
