#!/usr/bin/env python3
"""A scenario with QvxSetup.exe loaded away from its preferred base.

    rebased_setup.py BUILD_DIR DRIVER SETUP_EXE PRODUCT_FOLDER SCENARIO NEW_BASE

Wine loads an exe at its preferred base, where Windows with address space
layout randomisation would not. This moves a copy of SETUP_EXE to NEW_BASE
through its own base relocations, as the Windows loader does, and runs the
driver's SCENARIO with it (tests/wine/run-in-prefix.sh): an absolute
address that the relocations miss makes the copy fail. Exits with the
scenario's exit code.
"""
import os
import runpy
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def pe_module():
    """tools/check-pe.py's names: its PE reader."""
    return runpy.run_path(os.path.join(HERE, "..", "..", "tools", "check-pe.py"))


def rebase(data, new_base):
    check_pe = pe_module()
    pe = check_pe["PeFile"](bytes(data))
    base_field = struct.unpack_from("<I", data, 0x3C)[0] + 24 + (24 if pe.magic == 0x20B else 28)
    base_format = "<Q" if pe.magic == 0x20B else "<I"
    delta = new_base - struct.unpack_from(base_format, data, base_field)[0]
    relocations = pe.base_relocations()
    if not relocations:
        raise check_pe["PeError"]("no base relocations")
    for kind, rva in relocations:
        at = pe.offset_of(rva)
        fmt, bits = ("<Q", 64) if kind == check_pe["IMAGE_REL_BASED_DIR64"] else ("<I", 32)
        struct.pack_into(fmt, data, at, (struct.unpack_from(fmt, data, at)[0] + delta) % (1 << bits))
    struct.pack_into(base_format, data, base_field, new_base)
    return len(relocations)


def main():
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    build, driver, setup, product, scenario, new_base = sys.argv[1:]
    folder = tempfile.mkdtemp(prefix="qvx-rebased-")
    try:
        with open(setup, "rb") as f:
            data = bytearray(f.read())
        count = rebase(data, int(new_base, 0))
        # The driver expects the installer's own file name (its message boxes' caption).
        rebased = os.path.join(folder, "QvxSetup.exe")
        with open(rebased, "wb") as f:
            f.write(data)
        print(f"QvxSetup.exe moved to {new_base} by {count} relocations")
        sys.stdout.flush()
        command = [os.path.join(HERE, "..", "wine", "run-in-prefix.sh"), build, "e2e.rebased",
                   driver, scenario, rebased, product]
        sys.exit(subprocess.call(command))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
