#!/usr/bin/env python3
"""Static checks of the shipping QvxSetup.exe, which these machines cannot run.

    check-pe.py [--budget BYTES] QvxSetup.exe
    check-pe.py --mitigations EXE...

Checks that the file is a PE32 program for i386 with the GUI subsystem 4.0,
that its manifest, dialogs 102 and 149, icon groups 128, 178 and 179 and its
one RT_RCDATA resource 129 (language 1033, the payload) are present, that it
imports only from the system DLLs every Windows has, that it carries the
exploit mitigations, that it is large-address aware (on 64-bit Windows it
then has 4 GB of addresses for its mapped image and its expansion buffer,
not 2 GB), and that the program without its payload stays within
the size budget. With --mitigations, checks only the exploit mitigations, of
each exe given (PE32 or PE32+): data execution prevention (NX_COMPAT),
address space layout randomisation (DYNAMIC_BASE with base relocations
present and readable), for PE32+ a randomised base above 4 GB
(HIGH_ENTROPY_VA), for PE32 safe exception handling (NO_SEH with no code that
installs a handler, or a SafeSEH table), and stack protection (a guard named
by the load configuration, in a writable section, that the code reads). Prints
one line per check and exits with 1 when any failed.
"""
import argparse
import struct
import sys

RT_DIALOG, RT_RCDATA, RT_GROUP_ICON, RT_MANIFEST = 5, 10, 14, 24
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x0020
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x0020, 0x0040, 0x0100, 0x0400
IMAGE_SCN_MEM_EXECUTE, IMAGE_SCN_MEM_WRITE = 0x20000000, 0x80000000
LOAD_CONFIG_DIRECTORY = 10
# Every function compiled with stack protection reads the guard where it
# starts and again before it returns; the runtime that seeds the guard reads
# and writes it once. More reads than those show protected code.
GUARD_ACCESSES_OF_THE_RUNTIME = 2
# Instructions that write the head of the SEH chain, fs:[0], where a handler
# is installed or removed: mov fs:[0],eax; mov fs:[0],r32 (any register);
# pop dword fs:[0]; mov dword fs:[0],imm32.
SEH_CHAIN_WRITES = [b"\x64\xa3\0\0\0\0", b"\x64\x8f\x05\0\0\0\0", b"\x64\xc7\x05\0\0\0\0"] + [
    bytes([0x64, 0x89, 0x05 | register << 3]) + b"\0\0\0\0" for register in range(8)]
IMAGE_REL_BASED_ABSOLUTE, IMAGE_REL_BASED_HIGHLOW, IMAGE_REL_BASED_DIR64 = 0, 3, 10
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
                "ole32.dll", "shell32.dll", "msvcrt.dll"}


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = self.u16(optional)
        if self.magic == 0x10B:
            directories = optional + 96
        elif self.magic == 0x20B:
            directories = optional + 112
        else:
            raise PeError(f"unknown optional header magic {self.magic:#x}")
        self.image_base = struct.unpack_from("<Q" if self.magic == 0x20B else "<I", data,
                                             optional + (24 if self.magic == 0x20B else 28))[0]
        self.subsystem = self.u16(optional + 68)
        self.dll_characteristics = self.u16(optional + 70)
        self.subsystem_version = (self.u16(optional + 48), self.u16(optional + 50))
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        self.raw_sizes, self.section_flags = [], []
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(errors="replace"), vaddr, max(vsize, rsize), raddr))
            self.raw_sizes.append(rsize)
            self.section_flags.append(self.u32(table + 40 * i + 36))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for _, vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return raddr + rva - vaddr
        raise PeError(f"address {rva:#x} lies in no section")

    def c_string(self, rva):
        start = self.offset_of(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", errors="replace")

    def imported_dlls(self):
        rva, size = self.directories[1]
        if not rva:
            return []
        names, entry = [], self.offset_of(rva)
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if not (lookup or name or thunks):
                return names
            names.append(self.c_string(name))
            entry += 20

    def base_relocations(self):
        """The base relocations as (type, rva); PeError when the table is malformed."""
        rva, size = self.directories[5]
        if not rva:
            return []
        start = self.offset_of(rva)
        found, at = [], start
        while at < start + size:
            page, block_size = struct.unpack_from("<II", self.data, at)
            if block_size < 8 or block_size % 2 or at + block_size > start + size:
                raise PeError(f"relocation block of {block_size} bytes at {at:#x}")
            for (entry,) in struct.iter_unpack("<H", self.data[at + 8:at + block_size]):
                if entry >> 12 != IMAGE_REL_BASED_ABSOLUTE:  # ABSOLUTE only pads a block
                    found.append((entry >> 12, page + (entry & 0xFFF)))
            at += block_size
        return found

    def flags_at(self, rva):
        """The characteristics of the section that holds rva (0 for none)."""
        for (_, vaddr, size, _), flags in zip(self.sections, self.section_flags):
            if vaddr <= rva < vaddr + size:
                return flags
        return 0

    def executable_bytes(self):
        """(rva, raw bytes) of every executable section."""
        return [(vaddr, self.data[raddr:raddr + rsize])
                for (_, vaddr, _, raddr), rsize, flags in zip(self.sections, self.raw_sizes, self.section_flags)
                if flags & IMAGE_SCN_MEM_EXECUTE]

    def load_configuration(self):
        """(rva of the SecurityCookie field, the cookie's rva, SafeSEH table rva,
        SafeSEH handler count) from the load configuration, each 0 when the
        structure's size does not reach it; None without a load configuration."""
        rva, _ = self.directories[LOAD_CONFIG_DIRECTORY]
        if not rva:
            return None
        at = self.offset_of(rva)
        declared = self.u32(at)
        wide = self.magic == 0x20B
        width, fmt = (8, "<Q") if wide else (4, "<I")
        cookie_field = 0x58 if wide else 0x3C

        def field(offset, address):
            if declared < offset + width:
                return 0
            value = struct.unpack_from(fmt, self.data, at + offset)[0]
            return value - self.image_base if address and value else value

        return (rva + cookie_field, field(cookie_field, True), field(cookie_field + width, True),
                field(cookie_field + 2 * width, False))

    def guard_reads(self, guard, field):
        """How many instructions read the stack guard at rva `guard`: in PE32
        code an absolute address (a HIGHLOW relocation holding it); in PE32+
        code an rip-relative operand naming it or a pointer to it (ld's
        .refptr slots, which relocations fill). `field`, the load
        configuration's own pointer, is no read."""
        guard_va = self.image_base + guard
        holding_it = []  # relocated places that hold the guard's address
        for kind, rva in self.base_relocations():
            fmt = "<Q" if kind == IMAGE_REL_BASED_DIR64 else "<I"
            if rva != field and struct.unpack_from(fmt, self.data, self.offset_of(rva))[0] == guard_va:
                holding_it.append(rva)
        if self.magic != 0x20B:
            return sum(1 for rva in holding_it if self.flags_at(rva) & IMAGE_SCN_MEM_EXECUTE)
        targets = {guard, *holding_it}
        reads = 0
        for base, code in self.executable_bytes():
            for at in range(len(code) - 5):
                if code[at] & 0xC7 == 0x05:  # ModRM of [rip + disp32]
                    displacement = struct.unpack_from("<i", code, at + 1)[0]
                    reads += base + at + 5 + displacement in targets
        return reads

    def section_names(self):
        return [name for name, _, _, _ in self.sections]

    def resources(self):
        """Every resource as (type, name, language, size); names are ids or strings."""
        rva, _ = self.directories[2]
        if not rva:
            return []
        base = self.offset_of(rva)
        found = []

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = self.u16(at)
                    key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield key, target

        for kind, kind_target in entries(base):
            for name, name_target in entries(base + (kind_target & 0x7FFFFFFF)):
                for language, leaf in entries(base + (name_target & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    found.append((kind, name, language, size))
        return found


def check_mitigations(pe, expect):
    """Data execution prevention and a randomised load address, which Windows
    gives only to an image that opts in and can be relocated."""
    flags = pe.dll_characteristics
    expect(flags & NX_COMPAT, "NX_COMPAT: data execution prevention")
    expect(flags & DYNAMIC_BASE, "DYNAMIC_BASE: loaded at a randomised address")
    expect(not pe.characteristics & IMAGE_FILE_RELOCS_STRIPPED, "relocations not stripped")
    wide = pe.magic == 0x20B
    fixup = IMAGE_REL_BASED_DIR64 if wide else IMAGE_REL_BASED_HIGHLOW
    relocations = pe.base_relocations()
    kinds = {kind for kind, _ in relocations}
    expect(relocations and kinds == {fixup},
           f"base relocations present ({len(relocations)}, types {sorted(kinds)}, expected {fixup})")
    if wide:
        expect(flags & HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA: a randomised address above 4 GB")
    configuration = pe.load_configuration()
    field, guard, seh_table, seh_count = configuration or (0, 0, 0, 0)
    if not wide:
        if flags & NO_SEH:
            writes = sum(code.count(pattern) for _, code in pe.executable_bytes() for pattern in SEH_CHAIN_WRITES)
            expect(not writes, f"NO_SEH: no exception handler in the image (code writing fs:[0]: {writes})")
        else:
            expect(seh_table and seh_count, f"SafeSEH: a table of the image's exception handlers ({seh_count})")
    if not guard:
        expect(False, "stack protection: a guard (security cookie) named by the load configuration")
        return
    expect(pe.flags_at(guard) & IMAGE_SCN_MEM_WRITE, f"stack protection: the guard at {guard:#x} lies in writable data")
    reads = pe.guard_reads(guard, field)
    expect(reads > GUARD_ACCESSES_OF_THE_RUNTIME,
           f"stack protection: code reads the guard ({reads} places; the runtime alone: "
           f"{GUARD_ACCESSES_OF_THE_RUNTIME})")


def check_mitigations_only(path):
    results = []

    def expect(ok, text):
        results.append(bool(ok))
        print(f"{'ok  ' if ok else 'FAIL'} {path}: {text}")

    try:
        with open(path, "rb") as f:
            pe = PeFile(f.read())
        check_mitigations(pe, expect)
    except (OSError, PeError, struct.error, ValueError, IndexError) as error:
        expect(False, f"a readable PE file ({error})")
    return all(results)


def check(path, budget):
    results = []

    def expect(ok, text):
        results.append(bool(ok))
        print(f"{'ok  ' if ok else 'FAIL'} {text}")

    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = PeFile(data)
        expect(pe.magic == 0x10B, f"PE32 (optional header magic {pe.magic:#x})")
        expect(pe.machine == 0x14C, f"i386 (machine {pe.machine:#x})")
        expect(pe.subsystem == 2, f"GUI subsystem (subsystem {pe.subsystem})")
        expect(pe.subsystem_version == (4, 0), "subsystem version %d.%d" % pe.subsystem_version)
        expect(pe.characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE, "large-address aware")

        resources = pe.resources()

        def present(kind, name, language=None):
            return any(r[0] == kind and r[1] == name and (language is None or r[2] == language)
                       for r in resources)

        expect(any(r[0] == RT_MANIFEST for r in resources), "an application manifest")
        for dialog in (102, 149):
            expect(present(RT_DIALOG, dialog), f"dialog {dialog}")
        for icon in (128, 178, 179):
            expect(present(RT_GROUP_ICON, icon), f"icon group {icon}")
        payloads = [r for r in resources if r[0] == RT_RCDATA]
        expect(len(payloads) == 1 and present(RT_RCDATA, 129, 1033),
               "one RT_RCDATA resource, 129 language 1033 (found %s)"
               % ", ".join(f"{r[1]}/{r[2]}" for r in payloads))

        dlls = pe.imported_dlls()
        foreign = [d for d in dlls if d.lower() not in ALLOWED_DLLS]
        expect(not foreign, "imports only from system DLLs (%s)" % ", ".join(sorted(d.lower() for d in dlls)))

        check_mitigations(pe, expect)
        print("     sections: " + " ".join(pe.section_names()))

        payload_size = sum(r[3] for r in payloads)
        program = len(data) - payload_size
        expect(program <= budget,
               f"size without the payload {program} bytes ({program / 1024:.1f} KB, budget {budget / 1024:.0f} KB); "
               f"file {len(data)}, payload {payload_size}")
    except (PeError, struct.error, ValueError, IndexError) as error:
        expect(False, f"{path} is a readable PE file ({error})")
    return all(results)


def main():
    parser = argparse.ArgumentParser(description="Static checks of QvxSetup.exe")
    parser.add_argument("--budget", type=int, default=40 * 1024, help="size limit without the payload, bytes")
    parser.add_argument("--mitigations", action="store_true",
                        help="check only the exploit mitigations, of every exe given")
    parser.add_argument("exe", nargs="+")
    args = parser.parse_args()
    if args.mitigations:
        ok = all([check_mitigations_only(exe) for exe in args.exe])
    elif len(args.exe) == 1:
        ok = check(args.exe[0], args.budget)
    else:
        parser.error("the full checks take one exe")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
